#include "editor-framework/controls/vgcButtons.h"

#include "editor-framework/controls/vgcTextLabel.h"
#include "gui/CBitmap.h"

#include <algorithm>

using namespace qgui;

vgcKickButton::vgcKickButton(const CRect &size, IControlListener *listener, int32_t tag, CBitmap *background)
    : vgcWith<CKickButton>(size, listener, tag, background, CPoint(0, 0))
{
    controlSignal::applyRules(this, listener, tag);
}

void vgcKickButton::draw(CDrawContext *context)
{
    CKickButton::draw(context);
    drawLabel(context);
}

CMouseEventResult vgcKickButton::onMouseDown(CPoint &where, const CButtonState &buttons)
{
    if (controlSignal::mouseDownPrologue(this, buttons))
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    return CKickButton::onMouseDown(where, buttons);
}

vgcOnOffButton::vgcOnOffButton(const CRect &size, IControlListener *listener, int32_t tag, CBitmap *background)
    : vgcWith<COnOffButton>(size, listener, tag, background, 0)
{
    controlSignal::applyRules(this, listener, tag);
}

vgcOnOffButton::~vgcOnOffButton() { forgetValueLabel(caption); }

void vgcOnOffButton::setCaption(const char *captionText, CColor colour)
{
    forgetValueLabel(caption);
    if (captionText && colour.alpha != 0) {
        CRect r = size;
        r.offset(0, 1);
        caption = new vgcTextLabel(r, nullptr, -1, nullptr, 1, kNoFrame);
        caption->setPartText(captionText, 0);
        caption->setPartColor(colour, 0);
        if (sharedFontSmall)
            caption->setFont(sharedFontSmall);
        caption->setFontAndStyle(nullptr, 0);
        caption->setTransparency(true);
    }
    setDirty();
}

void vgcOnOffButton::drawCaption(CDrawContext *context)
{
    if (caption)
        caption->draw(context);
}

void vgcOnOffButton::draw(CDrawContext *context)
{
    COnOffButton::draw(context);
    drawCaption(context);
}

CMouseEventResult vgcOnOffButton::onMouseDown(CPoint &, const CButtonState &buttons)
{
    if (controlSignal::mouseDownPrologue(this, buttons))
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    if (!(buttons & kLButton))
        return kMouseEventNotHandled;
    beginEdit();
    return kMouseEventHandled;
}

namespace {
constexpr float switchOffPressed = 0.33f;
constexpr float switchOnPressed = 0.66f;
} // namespace

bool vgcOnOffSwitch::isBitOn(int32_t bit) const { return (bitMask >> (uint32_t(bit) & 31u)) & 1u; }

void vgcOnOffSwitch::setBit(int32_t bit, bool on)
{
    const uint32_t mask = 1u << (uint32_t(bit) & 31u);
    bitMask = on ? (bitMask | mask) : (bitMask & ~mask);
    setDirty();
}

int32_t vgcOnOffSwitch::frameIndex() const
{
    int32_t frame = -1;
    for (int32_t bit = std::min(bitCount, 32) - 1; bit >= 0 && frame < 0; --bit)
        if (isBitOn(bit))
            frame = bit + 4;
    if (frame < 0)
        frame = int32_t(value * 3.33333f);
    return std::clamp(frame, 0, bitCount + 3);
}

void vgcOnOffSwitch::draw(CDrawContext *context)
{
    if (background) {
        const CCoord frameHeight = background->getHeight() / (bitCount + 4);
        background->draw(context, size, CPoint(0, frameIndex() * frameHeight));
    }
    drawCaption(context);
    drawLabel(context);
    setDirty(false);
}

CMouseEventResult vgcOnOffSwitch::onMouseDown(CPoint &, const CButtonState &buttons)
{
    if (isEditing())
        return kMouseEventHandled;
    if (controlSignal::mouseDownPrologue(this, buttons) || !(buttons & kLButton))
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    beginEdit();
    value = value < 0.5f ? switchOffPressed : switchOnPressed;
    invalid();
    return kMouseEventHandled;
}

CMouseEventResult vgcOnOffSwitch::onMouseMoved(CPoint &where, const CButtonState &buttons)
{
    if (!(buttons & kLButton))
        return kMouseEventNotHandled;
    if (hitTest(where))
        value = value >= 0.5f ? switchOnPressed : switchOffPressed;
    else
        value = value >= 0.5f ? 1.0f : 0.0f;
    invalid();
    return kMouseEventHandled;
}

CMouseEventResult vgcOnOffSwitch::onMouseUp(CPoint &where, const CButtonState &buttons)
{
    if ((buttons & kLButton) && hitTest(where)) {
        value = value < 0.5f ? 1.0f : 0.0f;
        valueChanged();
    } else {
        value = value < 0.5f ? 0.0f : 1.0f;
    }
    invalid();
    if (isEditing())
        endEdit();
    return kMouseEventHandled;
}

CMouseEventResult vgcOnOffSwitch::onMouseCancel()
{
    if (!isEditing())
        return kMouseEventNotHandled;
    value = value < 0.5f ? 0.0f : 1.0f;
    invalid();
    endEdit();
    return kMouseEventHandled;
}

vgcPlayKeyboard::vgcPlayKeyboard(const CRect &size, IControlListener *listener, int32_t tag, CBitmap *background)
    : vgcKickButton(size, listener, tag, background)
{
    setValue(0.0f);
}

float vgcPlayKeyboard::velocityAt(CPoint point)
{
    const CCoord height = size.getHeight();
    if (!(height > 0))
        return 1.0f;
    return std::min(1.0f, float((point.y - size.top + 1) / height));
}

CMouseEventResult vgcPlayKeyboard::onMouseDown(CPoint &where, const CButtonState &buttons)
{
    if (controlSignal::mouseDownPrologue(this, buttons) || !(buttons & kLButton))
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    beginEdit();
    value = velocityAt(where);
    invalid();
    if (listener)
        valueChanged();
    return kMouseEventHandled;
}

CMouseEventResult vgcPlayKeyboard::onMouseUp(CPoint &, const CButtonState &)
{
    value = 0.0f;
    invalid();
    if (listener)
        valueChanged();
    endEdit();
    return kMouseEventHandled;
}

vgcPlayOnOffButton::vgcPlayOnOffButton(const CRect &size, IControlListener *listener, int32_t tag,
                                       CBitmap *background)
    : vgcOnOffButton(size, listener, tag, background)
{
    setValue(0.0f);
}

CMouseEventResult vgcPlayOnOffButton::onMouseDown(CPoint &where, const CButtonState &buttons)
{
    if (controlSignal::mouseDownPrologue(this, buttons) || !(buttons & kLButton))
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    beginEdit();
    const CCoord width = size.getWidth();
    value = width > 0 ? std::min(1.0f, float((where.x - size.left + 1) / width)) : 1.0f;
    invalid();
    if (listener)
        valueChanged();
    return kMouseEventHandled;
}

CMouseEventResult vgcPlayOnOffButton::onMouseUp(CPoint &, const CButtonState &)
{
    value = 0.0f;
    if (listener)
        valueChanged();
    value = 1.0f;
    invalid();
    endEdit();
    return kMouseEventHandled;
}

CMouseEventResult vgcPlayOnOffButton::onMouseCancel()
{
    CPoint nowhere;
    return isEditing() ? onMouseUp(nowhere, 0) : kMouseEventNotHandled;
}
