#include "gui/CButtons.h"

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"

namespace qgui {

CKickButton::CKickButton(const CRect& size, IControlListener* l, int32_t t, CBitmap* bg, const CPoint& off)
    : CKickButton(size, l, t, size.getHeight(), bg, off) {}

CKickButton::CKickButton(const CRect& size, IControlListener* l, int32_t t, CCoord h, CBitmap* bg,
                         const CPoint& off)
    : CControl(size, l, t, bg), offset(off), heightOfOneImage(h) {
    setWantsFocus(false);
}

void CKickButton::draw(CDrawContext* context) {
    CPoint where(offset.x, offset.y);
    bounceValue();
    if (value == getMax()) where.y += heightOfOneImage;
    if (background) background->draw(context, size, where);
    setDirty(false);
}

CMouseEventResult CKickButton::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!(buttons & kLButton)) return kMouseEventNotHandled;
    fEntryState = value;
    beginEdit();
    return onMouseMoved(where, buttons);
}

CMouseEventResult CKickButton::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (!isEditing()) return kMouseEventNotHandled;
    if (buttons & kLButton) {
        float v = hitTest(where) ? getMax() : getMin();
        if (v != value) {
            value = v;
            invalid();
        }
    }
    return kMouseEventHandled;
}

CMouseEventResult CKickButton::onMouseUp(CPoint&, const CButtonState&) {
    if (!isEditing()) return kMouseEventNotHandled;
    if (value == getMax()) valueChanged();
    value = getMin();
    valueChanged();
    invalid();
    endEdit();
    return kMouseEventHandled;
}

CMouseEventResult CKickButton::onMouseCancel() {
    if (!isEditing()) return kMouseEventNotHandled;
    value = getMin();
    valueChanged();
    invalid();
    endEdit();
    return kMouseEventHandled;
}

int32_t CKickButton::onKeyDown(VstKeyCode& key) {
    if (key.modifier == 0 && (key.virt == VKEY_RETURN || key.virt == VKEY_SPACE)) {
        if (value != getMax()) {
            beginEdit();
            value = getMax();
            invalid();
            valueChanged();
        }
        return 1;
    }
    return -1;
}

int32_t CKickButton::onKeyUp(VstKeyCode& key) {
    if (key.modifier == 0 && (key.virt == VKEY_RETURN || key.virt == VKEY_SPACE) && value == getMax()) {
        value = getMin();
        invalid();
        valueChanged();
        endEdit();
        return 1;
    }
    return -1;
}

COnOffButton::COnOffButton(const CRect& size, IControlListener* l, int32_t t, CBitmap* bg, int32_t st)
    : CControl(size, l, t, bg), style(st) {}

void COnOffButton::draw(CDrawContext* context) {
    if (background) {
        CCoord off = value == getMax() ? background->getHeight() / 2 : 0;
        background->draw(context, size, CPoint(0, off));
    }
    setDirty(false);
}

void COnOffButton::toggle() {
    value = value == getMax() ? getMin() : getMax();
    invalid();
    valueChanged();
}

CMouseEventResult COnOffButton::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!(buttons & kLButton)) return kMouseEventNotHandled;
    beginEdit();
    return kMouseEventHandled;
}

CMouseEventResult COnOffButton::onMouseUp(CPoint& where, const CButtonState&) {
    if (!isEditing()) return kMouseEventNotHandled;
    if (hitTest(where)) toggle();
    endEdit();
    return kMouseEventHandled;
}

CMouseEventResult COnOffButton::onMouseCancel() {
    if (isEditing()) endEdit();
    return kMouseEventHandled;
}

int32_t COnOffButton::onKeyDown(VstKeyCode& key) {
    if (key.modifier == 0 && key.virt == VKEY_SPACE) {
        beginEdit();
        toggle();
        endEdit();
        return 1;
    }
    return -1;
}

}  // namespace qgui
