#include "gui/CFrame.h"

#include "gui/CDrawContext.h"
#include "gui/platform/COffscreenPlatform.h"
#include "gui/platform/X11Platform.h"

#include <cairo.h>

#include <algorithm>

namespace qgui {

CFrame::CFrame(const CRect& r, VSTGUIEditorInterface* e)
    : CViewContainer(CRect(0, 0, r.getWidth(), r.getHeight())), editor(e) {
    // The frame is the root of its own tree and always counts as attached.
    parentFrame = this;
    attachedFlag = true;
}

CFrame::~CFrame() {
    focusView = nullptr;
    keyboardHooks.clear();
    removeAll(true);
    platform.reset();
    if (backBuffer) cairo_surface_destroy(backBuffer);
}

COffscreenPlatform* CFrame::getOffscreen() const {
    return platform && platform->getType() == PlatformType::kOffscreen
               ? static_cast<COffscreenPlatform*>(platform.get())
               : nullptr;
}

bool CFrame::open(void* parent, PlatformType type) {
    if (platform) return false;
    if (type == PlatformType::kX11 || (type == PlatformType::kDefault && parent)) {
        platform = createX11Platform(this, parent);
        if (!platform && type == PlatformType::kX11) return false;
    }
    if (!platform) platform = std::make_unique<COffscreenPlatform>(this);
    makeBackBuffer();
    platform->setSize(cairo_image_surface_get_width(backBuffer), cairo_image_surface_get_height(backBuffer));
    invalid();
    return true;
}

void CFrame::close() {
    setFocusView(nullptr);
    removeAll(true);
    platform.reset();
    forget();
}

void CFrame::makeBackBuffer() {
    if (backBuffer) cairo_surface_destroy(backBuffer);
    int32_t w = std::max(1, static_cast<int32_t>(std::ceil(size.getWidth() * zoom - 1e-9)));
    int32_t h = std::max(1, static_cast<int32_t>(std::ceil(size.getHeight() * zoom - 1e-9)));
    backBuffer = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
}

void CFrame::idle() {
    if (!platform || inIdle) return;
    inIdle = true;
    remember();
    platform->pumpEvents();
    if (platform) paintInvalid();
    inIdle = false;
    forget();
}

void CFrame::collectDirty(CViewContainer* container, const CPoint& origin) {
    for (CView* v : container->getChildren()) {
        if (!v->isVisible()) continue;
        if (v->isDirty()) {
            invalidFrameRect(CRect(v->getDrawnRect()).offset(origin));
        } else if (auto* c = v->asViewContainer()) {
            collectDirty(c, origin + c->getChildOffset());
        }
    }
}

void CFrame::paintInvalid() {
    if (!platform || !backBuffer) return;
    if (dirty) {
        invalidRects.assign(1, size);
        dirty = false;
    } else {
        collectDirty(this, CPoint());
    }
    if (invalidRects.empty()) return;
    std::vector<CRect> rects;
    rects.swap(invalidRects);
    cairo_t* cr = cairo_create(backBuffer);
    {
        CDrawContext context(cr, size, zoom);
        CRect deviceBounds(0, 0, cairo_image_surface_get_width(backBuffer), cairo_image_surface_get_height(backBuffer));
        for (const CRect& r : rects) {
            CRect device = r;
            device.scale(zoom).makeIntegral().bound(deviceBounds);
            if (device.isEmpty()) continue;
            CRect update = device;
            update.scale(1.0 / zoom);
            context.saveGlobalState();
            context.setClipRect(update);
            drawRect(&context, update);
            context.restoreGlobalState();
            cairo_surface_flush(backBuffer);
            platform->present(backBuffer, device);
        }
    }
    cairo_destroy(cr);
}

bool CFrame::setZoom(double z) {
    if (!(z > 0) || z > 64) return false;
    if (z == zoom) return true;
    CRect oldRect(0, 0, std::ceil(size.getWidth() * zoom), std::ceil(size.getHeight() * zoom));
    CRect newRect(0, 0, std::ceil(size.getWidth() * z - 1e-9), std::ceil(size.getHeight() * z - 1e-9));
    if (editor && !editor->beforeSizeChange(newRect, oldRect)) return false;
    zoom = z;
    if (platform) {
        makeBackBuffer();
        platform->setSize(cairo_image_surface_get_width(backBuffer), cairo_image_surface_get_height(backBuffer));
    }
    invalid();
    return true;
}

void CFrame::setFocusView(CView* view) {
    if (view == focusView) return;
    CView* old = focusView;
    focusView = view;
    if (old) old->looseFocus();
    // looseFocus may have moved the focus on already.
    if (view && focusView == view) {
        view->takeFocus();
        if (platform && view->wantsFocus()) platform->takeKeyboardFocus();
    }
    // The keyboard was taken for the view that let go: the host's window gets it back.
    if (platform && old && old->wantsFocus() && !(focusView && focusView->wantsFocus())) platform->releaseKeyboardFocus();
}

bool CFrame::advanceNextFocusView(CView* oldFocus, bool reverse) {
    std::vector<CView*> order;
    std::function<void(CViewContainer*)> walk = [&](CViewContainer* c) {
        for (CView* v : c->getChildren()) {
            if (!v->isVisible()) continue;
            if (v->wantsFocus() && v->getMouseEnabled()) order.push_back(v);
            if (auto* cc = v->asViewContainer()) walk(cc);
        }
    };
    walk(this);
    if (order.empty()) return false;
    if (reverse) std::reverse(order.begin(), order.end());
    auto it = std::find(order.begin(), order.end(), oldFocus);
    CView* next = (it == order.end() || it + 1 == order.end()) ? order.front() : *(it + 1);
    if (next == oldFocus) return false;
    setFocusView(next);
    return true;
}

void CFrame::registerKeyboardHook(IKeyboardHook* hook) {
    if (hook && std::find(keyboardHooks.begin(), keyboardHooks.end(), hook) == keyboardHooks.end())
        keyboardHooks.push_back(hook);
}

void CFrame::unregisterKeyboardHook(IKeyboardHook* hook) {
    keyboardHooks.erase(std::remove(keyboardHooks.begin(), keyboardHooks.end(), hook), keyboardHooks.end());
    if (keyboardHooks.empty()) keyboardHooks.shrink_to_fit();
}

int32_t CFrame::onKeyDown(VstKeyCode& code) {
    remember();
    int32_t result = -1;
    for (IKeyboardHook* hook : std::vector<IKeyboardHook*>(keyboardHooks)) {
        if (hook->onKeyDown(code, this) == 1) {
            result = 1;
            break;
        }
    }
    if (result != 1 && focusView) result = focusView->onKeyDown(code) == 1 ? 1 : -1;
    if (result != 1 && code.virt == VKEY_TAB && (code.modifier & ~MODIFIER_SHIFT) == 0)
        result = advanceNextFocusView(focusView, code.modifier & MODIFIER_SHIFT) ? 1 : -1;
    forget();
    return result;
}

int32_t CFrame::onKeyUp(VstKeyCode& code) {
    remember();
    int32_t result = -1;
    for (IKeyboardHook* hook : std::vector<IKeyboardHook*>(keyboardHooks)) {
        if (hook->onKeyUp(code, this) == 1) {
            result = 1;
            break;
        }
    }
    if (result != 1 && focusView) result = focusView->onKeyUp(code) == 1 ? 1 : -1;
    forget();
    return result;
}

bool CFrame::onTextInput(const std::string& utf8) { return focusView && focusView->onTextInput(utf8); }

CPoint& CFrame::getCurrentMouseLocation(CPoint& where) const {
    CPoint device;
    if (platform && platform->getCurrentMousePosition(device))
        where = toLogical(device);
    else
        where = mouseLocation;
    return where;
}

void CFrame::invalid() { invalidFrameRect(size); }

void CFrame::setDirty(bool state) {
    dirty = state;
}

// Up to 32 separate rectangles; beyond that they are joined into one.
void CFrame::invalidFrameRect(const CRect& rect) {
    CRect r = rect;
    r.bound(size);
    if (r.isEmpty()) return;
    for (CRect& existing : invalidRects) {
        CRect joined = existing;
        joined.bound(r);
        if (joined == r) return;  // already covered
        if (CRect(r).bound(existing) == existing) {
            existing = r;
            return;
        }
    }
    invalidRects.push_back(r);
    if (invalidRects.size() > 32) {
        CRect all;
        for (const CRect& e : invalidRects) all.unite(e);
        invalidRects.assign(1, all);
    }
}

double CFrame::getScreenDPI() const { return platform ? platform->getScreenDPI() : 96; }

bool CFrame::getMonitorRect(CRect& rect) const { return platform && platform->getMonitorRect(rect); }

bool CFrame::getClipboardText(std::string& text) const { return platform && platform->getClipboardText(text); }
bool CFrame::putClipboardText(const std::string& text) const { return platform && platform->putClipboardText(text); }

void CFrame::platformOnMouseDown(const CPoint& device, CButtonState buttons) {
    CPoint where = toLogical(device);
    mouseLocation = where;
    remember();
    // A press outside the focus view ends its focus (a text entry finishes).
    if (focusView) {
        CPoint local = where;
        focusView->frameToLocal(local);
        if (!focusView->getViewSize().pointInside(local)) setFocusView(nullptr);
    }
    onMouseDown(where, buttons);
    forget();
}

void CFrame::platformOnMouseUp(const CPoint& device, CButtonState buttons) {
    CPoint where = toLogical(device);
    mouseLocation = where;
    remember();
    onMouseUp(where, buttons);
    forget();
}

void CFrame::platformOnMouseMoved(const CPoint& device, CButtonState buttons) {
    CPoint where = toLogical(device);
    mouseLocation = where;
    remember();
    onMouseMoved(where, buttons);
    forget();
}

void CFrame::platformOnMouseCancel() {
    remember();
    onMouseCancel();
    forget();
}

void CFrame::platformOnWheel(const CPoint& device, float distance, CButtonState buttons) {
    CPoint where = toLogical(device);
    mouseLocation = where;
    remember();
    onWheel(where, distance, buttons);
    forget();
}

void CFrame::platformOnExpose(const CRect& device) {
    if (platform && backBuffer) platform->present(backBuffer, device);
}

bool CFrame::platformOnDrop(IDataPackage* drag, const CPoint& device) {
    CPoint where = toLogical(device);
    mouseLocation = where;
    return onDrop(drag, where);
}

void CFrame::onViewRemoved(CView* view) {
    if (!focusView) return;
    for (CView* v = focusView; v; v = v->getParentView()) {
        if (v == view) {
            setFocusView(nullptr);
            break;
        }
    }
}

}  // namespace qgui
