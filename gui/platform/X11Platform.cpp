#include "gui/platform/X11Platform.h"

#include "gui/CFrame.h"
#include "gui/platform/x11Keys.h"
#include "gui/platform/x11Shared.h"

#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>
#include <cairo-xlib.h>
#include <cairo.h>

#include <cstring>
#include <string>

namespace qgui {

namespace {

constexpr unsigned long kDoubleClickTime = 400;  // ms between the presses of a double click
constexpr int kDoubleClickDistance = 4;          // pixels the pointer may move between them

class X11Frame : public IPlatformFrame {
public:
    X11Frame(CFrame* f, Display* d, Window p) : frame(f), dpy(d), parent(p) {}
    ~X11Frame() override {
        x11::unregisterWindow(window);
        if (surface) cairo_surface_destroy(surface);
        if (window) XDestroyWindow(dpy, window);
        XCloseDisplay(dpy);
    }

    bool create() {
        x11::ErrorTrap trap(dpy);
        XWindowAttributes pa;
        if (!XGetWindowAttributes(dpy, parent, &pa) || trap.failed()) return false;
        XSetWindowAttributes attributes{};
        attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask |
                                KeyReleaseMask | StructureNotifyMask | EnterWindowMask | LeaveWindowMask |
                                FocusChangeMask;
        attributes.background_pixel = BlackPixel(dpy, DefaultScreen(dpy));
        window = XCreateWindow(dpy, parent, 0, 0, 1, 1, 0, CopyFromParent, InputOutput, CopyFromParent,
                               CWEventMask | CWBackPixel, &attributes);
        XMapWindow(dpy, window);
        XSync(dpy, False);
        if (trap.failed() || !window) return false;
        visual = DefaultVisual(dpy, DefaultScreen(dpy));
        clipboardAtom = XInternAtom(dpy, "CLIPBOARD", False);
        x11::registerWindow(window, dpy);
        return true;
    }

    PlatformType getType() const override { return PlatformType::kX11; }

    void setSize(int32_t w, int32_t h) override {
        width = w;
        height = h;
        XResizeWindow(dpy, window, static_cast<unsigned>(w), static_cast<unsigned>(h));
        if (surface)
            cairo_xlib_surface_set_size(surface, w, h);
        else
            surface = cairo_xlib_surface_create(dpy, window, visual, w, h);
        XFlush(dpy);
    }

    void present(cairo_surface_t* backBuffer, const CRect& r) override {
        if (!surface) return;
        cairo_t* cr = cairo_create(surface);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_surface(cr, backBuffer, 0, 0);
        cairo_rectangle(cr, r.left, r.top, r.getWidth(), r.getHeight());
        cairo_fill(cr);
        cairo_destroy(cr);
        cairo_surface_flush(surface);
        XFlush(dpy);
    }

    bool getCurrentMousePosition(CPoint& device) override {
        Window root, child;
        int rx, ry, wx, wy;
        unsigned int mask;
        if (!XQueryPointer(dpy, window, &root, &child, &rx, &ry, &wx, &wy, &mask)) return false;
        device = CPoint(wx, wy);
        return true;
    }

    void* getWindowHandle() const override { return reinterpret_cast<void*>(window); }

    double getScreenDPI() const override {
        // The desktop's font resolution when set, else 96 pixels per logical inch, as the desktop's own
        // menus take it: a monitor's reported size would give odd zooms that soften every bitmap.
        if (double dpi = x11::resourceDpi(dpy); dpi > 0) return dpi;
        return 96.0;
    }

    bool getMonitorRect(CRect& rect) const override {
        CRect window;
        x11::windowRootRect(dpy, this->window, window);
        return x11::nearestMonitor(dpy, window, rect);
    }

    void takeKeyboardFocus() override {
        x11::ErrorTrap trap(dpy);
        XSetInputFocus(dpy, window, RevertToParent, CurrentTime);
        XSync(dpy, False);
    }

    void releaseKeyboardFocus() override {
        x11::ErrorTrap trap(dpy);
        Window focus = None;
        int revert = 0;
        XGetInputFocus(dpy, &focus, &revert);
        if (focus == window) XSetInputFocus(dpy, parent, RevertToParent, CurrentTime);
        XSync(dpy, False);
    }

    bool getClipboardText(std::string& text) override {
        // Our own clipboard is answered here: the request would wait for this very event loop.
        if (ownsClipboard && XGetSelectionOwner(dpy, clipboardAtom) == window) {
            text = clipboardText;
            return true;
        }
        // At most half a second for the owner's answer.
        return x11::readSelectionText(dpy, window, clipboardAtom, text, 500);
    }

    bool putClipboardText(const std::string& text) override {
        x11::ErrorTrap trap(dpy);
        XSetSelectionOwner(dpy, clipboardAtom, window, CurrentTime);
        XSync(dpy, False);
        ownsClipboard = !trap.failed() && XGetSelectionOwner(dpy, clipboardAtom) == window;
        if (ownsClipboard) clipboardText = text;
        return ownsClipboard;
    }

    void pumpEvents() override {
        while (XPending(dpy)) {
            XEvent ev;
            XNextEvent(dpy, &ev);
            if (ev.xany.window != window) continue;
            handle(ev);
            // The frame may have closed the window while handling the event.
            if (closing) return;
        }
        if (pressed) checkPressStillHeld();
    }

    bool closing = false;

private:
    // A press whose release will never reach us (the window was hidden, another client took the pointer):
    // the frame hears a cancel, so no button or played note stays stuck.
    void checkPressStillHeld() {
        bool lost = false;
        XWindowAttributes a;
        if (!XGetWindowAttributes(dpy, window, &a) || a.map_state != IsViewable) {
            lost = true;
        } else {
            Window root, child;
            int rx, ry, wx, wy;
            unsigned int mask = 0;
            XQueryPointer(dpy, window, &root, &child, &rx, &ry, &wx, &wy, &mask);
            if (!(mask & (Button1Mask | Button2Mask | Button3Mask))) {
                // Released: a release still on its way is handled at the next idle instead.
                XSync(dpy, False);
                lost = !XPending(dpy);
            }
        }
        if (lost) {
            pressed = 0;
            frame->platformOnMouseCancel();
        }
    }

    static CButtonState modifiers(unsigned int state) {
        CButtonState b = 0;
        if (state & ShiftMask) b |= kShift;
        if (state & ControlMask) b |= kControl;
        if (state & Mod1Mask) b |= kAlt;
        if (state & Mod4Mask) b |= kApple;
        return b;
    }
    static CButtonState buttonsOf(unsigned int state) {
        CButtonState b = modifiers(state);
        if (state & Button1Mask) b |= kLButton;
        if (state & Button2Mask) b |= kMButton;
        if (state & Button3Mask) b |= kRButton;
        return b;
    }
    static CButtonState buttonBit(unsigned int button) {
        return button == 1 ? kLButton : button == 2 ? kMButton : button == 3 ? kRButton : 0;
    }

    void handle(XEvent& ev) {
        switch (ev.type) {
            case Expose:
                frame->platformOnExpose(CRect(ev.xexpose.x, ev.xexpose.y, ev.xexpose.x + ev.xexpose.width,
                                              ev.xexpose.y + ev.xexpose.height));
                break;
            case ButtonPress: {
                const XButtonEvent& b = ev.xbutton;
                if (b.button >= 4 && b.button <= 7) {
                    // Wheel: 4 up, 5 down; 6 and 7 are sideways and count with Shift.
                    float d = (b.button == 4 || b.button == 6) ? 1.f : -1.f;
                    CButtonState mods = modifiers(b.state) | (b.button >= 6 ? kShift : 0);
                    frame->platformOnWheel(CPoint(b.x, b.y), d, mods);
                    break;
                }
                CButtonState buttons = (buttonsOf(b.state) & ~kMouseButtons) | buttonBit(b.button);
                if (b.button == lastButton && b.time - lastPressTime < kDoubleClickTime &&
                    std::abs(b.x - lastPress.x) <= kDoubleClickDistance && std::abs(b.y - lastPress.y) <= kDoubleClickDistance &&
                    !lastWasDouble) {
                    buttons |= kDoubleClick;
                    lastWasDouble = true;
                } else {
                    lastWasDouble = false;
                }
                lastButton = b.button;
                lastPressTime = b.time;
                lastPress = CPoint(b.x, b.y);
                pressed |= buttonBit(b.button);
                frame->platformOnMouseDown(CPoint(b.x, b.y), buttons);
                break;
            }
            case ButtonRelease: {
                const XButtonEvent& b = ev.xbutton;
                if (b.button < 1 || b.button > 3) break;
                pressed &= ~buttonBit(b.button);
                frame->platformOnMouseUp(CPoint(b.x, b.y), (buttonsOf(b.state) & ~kMouseButtons) | buttonBit(b.button));
                break;
            }
            case MotionNotify: {
                // Only the latest position matters.
                while (XCheckTypedWindowEvent(dpy, window, MotionNotify, &ev)) {
                }
                frame->platformOnMouseMoved(CPoint(ev.xmotion.x, ev.xmotion.y), buttonsOf(ev.xmotion.state));
                break;
            }
            case LeaveNotify:
                // The pointer was grabbed away (or the grab ended) while a button was held.
                if ((ev.xcrossing.mode == NotifyGrab || ev.xcrossing.mode == NotifyUngrab) && pressed) {
                    pressed = 0;
                    frame->platformOnMouseCancel();
                }
                break;
            case UnmapNotify:
                if (pressed) {
                    pressed = 0;
                    frame->platformOnMouseCancel();
                }
                break;
            case KeyPress:
            case KeyRelease: {
                if (ev.type == KeyRelease && isAutoRepeat(ev)) break;
                x11::TranslatedKey k = x11::translateKey(&ev.xkey);
                if (!k.valid) break;
                if (ev.type == KeyPress) {
                    if (frame->onKeyDown(k.code) != 1 && !k.text.empty()) frame->onTextInput(k.text);
                } else {
                    frame->onKeyUp(k.code);
                }
                break;
            }
            case SelectionRequest: answerSelectionRequest(ev.xselectionrequest); break;
            case SelectionClear:
                if (ev.xselectionclear.selection == clipboardAtom) {
                    ownsClipboard = false;
                    clipboardText.clear();
                }
                break;
            default: break;
        }
    }

    // Another client asks for the text we put on the clipboard: as UTF-8, Latin-1 or the list of targets.
    void answerSelectionRequest(const XSelectionRequestEvent& request) {
        XSelectionEvent reply{};
        reply.type = SelectionNotify;
        reply.display = dpy;
        reply.requestor = request.requestor;
        reply.selection = request.selection;
        reply.target = request.target;
        reply.time = request.time;
        reply.property = None;
        const Atom utf8 = XInternAtom(dpy, "UTF8_STRING", False);
        const Atom targets = XInternAtom(dpy, "TARGETS", False);
        const Atom property = request.property != None ? request.property : request.target;
        x11::ErrorTrap trap(dpy);
        if (ownsClipboard && request.selection == clipboardAtom) {
            if (request.target == targets) {
                const Atom list[] = {targets, utf8, XA_STRING};
                XChangeProperty(dpy, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(list), 3);
                reply.property = property;
            } else if (request.target == utf8 || request.target == XA_STRING) {
                std::string data = clipboardText;
                if (request.target == XA_STRING) data = latin1(clipboardText);
                XChangeProperty(dpy, request.requestor, property, request.target, 8, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
                reply.property = property;
            }
        }
        XSendEvent(dpy, request.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&reply));
        XSync(dpy, False);
    }

    // Latin-1 of UTF-8 text; characters beyond it become '?'.
    static std::string latin1(const std::string& utf8) {
        std::string out;
        for (size_t i = 0; i < utf8.size();) {
            const unsigned char c = static_cast<unsigned char>(utf8[i]);
            if (c < 0x80) {
                out += static_cast<char>(c);
                ++i;
            } else if ((c & 0xE0) == 0xC0 && i + 1 < utf8.size()) {
                const uint32_t u = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
                out += u < 0x100 ? static_cast<char>(u) : '?';
                i += 2;
            } else {
                out += '?';
                ++i;
                while (i < utf8.size() && (static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80) ++i;
            }
        }
        return out;
    }

    // A release followed at once by a press of the same key is the keyboard's auto-repeat.
    bool isAutoRepeat(const XEvent& ev) {
        if (!XEventsQueued(dpy, QueuedAfterReading)) return false;
        XEvent next;
        XPeekEvent(dpy, &next);
        return next.type == KeyPress && next.xkey.time == ev.xkey.time && next.xkey.keycode == ev.xkey.keycode;
    }

    CFrame* frame;
    Display* dpy;
    Window parent;
    Window window = 0;
    Visual* visual = nullptr;
    cairo_surface_t* surface = nullptr;
    int32_t width = 0, height = 0;
    Atom clipboardAtom = None;
    bool ownsClipboard = false;
    std::string clipboardText;
    unsigned int lastButton = 0;
    Time lastPressTime = 0;
    CPoint lastPress;
    bool lastWasDouble = false;
    CButtonState pressed = 0;
};

}  // namespace

std::unique_ptr<IPlatformFrame> createX11Platform(CFrame* frame, void* parentWindow) {
    if (!parentWindow) return nullptr;
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) return nullptr;
    auto p = std::make_unique<X11Frame>(frame, dpy, reinterpret_cast<Window>(parentWindow));
    if (!p->create()) return nullptr;
    return p;
}

}  // namespace qgui
