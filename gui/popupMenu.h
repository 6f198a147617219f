// The one popup menu of the program, used by option menus and by the foundation's context menus.
#pragma once

#include "gui/guiTypes.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qgui {

struct PopupMenuList;

struct PopupItem {
    std::string title;         // text after a "\t" is shown on the right
    bool separator = false;    // a line; never chosen
    bool enabled = true;       // disabled items cannot be chosen
    bool greyed = true;        // a disabled item is shown greyed; false: it looks like the others
    bool checked = false;      // a tick in front
    bool isDefault = false;    // drawn bold
    bool columnBreak = false;  // starts a new column
    std::shared_ptr<PopupMenuList> submenu;
};

struct PopupMenuList {
    std::vector<PopupItem> items;
    int32_t itemsPerColumn = 0;  // 0: one column unless an item breaks it or the screen is too short
    // "&" in a title marks the next character: shown underlined, typed to choose the item ("&&" shows "&").
    bool mnemonics = false;
};

// Indexes from the top menu down to the chosen item; empty when the menu was dismissed.
struct PopupResult {
    std::vector<int32_t> path;
    bool chosen() const { return !path.empty(); }
};

// Where to show the menu: its top-left corner in device pixels of the owner window (an X11 window id).
struct PopupRequest {
    unsigned long ownerWindow = 0;
    CPoint position;
    double scale = 1.0;  // the owner's zoom: the menu's text grows with it
};

// Shows the menu and waits (its own event loop, nothing else of the program runs) until the user chose
// an item or dismissed the menu. With a chooser set, the chooser answers instead; without a chooser and
// without a window (offscreen), the menu counts as dismissed.
PopupResult popupMenu(const PopupMenuList& menu, const PopupRequest& request);

// Answers popups in place of the user: tests and headless runs record the menu and script a choice.
using PopupChooser = std::function<PopupResult(const PopupMenuList& menu, const PopupRequest& request)>;
void setPopupChooser(PopupChooser chooser);

// The X11 popup itself (popupMenu calls it when no chooser is set).
PopupResult popupMenuX11(const PopupMenuList& menu, const PopupRequest& request);

}  // namespace qgui
