// A container that shows part of a larger content area, with scrollbars.
#pragma once

#include "gui/CControl.h"
#include "gui/CViewContainer.h"

namespace qgui {

// A scrollbar is a control whose value (0..1) is the scroll position; its listener is the scroll view.
class CScrollbar : public CControl {
public:
    enum Direction : int32_t { kHorizontal = 0, kVertical };

    CScrollbar(const CRect& size, IControlListener* listener, int32_t tag, Direction direction,
               const CRect& scrollSize);

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    bool onWheel(const CPoint& where, const float& distance, const CButtonState& buttons) override;

    Direction getDirection() const { return direction; }
    // Size of the content and of the visible part, for the scroller's length.
    void setScrollSize(const CRect& s) { scrollSize = s; setDirty(); }
    const CRect& getScrollSize() const { return scrollSize; }
    void setVisibleSize(CCoord s) { visibleSize = s; setDirty(); }
    void setScrollerColor(const CColor& c) { scrollerColor = c; setDirty(); }
    CColor getScrollerColor() const { return scrollerColor; }
    void setFrameColor(const CColor& c) { frameColor = c; setDirty(); }
    CColor getFrameColor() const { return frameColor; }
    void setBackgroundColor(const CColor& c) { backgroundColor = c; setDirty(); }
    CColor getBackgroundColor() const { return backgroundColor; }
    // The scroller's rectangle for the current value (parent coordinates).
    CRect getScrollerRect() const;

protected:
    Direction direction;
    CRect scrollSize;
    CCoord visibleSize = 0;
    CColor scrollerColor = kGreyCColor;
    CColor frameColor = kBlackCColor;
    CColor backgroundColor = kWhiteCColor;
    CCoord grab = -1;  // pointer minus scroller start while dragging the scroller
};

// Children added to a scroll view live in its content area (the container size), scrolled by the
// scrollbars; the scrollbars take `scrollbarWidth` pixels at the right and bottom edges.
class CScrollView : public CViewContainer, public IControlListener {
public:
    enum : int32_t {
        kHorizontalScrollbar = 1 << 1,
        kVerticalScrollbar = 1 << 2,
        kDontDrawFrame = 1 << 3,
    };

    CScrollView(const CRect& size, const CRect& containerSize, int32_t style, CCoord scrollbarWidth = 16,
                CBitmap* background = nullptr);
    ~CScrollView() override;

    bool addView(CView* view, CView* before) override;
    using CViewContainer::addView;
    bool removeView(CView* view, bool withForget = true) override;
    bool removeAll(bool withForget = true) override;

    void setContainerSize(const CRect& cs);
    const CRect& getContainerSize() const { return containerSize; }
    void setScrollbarWidth(CCoord w);
    CCoord getScrollbarWidth() const { return scrollbarWidth; }
    int32_t getStyle() const { return style; }
    CScrollbar* getVerticalScrollbar() const { return vsb; }
    CScrollbar* getHorizontalScrollbar() const { return hsb; }
    // Scroll offset: how far the content is moved up and left.
    CPoint getScrollOffset() const;
    void resetScrollOffset();
    // Scrolls so that a rectangle of the content is visible.
    void makeRectVisible(const CRect& rect);
    // The area that shows the content (parent coordinates).
    CRect getVisibleArea() const;
    CViewContainer* getScrollContainer() const { return scrollContainer; }

    void valueChanged(CControl* control) override;
    bool onWheel(const CPoint& where, const float& distance, const CButtonState& buttons) override;
    void setViewSize(const CRect& rect, bool invalidate = true) override;

protected:
    void recalculateSubViews();

    CRect containerSize;
    CViewContainer* scrollContainer = nullptr;
    CScrollbar* vsb = nullptr;
    CScrollbar* hsb = nullptr;
    CCoord scrollbarWidth;
    int32_t style;
};

}  // namespace qgui
