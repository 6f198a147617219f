#pragma once
// Helpers of the page builders: a control made by an image factory becomes the origin of the
// value-entry areas that follow it; value labels with their text offset.

#include "editor-framework/controls/vgcTextLabel.h"
#include "editor/Quorix_Editor.h"

namespace editorbuild {

template <class T>
T *placed(Quorix_Editor &editor, T *control)
{
    editor.notePlaced(control);
    return control;
}

// `lines` lines (controller, host slot) 20 wide and 9 high, its text moved by (dx, dy).
template <class T>
T *withValueLabel(T *control, int32_t lines, int32_t dx, int32_t dy)
{
    if (!control)
        return control;
    control->showValueLabel(lines, 20, 9);
    if (vgcTextLabel *label = control->getValueLabel())
        label->setTextOffset(dx, dy);
    return control;
}

// The colour a text control's state is shown in. A label draws its parts in their own colours, so part
// 0 takes the colour too; a text field draws with the font colour.
inline void setTextColour(qgui::CControl *control, const qgui::CColor &colour)
{
    auto *display = dynamic_cast<qgui::CParamDisplay *>(control);
    if (!display)
        return;
    display->setFontColor(colour);
    if (auto *label = dynamic_cast<vgcTextLabel *>(control))
        label->setPartColor(colour, 0);
    display->invalid();
}

// The contrast ratio of two colours (1 to 21) from their relative luminance.
double contrastRatio(const qgui::CColor &a, const qgui::CColor &b);
// `text` as it can be read on `back`: unchanged when its contrast is at least 4.5:1, else moved towards
// white or black (whichever the back colour allows more of) until it is.
qgui::CColor readableColour(const qgui::CColor &text, const qgui::CColor &back);

} // namespace editorbuild
