#include "gui/platform/X11Platform.h"

namespace qgui {

std::unique_ptr<IPlatformFrame> createX11Platform(CFrame*, void*) { return nullptr; }

}  // namespace qgui

#include "gui/popupMenu.h"
namespace qgui {
PopupResult popupMenuX11(const PopupMenuList&, const PopupRequest&) { return {}; }
}  // namespace qgui
