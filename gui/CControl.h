// Controls: views with a normalised value, a tag and a listener.
#pragma once

#include "gui/CView.h"

namespace qgui {

class CControl;

class IControlListener {
public:
    virtual ~IControlListener() = default;
    virtual void valueChanged(CControl* control) = 0;
    // A modifier-click on a control; a non-zero answer means the listener took it.
    virtual int32_t controlModifierClicked(CControl* /*control*/, CButtonState /*buttons*/) { return 0; }
    virtual void controlBeginEdit(CControl* /*control*/) {}
    virtual void controlEndEdit(CControl* /*control*/) {}
};

// Invariants: setValue keeps the value within min..max; setValueRaw stores any value (the editor's controls
// signal events with values outside the range). A control is dirty while its value differs from the value
// it last drew (the old value), or while it is marked dirty.
class CControl : public CView {
public:
    CControl(const CRect& size, IControlListener* listener = nullptr, int32_t tag = 0, CBitmap* background = nullptr);
    CControl(const CControl& other);

    virtual void setValue(float value);
    void setValueRaw(float value) { this->value = value; }
    float getValue() const { return value; }
    virtual void setValueNormalized(float normalized);
    float getValueNormalized() const;
    virtual void setMin(float v) { vmin = v; }
    float getMin() const { return vmin; }
    virtual void setMax(float v) { vmax = v; }
    float getMax() const { return vmax; }
    float getRange() const { return vmax - vmin; }
    void setOldValue(float v) { oldValue = v; }
    float getOldValue() const { return oldValue; }
    virtual void setDefaultValue(float v) { defaultValue = v; }
    float getDefaultValue() const { return defaultValue; }
    // Brings the value into min..max.
    virtual void bounceValue();
    // A left click with Control held resets to the default value and reports it; true when it did.
    virtual bool checkDefaultValue(CButtonState buttons);

    void setWheelInc(float v) { wheelInc = v; }
    float getWheelInc() const { return wheelInc; }

    virtual void setListener(IControlListener* l) { listener = l; }
    IControlListener* getListener() const { return listener; }
    virtual void setTag(int32_t t) { tag = t; }
    int32_t getTag() const { return tag; }

    // Reports the value to the listener.
    virtual void valueChanged();
    // Edits nest; the first begin and the last end reach the listener and the editor (with the tag).
    virtual void beginEdit();
    virtual void endEdit();
    bool isEditing() const { return editing > 0; }

    bool isDirty() const override;
    void setDirty(bool state = true) override;

    // Default key handling of controls: none.
    int32_t onKeyDown(VstKeyCode&) override { return -1; }

protected:
    IControlListener* listener;
    int32_t tag;
    float value = 0.f;
    float oldValue = 1.f;
    float defaultValue = 0.5f;
    float vmin = 0.f;
    float vmax = 1.f;
    float wheelInc = 0.1f;
    int32_t editing = 0;
};

}  // namespace qgui
