// Option menus: a control that shows its current entry and pops up its entries on a click.
#pragma once

#include "gui/CParamDisplay.h"

#include <functional>
#include <memory>
#include <vector>

namespace qgui {

class COptionMenu;
struct PopupMenuList;

// One entry; a title of "-" makes a separator, which still counts as an entry.
class CMenuItem : public CBaseObject {
public:
    enum Flags : int32_t { kNoFlags = 0, kDisabled = 1 << 0, kTitle = 1 << 1, kChecked = 1 << 2, kSeparator = 1 << 3 };

    CMenuItem(const std::string& title, int32_t flags = kNoFlags);
    CMenuItem(const std::string& title, COptionMenu* submenu);
    ~CMenuItem() override;

    void setTitle(const std::string& t) { title = t; }
    const std::string& getTitle() const { return title; }
    void setEnabled(bool state) { setFlag(kDisabled, !state); }
    bool isEnabled() const { return !(flags & kDisabled); }
    void setChecked(bool state) { setFlag(kChecked, state); }
    bool isChecked() const { return flags & kChecked; }
    void setIsTitle(bool state) { setFlag(kTitle, state); }
    bool isTitle() const { return flags & kTitle; }
    void setIsSeparator(bool state) { setFlag(kSeparator, state); }
    bool isSeparator() const { return (flags & kSeparator) || title == "-"; }
    // Takes a reference to the submenu.
    void setSubmenu(COptionMenu* menu);
    COptionMenu* getSubmenu() const { return submenu; }
    void setTag(int32_t t) { tag = t; }
    int32_t getTag() const { return tag; }

protected:
    void setFlag(int32_t f, bool state) { flags = state ? (flags | f) : (flags & ~f); }
    std::string title;
    int32_t flags;
    COptionMenu* submenu = nullptr;
    int32_t tag = -1;
};

// An entry whose command runs after it was chosen.
class CCommandMenuItem : public CMenuItem {
public:
    using Command = std::function<void(CCommandMenuItem* item)>;
    explicit CCommandMenuItem(const std::string& title, Command command = {}, int32_t flags = kNoFlags);
    void setActions(Command command) { this->command = std::move(command); }
    virtual void execute();

protected:
    Command command;
};

constexpr int32_t kCheckStyle = 1 << 16;                // the current entry is shown checked
constexpr int32_t kMultipleCheckStyle = kCheckStyle | 1;  // setValue toggles the entry's own check

// The value is the current entry's index (max = entries − 1). A choice in a submenu sets that submenu's
// value; the top menu reports to its listener in both cases.
class COptionMenu : public CParamDisplay {
public:
    COptionMenu();
    COptionMenu(const CRect& size, IControlListener* listener, int32_t tag, CBitmap* background = nullptr,
                CBitmap* bgWhenClick = nullptr, int32_t style = 0);
    ~COptionMenu() override;

    // addEntry takes over the caller's reference of the item.
    CMenuItem* addEntry(CMenuItem* item, int32_t index = -1);
    CMenuItem* addEntry(COptionMenu* submenu, const std::string& title);
    CMenuItem* addEntry(const std::string& title, int32_t index = -1, int32_t itemFlags = CMenuItem::kNoFlags);
    CMenuItem* addSeparator(int32_t index = -1);
    CMenuItem* getEntry(int32_t index) const;
    CMenuItem* getCurrent() const { return getEntry(currentIndex); }
    int32_t getNbEntries() const { return static_cast<int32_t>(menuItems.size()); }
    bool removeEntry(int32_t index);
    bool removeAllEntry();
    // Counting separators or not.
    int32_t getCurrentIndex(bool countSeparator = true) const;
    bool setCurrent(int32_t index, bool countSeparator = true);
    bool checkEntry(int32_t index, bool state);
    bool checkEntryAlone(int32_t index);
    bool isCheckEntry(int32_t index) const;
    void setNbItemsPerColumn(int32_t n) { nbItemsPerColumn = n; }
    int32_t getNbItemsPerColumn() const { return nbItemsPerColumn; }
    int32_t getLastResult() const { return lastResult; }
    COptionMenu* getLastItemMenu(int32_t& idxInMenu) const;
    // Background while the popup is open.
    void setBackgroundSelected(CBitmap* bitmap);
    CBitmap* getBackgroundSelected() const { return bgWhenClick; }
    bool isPopupOpen() const { return inPopup; }
    CButtonState getLastButton() const { return lastButton; }

    void setValue(float value) override;
    // Shows the menu (synchronously); true when an entry was chosen.
    virtual bool popup();

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    int32_t onKeyDown(VstKeyCode& key) override;

    // The entries as the popup shows them (the current entry checked under kCheckStyle).
    std::shared_ptr<PopupMenuList> makePopupModel() const;

protected:
    // Shows the popup below the menu; the menu of the chosen entry (this or a submenu) and the entry's
    // index there, or nullptr when nothing was chosen.
    COptionMenu* showPopup(int32_t& index);
    void updateMax();

    std::vector<CMenuItem*> menuItems;
    int32_t currentIndex = -1;
    int32_t lastResult = -1;
    COptionMenu* lastMenu = nullptr;
    CBitmap* bgWhenClick = nullptr;
    int32_t nbItemsPerColumn = -1;
    CButtonState lastButton = kRButton;
    bool inPopup = false;
};

}  // namespace qgui
