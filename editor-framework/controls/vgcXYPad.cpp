#include "editor-framework/controls/vgcXYPad.h"

#include "editor-framework/controls/vgcTextLabel.h"
#include "gui/CBitmap.h"

#include <algorithm>

using namespace qgui;

namespace {

vgcTextLabel *newSmallLabel(const CRect &r) { return new vgcTextLabel(r, nullptr, -1, nullptr, 1, kNoFrame); }

void destroyLabels(std::vector<vgcTextLabel *> &labels)
{
    for (vgcTextLabel *&label : labels)
        forgetValueLabel(label);
    labels.clear();
}

} // namespace

vgcXYPad::vgcXYPad(const CRect &size, IControlListener *listener, int32_t tag, CBitmap *background)
    : vgcControl(size, listener, tag, background)
{
}

vgcXYPad::~vgcXYPad()
{
    destroyPoints();
    for (tLegend &legend : legends)
        destroyLabels(legend.labels);
}

void vgcXYPad::destroyPoints()
{
    for (Point &p : points)
        forgetValueLabel(p.caption);
    points.clear();
    selectedPoint = -1;
}

void vgcXYPad::setPointCount(int32_t count, int32_t style)
{
    destroyPoints();
    for (int32_t i = 0; i < count; ++i) {
        Point p;
        p.caption = newSmallLabel(CRect(0, 0, 12, 12));
        if (style != 0)
            p.caption->setStyle(style);
        points.push_back(p);
    }
    setDirty();
}

const vgcXYPad::Point *vgcXYPad::getPoint(int32_t index) const
{
    return validPoint(index) ? &points[size_t(index)] : nullptr;
}

void vgcXYPad::getPointValue(int32_t index, float *x, float *y) const
{
    if (!validPoint(index))
        return;
    const Point &p = points[size_t(index)];
    const CCoord w = size.getWidth() - 1, h = size.getHeight() - 1;
    if (x)
        *x = w > 0 ? float(p.x / w) : 0.0f;
    if (y)
        *y = h > 0 ? float(p.y / h) : 0.0f;
}

bool vgcXYPad::setPointValue(int32_t index, float x, float y)
{
    if (!validPoint(index))
        return false;
    return setPointPosition(index, int32_t(x * size.getWidth()), int32_t(y * size.getHeight()));
}

bool vgcXYPad::setPointPosition(int32_t index, int32_t x, int32_t y)
{
    if (!validPoint(index))
        return false;
    Point &p = points[size_t(index)];
    if (p.x == x && p.y == y)
        return false;
    p.x = x;
    p.y = y;
    const CRect old = p.caption->getViewSize();
    CRect r = old;
    r.moveTo(size.left + x - old.getWidth() / 2, size.top + y - old.getHeight() / 2);
    if (r.left < size.left)
        r.offset(size.left - r.left, 0);
    if (r.top < size.top)
        r.offset(0, size.top - r.top);
    if (r.right > size.right)
        r.offset(size.right - r.right, 0);
    if (r.bottom > size.bottom)
        r.offset(0, size.bottom - r.bottom);
    if (r == old)
        return false;
    p.caption->setViewSize(r, false);
    p.caption->setMouseableArea(r);
    setDirty();
    return true;
}

void vgcXYPad::setPointColors(int32_t index, CColor text, CColor back)
{
    if (!validPoint(index))
        return;
    vgcTextLabel *caption = points[size_t(index)].caption;
    caption->setPartColor(text, 0);
    caption->setBackColor(back);
    caption->setTransparency(back.alpha == 0);
    setDirty();
}

void vgcXYPad::setLegendColors(int32_t legendIndex, CColor text, CColor back)
{
    tLegend *legend = getLegend(legendIndex);
    if (!legend)
        return;
    for (vgcTextLabel *label : legend->labels) {
        legend->textColor = text;
        legend->backColor = back;
        label->setPartColor(text, 0);
        label->setBackColor(back);
        if (label->getTransparency() != (back.alpha == 0)) {
            label->setTransparency(back.alpha == 0);
            setDirty();
        }
    }
}

void vgcXYPad::setFillColor(CColor colour)
{
    if (colour != fillColor)
        setDirty();
    fillColor = colour;
}

bool vgcXYPad::hitPoint(const CPoint &where)
{
    for (size_t i = 0; i < points.size(); ++i)
        if (points[i].caption->hitTest(where)) {
            selectedPoint = int32_t(i);
            return true;
        }
    return false;
}

vgcXYPad::tLegend *vgcXYPad::getLegend(int32_t index)
{
    return index >= 0 && index < int32_t(legends.size()) ? &legends[size_t(index)] : nullptr;
}

void vgcXYPad::setLegendCount(int32_t n)
{
    for (int32_t j = 0; j < int32_t(legends.size()); ++j)
        setLegendLabelCount(j, 0);
    legends.clear();
    legends.resize(size_t(std::max(n, 0)));
    setDirty();
}

void vgcXYPad::setLegendLabelCount(int32_t legendIndex, int32_t count)
{
    tLegend *legend = getLegend(legendIndex);
    if (!legend || int32_t(legend->labels.size()) == count)
        return;
    destroyLabels(legend->labels);
    for (int32_t i = 0; i < count; ++i)
        legend->labels.push_back(newSmallLabel(CRect()));
    legend->textColor = kWhiteCColor;
    legend->backColor = CColor{255, 255, 255, 0};
    setDirty();
}

CMouseEventResult vgcXYPad::onMouseDown(CPoint &where, const CButtonState &buttons)
{
    if (!hitPoint(where) || value < 0.0f || !mouseEnabled)
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    if ((buttons & kRButton) && listener) {
        value = -1.0f - value;
        valueChanged();
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    if (!(buttons & kLButton))
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    beginEdit();
    return kMouseEventHandled;
}

CMouseEventResult vgcXYPad::onMouseMoved(CPoint &where, const CButtonState &buttons)
{
    if (!(buttons & kLButton) || selectedPoint < 0 || points.empty())
        return kMouseEventNotHandled;
    const int32_t x = int32_t(std::clamp(where.x - size.left, 0.0, std::max(0.0, size.getWidth() - 1)));
    const int32_t y = int32_t(std::clamp(where.y - size.top, 0.0, std::max(0.0, size.getHeight() - 1)));
    setPointPosition(selectedPoint, x, y);
    value = float(selectedPoint) / float(points.size());
    valueChanged();
    return kMouseEventHandled;
}

CMouseEventResult vgcXYPad::onMouseUp(CPoint &, const CButtonState &)
{
    endEdit();
    return kMouseEventHandled;
}

bool vgcXYPad::onWheel(const CPoint &where, const float &distance, const CButtonState &buttons)
{
    hitPoint(where);
    return controlSignal::wheelSignal(this, distance, buttons);
}

void vgcXYPad::drawBackground(CDrawContext *context)
{
    if (background) {
        background->draw(context, size, CPoint(0, 0));
    } else if (fillColor.alpha != 0) {
        context->setFillColor(fillColor);
        context->drawRect(CRect(size.left - 1, size.top - 1, size.right, size.bottom), kDrawFilled);
    }
}

void vgcXYPad::drawLegends(CDrawContext *context)
{
    for (tLegend &legend : legends)
        for (vgcTextLabel *label : legend.labels)
            label->draw(context);
}

void vgcXYPad::drawPoints(CDrawContext *context)
{
    const float alpha = context->getGlobalAlpha();
    for (auto it = points.rbegin(); it != points.rend(); ++it) {
        if (it->x < 0)
            continue;
        context->setGlobalAlpha(it->caption->getAlphaValue());
        it->caption->draw(context);
    }
    context->setGlobalAlpha(alpha);
}

void vgcXYPad::draw(CDrawContext *context)
{
    CRect saved;
    context->getClipRect(saved);
    context->saveGlobalState();
    context->setClipRect(CRect(size).bound(saved));
    context->setDrawMode(kAntiAliasing | kNonIntegralMode);
    context->setLineStyle(CLineStyle{CLineStyle::kLineCapRound, CLineStyle::kLineJoinRound, {}, 0});
    drawBackground(context);
    drawAboveBackground(context);
    drawBelowLegends(context);
    drawLegends(context);
    drawAboveLegends(context);
    drawPoints(context);
    context->restoreGlobalState();
    setDirty(false);
}
