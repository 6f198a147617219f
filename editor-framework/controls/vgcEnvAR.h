// A display of one or two envelope segments over a background, which places the faders that edit them.
#pragma once

#include "editor-framework/controls/vgcControl.h"

namespace qgui {
class CSlider;
}

// The first fader sets the first segment's time, the second fader the second segment's, which starts
// where the first ends; each fader is moved up or down to the level where its segment ends (level 1 at
// the top). The first segment is a straight line from the bottom-left corner, the second follows the
// curve table read backwards, and a tail line carries the second segment's end level to the right edge.
// The display takes no mouse input and owns neither the faders nor the table.
class vgcEnvAR : public vgcControl
{
public:
    bool showsValueLabel() const override { return true; }
    // Segment record of one fader, relative to the display.
    struct Segment {
        int32_t x = 0;
        int32_t y = 0;
        int32_t width = 0;
    };

    vgcEnvAR(const qgui::CRect &size, qgui::CBitmap *background, qgui::CSlider *first, qgui::CSlider *second);

    void draw(qgui::CDrawContext *context) override;

    // The table must hold n + 2 values; entries 1 .. n + 1 are read.
    virtual void setCurve(const float *table, int32_t n);
    virtual void setTimePoint(int32_t index, float value);
    virtual void setLevel(int32_t index, float level);
    virtual void setTailLine(bool on);

    const Segment &getSegment(int32_t index) const { return segments[index & 1]; }
    // The second segment's points as drawn, relative to the display's top-left corner.
    std::vector<qgui::CPoint> curvePoints() const;

protected:
    void placeFader(int32_t index);
    // Start of the second segment: the end of the first (or the left edge without a first fader).
    qgui::CPoint secondStart() const;
    qgui::CPoint secondEnd() const;

    qgui::CSlider *faders[2];
    const float *curve = nullptr;
    int32_t curveLength = 0;
    Segment segments[2];
    int32_t handleWidth = 0;
    int32_t handleHeight = 0;
    bool tailLine = true;
};
