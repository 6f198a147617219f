#include "gui/popupMenu.h"

namespace qgui {

namespace {
PopupChooser& chooser() {
    static PopupChooser c;
    return c;
}
}  // namespace

void setPopupChooser(PopupChooser c) { chooser() = std::move(c); }

PopupResult popupMenu(const PopupMenuList& menu, const PopupRequest& request) {
    if (chooser()) return chooser()(menu, request);
    if (request.ownerWindow == 0 || menu.items.empty()) return {};
    return popupMenuX11(menu, request);
}

}  // namespace qgui
