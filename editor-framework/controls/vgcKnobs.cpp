#include "editor-framework/controls/vgcKnobs.h"

#include "gui/CBitmap.h"

#include <algorithm>
#include <cmath>

using namespace qgui;

namespace {

// Left double click with a listener: the signal v + 5, taken off again afterwards.
bool doubleClickSignal(CControl *control, const CButtonState &buttons)
{
    if (!(buttons & kLButton) || !(buttons & kDoubleClick) || !control->getListener())
        return false;
    control->setValueRaw(control->getValue() + controlSignal::doubleClick);
    control->valueChanged();
    if (control->getValue() >= controlSignal::doubleClick)
        control->setValueRaw(control->getValue() - controlSignal::doubleClick);
    return true;
}

bool horizontal(int32_t style) { return (style & kHorizontal) != 0; }

// Handle travel along the fader: from half the handle to half the handle before the far end.
CCoord lengthAlong(const CRect &size, int32_t style) { return horizontal(style) ? size.getWidth() : size.getHeight(); }
CCoord handleAlong(const CBitmap *handle, int32_t style)
{
    return horizontal(style) ? handle->getWidth() : handle->getHeight();
}
int32_t faderMinPos(const CRect &size, const CBitmap *handle, int32_t style)
{
    (void)size;
    return handle ? int32_t(handleAlong(handle, style) / 2) : 1;
}
int32_t faderMaxPos(const CRect &size, const CBitmap *handle, int32_t style)
{
    return handle ? int32_t((lengthAlong(size, style) - 1) - (handleAlong(handle, style) - 1) / 2) : 1;
}

} // namespace

vgcAnimKnob::vgcAnimKnob(const CRect &size, IControlListener *listener, int32_t tag, CBitmap *strip, int32_t frames)
    : vgcWith<CAnimKnob>(size, listener, tag, std::max(frames, 1),
                         strip ? strip->getHeight() / std::max(frames, 1) : 1, strip, CPoint(0, 0))
{
    setInverseBitmap(false);
    setInsetValue(0);
    setTransparency(true);
    controlSignal::applyRules(this, listener, tag);
    setZoomFactor(15.0f);
}

void vgcAnimKnob::draw(CDrawContext *context)
{
    CAnimKnob::draw(context);
    drawLabel(context);
}

CMouseEventResult vgcAnimKnob::onMouseDown(CPoint &where, const CButtonState &buttons)
{
    const float before = valueBeforeJump;
    valueBeforeJump = -1.0f;
    if ((buttons & kLButton) && (buttons & kDoubleClick) && getListener() && before >= 0.0f && before != getValue()) {
        // The first click of this double click moved the knob: put the value back before the entry opens.
        beginEdit();
        setValue(before);
        valueChanged();
        endEdit();
        invalid();
    }
    if (controlSignal::mouseDownPrologue(this, buttons) || doubleClickSignal(this, buttons))
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    const float old = getValue();
    const CMouseEventResult result = CAnimKnob::onMouseDown(where, buttons);
    if (getKnobMode() == kCircularMode && (buttons & kLButton))
        valueBeforeJump = old;
    return result;
}

vgcSlider::vgcSlider(const CRect &size, IControlListener *listener, int32_t tag, CBitmap *background,
                     CBitmap *handle, int32_t minPos, int32_t maxPos, int32_t style)
    : vgcWith<CSlider>(size, listener, tag, minPos, maxPos, handle, background, CPoint(0, 0), style)
{
    controlSignal::applyRules(this, listener, tag);
    setDrawTransparentHandle(false);
    setOffsetHandle(CPoint(0, 0));
}

void vgcSlider::draw(CDrawContext *context)
{
    CSlider::draw(context);
    drawLabel(context);
}

CMouseEventResult vgcSlider::onMouseDown(CPoint &where, const CButtonState &buttons)
{
    if (controlSignal::mouseDownPrologue(this, buttons) || doubleClickSignal(this, buttons))
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    return CSlider::onMouseDown(where, buttons);
}

vgcFader::vgcFader(const CRect &size, IControlListener *listener, int32_t tag, CBitmap *background, CBitmap *handle,
                   int32_t style)
    : vgcSlider(size, listener, tag, background, handle, faderMinPos(size, handle, style),
                faderMaxPos(size, handle, style), style)
{
    if (handle) {
        if (horizontal(style))
            setOffsetHandle(CPoint(0, (size.getHeight() - handle->getHeight()) / 2));
        else
            setOffsetHandle(CPoint((size.getWidth() - handle->getWidth()) / 2, 0));
    }
}

CRect vgcFader::handleRect() const
{
    const float v = std::clamp(value, vmin, vmax);
    const float n = getRange() > 0 ? (v - vmin) / getRange() : 0.0f;
    if (isHorizontal()) {
        const CCoord x = offsetHandle.x + std::floor(n * rangeHandle);
        return CRect(x, offsetHandle.y, x + widthOfSlider, offsetHandle.y + heightOfSlider);
    }
    const CCoord y = offsetHandle.y + std::floor((1.0f - n) * rangeHandle);
    return CRect(offsetHandle.x, y, offsetHandle.x + widthOfSlider, y + heightOfSlider);
}

void vgcFader::draw(CDrawContext *context)
{
    const CRect h = handleRect();
    const CCoord w = size.getWidth(), ht = size.getHeight();
    auto place = [&](CRect r) { return r.offset(size.left, size.top); };
    if (background) {
        if (isHorizontal()) {
            background->draw(context, place(CRect(h.left, 0, w, ht)), CPoint(h.left, 0));
            background->draw(context, place(CRect(0, 0, h.left, ht)), CPoint(0, ht));
        } else {
            background->draw(context, place(CRect(0, 0, w, h.top)), CPoint(0, 0));
            background->draw(context, place(CRect(0, h.top, w, ht)), CPoint(w, h.top));
        }
    }
    if (pHandle && value >= 0.0f)
        pHandle->draw(context, place(h));
    drawLabel(context);
    setDirty(false);
}

vgcMultiFaderComponent::vgcMultiFaderComponent(const CRect &size, IControlListener *listener, int32_t tag,
                                               CBitmap *handle)
    : vgcFader(size, listener, tag, nullptr, handle, kHorizontal | kLeft)
{
    setMode(kRelativeTouchMode);
}
