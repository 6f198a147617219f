#include "editor-framework/controls/vgcDisplays.h"

#include "gui/CBitmap.h"
#include "gui/CSlider.h"

#include <algorithm>
#include <cmath>

using namespace qgui;

namespace {

int32_t meterSteps(const CBitmap *image, int32_t style)
{
    if (!image)
        return 1;
    return std::max(1, int32_t((style & kHorizontal) ? image->getWidth() : image->getHeight()));
}

CMouseEventResult reportClick(CControl *control, const CButtonState &buttons)
{
    if (!controlSignal::mouseDownPrologue(control, buttons) && control->getListener())
        control->valueChanged();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

} // namespace

vgcLvMeter::vgcLvMeter(const CRect &size, IControlListener *listener, int32_t tag, CBitmap *image, int32_t st)
    : vgcWith<CVuMeter>(size, image, nullptr, meterSteps(image, st), st)
{
    setBackground(image);
    controlSignal::applyRules(this, listener, tag);
}

// The nearest step, as pixels along the image; at the last step the meter is covered whole.
CCoord vgcLvMeter::splitPosition() const
{
    const bool across = style & kHorizontal;
    const CCoord length = onBitmap ? (across ? onBitmap->getWidth() : onBitmap->getHeight()) : 1;
    const float v = std::clamp(value, vmin, vmax);
    const bool forward = across ? (style & kLeft) : (style & kTop);
    const float d = forward ? v : vmax - v;
    const int32_t k = int32_t(float(nbLed) * d + 0.5f);
    if (k >= nbLed)
        return across ? size.getWidth() : size.getHeight();
    return std::floor(double(k) / nbLed * (length - 1));
}

void vgcLvMeter::draw(CDrawContext *context)
{
    if (onBitmap) {
        const CCoord p = splitPosition();
        const CCoord w = size.getWidth(), h = size.getHeight();
        const CCoord halfW = onBitmap->getWidth() / 2, halfH = onBitmap->getHeight() / 2;
        struct Part {
            CRect rect;
            CPoint source;
        } unlit, lit;
        if (style & kHorizontal) {
            if (style & kLeft) {
                lit = {{0, 0, p, h}, {0, halfH}};
                unlit = {{p, 0, w, h}, {p, 0}};
            } else {
                unlit = {{0, 0, p, h}, {0, 0}};
                lit = {{p, 0, w, h}, {p, halfH}};
            }
        } else if (style & kTop) {
            lit = {{0, 0, w, p}, {halfW, 0}};
            unlit = {{0, p, w, h}, {0, p}};
        } else {
            unlit = {{0, 0, w, p}, {0, 0}};
            lit = {{0, p, w, h}, {halfW, p}};
        }
        for (const Part *part : {&unlit, &lit})
            if (!part->rect.isEmpty())
                onBitmap->draw(context, CRect(part->rect).offset(size.left, size.top), part->source);
    }
    drawLabel(context);
    setDirty(false);
}

CMouseEventResult vgcLvMeter::onMouseDown(CPoint &, const CButtonState &buttons) { return reportClick(this, buttons); }

vgcMovieBitmap::vgcMovieBitmap(const CRect &size, IControlListener *listener, int32_t tag, CBitmap *strip,
                               int32_t frames, CCoord frameHeight)
    : vgcWith<CMovieBitmap>(size, listener, tag, std::max(frames, 1), frameHeight, strip, CPoint(0, 0))
{
    controlSignal::applyRules(this, listener, tag);
}

int32_t vgcMovieBitmap::frameIndex() const
{
    const float range = vmax - vmin;
    const float a = range > 0 ? (value - vmin) / range : 0.0f;
    return std::clamp(int32_t(float(subPixmaps - 1) * a + 0.5f), 0, subPixmaps - 1);
}

void vgcMovieBitmap::draw(CDrawContext *context)
{
    if (value >= 0.0f) {
        CBitmap *bitmap = (!mouseEnabled && disabledBackground) ? disabledBackground : background;
        if (bitmap)
            bitmap->draw(context, size, CPoint(offset.x, offset.y + frameIndex() * heightOfOneImage));
        setDirty(false);
    }
    drawLabel(context);
}

CMouseEventResult vgcMovieBitmap::onMouseDown(CPoint &, const CButtonState &buttons)
{
    return reportClick(this, buttons);
}
