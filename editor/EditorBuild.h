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

} // namespace editorbuild
