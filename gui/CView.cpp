#include "gui/CView.h"

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"
#include "gui/CViewContainer.h"

#include <cstring>

namespace qgui {

CView::CView(const CRect& r) : size(r), mouseableArea(r) {}

CView::CView(const CView& other)
    : CBaseObject(),
      size(other.size),
      mouseableArea(other.mouseableArea),
      backOffset(other.backOffset),
      alphaValue(other.alphaValue),
      visible(other.visible),
      mouseEnabled(other.mouseEnabled),
      transparent(other.transparent),
      wantsFocusFlag(other.wantsFocusFlag),
      attributes(other.attributes) {
    setBackground(other.background);
    setDisabledBackground(other.disabledBackground);
}

CView::~CView() {
    if (background) background->forget();
    if (disabledBackground) disabledBackground->forget();
}

void CView::draw(CDrawContext* context) {
    CBitmap* bitmap = (!mouseEnabled && disabledBackground) ? disabledBackground : background;
    if (bitmap) bitmap->draw(context, size, backOffset);
}

void CView::drawRect(CDrawContext* context, const CRect&) { draw(context); }

void CView::invalid() { invalidRect(getDrawnRect()); }

void CView::invalidRect(const CRect& rect) {
    if (!attachedFlag || !parentFrame || !parentView) return;
    CPoint tl = rect.getTopLeft();
    localToFrame(tl);
    parentFrame->invalidFrameRect(CRect(tl, rect.getSize()));
}

CMouseEventResult CView::onMouseDown(CPoint&, const CButtonState&) { return kMouseEventNotImplemented; }
CMouseEventResult CView::onMouseUp(CPoint&, const CButtonState&) { return kMouseEventNotImplemented; }
CMouseEventResult CView::onMouseMoved(CPoint&, const CButtonState&) { return kMouseEventNotImplemented; }
CMouseEventResult CView::onMouseCancel() { return kMouseEventNotImplemented; }
bool CView::onWheel(const CPoint&, const float&, const CButtonState&) { return false; }
bool CView::onDrop(IDataPackage*, const CPoint&) { return false; }
int32_t CView::onKeyDown(VstKeyCode&) { return -1; }
int32_t CView::onKeyUp(VstKeyCode&) { return -1; }
bool CView::onTextInput(const std::string&) { return false; }

void CView::setViewSize(const CRect& rect, bool invalidate) {
    if (rect == size) return;
    if (invalidate) invalid();
    if (mouseableArea == size) mouseableArea = rect;
    size = rect;
    if (invalidate) invalid();
}

bool CView::hitTest(const CPoint& where, const CButtonState&) const { return mouseableArea.pointInside(where); }

void CView::setVisible(bool state) {
    if (visible == state) return;
    visible = state;
    invalid();
}

void CView::setMouseEnabled(bool state) {
    if (mouseEnabled == state) return;
    mouseEnabled = state;
    if (disabledBackground) setDirty();
}

void CView::setAlphaValue(float alpha) {
    alpha = std::clamp(alpha, 0.f, 1.f);
    if (alpha == alphaValue) return;
    alphaValue = alpha;
    setDirty();
}

void CView::setBackground(CBitmap* bitmap) {
    if (bitmap == background) return;
    if (bitmap) bitmap->remember();
    if (background) background->forget();
    background = bitmap;
    setDirty();
}

void CView::setDisabledBackground(CBitmap* bitmap) {
    if (bitmap == disabledBackground) return;
    if (bitmap) bitmap->remember();
    if (disabledBackground) disabledBackground->forget();
    disabledBackground = bitmap;
    setDirty();
}

bool CView::attached(CView* parent) {
    if (attachedFlag) return false;
    parentView = parent;
    parentFrame = parent ? parent->getFrame() : nullptr;
    attachedFlag = true;
    return true;
}

bool CView::removed(CView* parent) {
    if (!attachedFlag || parent != parentView) return false;
    if (parentFrame) parentFrame->onViewRemoved(this);
    attachedFlag = false;
    parentView = nullptr;
    parentFrame = nullptr;
    return true;
}

bool CView::getAttributeSize(CViewAttributeID id, uint32_t& outSize) const {
    auto it = attributes.find(id);
    if (it == attributes.end()) return false;
    outSize = static_cast<uint32_t>(it->second.size());
    return true;
}

bool CView::getAttribute(CViewAttributeID id, uint32_t inSize, void* buffer, uint32_t& outSize) const {
    auto it = attributes.find(id);
    if (it == attributes.end() || inSize < it->second.size()) return false;
    outSize = static_cast<uint32_t>(it->second.size());
    if (outSize) std::memcpy(buffer, it->second.data(), outSize);
    return true;
}

bool CView::setAttribute(CViewAttributeID id, uint32_t inSize, const void* buffer) {
    if (inSize > 0 && !buffer) return false;
    auto& v = attributes[id];
    v.assign(static_cast<const uint8_t*>(buffer), static_cast<const uint8_t*>(buffer) + inSize);
    return true;
}

bool CView::removeAttribute(CViewAttributeID id) { return attributes.erase(id) > 0; }

CPoint& CView::localToFrame(CPoint& point) const {
    for (CView* p = parentView; p; p = p->getParentView()) {
        if (auto* c = p->asViewContainer()) point.offset(c->getChildOffset());
    }
    return point;
}

CPoint& CView::frameToLocal(CPoint& point) const {
    for (CView* p = parentView; p; p = p->getParentView()) {
        if (auto* c = p->asViewContainer()) point.offset(CPoint() - c->getChildOffset());
    }
    return point;
}

}  // namespace qgui
