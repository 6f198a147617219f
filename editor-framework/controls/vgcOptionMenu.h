// The popup menu control with a normalised value, and the dropdown list the editor builds from it.
#pragma once

#include "editor-framework/controls/vgcControl.h"
#include "gui/COptionMenu.h"

// For n entries, entry i has the value i / (n - 1) and a value v selects entry (int)((n - 1) × v + 0.5).
// The current entry's title is drawn with the text offset and insets; the popup shows it checked. A choice
// sets the chosen menu's value and reports through this (the top) menu; a right-button press reports
// -1 - v without opening the popup.
class vgcOptionMenu : public vgcWith<qgui::COptionMenu>
{
public:
    vgcOptionMenu(const qgui::CRect &size, qgui::IControlListener *listener, int32_t tag, qgui::CBitmap *background);

    void draw(qgui::CDrawContext *context) override;
    qgui::CMouseEventResult onMouseDown(qgui::CPoint &where, const qgui::CButtonState &buttons) override;
    // A value whose entry does not exist leaves the menu unchanged.
    void setValue(float value) override;
    bool popup() override;
    // The value stays normalised however many entries there are.
    void setMax(float) override {}

    virtual void setTextOffset(int32_t x, int32_t y);
    virtual void setTextInsets(int32_t left, int32_t top, int32_t right, int32_t bottom, bool flag);

    // The value of entry `index` in a menu of `count` entries (0 for a menu of one entry).
    static float entryValue(int32_t index, int32_t count);

protected:
    qgui::CPoint textOffset;
    qgui::CRect textInsets;
    bool insetsFlag = false;
};

// An option menu in the skin's default colours and the shared control font, its title centred.
class vgcDropdownList : public vgcOptionMenu
{
public:
    vgcDropdownList(const qgui::CRect &size, qgui::IControlListener *listener, int32_t tag, qgui::CBitmap *background);
};
