#pragma once

#include "foundation/podoStr.h"

#include <cstdint>
#include <memory>
#include <vector>

class podoWnd;
class podoMenu;

// Item flags given to appendItem.
using podoMenuFlags = uint8_t;

namespace podo {

constexpr podoMenuFlags menuDisabled = 0x01;
constexpr podoMenuFlags menuGrayed = 0x02;
constexpr podoMenuFlags menuChecked = 0x04;  // checked and made the default item
constexpr podoMenuFlags menuDefault = 0x08;  // the same as checked
constexpr podoMenuFlags menuSeparator = 0x10; // alone: a separator; with an item: a separator before it
constexpr podoMenuFlags menuSubmenu = 0x40;   // the id argument is a podoMenu
constexpr podoMenuFlags menuNewColumn = 0x80; // a new column with a dividing line; drops 0x10

// An item's state in the menu, with the values of the system menus they come from.
constexpr uint32_t itemGrayed = 0x1;      // drawn grey and cannot be chosen
constexpr uint32_t itemDisabled = 0x2;    // cannot be chosen
constexpr uint32_t itemChecked = 0x8;
constexpr uint32_t itemPopup = 0x10;      // opens a submenu
constexpr uint32_t itemNewColumn = 0x20;  // starts a new column with a dividing line
constexpr uint32_t itemSeparator = 0x800;
constexpr uint32_t itemDefault = 0x1000;  // drawn bold; one per menu

// The menu's answer when no user can choose: returns the command id to report (0: dismissed). Tests
// and headless runs set one; it sees the whole menu tree and the position asked for.
using MenuChooser = uint32_t (*)(const podoMenu &menu, int32_t x, int32_t y);
MenuChooser setMenuChooser(MenuChooser chooser);

} // namespace podo

// One entry of a menu as the window layer shows it. `caption` may hold "&" before a mnemonic ("&&" for
// an "&") and a "\t" before text shown on the right.
struct podoMenuItem {
    uintptr_t id = 0; // the command id; for a submenu item the submenu's handle
    podoStr caption;
    uint32_t state = 0; // podo::item... bits
    podoMenu *submenu = nullptr;
};

// A popup (context) menu: items with captions, 16-bit command ids and flags, and submenus it owns. The
// menu is built for one right click, tracked once (synchronously) and deleted. Positions are 1-based.
// The by-command operations address the first item with that identifier anywhere in the menu,
// submenus included; a submenu item's identifier is the submenu's handle.
class podoMenu
{
public:
    explicit podoMenu(podoWnd *owner);
    // Deletes every submenu handed to it.
    virtual ~podoMenu();

    virtual podoWnd *getOwner() const { return owner; }
    virtual void setOwner(podoWnd *newOwner) { owner = newOwner; }
    virtual void *handle() const;
    // The first item with the command id (a submenu item has all ones); 0 when none.
    virtual int32_t positionOf(uint32_t id) const;
    // The item's command id; 0 outside the menu.
    virtual uint32_t idAt(int32_t position) const;
    // The menu takes the submenu over. A submenu that already belongs to a menu, or that holds this
    // menu, is refused.
    virtual bool appendSubmenu(podoMenuFlags flags, podoMenu *submenu, const podoStr &caption);
    virtual bool addItem(podoMenuFlags flags, uint32_t id, const podoStr &caption);
    // With 0x40 the id argument is a podoMenu*. The caption may be null.
    virtual bool appendItem(podoMenuFlags flags, uintptr_t idOrSubmenu, const podoStr *caption);
    virtual bool appendLabel(podoMenuFlags flags, const podoStr &caption);
    virtual bool appendText(podoMenuFlags flags, const podoStr &caption);
    // Nothing on an empty menu.
    virtual bool appendSeparator();
    // True when the item was checked before; false when it was not or does not exist.
    virtual bool checkSubmenu(podoMenu *submenu, bool checked);
    virtual bool check(uint32_t id, bool checked);
    // Makes the item the default (bold) one of the menu that holds it.
    virtual bool setDefaultSubmenu(podoMenu *submenu);
    virtual bool setDefault(uint32_t id);
    // Checks the item and makes it the default.
    virtual bool selectSubmenu(podoMenu *submenu);
    virtual bool select(uint32_t id);
    // Enable, or disable and gray.
    virtual bool enableSubmenu(podoMenu *submenu, bool enabled);
    virtual bool enable(uint32_t id, bool enabled);
    virtual bool disableSubmenu(podoMenu *submenu);
    virtual bool disable(uint32_t id);
    // Shows the menu with its top-left corner at (x, y) from the owner window's top-left corner and
    // waits; the chosen command id, or 0 when the menu was dismissed or could not be shown.
    virtual uint32_t track(int32_t x, int32_t y, bool unused);

    // The zoom to draw the menu at while it is tracked: the owner's content scale (0: the desktop's).
    float getScale() const { return scale; }

    // The items as shown, in order.
    int32_t itemCount() const { return static_cast<int32_t>(items->size()); }
    const podoMenuItem &itemAt(int32_t index) const { return (*items)[static_cast<size_t>(index)]; }

private:
    struct Found {
        std::vector<podoMenuItem> *list;
        podoMenuItem *item;
    };
    Found find(uintptr_t identifier);
    bool setCheck(uintptr_t identifier, bool checked);
    bool makeDefault(uintptr_t identifier);
    bool setEnabled(uintptr_t identifier, bool enabled);
    bool holds(const podoMenu *menu) const;

    podoWnd *owner;
    float scale = 0.0f;
    int32_t count = 0; // items appended so far, failures included
    // The menu's own item list; its address is the menu's handle.
    std::unique_ptr<std::vector<podoMenuItem>> items;
    podoMenu *parent = nullptr;
};
