// A slider: a handle bitmap moving over a background along one axis.
#pragma once

#include "gui/CControl.h"

namespace qgui {

// Style bits shared by sliders and meters.
constexpr int32_t kHorizontal = 1 << 0;
constexpr int32_t kVertical = 1 << 1;
constexpr int32_t kLeft = 1 << 3;
constexpr int32_t kRight = 1 << 4;
constexpr int32_t kTop = 1 << 5;
constexpr int32_t kBottom = 1 << 6;

// Geometry, in the view's own coordinates (0 at its left or top edge): the handle's near edge lies at
// offsetHandle + the integer part of v × travel along the axis (v normalised; from the far end for kRight
// and for vertical sliders unless kTop), where travel = maxPos − minPos. Modes: touch (the handle must be
// hit; it then follows the pointer), relative touch (the handle must be hit; it moves by the pointer's
// movement) and free click (the handle's centre jumps to the pointer). Shift makes any drag finer by the
// zoom factor.
class CSlider : public CControl {
public:
    enum Mode : int32_t { kTouchMode = 0, kRelativeTouchMode, kFreeClickMode };

    CSlider(const CRect& size, IControlListener* listener, int32_t tag, int32_t minPos, int32_t maxPos,
            CBitmap* handle, CBitmap* background, const CPoint& offset = CPoint(0, 0),
            int32_t style = kLeft | kHorizontal);
    ~CSlider() override;

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseCancel() override;
    bool onWheel(const CPoint& where, const float& distance, const CButtonState& buttons) override;
    int32_t onKeyDown(VstKeyCode& key) override;
    void setViewSize(const CRect& rect, bool invalidate = true) override;

    void setMode(Mode m) { mode = m; }
    Mode getMode() const { return mode; }
    int32_t getStyle() const { return style; }
    void setStyle(int32_t s) { style = s; setDirty(); }
    bool isHorizontal() const { return style & kHorizontal; }

    // Takes a reference, drops the old handle, takes the handle's size and lays the slider out again.
    virtual void setHandle(CBitmap* bitmap);
    CBitmap* getHandle() const { return pHandle; }
    void setOffsetHandle(const CPoint& p);
    const CPoint& getOffsetHandle() const { return offsetHandle; }
    void setOffset(const CPoint& p) { offset = p; setDirty(); }
    const CPoint& getOffset() const { return offset; }
    void setMinPos(CCoord v);
    CCoord getMinPos() const { return minPos; }
    void setMaxPos(CCoord v);
    CCoord getMaxPos() const { return maxPos; }
    CCoord getRangeHandle() const { return rangeHandle; }
    CCoord getHandleWidth() const { return widthOfSlider; }
    CCoord getHandleHeight() const { return heightOfSlider; }
    // Limits of the handle's near edge along the axis (view coordinates).
    CCoord getHandleMin() const { return minTmp; }
    CCoord getHandleMax() const { return maxTmp; }
    void setZoomFactor(float f) { zoomFactor = f; }
    float getZoomFactor() const { return zoomFactor; }
    void setDrawTransparentHandle(bool b) { drawTransparentHandle = b; setDirty(); }
    bool getDrawTransparentHandle() const { return drawTransparentHandle; }
    // Colours used when there is no bitmap.
    void setBackColor(const CColor& c) { backColor = c; setDirty(); }
    void setValueColor(const CColor& c) { valueColor = c; setDirty(); }

    // The handle's rectangle for the current value, in the parent's coordinates.
    CRect getHandleRect() const;

protected:
    void layout();
    // Normalised value that puts the handle's near edge at `pos` (view coordinates along the axis).
    float valueAt(CCoord pos) const;
    bool invertedAxis() const;
    CCoord along(const CPoint& p) const { return isHorizontal() ? p.x - size.left : p.y - size.top; }

    CPoint offset;
    CPoint offsetHandle;
    CBitmap* pHandle = nullptr;
    int32_t style;
    Mode mode = kFreeClickMode;
    CCoord widthOfSlider = 1, heightOfSlider = 1;
    CCoord minPos, maxPos, rangeHandle;
    CCoord minTmp = 0, maxTmp = 0;
    float zoomFactor = 10.f;
    bool drawTransparentHandle = true;
    CColor backColor = kGreyCColor;
    CColor valueColor = kWhiteCColor;

    // Drag state
    CCoord grabDelta = 0;  // pointer minus handle edge along the axis
    CCoord lastPos = 0;
    CButtonState oldButton = 0;
};

}  // namespace qgui
