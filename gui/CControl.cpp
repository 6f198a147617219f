#include "gui/CControl.h"

#include "gui/CFrame.h"

namespace qgui {

CControl::CControl(const CRect& size, IControlListener* l, int32_t t, CBitmap* bg)
    : CView(size), listener(l), tag(t) {
    setBackground(bg);
}

CControl::CControl(const CControl& other)
    : CView(other),
      listener(other.listener),
      tag(other.tag),
      value(other.value),
      oldValue(other.oldValue),
      defaultValue(other.defaultValue),
      vmin(other.vmin),
      vmax(other.vmax),
      wheelInc(other.wheelInc) {}

void CControl::setValue(float v) {
    if (v < vmin) v = vmin;
    if (v > vmax) v = vmax;
    // NaN never becomes the value.
    if (v != v) v = vmin;
    value = v;
}

void CControl::setValueNormalized(float n) {
    n = std::clamp(n, 0.f, 1.f);
    setValue(vmin + n * getRange());
}

float CControl::getValueNormalized() const {
    float r = getRange();
    return r == 0.f ? 0.f : std::clamp((value - vmin) / r, 0.f, 1.f);
}

void CControl::bounceValue() {
    if (value > vmax) value = vmax;
    if (value < vmin) value = vmin;
}

bool CControl::checkDefaultValue(CButtonState buttons) {
    if ((buttons & kLButton) && (buttons & kModifierKeys) == kControl) {
        beginEdit();
        value = defaultValue;
        bounceValue();
        invalid();
        valueChanged();
        endEdit();
        return true;
    }
    return false;
}

void CControl::valueChanged() {
    if (listener) listener->valueChanged(this);
}

void CControl::beginEdit() {
    if (editing++ > 0) return;
    if (listener) listener->controlBeginEdit(this);
    if (CFrame* f = getFrame(); f && f->getEditor()) f->getEditor()->beginEdit(tag);
}

void CControl::endEdit() {
    if (editing <= 0) return;
    if (--editing > 0) return;
    if (CFrame* f = getFrame(); f && f->getEditor()) f->getEditor()->endEdit(tag);
    if (listener) listener->controlEndEdit(this);
}

bool CControl::isDirty() const { return dirty || oldValue != value; }

void CControl::setDirty(bool state) {
    CView::setDirty(state);
    if (!state) oldValue = value;
}

}  // namespace qgui
