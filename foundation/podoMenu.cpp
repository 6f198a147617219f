#include "foundation/podoMenu.h"

#include "foundation/podoDesktop.h"
#include "foundation/podoWnd.h"

#include <algorithm>
#include <atomic>

namespace podo {

namespace {
std::atomic<MenuChooser> menuChooser{nullptr};
} // namespace

MenuChooser setMenuChooser(MenuChooser chooser) { return menuChooser.exchange(chooser); }

} // namespace podo

podoMenu::podoMenu(podoWnd *menuOwner) : owner(menuOwner), items(std::make_unique<std::vector<podoMenuItem>>()) {}

podoMenu::~podoMenu()
{
    for (podoMenuItem &item : *items)
        delete item.submenu;
}

void *podoMenu::handle() const { return items.get(); }

int32_t podoMenu::positionOf(uint32_t id) const
{
    int32_t last = std::min(count, itemCount());
    for (int32_t position = 1; position <= last; ++position)
        if (idAt(position) == id)
            return position;
    return 0;
}

uint32_t podoMenu::idAt(int32_t position) const
{
    if (position < 1 || position > std::min(count, itemCount()))
        return 0;
    const podoMenuItem &item = itemAt(position - 1);
    return item.submenu ? 0xFFFFFFFFu : static_cast<uint32_t>(item.id);
}

bool podoMenu::appendSubmenu(podoMenuFlags flags, podoMenu *submenu, const podoStr &caption)
{
    return appendItem(flags | podo::menuSubmenu, reinterpret_cast<uintptr_t>(submenu), &caption);
}

bool podoMenu::addItem(podoMenuFlags flags, uint32_t id, const podoStr &caption)
{
    return appendItem(flags, id, &caption);
}

bool podoMenu::appendLabel(podoMenuFlags flags, const podoStr &caption) { return appendItem(flags, 0, &caption); }

bool podoMenu::appendText(podoMenuFlags flags, const podoStr &caption) { return appendItem(flags, 0, &caption); }

bool podoMenu::appendSeparator() { return appendItem(podo::menuSeparator, 0, nullptr); }

bool podoMenu::appendItem(podoMenuFlags flags, uintptr_t idOrSubmenu, const podoStr *caption)
{
    bool isSubmenu = flags & podo::menuSubmenu;
    bool hasCaption = caption && !caption->isEmpty();
    if (flags & podo::menuNewColumn)
        flags &= ~podo::menuSeparator;
    // 0x10 on an item of its own (an id, a caption or a submenu) puts a separator before the item.
    bool separatorOnly = (flags & podo::menuSeparator) && !isSubmenu && idOrSubmenu == 0 && !hasCaption;
    if (items->empty()) {
        if (separatorOnly)
            return true;
        flags &= ~(podo::menuSeparator | podo::menuNewColumn);
    }
    if ((flags & podo::menuSeparator) && !separatorOnly) {
        ++count;
        items->push_back({0, podoStr(), podo::itemSeparator, nullptr});
        flags &= ~podo::menuSeparator;
    }
    ++count;

    uint32_t state = 0;
    if (flags & podo::menuDisabled)
        state |= podo::itemDisabled;
    if (flags & podo::menuGrayed)
        state |= podo::itemGrayed;
    if (flags & podo::menuChecked)
        state |= podo::itemChecked;
    if (flags & podo::menuSeparator)
        state |= podo::itemSeparator;
    if (flags & podo::menuNewColumn)
        state |= podo::itemNewColumn;

    podoMenuItem item;
    if (caption)
        item.caption = *caption;
    if (isSubmenu) {
        auto *submenu = reinterpret_cast<podoMenu *>(idOrSubmenu);
        // Owned once, and never by itself or by a menu inside it: each is deleted exactly once.
        if (!submenu || submenu->parent || submenu->holds(this))
            return false;
        item.id = reinterpret_cast<uintptr_t>(submenu->handle());
        item.state = state | podo::itemPopup;
        item.submenu = submenu;
        submenu->parent = this;
        items->push_back(std::move(item));
        return true;
    }
    item.id = static_cast<uint32_t>(idOrSubmenu);
    item.state = state;
    items->push_back(std::move(item));
    // Checked and default items are shown checked and bold; a submenu item only takes the check mark.
    if (flags & (podo::menuChecked | podo::menuDefault)) {
        std::vector<podoMenuItem> &list = *items;
        for (podoMenuItem &other : list)
            other.state &= ~podo::itemDefault;
        list.back().state |= podo::itemChecked | podo::itemDefault;
    }
    return true;
}

bool podoMenu::holds(const podoMenu *menu) const
{
    for (const podoMenu *m = menu; m; m = m->parent)
        if (m == this)
            return true;
    return false;
}

// Depth first, in order; a submenu item matches by its handle only when nothing inside matches first.
podoMenu::Found podoMenu::find(uintptr_t identifier)
{
    Found fallback{nullptr, nullptr};
    for (podoMenuItem &item : *items) {
        if (item.submenu) {
            Found inside = item.submenu->find(identifier);
            if (inside.item)
                return inside;
            if (item.id == identifier && !fallback.item)
                fallback = {items.get(), &item};
        } else if (item.id == identifier) {
            return {items.get(), &item};
        }
    }
    return fallback;
}

bool podoMenu::setCheck(uintptr_t identifier, bool checked)
{
    Found found = find(identifier);
    if (!found.item)
        return false;
    bool was = found.item->state & podo::itemChecked;
    if (checked)
        found.item->state |= podo::itemChecked;
    else
        found.item->state &= ~podo::itemChecked;
    return was;
}

bool podoMenu::makeDefault(uintptr_t identifier)
{
    Found found = find(identifier);
    if (!found.item)
        return false;
    for (podoMenuItem &item : *found.list)
        item.state &= ~podo::itemDefault;
    found.item->state |= podo::itemDefault;
    return true;
}

bool podoMenu::setEnabled(uintptr_t identifier, bool enabled)
{
    Found found = find(identifier);
    if (!found.item)
        return false;
    if (enabled)
        found.item->state &= ~(podo::itemGrayed | podo::itemDisabled);
    else
        found.item->state |= podo::itemGrayed | podo::itemDisabled;
    return true;
}

namespace {
uintptr_t handleOf(podoMenu *submenu) { return submenu ? reinterpret_cast<uintptr_t>(submenu->handle()) : 0; }
} // namespace

bool podoMenu::checkSubmenu(podoMenu *submenu, bool checked) { return submenu && setCheck(handleOf(submenu), checked); }
bool podoMenu::check(uint32_t id, bool checked) { return setCheck(id, checked); }
bool podoMenu::setDefaultSubmenu(podoMenu *submenu) { return submenu && makeDefault(handleOf(submenu)); }
bool podoMenu::setDefault(uint32_t id) { return makeDefault(id); }

bool podoMenu::selectSubmenu(podoMenu *submenu)
{
    if (!submenu)
        return false;
    setCheck(handleOf(submenu), true);
    return makeDefault(handleOf(submenu));
}

bool podoMenu::select(uint32_t id)
{
    setCheck(id, true);
    return makeDefault(id);
}

bool podoMenu::enableSubmenu(podoMenu *submenu, bool enabled) { return submenu && setEnabled(handleOf(submenu), enabled); }
bool podoMenu::enable(uint32_t id, bool enabled) { return setEnabled(id, enabled); }
bool podoMenu::disableSubmenu(podoMenu *submenu) { return enableSubmenu(submenu, false); }
bool podoMenu::disable(uint32_t id) { return enable(id, false); }

uint32_t podoMenu::track(int32_t x, int32_t y, bool)
{
    if (podo::MenuChooser chooser = podo::menuChooser.load())
        return chooser(*this, x, y) & 0xFFFF;
    podo::DesktopLayer *layer = podo::desktopLayer();
    void *ownerWindow = owner ? owner->handle() : nullptr;
    if (!layer || !ownerWindow)
        return 0;
    owner->bringToFront();
    scale = owner->contentScale();
    return layer->trackMenu(*this, ownerWindow, x, y) & 0xFFFF;
}
