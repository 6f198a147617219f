#include "gui/desktop/x11MessageBox.h"

#include "gui/platform/x11Shared.h"
#include "gui/utf8.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <cairo-xlib.h>
#include <cairo.h>
#include <poll.h>

#include <algorithm>
#include <cmath>

namespace qgui {

namespace {

constexpr const char* kFont = "DejaVu Sans";
constexpr int32_t kOkCancel = 1;    // the flags' button kind
constexpr int32_t kIconHand = 0x10; // the stop icon
constexpr int32_t kOk = 1, kCancel = 2;

struct Metrics {
    double scale;
    double margin() const { return std::round(16 * scale); }
    double iconSize() const { return std::round(32 * scale); }
    double fontSize() const { return 13 * scale; }
    double maxTextWidth() const { return std::round(440 * scale); }
    double buttonWidth() const { return std::round(84 * scale); }
    double buttonHeight() const { return std::round(26 * scale); }
    double buttonGap() const { return std::round(8 * scale); }
    double bandPadding() const { return std::round(11 * scale); }
};

void selectFont(cairo_t* cr, const Metrics& m) {
    cairo_select_font_face(cr, kFont, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, m.fontSize());
}

double widthOf(cairo_t* cr, const std::string& s) {
    cairo_text_extents_t te;
    cairo_text_extents(cr, s.c_str(), &te);
    return te.x_advance;
}

// Bytes of the UTF-8 character that starts at i.
size_t characterLength(const std::string& s, size_t i) {
    size_t n = 1;
    while (i + n < s.size() && (static_cast<unsigned char>(s[i + n]) & 0xC0) == 0x80) ++n;
    return n;
}

// Lines no wider than maxWidth: broken at blanks, and inside words too long for a line (paths).
std::vector<std::string> wrap(cairo_t* cr, const std::string& text, double maxWidth) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        size_t end = text.find('\n', start);
        std::string paragraph = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        std::string line;
        size_t i = 0;
        while (i < paragraph.size()) {
            size_t blank = paragraph.find(' ', i);
            std::string word = paragraph.substr(i, blank == std::string::npos ? std::string::npos : blank - i + 1);
            i += word.size();
            if (widthOf(cr, line + word) <= maxWidth) {
                line += word;
                continue;
            }
            if (!line.empty()) lines.push_back(line);
            line.clear();
            for (size_t c = 0; c < word.size();) {
                size_t n = characterLength(word, c);
                std::string piece = word.substr(c, n);
                if (!line.empty() && widthOf(cr, line + piece) > maxWidth) {
                    lines.push_back(line);
                    line.clear();
                }
                line += piece;
                c += n;
            }
        }
        lines.push_back(line);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

}  // namespace

MessageBoxLayout messageBoxLayout(const std::string& text, int32_t flags, double scale) {
    Metrics m{scale > 0 ? scale : 1};
    MessageBoxLayout l;
    cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
    cairo_t* cr = cairo_create(scratch);
    selectFont(cr, m);
    cairo_font_extents_t fe;
    cairo_font_extents(cr, &fe);
    l.lineHeight = std::ceil(fe.height);
    l.lines = wrap(cr, utf8::displayable(text), m.maxTextWidth());
    double textWidth = 0;
    for (const auto& line : l.lines) textWidth = std::max(textWidth, widthOf(cr, line));
    cairo_destroy(cr);
    cairo_surface_destroy(scratch);

    bool icon = (flags & 0xF0) == kIconHand;
    double textLeft = m.margin();
    if (icon) {
        l.icon = CRect(m.margin(), m.margin(), m.margin() + m.iconSize(), m.margin() + m.iconSize());
        textLeft = l.icon.right + std::round(12 * m.scale);
    }
    double textHeight = l.lineHeight * static_cast<double>(l.lines.size());
    double contentHeight = std::max(icon ? m.iconSize() : 0.0, textHeight);
    // A short text sits level with the icon's middle.
    l.textAt = CPoint(textLeft, m.margin() + std::max(0.0, (contentHeight - textHeight) / 2));
    int buttons = (flags & 0xF) == kOkCancel ? 2 : 1;
    double buttonsWidth = buttons * m.buttonWidth() + (buttons - 1) * m.buttonGap();
    double width = std::ceil(std::max({textLeft + textWidth + m.margin(), buttonsWidth + 2 * m.margin(), 240 * m.scale}));
    double bandTop = m.margin() + contentHeight + m.margin();
    double height = bandTop + m.buttonHeight() + 2 * m.bandPadding();
    l.size = CPoint(width, std::ceil(height));
    double x = width - m.margin() - buttonsWidth;
    for (int b = 0; b < buttons; ++b) {
        l.buttons.push_back(CRect(x, bandTop + m.bandPadding(), x + m.buttonWidth(), bandTop + m.bandPadding() + m.buttonHeight()));
        x += m.buttonWidth() + m.buttonGap();
    }
    return l;
}

namespace {

class MessageBox {
public:
    MessageBox(Display* d, int32_t f, const std::string& text) : dpy(d), flags(f) {
        scale = x11::resourceDpi(dpy) / 96.0;
        if (scale <= 0) scale = 1;
        layout = messageBoxLayout(text, flags, scale);
    }
    ~MessageBox() {
        if (surface) cairo_surface_destroy(surface);
        if (window) XDestroyWindow(dpy, window);
    }

    bool open(Window owner, const std::string& caption) {
        int screen = DefaultScreen(dpy);
        Window root = RootWindow(dpy, screen);
        CPoint size = layout.size;
        CRect over, monitor;
        Window ownerTop = 0;
        if (owner) {
            x11::ErrorTrap trap(dpy);
            ownerTop = x11::topLevelOf(dpy, owner);
            if (!x11::windowRootRect(dpy, ownerTop, over) || trap.failed()) ownerTop = 0;
        }
        if (!ownerTop) {
            // No owner: over the pointer's monitor.
            Window r, c;
            int rx = 0, ry = 0, wx, wy;
            unsigned int mask;
            XQueryPointer(dpy, root, &r, &c, &rx, &ry, &wx, &wy, &mask);
            over = CRect(rx, ry, rx + 1, ry + 1);
        }
        x11::nearestMonitor(dpy, over, monitor);
        CPoint at(std::round(over.getCenter().x - size.x / 2), std::round(over.getCenter().y - size.y / 2));
        at.x = std::max(monitor.left, std::min(at.x, monitor.right - size.x));
        at.y = std::max(monitor.top, std::min(at.y, monitor.bottom - size.y));

        XSetWindowAttributes a{};
        a.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | KeyPressMask | StructureNotifyMask;
        a.background_pixel = WhitePixel(dpy, screen);
        window = XCreateWindow(dpy, root, static_cast<int>(at.x), static_cast<int>(at.y), static_cast<unsigned>(size.x),
                               static_cast<unsigned>(size.y), 0, CopyFromParent, InputOutput, CopyFromParent,
                               CWEventMask | CWBackPixel, &a);
        if (!window) return false;
        setProperties(caption.empty() ? "Error" : caption, ownerTop);
        surface = cairo_xlib_surface_create(dpy, window, DefaultVisual(dpy, screen), static_cast<int>(size.x),
                                            static_cast<int>(size.y));
        XMapRaised(dpy, window);
        XFlush(dpy);
        return true;
    }

    int32_t run() {
        for (;;) {
            XFlush(dpy);
            if (!XPending(dpy)) {
                pollfd pfd{ConnectionNumber(dpy), POLLIN, 0};
                poll(&pfd, 1, 200);
                if (pfd.revents & (POLLERR | POLLHUP)) return dismissed();
                continue;
            }
            XEvent ev;
            XNextEvent(dpy, &ev);
            if (ev.xany.window != window) continue;
            switch (ev.type) {
                case Expose:
                    if (ev.xexpose.count == 0) draw();
                    break;
                case MapNotify: {
                    // Without a window manager nobody else gives it the keyboard.
                    x11::ErrorTrap trap(dpy);
                    XSetInputFocus(dpy, window, RevertToParent, CurrentTime);
                    break;
                }
                case ButtonPress:
                    if (ev.xbutton.button == 1) {
                        pressed = buttonAt(CPoint(ev.xbutton.x, ev.xbutton.y));
                        if (pressed >= 0) focus = pressed;
                        draw();
                    }
                    break;
                case ButtonRelease:
                    if (ev.xbutton.button == 1 && pressed >= 0) {
                        int released = buttonAt(CPoint(ev.xbutton.x, ev.xbutton.y));
                        int was = pressed;
                        pressed = -1;
                        if (released == was) return answerOf(was);
                        draw();
                    }
                    break;
                case KeyPress: {
                    KeySym sym = XLookupKeysym(&ev.xkey, 0);
                    int count = static_cast<int>(layout.buttons.size());
                    if (sym == XK_Return || sym == XK_KP_Enter || sym == XK_space) return answerOf(focus);
                    if (sym == XK_Escape) return dismissed();
                    if (sym == XK_Tab || sym == XK_Right || sym == XK_ISO_Left_Tab || sym == XK_Left) {
                        int step = (sym == XK_Left || sym == XK_ISO_Left_Tab || (ev.xkey.state & ShiftMask)) ? -1 : 1;
                        focus = (focus + step + count) % count;
                        draw();
                    }
                    break;
                }
                case ClientMessage:
                    if (static_cast<Atom>(ev.xclient.data.l[0]) == deleteAtom) return dismissed();
                    break;
                default: break;
            }
        }
    }

private:
    void setProperties(const std::string& caption, Window ownerTop) {
        Atom utf8 = XInternAtom(dpy, "UTF8_STRING", False);
        for (const char* name : {"WM_NAME", "_NET_WM_NAME"})
            XChangeProperty(dpy, window, XInternAtom(dpy, name, False), utf8, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(caption.data()), static_cast<int>(caption.size()));
        XClassHint cls{const_cast<char*>("quorix-message"), const_cast<char*>("Quorix")};
        XSetClassHint(dpy, window, &cls);
        deleteAtom = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(dpy, window, &deleteAtom, 1);
        // A fixed size at the place chosen here.
        XSizeHints* hints = XAllocSizeHints();
        hints->flags = PPosition | PMinSize | PMaxSize;
        hints->min_width = hints->max_width = static_cast<int>(layout.size.x);
        hints->min_height = hints->max_height = static_cast<int>(layout.size.y);
        XSetWMNormalHints(dpy, window, hints);
        XFree(hints);
        XWMHints wm{};
        wm.flags = InputHint;
        wm.input = True;
        XSetWMHints(dpy, window, &wm);
        Atom type = XInternAtom(dpy, "_NET_WM_WINDOW_TYPE_DIALOG", False);
        XChangeProperty(dpy, window, XInternAtom(dpy, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&type), 1);
        // Over its owner when there is one; otherwise kept above everything, so that it is seen.
        if (ownerTop) XSetTransientForHint(dpy, window, ownerTop);
        Atom state = XInternAtom(dpy, ownerTop ? "_NET_WM_STATE_MODAL" : "_NET_WM_STATE_ABOVE", False);
        XChangeProperty(dpy, window, XInternAtom(dpy, "_NET_WM_STATE", False), XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&state), 1);
    }

    int buttonAt(const CPoint& p) const {
        for (size_t b = 0; b < layout.buttons.size(); ++b)
            if (layout.buttons[b].pointInside(p)) return static_cast<int>(b);
        return -1;
    }
    int32_t answerOf(int button) const { return button == 1 ? kCancel : kOk; }
    // Escape and the window's close button: Cancel when there is one.
    int32_t dismissed() const { return layout.buttons.size() > 1 ? kCancel : kOk; }

    void draw() {
        Metrics m{scale};
        cairo_t* cr = cairo_create(surface);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        const CRect& band = layout.buttons.front();
        cairo_set_source_rgb(cr, 0.94, 0.94, 0.95);
        cairo_rectangle(cr, 0, band.top - m.bandPadding(), layout.size.x, layout.size.y);
        cairo_fill(cr);
        if (!layout.icon.isEmpty()) {
            CPoint c = layout.icon.getCenter();
            double r = layout.icon.getWidth() / 2;
            cairo_set_source_rgb(cr, 0.80, 0.12, 0.12);
            cairo_arc(cr, c.x, c.y, r, 0, 2 * M_PI);
            cairo_fill(cr);
            cairo_set_source_rgb(cr, 1, 1, 1);
            cairo_set_line_width(cr, 3 * m.scale);
            cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
            double s = r * 0.42;
            cairo_move_to(cr, c.x - s, c.y - s);
            cairo_line_to(cr, c.x + s, c.y + s);
            cairo_move_to(cr, c.x + s, c.y - s);
            cairo_line_to(cr, c.x - s, c.y + s);
            cairo_stroke(cr);
        }
        selectFont(cr, m);
        cairo_font_extents_t fe;
        cairo_font_extents(cr, &fe);
        cairo_set_source_rgb(cr, 0.1, 0.1, 0.12);
        double y = layout.textAt.y + fe.ascent;
        for (const auto& line : layout.lines) {
            cairo_move_to(cr, layout.textAt.x, y);
            cairo_show_text(cr, line.c_str());
            y += layout.lineHeight;
        }
        const char* labels[] = {"OK", "Cancel"};
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
        for (size_t b = 0; b < layout.buttons.size(); ++b) {
            CRect r = layout.buttons[b];
            bool down = static_cast<int>(b) == pressed;
            cairo_set_source_rgb(cr, down ? 0.82 : 0.99, down ? 0.84 : 0.99, down ? 0.88 : 1.0);
            cairo_rectangle(cr, r.left + 0.5, r.top + 0.5, r.getWidth() - 1, r.getHeight() - 1);
            cairo_fill_preserve(cr);
            bool focused = static_cast<int>(b) == focus;
            cairo_set_line_width(cr, focused ? 2 : 1);
            if (focused)
                cairo_set_source_rgb(cr, 0.2, 0.4, 0.8);
            else
                cairo_set_source_rgb(cr, 0.6, 0.6, 0.65);
            cairo_stroke(cr);
            cairo_set_source_rgb(cr, 0.1, 0.1, 0.12);
            double w = widthOf(cr, labels[b]);
            cairo_move_to(cr, r.left + (r.getWidth() - w) / 2, r.top + (r.getHeight() + fe.ascent - fe.descent) / 2);
            cairo_show_text(cr, labels[b]);
        }
        cairo_destroy(cr);
        cairo_surface_flush(surface);
        XFlush(dpy);
    }

    Display* dpy;
    int32_t flags;
    double scale = 1;
    MessageBoxLayout layout;
    Window window = 0;
    cairo_surface_t* surface = nullptr;
    Atom deleteAtom = None;
    int focus = 0;    // OK first: Return accepts
    int pressed = -1;
};

}  // namespace

int32_t messageBoxX11(unsigned long owner, const std::string& caption, const std::string& text, int32_t flags) {
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) return 0;
    int32_t answer = 0;
    {
        MessageBox box(dpy, flags, text);
        if (box.open(static_cast<Window>(owner), caption)) answer = box.run();
    }
    XCloseDisplay(dpy);
    return answer;
}

}  // namespace qgui
