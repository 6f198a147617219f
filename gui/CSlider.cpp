#include "gui/CSlider.h"

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"

namespace qgui {

CSlider::CSlider(const CRect& size, IControlListener* l, int32_t t, int32_t iMinPos, int32_t iMaxPos,
                 CBitmap* handle, CBitmap* bg, const CPoint& off, int32_t st)
    : CControl(size, l, t, bg), offset(off), style(st), minPos(iMinPos), maxPos(iMaxPos),
      rangeHandle(iMaxPos - iMinPos) {
    setHandle(handle);
}

CSlider::~CSlider() {
    if (pHandle) pHandle->forget();
}

void CSlider::setHandle(CBitmap* bitmap) {
    if (bitmap) bitmap->remember();
    if (pHandle) pHandle->forget();
    pHandle = bitmap;
    if (pHandle) {
        widthOfSlider = pHandle->getWidth();
        heightOfSlider = pHandle->getHeight();
    } else {
        widthOfSlider = heightOfSlider = 1;
    }
    layout();
}

void CSlider::setOffsetHandle(const CPoint& p) {
    offsetHandle = p;
    layout();
}

void CSlider::setMinPos(CCoord v) {
    minPos = v;
    rangeHandle = maxPos - minPos;
    layout();
}

void CSlider::setMaxPos(CCoord v) {
    maxPos = v;
    rangeHandle = maxPos - minPos;
    layout();
}

void CSlider::setViewSize(const CRect& rect, bool invalidate) {
    CControl::setViewSize(rect, invalidate);
    layout();
}

void CSlider::layout() {
    minTmp = isHorizontal() ? offsetHandle.x : offsetHandle.y;
    maxTmp = minTmp + rangeHandle;
    setDirty();
}

bool CSlider::invertedAxis() const { return isHorizontal() ? (style & kRight) != 0 : (style & kTop) == 0; }

float CSlider::valueAt(CCoord pos) const {
    if (rangeHandle <= 0) return 0.f;
    float v = static_cast<float>((pos - minTmp) / rangeHandle);
    v = std::clamp(v, 0.f, 1.f);
    return invertedAxis() ? 1.f - v : v;
}

CRect CSlider::getHandleRect() const {
    float v = getValueNormalized();
    if (invertedAxis()) v = 1.f - v;
    CCoord p = minTmp + std::floor(v * rangeHandle);
    CRect r;
    if (isHorizontal())
        r = CRect(p, offsetHandle.y, p + widthOfSlider, offsetHandle.y + heightOfSlider);
    else
        r = CRect(offsetHandle.x, p, offsetHandle.x + widthOfSlider, p + heightOfSlider);
    return r.offset(size.left, size.top);
}

void CSlider::draw(CDrawContext* context) {
    if (background) {
        background->draw(context, size, offset);
    } else {
        context->setFillColor(backColor);
        context->drawRect(size, kDrawFilled);
    }
    CRect h = getHandleRect();
    if (pHandle) {
        pHandle->draw(context, h);
    } else {
        context->setFillColor(valueColor);
        context->drawRect(h, kDrawFilled);
    }
    setDirty(false);
}

CMouseEventResult CSlider::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!(buttons & kLButton)) return kMouseEventNotHandled;
    if (checkDefaultValue(buttons)) return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    CRect h = getHandleRect();
    CCoord edge = isHorizontal() ? h.left - size.left : h.top - size.top;
    CCoord pos = along(where);
    if (mode != kFreeClickMode && !h.pointInside(where)) return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    grabDelta = mode == kFreeClickMode ? (isHorizontal() ? widthOfSlider : heightOfSlider) / 2 : pos - edge;
    lastPos = pos;
    oldButton = buttons;
    beginEdit();
    if (mode == kFreeClickMode) {
        float old = value;
        setValueNormalized(valueAt(pos - grabDelta));
        if (value != old) {
            invalid();
            valueChanged();
        }
    }
    return kMouseEventHandled;
}

CMouseEventResult CSlider::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (!isEditing()) return kMouseEventNotHandled;
    if (!(buttons & kLButton)) return kMouseEventHandled;
    CCoord pos = along(where);
    float old = value;
    bool fine = buttons & kShift;
    if (fine || mode == kRelativeTouchMode) {
        // Movement since the last event, in handle pixels.
        CCoord d = (pos - lastPos) / (fine ? zoomFactor : 1.f);
        float dv = rangeHandle > 0 ? static_cast<float>(d / rangeHandle) : 0.f;
        if (invertedAxis()) dv = -dv;
        setValueNormalized(getValueNormalized() + dv);
    } else {
        if (oldButton & kShift) {
            // Back from a fine drag: the handle stays where it is under the pointer.
            CRect h = getHandleRect();
            grabDelta = pos - (isHorizontal() ? h.left - size.left : h.top - size.top);
        }
        setValueNormalized(valueAt(pos - grabDelta));
    }
    oldButton = buttons;
    lastPos = pos;
    if (value != old) {
        invalid();
        valueChanged();
    }
    return kMouseEventHandled;
}

CMouseEventResult CSlider::onMouseUp(CPoint&, const CButtonState&) {
    if (!isEditing()) return kMouseEventNotHandled;
    endEdit();
    return kMouseEventHandled;
}

CMouseEventResult CSlider::onMouseCancel() {
    if (!isEditing()) return kMouseEventNotHandled;
    endEdit();
    return kMouseEventHandled;
}

bool CSlider::onWheel(const CPoint&, const float& distance, const CButtonState& buttons) {
    if (!getMouseEnabled()) return false;
    float old = value;
    value += distance * wheelInc * getRange() * ((buttons & kShift) ? 0.1f : 1.f);
    bounceValue();
    if (value != old) {
        beginEdit();
        invalid();
        valueChanged();
        endEdit();
    }
    return true;
}

int32_t CSlider::onKeyDown(VstKeyCode& key) {
    float d = 0;
    if (key.virt == VKEY_UP || key.virt == VKEY_RIGHT) d = 1;
    if (key.virt == VKEY_DOWN || key.virt == VKEY_LEFT) d = -1;
    if (d == 0) return -1;
    onWheel(size.getCenter(), d, (key.modifier & MODIFIER_SHIFT) ? kShift : 0);
    return 1;
}

}  // namespace qgui
