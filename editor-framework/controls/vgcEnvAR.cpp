#include "editor-framework/controls/vgcEnvAR.h"

#include "editor-framework/podoSkin.h"
#include "gui/CBitmap.h"
#include "gui/CSlider.h"

#include <algorithm>

using namespace qgui;

namespace {

float timeOf(const CSlider *fader) { return fader ? std::clamp(fader->getValueNormalized(), 0.0f, 1.0f) : 0.0f; }

} // namespace

vgcEnvAR::vgcEnvAR(const CRect &size, CBitmap *background, CSlider *first, CSlider *second)
    : vgcControl(size, nullptr, -1, background), faders{first, second}
{
    if (background && second && second->getHandle()) {
        handleWidth = int32_t(second->getHandle()->getWidth());
        handleHeight = int32_t(second->getHandle()->getHeight());
    }
    for (int32_t i : {1, 0}) {
        segments[i].width = faders[i] ? int32_t(faders[i]->getWidth()) : handleWidth;
        segments[i].x = 0;
        setTimePoint(i, 0.0f);
        setLevel(i, 1.0f);
    }
}

void vgcEnvAR::setCurve(const float *table, int32_t n)
{
    curve = table;
    curveLength = n;
    setDirty();
}

void vgcEnvAR::setTailLine(bool on)
{
    tailLine = on;
    setDirty();
}

void vgcEnvAR::setTimePoint(int32_t index, float v)
{
    index &= 1;
    if (faders[index])
        faders[index]->setValue(v);
    if (index == 0) {
        segments[1].x = faders[0] ? handleWidth + 1 + int32_t((segments[0].width - handleWidth) * v) : 1;
        placeFader(1);
    }
    setDirty();
}

void vgcEnvAR::setLevel(int32_t index, float level)
{
    index &= 1;
    segments[index].y = int32_t((size.getHeight() - handleHeight) * (1.0f - level));
    placeFader(index);
    setDirty();
}

void vgcEnvAR::placeFader(int32_t index)
{
    CSlider *fader = faders[index];
    if (!fader)
        return;
    const CRect r(size.left + segments[index].x, size.top + segments[index].y,
                  size.left + segments[index].x + segments[index].width,
                  size.top + segments[index].y + handleHeight);
    fader->setViewSize(r, true);
    fader->setMouseableArea(r);
    fader->setOffset(r.getTopLeft());
}

CPoint vgcEnvAR::secondStart() const
{
    CCoord x = segments[0].x;
    if (faders[0])
        x += handleWidth + int32_t(timeOf(faders[0]) * (segments[0].width - handleWidth));
    return CPoint(x, segments[0].y + handleHeight / 2);
}

CPoint vgcEnvAR::secondEnd() const
{
    return CPoint(segments[1].x + int32_t(timeOf(faders[1]) * (segments[1].width - handleWidth)),
                  segments[1].y + handleHeight / 2);
}

std::vector<CPoint> vgcEnvAR::curvePoints() const
{
    const CPoint s = secondStart(), e = secondEnd();
    std::vector<CPoint> points{s};
    const int32_t count = int32_t(e.x - s.x);
    if (count > 0 && curve && curveLength > 0) {
        const int32_t m = std::max(count - 1, 1);
        for (int32_t i = 0; i < count; ++i) {
            const int32_t j = count - 1 - i;
            const float c = curve[1 + int32_t(int64_t(curveLength) * j / m)];
            points.emplace_back(s.x + i, s.y + int32_t((1.0f - c) * float(e.y - s.y) + 0.5f));
        }
    }
    points.push_back(e);
    return points;
}

void vgcEnvAR::draw(CDrawContext *context)
{
    if (background)
        background->draw(context, size, CPoint(0, 0));
    context->saveGlobalState();
    context->setFrameColor(vgcSkinColor(skinFontHighlight));
    context->setDrawMode(kAntiAliasing | kNonIntegralMode);
    context->setLineWidth(1);
    context->setLineStyle(CLineStyle{CLineStyle::kLineCapRound, CLineStyle::kLineJoinRound, {}, 0});
    const CPoint origin = size.getTopLeft();
    if (faders[0]) {
        const CPoint end(segments[0].x + int32_t(timeOf(faders[0]) * (segments[0].width - handleWidth)),
                         segments[0].y + handleHeight / 2);
        context->drawLine(CPoint(size.left, size.bottom - 1), end + origin);
    }
    if (faders[1]) {
        const std::vector<CPoint> points = curvePoints();
        CGraphicsPath *path = context->createGraphicsPath();
        path->beginSubpath(points.front() + origin);
        for (size_t i = 1; i < points.size(); ++i)
            path->addLine(points[i] + origin);
        context->drawGraphicsPath(path, PathDrawMode::kStroked);
        path->forget();
        if (tailLine) {
            const CCoord y = segments[1].y + handleHeight / 2;
            const CCoord x = segments[1].x + handleWidth + int32_t(timeOf(faders[1]) * (segments[1].width - handleWidth));
            context->drawLine(CPoint(x, y) + origin, CPoint(size.right, y + origin.y));
        }
    }
    context->restoreGlobalState();
    for (CSlider *fader : faders)
        if (fader)
            fader->draw(context);
    drawLabel(context);
    setDirty(false);
}
