#include "gui/CViewContainer.h"

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"

#include <algorithm>

namespace qgui {

CViewContainer::CViewContainer(const CRect& r) : CView(r) {}

CViewContainer::~CViewContainer() { removeAll(true); }

bool CViewContainer::addView(CView* view) { return addView(view, nullptr); }

bool CViewContainer::addView(CView* view, CView* before) {
    if (!view || isChild(view)) return false;
    auto it = before ? std::find(children.begin(), children.end(), before) : children.end();
    children.insert(it, view);
    if (attachedFlag) {
        view->attached(this);
        view->invalid();
    }
    return true;
}

bool CViewContainer::removeView(CView* view, bool withForget) {
    auto it = std::find(children.begin(), children.end(), view);
    if (it == children.end()) return false;
    if (view->getParentView() == this) view->invalid();
    children.erase(it);
    if (mouseDownView == view) mouseDownView = nullptr;
    view->removed(this);
    if (withForget) view->forget();
    return true;
}

bool CViewContainer::removeAll(bool withForget) {
    mouseDownView = nullptr;
    if (children.empty()) return true;
    invalid();
    // Taken out first: a child's removal may look at this container.
    std::vector<CView*> old;
    old.swap(children);
    for (CView* v : old) {
        v->removed(this);
        if (withForget) v->forget();
    }
    return true;
}

bool CViewContainer::isChild(const CView* view) const {
    return std::find(children.begin(), children.end(), view) != children.end();
}

CView* CViewContainer::getView(int32_t index) const {
    return index >= 0 && index < getNbViews() ? children[static_cast<size_t>(index)] : nullptr;
}

void CViewContainer::forEachChild(const std::function<void(CView*)>& f) const {
    for (CView* v : children) f(v);
}

void CViewContainer::setBackgroundColor(const CColor& c) {
    if (c == backgroundColor) return;
    backgroundColor = c;
    setDirty();
}

CView* CViewContainer::getViewAt(const CPoint& where, bool deep, bool mustBeMouseEnabled) const {
    CPoint local = where - getChildOffset();
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        CView* v = *it;
        if (!v->isVisible() || (mustBeMouseEnabled && !v->getMouseEnabled())) continue;
        if (!v->getViewSize().pointInside(local)) continue;
        if (deep) {
            if (auto* c = v->asViewContainer()) return c->getViewAt(local, deep, mustBeMouseEnabled);
        }
        return v;
    }
    return const_cast<CViewContainer*>(this);
}

void CViewContainer::drawBackgroundRect(CDrawContext* context, const CRect& updateRect) {
    if (!transparent) {
        context->setFillColor(backgroundColor);
        context->drawRect(updateRect, kDrawFilled);
    }
    CBitmap* bitmap = (!mouseEnabled && disabledBackground) ? disabledBackground : background;
    if (bitmap) bitmap->draw(context, size, backOffset);
}

void CViewContainer::draw(CDrawContext* context) { drawRect(context, size); }

void CViewContainer::drawRect(CDrawContext* context, const CRect& updateRect) {
    CRect update = updateRect;
    update.bound(size);
    if (update.isEmpty()) return;
    context->saveGlobalState();
    context->setClipRect(update);
    drawBackgroundRect(context, update);
    CPoint origin = getChildOffset();
    {
        CDrawContext::Transform t(*context, CGraphicsTransform().translate(origin.x, origin.y));
        CRect localUpdate = update;
        localUpdate.offset(-origin.x, -origin.y);
        float alpha = context->getGlobalAlpha();
        for (CView* v : children) {
            if (!v->isVisible() || !v->checkUpdate(localUpdate)) continue;
            CRect clip = v->getViewSize();
            clip.bound(localUpdate);
            if (clip.isEmpty()) continue;
            context->saveGlobalState();
            context->setClipRect(clip);
            context->setGlobalAlpha(alpha * v->getAlphaValue());
            v->drawRect(context, clip);
            context->restoreGlobalState();
            v->setDirty(false);
        }
        // Overlays beyond their views, over every child.
        for (CView* v : children) {
            if (!v->isVisible()) continue;
            CRect drawn = v->getDrawnRect();
            if (drawn == v->getViewSize()) continue;
            drawn.bound(localUpdate);
            if (drawn.isEmpty()) continue;
            context->saveGlobalState();
            context->setClipRect(drawn);
            context->setGlobalAlpha(alpha * v->getAlphaValue());
            v->drawOverlay(context);
            context->restoreGlobalState();
        }
    }
    context->restoreGlobalState();
}

CMouseEventResult CViewContainer::onMouseDown(CPoint& where, const CButtonState& buttons) {
    CPoint local = where - getChildOffset();
    // Copy: a handler may add or remove views.
    std::vector<CView*> order(children.rbegin(), children.rend());
    for (CView* v : order) {
        if (!isChild(v) || !v->isVisible() || !v->getMouseEnabled() || !v->hitTest(local, buttons)) continue;
        CPoint p = local;
        v->remember();
        CMouseEventResult r = v->onMouseDown(p, buttons);
        bool stillChild = isChild(v);
        bool transparentView = v->getTransparency();
        v->forget();
        if (r == kMouseEventHandled) {
            mouseDownView = stillChild ? v : nullptr;
            return r;
        }
        if (r == kMouseDownEventHandledButDontNeedMovedOrUpEvents || r == kMouseMoveEventHandledButDontNeedMoreEvents)
            return r;
        // Not handled: a transparent view lets the press through to the views below it.
        if (transparentView) continue;
        return kMouseEventNotHandled;
    }
    return kMouseEventNotHandled;
}

CMouseEventResult CViewContainer::onMouseUp(CPoint& where, const CButtonState& buttons) {
    if (!mouseDownView) return kMouseEventNotHandled;
    CView* v = mouseDownView;
    CPoint p = where - getChildOffset();
    v->remember();
    CMouseEventResult r = v->onMouseUp(p, buttons);
    v->forget();
    mouseDownView = nullptr;
    return r;
}

CMouseEventResult CViewContainer::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (!mouseDownView) return kMouseEventNotHandled;
    CView* v = mouseDownView;
    CPoint p = where - getChildOffset();
    v->remember();
    CMouseEventResult r = v->onMouseMoved(p, buttons);
    v->forget();
    if (r == kMouseMoveEventHandledButDontNeedMoreEvents || r == kMouseEventNotHandled) {
        if (mouseDownView == v && r == kMouseMoveEventHandledButDontNeedMoreEvents) mouseDownView = nullptr;
    }
    return r;
}

CMouseEventResult CViewContainer::onMouseCancel() {
    if (!mouseDownView) return kMouseEventNotHandled;
    CView* v = mouseDownView;
    mouseDownView = nullptr;
    v->remember();
    CMouseEventResult r = v->onMouseCancel();
    if (r == kMouseEventNotImplemented || r == kMouseEventNotHandled) {
        // A release far away from everything: the view ends its tracking as if the mouse left it.
        CPoint far(-1e9, -1e9);
        r = v->onMouseUp(far, 0);
    }
    v->forget();
    return r;
}

bool CViewContainer::onWheel(const CPoint& where, const float& distance, const CButtonState& buttons) {
    CPoint local = where - getChildOffset();
    std::vector<CView*> order(children.rbegin(), children.rend());
    for (CView* v : order) {
        if (!isChild(v) || !v->isVisible() || !v->getMouseEnabled() || !v->hitTest(local, buttons)) continue;
        if (v->onWheel(local, distance, buttons)) return true;
        if (!v->getTransparency()) return false;
    }
    return false;
}

bool CViewContainer::onDrop(IDataPackage* drag, const CPoint& where) {
    CPoint local = where - getChildOffset();
    std::vector<CView*> order(children.rbegin(), children.rend());
    for (CView* v : order) {
        if (!isChild(v) || !v->isVisible() || !v->getMouseEnabled() || !v->hitTest(local, 0)) continue;
        if (v->onDrop(drag, local)) return true;
        if (!v->getTransparency()) return false;
    }
    return false;
}

bool CViewContainer::attached(CView* parent) {
    if (!CView::attached(parent)) return false;
    for (CView* v : children) v->attached(this);
    return true;
}

bool CViewContainer::removed(CView* parent) {
    if (!attachedFlag || parent != parentView) return false;
    mouseDownView = nullptr;
    for (CView* v : children) v->removed(this);
    return CView::removed(parent);
}

void CViewContainer::clearMouseDownView(CView* view) {
    if (mouseDownView == view) mouseDownView = nullptr;
}

}  // namespace qgui
