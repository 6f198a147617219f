// Bitmap buttons: a momentary kick button and an on/off toggle, each a strip of two frames.
#pragma once

#include "gui/CControl.h"

namespace qgui {

// Frame 1 (top) at rest, frame 2 while the value is the maximum; one frame is as tall as the button.
// While pressed the value is the maximum inside and the minimum outside; a release inside reports the
// maximum, then every release reports the minimum.
class CKickButton : public CControl {
public:
    CKickButton(const CRect& size, IControlListener* listener, int32_t tag, CBitmap* background,
                const CPoint& offset = CPoint(0, 0));
    CKickButton(const CRect& size, IControlListener* listener, int32_t tag, CCoord heightOfOneImage,
                CBitmap* background, const CPoint& offset = CPoint(0, 0));

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseCancel() override;
    int32_t onKeyDown(VstKeyCode& key) override;
    int32_t onKeyUp(VstKeyCode& key) override;

    CCoord getHeightOfOneImage() const { return heightOfOneImage; }
    void setHeightOfOneImage(CCoord h) { heightOfOneImage = h; }
    const CPoint& getOffset() const { return offset; }

protected:
    CPoint offset;
    CCoord heightOfOneImage;
    float fEntryState = 0.f;
};

// Upper half of the bitmap while off, lower half at the maximum. A left release inside toggles between
// minimum and maximum and reports it; Space toggles too.
class COnOffButton : public CControl {
public:
    COnOffButton(const CRect& size, IControlListener* listener = nullptr, int32_t tag = -1,
                 CBitmap* background = nullptr, int32_t style = 0);

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseCancel() override;
    int32_t onKeyDown(VstKeyCode& key) override;

    int32_t getStyle() const { return style; }
    void setStyle(int32_t s) { style = s; }

protected:
    void toggle();
    int32_t style;
};

}  // namespace qgui
