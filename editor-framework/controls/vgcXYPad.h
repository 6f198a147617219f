// A two-dimensional control: points shown by small caption labels that the user drags, and legends
// (groups of labels with common colours) drawn over the background.
#pragma once

#include "editor-framework/controls/vgcControl.h"

#include <vector>

// While a point is dragged the value is its index / point count and the listener reads the point with
// getPointValue. A point is not shown until it is placed. The pad owns its captions and legend labels.
class vgcXYPad : public vgcControl
{
public:
    struct Point {
        vgcTextLabel *caption = nullptr;
        int32_t x = -1; // pixels from the pad's left edge; -1 while not placed
        int32_t y = -1;
    };
    struct tLegend {
        std::vector<vgcTextLabel *> labels;
        qgui::CColor textColor = qgui::kWhiteCColor;
        qgui::CColor backColor = qgui::kTransparentCColor;
    };

    vgcXYPad(const qgui::CRect &size, qgui::IControlListener *listener, int32_t tag, qgui::CBitmap *background);
    ~vgcXYPad() override;

    void draw(qgui::CDrawContext *context) override;
    qgui::CMouseEventResult onMouseDown(qgui::CPoint &where, const qgui::CButtonState &buttons) override;
    qgui::CMouseEventResult onMouseUp(qgui::CPoint &where, const qgui::CButtonState &buttons) override;
    qgui::CMouseEventResult onMouseMoved(qgui::CPoint &where, const qgui::CButtonState &buttons) override;
    bool onWheel(const qgui::CPoint &where, const float &distance, const qgui::CButtonState &buttons) override;

    virtual int32_t getPointCount() const { return int32_t(points.size()); }
    // New points, unplaced; a style other than 0 becomes their captions' style.
    virtual void setPointCount(int32_t count, int32_t style);
    // Null for an index out of range.
    virtual const Point *getPoint(int32_t index) const;
    virtual int32_t getSelectedPoint() const { return selectedPoint; }
    virtual void getPointValue(int32_t index, float *x, float *y) const;
    // Places the caption centred on (x, y), kept inside the pad; true when it moved.
    virtual bool setPointPosition(int32_t index, int32_t x, int32_t y);
    virtual bool setPointValue(int32_t index, float x, float y);
    virtual void setPointColors(int32_t index, qgui::CColor text, qgui::CColor back);
    virtual void setLegendColors(int32_t legend, qgui::CColor text, qgui::CColor back);
    virtual void setFillColor(qgui::CColor colour);
    // Selects the first point whose caption holds the point; false (selection kept) when none does.
    virtual bool hitPoint(const qgui::CPoint &where);
    virtual void setLegendCount(int32_t n);
    virtual void setLegendLabelCount(int32_t legend, int32_t count);
    tLegend *getLegend(int32_t index);

    virtual void drawBackground(qgui::CDrawContext *context);
    virtual void drawAboveBackground(qgui::CDrawContext *) {}
    virtual void drawBelowLegends(qgui::CDrawContext *) {}
    virtual void drawLegends(qgui::CDrawContext *context);
    virtual void drawAboveLegends(qgui::CDrawContext *) {}
    // The points from the last to the first, so the first lies on top.
    virtual void drawPoints(qgui::CDrawContext *context);

protected:
    void destroyPoints();
    bool validPoint(int32_t index) const { return index >= 0 && index < int32_t(points.size()); }

    qgui::CColor fillColor{0, 0, 0, 0};
    std::vector<Point> points;
    int32_t selectedPoint = -1;
    std::vector<tLegend> legends;
};
