#include "gui/CScrollView.h"

#include "gui/CDrawContext.h"

namespace qgui {

namespace {

// The content, moved by the scroll offset inside the visible area.
class CScrollContainer : public CViewContainer {
public:
    CScrollContainer(const CRect& size, const CRect& cs) : CViewContainer(size), containerSize(cs) {
        setTransparency(true);
    }
    CPoint getChildOffset() const override { return size.getTopLeft() + offset; }
    void setScrollOffset(const CPoint& p) {
        if (p == offset) return;
        offset = p;
        invalid();
    }
    const CPoint& getScrollOffset() const { return offset; }
    CRect containerSize;

private:
    CPoint offset;
};

}  // namespace

CScrollbar::CScrollbar(const CRect& size, IControlListener* l, int32_t t, Direction d, const CRect& ss)
    : CControl(size, l, t), direction(d), scrollSize(ss) {}

CRect CScrollbar::getScrollerRect() const {
    CCoord total = direction == kVertical ? scrollSize.getHeight() : scrollSize.getWidth();
    CCoord track = direction == kVertical ? size.getHeight() : size.getWidth();
    CCoord visible = visibleSize > 0 ? visibleSize : track;
    CCoord length = total > 0 ? std::clamp(track * visible / total, std::min(track, 8.0), track) : track;
    CCoord start = (track - length) * getValueNormalized();
    CRect r = size;
    if (direction == kVertical) {
        r.top = size.top + start;
        r.bottom = r.top + length;
    } else {
        r.left = size.left + start;
        r.right = r.left + length;
    }
    return r;
}

void CScrollbar::draw(CDrawContext* context) {
    context->setFillColor(backgroundColor);
    context->drawRect(size, kDrawFilled);
    context->setFillColor(scrollerColor);
    context->drawRect(getScrollerRect(), kDrawFilled);
    if (frameColor.alpha) {
        context->setFrameColor(frameColor);
        context->setLineWidth(1);
        context->drawRect(size, kDrawStroked);
    }
    setDirty(false);
}

CMouseEventResult CScrollbar::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!(buttons & kLButton)) return kMouseEventNotHandled;
    CRect s = getScrollerRect();
    CCoord pos = direction == kVertical ? where.y : where.x;
    CCoord start = direction == kVertical ? s.top : s.left;
    CCoord length = direction == kVertical ? s.getHeight() : s.getWidth();
    // A press beside the scroller centres it there.
    grab = s.pointInside(where) ? pos - start : length / 2;
    beginEdit();
    return onMouseMoved(where, buttons);
}

CMouseEventResult CScrollbar::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (!isEditing()) return kMouseEventNotHandled;
    if (!(buttons & kLButton)) return kMouseEventHandled;
    CRect s = getScrollerRect();
    CCoord track = direction == kVertical ? size.getHeight() : size.getWidth();
    CCoord length = direction == kVertical ? s.getHeight() : s.getWidth();
    CCoord pos = (direction == kVertical ? where.y - size.top : where.x - size.left) - grab;
    float v = track > length ? static_cast<float>(pos / (track - length)) : 0.f;
    float old = value;
    setValueNormalized(v);
    if (value != old) {
        invalid();
        valueChanged();
    }
    return kMouseEventHandled;
}

CMouseEventResult CScrollbar::onMouseUp(CPoint&, const CButtonState&) {
    if (isEditing()) endEdit();
    return kMouseEventHandled;
}

bool CScrollbar::onWheel(const CPoint&, const float& distance, const CButtonState& buttons) {
    float old = value;
    setValue(value - distance * wheelInc * ((buttons & kShift) ? 0.1f : 1.f));
    if (value != old) {
        invalid();
        valueChanged();
    }
    return true;
}

CScrollView::CScrollView(const CRect& size, const CRect& cs, int32_t st, CCoord sbw, CBitmap* bg)
    : CViewContainer(size), containerSize(cs), scrollbarWidth(sbw), style(st) {
    setBackground(bg);
    scrollContainer = new CScrollContainer(CRect(0, 0, size.getWidth(), size.getHeight()), cs);
    CViewContainer::addView(scrollContainer, nullptr);
    if (style & kVerticalScrollbar) {
        vsb = new CScrollbar(CRect(), this, -1, CScrollbar::kVertical, cs);
        CViewContainer::addView(vsb, nullptr);
    }
    if (style & kHorizontalScrollbar) {
        hsb = new CScrollbar(CRect(), this, -1, CScrollbar::kHorizontal, cs);
        CViewContainer::addView(hsb, nullptr);
    }
    recalculateSubViews();
}

CScrollView::~CScrollView() = default;

bool CScrollView::addView(CView* view, CView* before) { return scrollContainer->addView(view, before); }

bool CScrollView::removeView(CView* view, bool withForget) {
    if (view == scrollContainer || view == vsb || view == hsb) return false;
    return scrollContainer->removeView(view, withForget);
}

bool CScrollView::removeAll(bool withForget) {
    if (!scrollContainer) return CViewContainer::removeAll(withForget);
    return scrollContainer->removeAll(withForget);
}

CRect CScrollView::getVisibleArea() const {
    CRect r(0, 0, size.getWidth(), size.getHeight());
    if (vsb) r.right -= scrollbarWidth;
    if (hsb) r.bottom -= scrollbarWidth;
    return r;
}

void CScrollView::recalculateSubViews() {
    CRect area = getVisibleArea();
    scrollContainer->setViewSize(area);
    scrollContainer->setMouseableArea(area);
    if (vsb) {
        CRect r(area.right, 0, area.right + scrollbarWidth, area.bottom);
        vsb->setViewSize(r);
        vsb->setMouseableArea(r);
        vsb->setScrollSize(containerSize);
        vsb->setVisibleSize(area.getHeight());
    }
    if (hsb) {
        CRect r(0, area.bottom, area.right, area.bottom + scrollbarWidth);
        hsb->setViewSize(r);
        hsb->setMouseableArea(r);
        hsb->setScrollSize(containerSize);
        hsb->setVisibleSize(area.getWidth());
    }
    valueChanged(nullptr);
}

void CScrollView::setContainerSize(const CRect& cs) {
    containerSize = cs;
    static_cast<CScrollContainer*>(scrollContainer)->containerSize = cs;
    recalculateSubViews();
}

void CScrollView::setScrollbarWidth(CCoord w) {
    scrollbarWidth = w;
    recalculateSubViews();
}

void CScrollView::setViewSize(const CRect& rect, bool invalidate) {
    CViewContainer::setViewSize(rect, invalidate);
    recalculateSubViews();
}

CPoint CScrollView::getScrollOffset() const {
    CPoint o = static_cast<CScrollContainer*>(scrollContainer)->getScrollOffset();
    return CPoint(-o.x, -o.y);
}

void CScrollView::resetScrollOffset() {
    if (vsb) vsb->setValue(0);
    if (hsb) hsb->setValue(0);
    valueChanged(nullptr);
}

void CScrollView::makeRectVisible(const CRect& rect) {
    CRect area = getVisibleArea();
    CPoint o = getScrollOffset();
    CCoord hiddenY = containerSize.getHeight() - area.getHeight();
    CCoord hiddenX = containerSize.getWidth() - area.getWidth();
    if (vsb && hiddenY > 0) {
        CCoord y = o.y;
        if (rect.top < y) y = rect.top;
        if (rect.bottom > y + area.getHeight()) y = rect.bottom - area.getHeight();
        vsb->setValue(static_cast<float>(y / hiddenY));
    }
    if (hsb && hiddenX > 0) {
        CCoord x = o.x;
        if (rect.left < x) x = rect.left;
        if (rect.right > x + area.getWidth()) x = rect.right - area.getWidth();
        hsb->setValue(static_cast<float>(x / hiddenX));
    }
    valueChanged(nullptr);
}

// The scrollbars report here; a null control re-reads both.
void CScrollView::valueChanged(CControl*) {
    CRect area = getVisibleArea();
    CCoord hiddenY = std::max(0.0, containerSize.getHeight() - area.getHeight());
    CCoord hiddenX = std::max(0.0, containerSize.getWidth() - area.getWidth());
    CPoint offset(hsb ? -std::round(hsb->getValueNormalized() * hiddenX) : 0,
                  vsb ? -std::round(vsb->getValueNormalized() * hiddenY) : 0);
    static_cast<CScrollContainer*>(scrollContainer)->setScrollOffset(offset);
}

bool CScrollView::onWheel(const CPoint& where, const float& distance, const CButtonState& buttons) {
    if (CViewContainer::onWheel(where, distance, buttons)) return true;
    if (!vsb) return false;
    CPoint local = where - getChildOffset();
    return vsb->onWheel(local, distance, buttons);
}

}  // namespace qgui
