// Skinned buttons: a momentary kick button, an on/off toggle with a caption, a four-look switch, and the
// two play controls that report a strength from where they are pressed.
#pragma once

#include "editor-framework/controls/vgcControl.h"
#include "gui/CButtons.h"

// Two frames stacked (rest, pressed). A press and release inside reports the maximum, then the minimum;
// a release outside only the minimum.
class vgcKickButton : public vgcWith<qgui::CKickButton>
{
public:
    vgcKickButton(const qgui::CRect &size, qgui::IControlListener *listener, int32_t tag, qgui::CBitmap *background);

    void draw(qgui::CDrawContext *context) override;
    qgui::CMouseEventResult onMouseDown(qgui::CPoint &where, const qgui::CButtonState &buttons) override;
};

// Upper half of the image while off, lower half at the maximum; a left release inside toggles and
// reports. Keys never toggle it. The caption is drawn over it; its value label is not drawn.
class vgcOnOffButton : public vgcWith<qgui::COnOffButton>
{
public:
    bool showsValueLabel() const override { return false; }
    vgcOnOffButton(const qgui::CRect &size, qgui::IControlListener *listener, int32_t tag, qgui::CBitmap *background);
    ~vgcOnOffButton() override;

    void draw(qgui::CDrawContext *context) override;
    qgui::CMouseEventResult onMouseDown(qgui::CPoint &where, const qgui::CButtonState &buttons) override;
    int32_t onKeyDown(VstKeyCode &) override { return -1; }
    int32_t onKeyUp(VstKeyCode &) override { return -1; }

    // A caption over the button (one pixel lower) in the small shared font; no text or a transparent
    // colour only removes the caption.
    virtual void setCaption(const char *text, qgui::CColor colour);
    vgcTextLabel *getCaption() const { return caption; }

protected:
    void drawCaption(qgui::CDrawContext *context);

    vgcTextLabel *caption = nullptr;
};

// Values 0 off, 0.33 off and pressed, 0.66 on and pressed, 1 on. The look follows the press while the
// mouse is held; only a release inside toggles and reports. The image holds bitCount + 4 frames: the
// four looks, then one frame per flag bit (the highest set bit wins over the looks).
class vgcOnOffSwitch : public vgcOnOffButton
{
public:
    using vgcOnOffButton::vgcOnOffButton;

    bool showsValueLabel() const override { return true; }
    void draw(qgui::CDrawContext *context) override;
    qgui::CMouseEventResult onMouseDown(qgui::CPoint &where, const qgui::CButtonState &buttons) override;
    qgui::CMouseEventResult onMouseUp(qgui::CPoint &where, const qgui::CButtonState &buttons) override;
    qgui::CMouseEventResult onMouseMoved(qgui::CPoint &where, const qgui::CButtonState &buttons) override;
    // A press taken away: the look returns to what it was, nothing is reported.
    qgui::CMouseEventResult onMouseCancel() override;

    // Bit numbers are taken modulo 32.
    virtual bool isBitOn(int32_t bit) const;
    virtual void setBit(int32_t bit, bool on);
    void setBitCount(int32_t count) { bitCount = std::max<int32_t>(0, count); setDirty(); }
    int32_t getBitCount() const { return bitCount; }
    // Frame of the image shown for the current value and bits.
    int32_t frameIndex() const;

protected:
    int32_t bitCount = 0;
    uint32_t bitMask = 0;
};

// One key of the on-screen keyboard: a press reports (y - top + 1) / height (at most 1), the release 0.
class vgcPlayKeyboard : public vgcKickButton
{
public:
    vgcPlayKeyboard(const qgui::CRect &size, qgui::IControlListener *listener, int32_t tag, qgui::CBitmap *background);

    qgui::CMouseEventResult onMouseDown(qgui::CPoint &where, const qgui::CButtonState &buttons) override;
    qgui::CMouseEventResult onMouseUp(qgui::CPoint &where, const qgui::CButtonState &buttons) override;
    virtual float velocityAt(qgui::CPoint point);
};

// A button whose press reports (x - left + 1) / width (at most 1); the release reports 0 and then shows
// the lower half of its image.
class vgcPlayOnOffButton : public vgcOnOffButton
{
public:
    vgcPlayOnOffButton(const qgui::CRect &size, qgui::IControlListener *listener, int32_t tag,
                       qgui::CBitmap *background);

    qgui::CMouseEventResult onMouseDown(qgui::CPoint &where, const qgui::CButtonState &buttons) override;
    qgui::CMouseEventResult onMouseUp(qgui::CPoint &where, const qgui::CButtonState &buttons) override;
    // A press taken away ends like a release, so a sounding note stops.
    qgui::CMouseEventResult onMouseCancel() override;
};
