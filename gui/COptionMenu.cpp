#include "gui/COptionMenu.h"

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"
#include "gui/popupMenu.h"

namespace qgui {

CMenuItem::CMenuItem(const std::string& t, int32_t f) : title(t), flags(f) {}

CMenuItem::CMenuItem(const std::string& t, COptionMenu* menu) : title(t), flags(kNoFlags) { setSubmenu(menu); }

CMenuItem::~CMenuItem() {
    if (submenu) submenu->forget();
}

void CMenuItem::setSubmenu(COptionMenu* menu) {
    if (menu) menu->remember();
    if (submenu) submenu->forget();
    submenu = menu;
}

CCommandMenuItem::CCommandMenuItem(const std::string& t, Command c, int32_t f) : CMenuItem(t, f), command(std::move(c)) {}

void CCommandMenuItem::execute() {
    if (command) command(this);
}

COptionMenu::COptionMenu() : COptionMenu(CRect(), nullptr, -1) {}

COptionMenu::COptionMenu(const CRect& size, IControlListener* l, int32_t t, CBitmap* bg, CBitmap* bgClick, int32_t st)
    : CParamDisplay(size, bg, st) {
    setListener(l);
    setTag(t);
    setMouseEnabled(true);
    setBackgroundSelected(bgClick);
    setMax(0);
}

COptionMenu::~COptionMenu() {
    removeAllEntry();
    if (bgWhenClick) bgWhenClick->forget();
}

void COptionMenu::updateMax() { setMax(static_cast<float>(std::max(0, getNbEntries() - 1))); }

CMenuItem* COptionMenu::addEntry(CMenuItem* item, int32_t index) {
    if (!item) return nullptr;
    if (index < 0 || index >= getNbEntries())
        menuItems.push_back(item);
    else
        menuItems.insert(menuItems.begin() + index, item);
    updateMax();
    return item;
}

CMenuItem* COptionMenu::addEntry(COptionMenu* submenu, const std::string& title) {
    return addEntry(new CMenuItem(title, submenu));
}

CMenuItem* COptionMenu::addEntry(const std::string& title, int32_t index, int32_t flags) {
    if (title == "-") return addSeparator(index);
    return addEntry(new CMenuItem(title, flags), index);
}

CMenuItem* COptionMenu::addSeparator(int32_t index) {
    return addEntry(new CMenuItem("-", CMenuItem::kSeparator), index);
}

CMenuItem* COptionMenu::getEntry(int32_t index) const {
    return index >= 0 && index < getNbEntries() ? menuItems[static_cast<size_t>(index)] : nullptr;
}

bool COptionMenu::removeEntry(int32_t index) {
    CMenuItem* item = getEntry(index);
    if (!item) return false;
    menuItems.erase(menuItems.begin() + index);
    item->forget();
    if (currentIndex >= getNbEntries()) currentIndex = getNbEntries() - 1;
    updateMax();
    return true;
}

bool COptionMenu::removeAllEntry() {
    for (CMenuItem* item : menuItems) item->forget();
    menuItems.clear();
    currentIndex = -1;
    updateMax();
    return true;
}

int32_t COptionMenu::getCurrentIndex(bool countSeparator) const {
    if (countSeparator || currentIndex < 0) return currentIndex;
    int32_t n = 0;
    for (int32_t i = 0; i < currentIndex; ++i)
        if (!menuItems[static_cast<size_t>(i)]->isSeparator()) ++n;
    return n;
}

bool COptionMenu::setCurrent(int32_t index, bool countSeparator) {
    if (!countSeparator) {
        int32_t n = -1, found = -1;
        for (int32_t i = 0; i < getNbEntries() && found < 0; ++i)
            if (!menuItems[static_cast<size_t>(i)]->isSeparator() && ++n == index) found = i;
        if (found < 0) return false;
        index = found;
    }
    if (index < 0 || index >= getNbEntries()) return false;
    currentIndex = index;
    if ((style & kMultipleCheckStyle) == kMultipleCheckStyle) checkEntry(index, !isCheckEntry(index));
    value = static_cast<float>(index);
    setDirty();
    return true;
}

bool COptionMenu::checkEntry(int32_t index, bool state) {
    CMenuItem* item = getEntry(index);
    if (!item || item->isSeparator()) return false;
    item->setChecked(state);
    return true;
}

bool COptionMenu::checkEntryAlone(int32_t index) {
    if (!getEntry(index)) return false;
    for (int32_t i = 0; i < getNbEntries(); ++i) menuItems[static_cast<size_t>(i)]->setChecked(i == index);
    return true;
}

bool COptionMenu::isCheckEntry(int32_t index) const {
    CMenuItem* item = getEntry(index);
    return item && item->isChecked();
}

COptionMenu* COptionMenu::getLastItemMenu(int32_t& idxInMenu) const {
    idxInMenu = lastMenu ? lastResult : -1;
    return lastMenu;
}

void COptionMenu::setBackgroundSelected(CBitmap* bitmap) {
    if (bitmap == bgWhenClick) return;
    if (bitmap) bitmap->remember();
    if (bgWhenClick) bgWhenClick->forget();
    bgWhenClick = bitmap;
}

void COptionMenu::setValue(float v) {
    int32_t index = static_cast<int32_t>(v);
    if (v < 0 || index >= getNbEntries()) return;
    setCurrent(index);
}

std::shared_ptr<PopupMenuList> COptionMenu::makePopupModel() const {
    auto model = std::make_shared<PopupMenuList>();
    model->itemsPerColumn = std::max(0, nbItemsPerColumn);
    for (int32_t i = 0; i < getNbEntries(); ++i) {
        const CMenuItem* item = menuItems[static_cast<size_t>(i)];
        PopupItem p;
        p.title = item->getTitle();
        p.separator = item->isSeparator();
        p.enabled = item->isEnabled() && !item->isTitle() && !p.separator;
        p.checked = item->isChecked() || ((style & kCheckStyle) && i == currentIndex);
        p.isDefault = item->isTitle();
        if (item->getSubmenu()) p.submenu = item->getSubmenu()->makePopupModel();
        model->items.push_back(std::move(p));
    }
    return model;
}

COptionMenu* COptionMenu::showPopup(int32_t& index) {
    CFrame* frame = getFrame();
    if (!frame) return nullptr;
    PopupRequest request;
    CPoint corner(size.left, size.bottom);
    localToFrame(corner);
    request.scale = frame->getZoom();
    request.position = CPoint(corner.x * request.scale, corner.y * request.scale);
    request.ownerWindow = reinterpret_cast<unsigned long>(frame->getSystemWindow());
    auto model = makePopupModel();
    PopupResult result = popupMenu(*model, request);
    // Follow the path; a scripted answer that does not fit the menu counts as dismissed.
    COptionMenu* menu = this;
    for (size_t level = 0; level < result.path.size(); ++level) {
        CMenuItem* item = menu->getEntry(result.path[level]);
        if (!item || item->isSeparator() || !item->isEnabled() || item->isTitle()) return nullptr;
        if (level + 1 == result.path.size()) {
            if (item->getSubmenu()) return nullptr;
            index = result.path[level];
            return menu;
        }
        if (!item->getSubmenu()) return nullptr;
        menu = item->getSubmenu();
    }
    return nullptr;
}

bool COptionMenu::popup() {
    if (!getFrame()) return false;
    remember();
    inPopup = true;
    // The open look shows while the popup runs its own loop.
    if (bgWhenClick) {
        invalid();
        getFrame()->paintInvalid();
    }
    beginEdit();
    lastResult = -1;
    lastMenu = nullptr;
    int32_t index = -1;
    COptionMenu* menu = showPopup(index);
    if (menu) {
        lastMenu = menu;
        lastResult = index;
        menu->setValue(static_cast<float>(index));
        valueChanged();
        invalid();
        if (auto* command = dynamic_cast<CCommandMenuItem*>(menu->getEntry(index))) command->execute();
    }
    endEdit();
    inPopup = false;
    forget();
    return menu != nullptr;
}

void COptionMenu::draw(CDrawContext* context) {
    drawBack(context, inPopup ? bgWhenClick : nullptr);
    if (CMenuItem* item = getCurrent()) drawPlatformText(context, item->getTitle());
    setDirty(false);
}

CMouseEventResult COptionMenu::onMouseDown(CPoint&, const CButtonState& buttons) {
    lastButton = buttons;
    if (!(buttons & (kLButton | kRButton | kApple))) return kMouseEventNotHandled;
    if (bgWhenClick) invalid();
    if (CFrame* f = getFrame()) f->setFocusView(this);
    popup();
    if (bgWhenClick) invalid();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

int32_t COptionMenu::onKeyDown(VstKeyCode& key) {
    if (key.modifier == 0 && (key.virt == VKEY_RETURN || key.virt == VKEY_SPACE)) {
        popup();
        return 1;
    }
    return -1;
}

}  // namespace qgui
