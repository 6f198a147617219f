// The popup menu on X11: override-redirect windows, a pointer and keyboard grab and an event loop of its
// own that returns when the user chose an item or dismissed the menu.
#include "gui/platform/x11Keys.h"
#include "gui/platform/x11Shared.h"
#include "gui/popupMenu.h"
#include "gui/utf8.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <cairo-xlib.h>
#include <cairo.h>
#include <poll.h>

#include <chrono>
#include <thread>

namespace qgui {

namespace {

struct Metrics {
    double scale;
    double itemHeight() const { return std::round(20 * scale); }
    double separatorHeight() const { return std::round(7 * scale); }
    double fontSize() const { return 13 * scale; }
    double checkWidth() const { return std::round(20 * scale); }
    double arrowWidth() const { return std::round(16 * scale); }
    double padding() const { return std::round(8 * scale); }
    double rightGap() const { return std::round(24 * scale); }  // between the text and the text on the right
};

struct ItemBox {
    CRect rect;  // window coordinates
};

// A title as shown: the text, the text on the right (after "\t") and the mnemonic's bytes in the text.
struct Label {
    std::string text, right;
    size_t mnemonicAt = std::string::npos;
    size_t mnemonicLength = 0;
};

Label parseTitle(const std::string& given, bool mnemonics) {
    Label l;
    const std::string title = utf8::displayable(given);
    size_t tab = title.find('\t');
    const std::string left = title.substr(0, tab);
    if (tab != std::string::npos) l.right = title.substr(tab + 1);
    if (!mnemonics) {
        l.text = left;
        return l;
    }
    for (size_t i = 0; i < left.size(); ++i) {
        if (left[i] != '&') {
            l.text += left[i];
            continue;
        }
        if (++i >= left.size()) break;  // a lone "&" at the end shows nothing
        if (left[i] != '&' && l.mnemonicAt == std::string::npos) {
            // The whole UTF-8 character after the "&".
            size_t n = 1;
            while (i + n < left.size() && (static_cast<unsigned char>(left[i + n]) & 0xC0) == 0x80) ++n;
            l.mnemonicAt = l.text.size();
            l.mnemonicLength = n;
        }
        l.text += left[i];
    }
    return l;
}

// The mnemonic as typed: ASCII letters in either case.
std::string foldKey(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// One open level of the menu.
struct Level {
    const PopupMenuList* list = nullptr;
    std::vector<ItemBox> boxes;
    CRect screen;  // root coordinates
    Window window = 0;
    cairo_surface_t* surface = nullptr;
    int hover = -1;
};

bool selectable(const PopupItem& item) { return !item.separator && item.enabled; }

double textWidth(cairo_t* cr, const std::string& s, bool bold, double size) {
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t te;
    cairo_text_extents(cr, s.c_str(), &te);
    return te.x_advance;
}

// Places the items in columns: a new column after itemsPerColumn items, at an item that breaks, or
// where the column would grow taller than maxHeight (a menu taller than the screen goes on beside).
CPoint layout(const PopupMenuList& list, const Metrics& m, double maxHeight, std::vector<ItemBox>& boxes) {
    cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
    cairo_t* cr = cairo_create(scratch);
    std::vector<std::vector<size_t>> columns(1);
    double columnHeight = 0;
    for (size_t i = 0; i < list.items.size(); ++i) {
        double h = list.items[i].separator ? m.separatorHeight() : m.itemHeight();
        bool full = list.itemsPerColumn > 0 && static_cast<int32_t>(columns.back().size()) >= list.itemsPerColumn;
        bool tooTall = maxHeight > 0 && columnHeight + h > maxHeight;
        if (!columns.back().empty() && (full || tooTall || list.items[i].columnBreak)) {
            columns.emplace_back();
            columnHeight = 0;
        }
        columns.back().push_back(i);
        columnHeight += h;
    }
    boxes.assign(list.items.size(), {});
    double x = 0, height = 0;
    for (const auto& column : columns) {
        double w = 0, right = 0;
        for (size_t i : column) {
            const PopupItem& item = list.items[i];
            if (item.separator) continue;
            Label label = parseTitle(item.title, list.mnemonics);
            w = std::max(w, textWidth(cr, label.text, item.isDefault, m.fontSize()));
            if (!label.right.empty()) right = std::max(right, textWidth(cr, label.right, item.isDefault, m.fontSize()));
        }
        if (right > 0) w += m.rightGap() + right;
        w += m.checkWidth() + m.arrowWidth() + m.padding();
        double y = 0;
        for (size_t i : column) {
            double h = list.items[i].separator ? m.separatorHeight() : m.itemHeight();
            boxes[i].rect = CRect(x + 1, y + 1, x + 1 + w, y + 1 + h);
            y += h;
        }
        height = std::max(height, y);
        x += w + 1;
    }
    cairo_destroy(cr);
    cairo_surface_destroy(scratch);
    return CPoint(x + 1, height + 2);
}

class Popup {
public:
    Popup(Display* d, double scale) : dpy(d), metrics{scale > 0 ? scale : 1} {}
    ~Popup() {
        while (!levels.empty()) closeLevel();
    }

    // Opens a level with its top-left corner at `at` (root coordinates); `alternate` is where it goes
    // when it does not fit: the left edge of the parent item for submenus, above the owner for the top.
    bool openLevel(const PopupMenuList* list, CPoint at, double flipX, double flipY) {
        Level level;
        level.list = list;
        CRect monitor;
        x11::nearestMonitor(dpy, CRect(at, CPoint(1, 1)), monitor);
        CPoint size = layout(*list, metrics, monitor.getHeight() - 2, level.boxes);
        // Kept on screen: flipped to the other side when it does not fit, then pushed inside.
        if (at.x + size.x > monitor.right) at.x = flipX - size.x;
        if (at.y + size.y > monitor.bottom) at.y = flipY - size.y;
        at.x = std::max(monitor.left, std::min(at.x, monitor.right - size.x));
        at.y = std::max(monitor.top, std::min(at.y, monitor.bottom - size.y));
        level.screen = CRect(at, size);
        XSetWindowAttributes a{};
        a.override_redirect = True;
        a.save_under = True;
        a.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask;
        int screen = DefaultScreen(dpy);
        level.window = XCreateWindow(dpy, RootWindow(dpy, screen), static_cast<int>(at.x), static_cast<int>(at.y),
                                     static_cast<unsigned>(size.x), static_cast<unsigned>(size.y), 0, CopyFromParent,
                                     InputOutput, CopyFromParent, CWOverrideRedirect | CWSaveUnder | CWEventMask, &a);
        if (!level.window) return false;
        // A name other programs (and the window tests) can find the menu by.
        XStoreName(dpy, level.window, "qgui-popup");
        level.surface = cairo_xlib_surface_create(dpy, level.window, DefaultVisual(dpy, screen),
                                                  static_cast<int>(size.x), static_cast<int>(size.y));
        XMapRaised(dpy, level.window);
        levels.push_back(level);
        draw(levels.back());
        return true;
    }

    void closeLevel() {
        Level& l = levels.back();
        cairo_surface_destroy(l.surface);
        XDestroyWindow(dpy, l.window);
        levels.pop_back();
    }

    bool grab() {
        // The press that opened the menu may still hold an implicit grab of another connection: wait for
        // its release (up to two seconds).
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        XSync(dpy, False);
        for (;;) {
            int r = XGrabPointer(dpy, levels[0].window, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                                 GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
            if (r == GrabSuccess) break;
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        for (int i = 0; i < 100; ++i) {
            if (XGrabKeyboard(dpy, levels[0].window, False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess) {
                keyboardGrabbed = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    void ungrab() {
        XUngrabPointer(dpy, CurrentTime);
        if (keyboardGrabbed) XUngrabKeyboard(dpy, CurrentTime);
        XFlush(dpy);
    }

    PopupResult run() {
        for (;;) {
            XEvent ev;
            if (!nextEvent(ev)) return {};
            switch (ev.type) {
                case Expose:
                    for (auto& l : levels)
                        if (l.window == ev.xexpose.window) draw(l);
                    break;
                case MotionNotify: {
                    while (XCheckTypedEvent(dpy, MotionNotify, &ev)) {
                    }
                    hoverAt(CPoint(ev.xmotion.x_root, ev.xmotion.y_root));
                    break;
                }
                case ButtonPress: {
                    int level, item;
                    if (!hit(CPoint(ev.xbutton.x_root, ev.xbutton.y_root), level, item)) return {};
                    break;
                }
                case ButtonRelease: {
                    if (ev.xbutton.button > 3) break;
                    int level, item;
                    if (!hit(CPoint(ev.xbutton.x_root, ev.xbutton.y_root), level, item) || item < 0) break;
                    const PopupItem& it = levels[static_cast<size_t>(level)].list->items[static_cast<size_t>(item)];
                    if (selectable(it) && !it.submenu) return pathTo(level, item);
                    break;
                }
                case KeyPress: {
                    PopupResult r;
                    if (key(ev.xkey, r)) return r;
                    break;
                }
                default: break;
            }
        }
    }

private:
    bool isOurs(Window w) const {
        for (const auto& l : levels)
            if (l.window == w) return true;
        return false;
    }

    // Waits for the next event of the menu's windows; events of other windows stay queued.
    bool nextEvent(XEvent& ev) {
        for (;;) {
            XFlush(dpy);
            struct Match {
                static Bool ours(Display*, XEvent* e, XPointer arg) {
                    return reinterpret_cast<Popup*>(arg)->isOurs(e->xany.window) ? True : False;
                }
            };
            if (XCheckIfEvent(dpy, &ev, Match::ours, reinterpret_cast<XPointer>(this))) return true;
            pollfd pfd{ConnectionNumber(dpy), POLLIN, 0};
            if (poll(&pfd, 1, 100) < 0) return false;
            if (pfd.revents & (POLLERR | POLLHUP)) return false;
            // Reads what arrived into Xlib's queue.
            XEventsQueued(dpy, QueuedAfterReading);
        }
    }

    bool hit(const CPoint& root, int& level, int& item) const {
        for (int l = static_cast<int>(levels.size()) - 1; l >= 0; --l) {
            const Level& lv = levels[static_cast<size_t>(l)];
            if (!lv.screen.pointInside(root)) continue;
            level = l;
            item = -1;
            CPoint local = root - lv.screen.getTopLeft();
            for (size_t i = 0; i < lv.boxes.size(); ++i)
                if (lv.boxes[i].rect.pointInside(local)) item = static_cast<int>(i);
            return true;
        }
        return false;
    }

    PopupResult pathTo(int level, int item) const {
        PopupResult r;
        for (int l = 0; l < level; ++l) r.path.push_back(levels[static_cast<size_t>(l)].hover);
        r.path.push_back(item);
        return r;
    }

    void setHover(size_t level, int item) {
        while (levels.size() > level + 1 && levels[level].hover != item) closeLevel();
        Level& l = levels[level];
        if (l.hover == item) return;
        l.hover = item;
        draw(l);
        if (item >= 0 && levels.size() == level + 1) {
            const PopupItem& it = l.list->items[static_cast<size_t>(item)];
            if (selectable(it) && it.submenu && !it.submenu->items.empty()) {
                CRect box = l.boxes[static_cast<size_t>(item)].rect;
                box.offset(l.screen.getTopLeft());
                openLevel(it.submenu.get(), CPoint(box.right, box.top - 1), box.left, box.bottom + 1);
            }
        }
    }

    void hoverAt(const CPoint& root) {
        int level, item;
        if (!hit(root, level, item)) return;
        const Level& lv = levels[static_cast<size_t>(level)];
        if (item >= 0 && !selectable(lv.list->items[static_cast<size_t>(item)])) item = -1;
        // Leaving an item for a gap keeps an open submenu.
        if (item < 0 && levels.size() > static_cast<size_t>(level) + 1) return;
        active = static_cast<size_t>(level);
        setHover(static_cast<size_t>(level), item);
    }

    int step(const Level& l, int from, int direction) const {
        int n = static_cast<int>(l.list->items.size());
        for (int k = 1; k <= n; ++k) {
            int i = ((from < 0 ? (direction > 0 ? -1 : n) : from) + direction * k + n * 2) % n;
            if (selectable(l.list->items[static_cast<size_t>(i)])) return i;
        }
        return -1;
    }

    // Keys act on the active level: the one the pointer or the arrows last moved in.
    bool key(XKeyEvent& e, PopupResult& result) {
        KeySym sym = XLookupKeysym(&e, 0);
        size_t a = std::min(active, levels.size() - 1);
        Level& l = levels[a];
        auto enterSubmenu = [&] {
            if (levels.size() > a + 1) {
                active = a + 1;
                setHover(a + 1, step(levels[a + 1], -1, 1));
            }
        };
        switch (sym) {
            case XK_Escape: result = {}; return true;
            case XK_Down:
            case XK_KP_Down: setHover(a, step(l, l.hover, 1)); break;
            case XK_Up:
            case XK_KP_Up: setHover(a, step(l, l.hover, -1)); break;
            case XK_Right:
            case XK_KP_Right: enterSubmenu(); break;
            case XK_Left:
            case XK_KP_Left:
                if (a > 0) {
                    while (levels.size() > a) closeLevel();
                    active = a - 1;
                }
                break;
            case XK_Return:
            case XK_KP_Enter:
            case XK_space:
                if (l.hover >= 0) {
                    const PopupItem& it = l.list->items[static_cast<size_t>(l.hover)];
                    if (it.submenu) {
                        enterSubmenu();
                    } else if (selectable(it)) {
                        result = pathTo(static_cast<int>(a), l.hover);
                        return true;
                    }
                }
                break;
            default: {
                x11::TranslatedKey typed = x11::translateKey(&e);
                if (l.list->mnemonics && !typed.text.empty()) return mnemonic(a, foldKey(typed.text), result);
                break;
            }
        }
        return false;
    }

    // A typed mnemonic: the only item with it is chosen (a submenu opens); with several, the next one is
    // highlighted.
    bool mnemonic(size_t a, const std::string& typed, PopupResult& result) {
        // Opening a submenu adds a level: hold the list, not the level.
        const PopupMenuList* list = levels[a].list;
        std::vector<int> matches;
        for (size_t i = 0; i < list->items.size(); ++i) {
            const PopupItem& it = list->items[i];
            if (!selectable(it)) continue;
            Label label = parseTitle(it.title, true);
            if (label.mnemonicAt != std::string::npos &&
                foldKey(label.text.substr(label.mnemonicAt, label.mnemonicLength)) == typed)
                matches.push_back(static_cast<int>(i));
        }
        if (matches.empty()) return false;
        if (matches.size() > 1) {
            int next = matches[0];
            for (int m : matches)
                if (m > levels[a].hover) {
                    next = m;
                    break;
                }
            setHover(a, next);
            return false;
        }
        setHover(a, matches[0]);
        if (list->items[static_cast<size_t>(matches[0])].submenu) {
            if (levels.size() > a + 1) {
                active = a + 1;
                setHover(a + 1, step(levels[a + 1], -1, 1));
            }
            return false;
        }
        result = pathTo(static_cast<int>(a), matches[0]);
        return true;
    }

    void draw(Level& l) {
        cairo_t* cr = cairo_create(l.surface);
        const Metrics& m = metrics;
        cairo_set_source_rgb(cr, 0.95, 0.95, 0.96);
        cairo_paint(cr);
        cairo_set_source_rgb(cr, 0.55, 0.55, 0.6);
        cairo_set_line_width(cr, 1);
        cairo_rectangle(cr, 0.5, 0.5, l.screen.getWidth() - 1, l.screen.getHeight() - 1);
        cairo_stroke(cr);
        for (size_t i = 0; i < l.list->items.size(); ++i) {
            const PopupItem& it = l.list->items[i];
            const CRect& r = l.boxes[i].rect;
            if (r.left > 1 && (i == 0 || l.boxes[i - 1].rect.left != r.left)) {
                cairo_set_source_rgb(cr, 0.75, 0.75, 0.8);
                cairo_move_to(cr, r.left - 0.5, 1);
                cairo_line_to(cr, r.left - 0.5, l.screen.getHeight() - 1);
                cairo_stroke(cr);
            }
            if (it.separator) {
                cairo_set_source_rgb(cr, 0.75, 0.75, 0.8);
                double y = std::floor(r.top + r.getHeight() / 2) + 0.5;
                cairo_move_to(cr, r.left + m.padding() / 2, y);
                cairo_line_to(cr, r.right - m.padding() / 2, y);
                cairo_stroke(cr);
                continue;
            }
            bool hot = static_cast<int>(i) == l.hover;
            if (hot) {
                cairo_set_source_rgb(cr, 0.2, 0.4, 0.8);
                cairo_rectangle(cr, r.left, r.top, r.getWidth(), r.getHeight());
                cairo_fill(cr);
            }
            bool dim = !it.enabled && it.greyed;
            double ink = hot ? 1.0 : dim ? 0.6 : 0.1;
            cairo_set_source_rgb(cr, ink, ink, hot ? 1.0 : dim ? 0.6 : 0.12);
            if (it.checked) {
                double cx = r.left + m.checkWidth() / 2, cy = r.top + r.getHeight() / 2, s = 4 * m.scale;
                cairo_set_line_width(cr, 1.8 * m.scale);
                cairo_move_to(cr, cx - s, cy);
                cairo_line_to(cr, cx - s / 3, cy + s * 0.8);
                cairo_line_to(cr, cx + s, cy - s * 0.8);
                cairo_stroke(cr);
                cairo_set_line_width(cr, 1);
            }
            cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL,
                                   it.isDefault ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
            cairo_set_font_size(cr, m.fontSize());
            cairo_font_extents_t fe;
            cairo_font_extents(cr, &fe);
            Label label = parseTitle(it.title, l.list->mnemonics);
            double baseline = r.top + (r.getHeight() + fe.ascent - fe.descent) / 2;
            cairo_move_to(cr, r.left + m.checkWidth(), baseline);
            cairo_show_text(cr, label.text.c_str());
            if (label.mnemonicAt != std::string::npos) {
                cairo_text_extents_t before, under;
                cairo_text_extents(cr, label.text.substr(0, label.mnemonicAt).c_str(), &before);
                cairo_text_extents(cr, label.text.substr(label.mnemonicAt, label.mnemonicLength).c_str(), &under);
                double y = std::round(baseline + std::max(1.0, fe.descent / 2)) + 0.5;
                cairo_move_to(cr, r.left + m.checkWidth() + before.x_advance, y);
                cairo_rel_line_to(cr, under.x_advance, 0);
                cairo_stroke(cr);
            }
            if (!label.right.empty()) {
                cairo_text_extents_t te;
                cairo_text_extents(cr, label.right.c_str(), &te);
                cairo_move_to(cr, r.right - m.arrowWidth() - te.x_advance, baseline);
                cairo_show_text(cr, label.right.c_str());
            }
            if (it.submenu) {
                double ax = r.right - m.arrowWidth() / 2, ay = r.top + r.getHeight() / 2, s = 3.5 * m.scale;
                cairo_move_to(cr, ax - s / 2, ay - s);
                cairo_line_to(cr, ax + s / 2, ay);
                cairo_line_to(cr, ax - s / 2, ay + s);
                cairo_close_path(cr);
                cairo_fill(cr);
            }
        }
        cairo_destroy(cr);
        cairo_surface_flush(l.surface);
    }

    Display* dpy;
    Metrics metrics;
    std::vector<Level> levels;
    size_t active = 0;
    bool keyboardGrabbed = false;
};

}  // namespace

PopupResult popupMenuX11(const PopupMenuList& menu, const PopupRequest& request) {
    Window owner = static_cast<Window>(request.ownerWindow);
    // Sharing the frame's connection lets the menu take over the pointer grab of the press that opened it.
    Display* dpy = x11::displayOfWindow(owner);
    bool own = dpy == nullptr;
    if (own) dpy = XOpenDisplay(nullptr);
    if (!dpy) return {};
    PopupResult result;
    {
        x11::ErrorTrap trap(dpy);
        CRect ownerRect;
        if (x11::windowRootRect(dpy, owner, ownerRect) && !trap.failed()) {
            CPoint at = ownerRect.getTopLeft() + request.position;
            Popup popup(dpy, request.scale);
            if (popup.openLevel(&menu, at, at.x, ownerRect.top + request.position.y)) {
                if (popup.grab()) result = popup.run();
                popup.ungrab();
            }
        }
    }
    XSync(dpy, False);
    if (own) XCloseDisplay(dpy);
    return result;
}

}  // namespace qgui
