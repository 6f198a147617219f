// Display controls: a level meter drawn from a two-part image and a frame strip chosen by the value.
// Both report a left click with the unchanged value, and the right button and drops as signals.
#pragma once

#include "editor-framework/controls/vgcControl.h"
#include "gui/CDisplays.h"

// The image holds the unlit and the lit meter: stacked (unlit above) for a horizontal meter, side by side
// (unlit left) for a vertical one; every pixel along the meter is one step. Direction: a horizontal meter
// fills from the left with style bit 8, else from the right; a vertical one from the top with bit 0x20,
// else from the bottom. It shows exactly the value it is given (no fall, no peak hold).
class vgcLvMeter : public vgcWith<qgui::CVuMeter>
{
public:
    vgcLvMeter(const qgui::CRect &size, qgui::IControlListener *listener, int32_t tag, qgui::CBitmap *image,
               int32_t style);

    void draw(qgui::CDrawContext *context) override;
    qgui::CMouseEventResult onMouseDown(qgui::CPoint &where, const qgui::CButtonState &buttons) override;
    // Where the lit and the unlit parts meet, in pixels from the meter's left or top edge.
    qgui::CCoord splitPosition() const;
};

// Shows frame (int)((count - 1) × v + 0.5) of its strip; shows nothing while its value is negative.
class vgcMovieBitmap : public vgcWith<qgui::CMovieBitmap>
{
public:
    vgcMovieBitmap(const qgui::CRect &size, qgui::IControlListener *listener, int32_t tag, qgui::CBitmap *strip,
                   int32_t frames, qgui::CCoord frameHeight);

    void draw(qgui::CDrawContext *context) override;
    qgui::CMouseEventResult onMouseDown(qgui::CPoint &where, const qgui::CButtonState &buttons) override;
    int32_t frameIndex() const;
};
