// Continuous controls: a knob drawn from a strip of frames, a slider, a fader that draws its track lit up
// to the handle, and the fader that must be grabbed at its handle. All keep the toolkit's drag and wheel;
// a left double click reports v + 5.
#pragma once

#include "editor-framework/controls/vgcControl.h"
#include "gui/CKnob.h"
#include "gui/CSlider.h"

// Frames stacked vertically, frame i for value v = the integer part of v × (count - 1). Shift makes the
// linear drag 15 times finer.
class vgcAnimKnob : public vgcWith<qgui::CAnimKnob>
{
public:
    vgcAnimKnob(const qgui::CRect &size, qgui::IControlListener *listener, int32_t tag, qgui::CBitmap *strip,
                int32_t frames);

    void draw(qgui::CDrawContext *context) override;
    qgui::CMouseEventResult onMouseDown(qgui::CPoint &where, const qgui::CButtonState &buttons) override;

private:
    // In the circular mode a click jumps to the pointer's angle; the value before it, until the next
    // press, so that a double click opens value entry on the value the knob had (-1: none).
    float valueBeforeJump = -1.0f;
};

// The toolkit's slider (free-click mode, Shift 10 times finer) with an opaque handle and a value label.
class vgcSlider : public vgcWith<qgui::CSlider>
{
public:
    vgcSlider(const qgui::CRect &size, qgui::IControlListener *listener, int32_t tag, qgui::CBitmap *background,
              qgui::CBitmap *handle, int32_t minPos, int32_t maxPos, int32_t style);

    void draw(qgui::CDrawContext *context) override;
    qgui::CMouseEventResult onMouseDown(qgui::CPoint &where, const qgui::CButtonState &buttons) override;
};

// The handle travels between half its size from the near end and half its size from the far end, and is
// centred across the fader. The background holds two track images of the fader's size: unlit and lit,
// stacked for a horizontal fader, side by side for a vertical one. While the value is negative (a
// right-button signal) the track is drawn without the handle.
class vgcFader : public vgcSlider
{
public:
    vgcFader(const qgui::CRect &size, qgui::IControlListener *listener, int32_t tag, qgui::CBitmap *background,
             qgui::CBitmap *handle, int32_t style);

    void draw(qgui::CDrawContext *context) override;
    // The handle's rectangle (view coordinates) and the split of the track, for the current value.
    qgui::CRect handleRect() const;
};

// A horizontal fader without background that moves only when dragged at its handle, by the pointer's
// movement.
class vgcMultiFaderComponent : public vgcFader
{
public:
    vgcMultiFaderComponent(const qgui::CRect &size, qgui::IControlListener *listener, int32_t tag,
                           qgui::CBitmap *handle);
};
