#include "gui/CKnob.h"

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"

namespace qgui {

namespace {
constexpr float kLinearRange = 200.f;  // pixels of movement for the whole range

float angleOf(const CPoint& centre, const CPoint& p) {
    float a = static_cast<float>(std::atan2(p.y - centre.y, p.x - centre.x) * 180.0 / M_PI);
    return a < 0 ? a + 360.f : a;
}
}  // namespace

CKnob::CKnob(const CRect& size, IControlListener* l, int32_t t, CBitmap* bg, CBitmap* h, const CPoint& off)
    : CControl(size, l, t, bg), offset(off) {
    setHandleBitmap(h);
}

CKnob::~CKnob() {
    if (handle) handle->forget();
}

void CKnob::setHandleBitmap(CBitmap* bitmap) {
    if (bitmap) bitmap->remember();
    if (handle) handle->forget();
    handle = bitmap;
    setDirty();
}

int32_t CKnob::getKnobMode() const {
    if (CFrame* f = getFrame(); f && f->getEditor()) return f->getEditor()->getKnobMode();
    return knobMode;
}

void CKnob::draw(CDrawContext* context) {
    if (background) background->draw(context, size, offset);
    drawHandle(context);
    setDirty(false);
}

void CKnob::drawHandle(CDrawContext* context) {
    CRect r = size;
    r.inset(inset, inset);
    double angle = (startAngle + getValueNormalized() * rangeAngle) * M_PI / 180.0;
    CPoint c = r.getCenter();
    CPoint tip(c.x + std::cos(angle) * r.getWidth() / 2, c.y + std::sin(angle) * r.getHeight() / 2);
    if (handle) {
        CRect hr(tip.x - handle->getWidth() / 2, tip.y - handle->getHeight() / 2, tip.x + handle->getWidth() / 2,
                 tip.y + handle->getHeight() / 2);
        handle->draw(context, hr);
        return;
    }
    context->setDrawMode(kAntiAliasing | kNonIntegralMode);
    context->setFrameColor(colorHandle);
    context->setLineWidth(2);
    context->setLineStyle(CLineStyle{CLineStyle::kLineCapRound, CLineStyle::kLineJoinRound, {}, 0});
    context->drawLine(c, tip);
}

float CKnob::valueFromPoint(const CPoint& where) const {
    float a = angleOf(size.getCenter(), where) - startAngle;
    while (a < 0) a += 360.f;
    while (a >= 360.f) a -= 360.f;
    if (a > rangeAngle) {
        // In the gap below the arc: the nearer end.
        a = (a - rangeAngle) < (360.f - a) ? rangeAngle : 0.f;
    }
    return a / rangeAngle;
}

CMouseEventResult CKnob::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!(buttons & kLButton)) return kMouseEventNotHandled;
    if (checkDefaultValue(buttons)) return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    beginEdit();
    firstPoint = lastPoint = where;
    entryValue = startValue = value;
    oldButton = buttons;
    int32_t mode = getKnobMode();
    modeLinear = mode == kLinearMode;
    range = kLinearRange * ((buttons & kShift) ? zoomFactor : 1.f);
    coef = getRange() / range;
    lastAngle = angleOf(size.getCenter(), where);
    if (mode == kCircularMode) {
        value = vmin + valueFromPoint(where) * getRange();
        bounceValue();
        if (isDirty()) {
            invalid();
            valueChanged();
        }
    }
    return kMouseEventHandled;
}

CMouseEventResult CKnob::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (!isEditing() || !(buttons & kLButton)) return isEditing() ? kMouseEventHandled : kMouseEventNotHandled;
    float old = value;
    int32_t mode = getKnobMode();
    if (mode == kLinearMode) {
        // A change of Shift starts a new fine or coarse drag from here.
        if ((buttons & kShift) != (oldButton & kShift)) {
            range = kLinearRange * ((buttons & kShift) ? zoomFactor : 1.f);
            coef = getRange() / range;
            entryValue = value;
            firstPoint = where;
            oldButton = buttons;
        }
        double diff = (firstPoint.y - where.y) + (where.x - firstPoint.x);
        value = static_cast<float>(entryValue + diff * coef);
    } else if (mode == kRelativCircularMode) {
        float a = angleOf(size.getCenter(), where);
        float d = a - lastAngle;
        if (d > 180.f) d -= 360.f;
        if (d < -180.f) d += 360.f;
        lastAngle = a;
        value += d / rangeAngle * getRange();
    } else {
        value = vmin + valueFromPoint(where) * getRange();
    }
    bounceValue();
    if (value != old) {
        invalid();
        valueChanged();
    }
    lastPoint = where;
    return kMouseEventHandled;
}

CMouseEventResult CKnob::onMouseUp(CPoint&, const CButtonState&) {
    if (!isEditing()) return kMouseEventNotHandled;
    endEdit();
    return kMouseEventHandled;
}

CMouseEventResult CKnob::onMouseCancel() {
    if (!isEditing()) return kMouseEventNotHandled;
    endEdit();
    return kMouseEventHandled;
}

bool CKnob::onWheel(const CPoint&, const float& distance, const CButtonState& buttons) {
    if (!getMouseEnabled()) return false;
    float old = value;
    float step = wheelInc * getRange() * ((buttons & kShift) ? 0.1f : 1.f);
    value += distance * step;
    bounceValue();
    if (value != old) {
        beginEdit();
        invalid();
        valueChanged();
        endEdit();
    }
    return true;
}

int32_t CKnob::onKeyDown(VstKeyCode& key) {
    float d = 0;
    if (key.virt == VKEY_UP || key.virt == VKEY_RIGHT) d = 1;
    if (key.virt == VKEY_DOWN || key.virt == VKEY_LEFT) d = -1;
    if (d == 0) return -1;
    CButtonState b = (key.modifier & MODIFIER_SHIFT) ? kShift : 0;
    onWheel(size.getCenter(), d, b);
    return 1;
}

CAnimKnob::CAnimKnob(const CRect& size, IControlListener* l, int32_t t, CBitmap* bg, const CPoint& off)
    : CAnimKnob(size, l, t, bg ? std::max<int32_t>(1, static_cast<int32_t>(bg->getHeight() / size.getHeight())) : 1,
                size.getHeight(), bg, off) {}

CAnimKnob::CAnimKnob(const CRect& size, IControlListener* l, int32_t t, int32_t n, CCoord h, CBitmap* bg,
                     const CPoint& off)
    : CKnob(size, l, t, bg, nullptr, off), subPixmaps(std::max<int32_t>(1, n)), heightOfOneImage(h) {
    inset = 0;
}

int32_t CAnimKnob::getFrameIndex() const {
    float v = getValueNormalized();
    if (bInverseBitmap) v = 1.f - v;
    return std::clamp(static_cast<int32_t>(v * (subPixmaps - 1)), 0, subPixmaps - 1);
}

void CAnimKnob::draw(CDrawContext* context) {
    CBitmap* bitmap = (!mouseEnabled && disabledBackground) ? disabledBackground : background;
    if (bitmap) bitmap->draw(context, size, CPoint(offset.x, offset.y + getFrameIndex() * heightOfOneImage));
    setDirty(false);
}

}  // namespace qgui
