// Knobs: a drawn knob (CKnob) and a knob shown as a strip of pre-rendered frames (CAnimKnob).
#pragma once

#include "gui/CControl.h"

namespace qgui {

// Drag modes come from the editor (the host's knob mode): circular (the value follows the angle of the
// pointer around the centre), relative circular (the angle moved since the press is added) and linear
// (right and up raise the value; 200 pixels cover the range). In the linear mode Shift makes the movement
// finer by the zoom factor. The arc runs from 135° (min) clockwise over 270°.
class CKnob : public CControl {
public:
    CKnob(const CRect& size, IControlListener* listener, int32_t tag, CBitmap* background = nullptr,
          CBitmap* handle = nullptr, const CPoint& offset = CPoint(0, 0));
    ~CKnob() override;

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseCancel() override;
    bool onWheel(const CPoint& where, const float& distance, const CButtonState& buttons) override;
    int32_t onKeyDown(VstKeyCode& key) override;

    void setZoomFactor(float f) { zoomFactor = f; }
    float getZoomFactor() const { return zoomFactor; }
    void setInsetValue(CCoord v) { inset = v; }
    CCoord getInsetValue() const { return inset; }
    void setStartAngle(float degrees) { startAngle = degrees; }
    float getStartAngle() const { return startAngle; }
    void setRangeAngle(float degrees) { rangeAngle = degrees; }
    float getRangeAngle() const { return rangeAngle; }
    void setColorHandle(const CColor& c) { colorHandle = c; setDirty(); }
    void setHandleBitmap(CBitmap* bitmap);
    CBitmap* getHandleBitmap() const { return handle; }
    // Knob mode in use; the editor's when there is one, else the mode set here.
    int32_t getKnobMode() const;
    void setKnobMode(int32_t mode) { knobMode = mode; }

    // Normalised value at an angle (degrees, clockwise from three o'clock) and back.
    float valueFromPoint(const CPoint& where) const;

protected:
    virtual void drawHandle(CDrawContext* context);

    CPoint offset;
    CBitmap* handle = nullptr;
    CColor colorHandle = kWhiteCColor;
    CCoord inset = 3;
    float zoomFactor = 1.5f;
    float startAngle = 135.f;
    float rangeAngle = 270.f;
    int32_t knobMode = kCircularMode;

    // Drag state
    CPoint firstPoint;
    CPoint lastPoint;
    float entryValue = 0.f;
    float range = 200.f;
    float coef = 0.f;
    CButtonState oldButton = 0;
    bool modeLinear = false;
    float startValue = 0.f;
    float lastAngle = 0.f;
};

// Frames are stacked vertically, one frame's height is the strip's height / the frame count; the frame
// shown for value v (normalised) is the integer part of v × (count − 1), counted from the bottom when
// inverted.
class CAnimKnob : public CKnob {
public:
    CAnimKnob(const CRect& size, IControlListener* listener, int32_t tag, CBitmap* background,
              const CPoint& offset = CPoint(0, 0));
    CAnimKnob(const CRect& size, IControlListener* listener, int32_t tag, int32_t subPixmaps,
              CCoord heightOfOneImage, CBitmap* background, const CPoint& offset = CPoint(0, 0));

    void draw(CDrawContext* context) override;

    void setNumSubPixmaps(int32_t n) { subPixmaps = std::max<int32_t>(1, n); }
    int32_t getNumSubPixmaps() const { return subPixmaps; }
    void setHeightOfOneImage(CCoord h) { heightOfOneImage = h; }
    CCoord getHeightOfOneImage() const { return heightOfOneImage; }
    void setInverseBitmap(bool b) { bInverseBitmap = b; setDirty(); }
    bool getInverseBitmap() const { return bInverseBitmap; }
    // Frame index shown for the current value.
    int32_t getFrameIndex() const;

protected:
    int32_t subPixmaps;
    CCoord heightOfOneImage;
    bool bInverseBitmap = false;
};

}  // namespace qgui
