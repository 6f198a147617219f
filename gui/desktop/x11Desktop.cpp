#include "gui/desktop/x11Desktop.h"

#include "foundation/podoMenu.h"
#include "gui/desktop/x11MessageBox.h"
#include "gui/platform/x11Shared.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>

namespace qgui {

namespace {

Window idOf(void* window) { return static_cast<Window>(reinterpret_cast<uintptr_t>(window)); }

unsigned int atLeastOne(int32_t v) { return static_cast<unsigned int>(std::max<int32_t>(v, 1)); }

}  // namespace

class X11Desktop::Session {
public:
    explicit Session(X11Desktop& d) : desktop(d), guard(d.lock) {
        if (!desktop.dpy) desktop.dpy = XOpenDisplay(nullptr);
    }
    ~Session() {
        if (desktop.dpy && desktop.created.empty()) {
            XCloseDisplay(desktop.dpy);
            desktop.dpy = nullptr;
        }
    }
    Display* display() const { return desktop.dpy; }

private:
    X11Desktop& desktop;
    std::lock_guard<std::recursive_mutex> guard;
};

X11Desktop::~X11Desktop() {
    // Windows still open end with their connection.
    if (dpy) XCloseDisplay(dpy);
}

void* X11Desktop::createWindow(void* parent, int32_t x, int32_t y, int32_t width, int32_t height) {
    Session session(*this);
    Display* d = session.display();
    if (!d) return nullptr;
    x11::ErrorTrap trap(d);
    Window under = parent ? idOf(parent) : DefaultRootWindow(d);
    Window w = XCreateWindow(d, under, x, y, atLeastOne(width), atLeastOne(height), 0, CopyFromParent, InputOutput,
                             CopyFromParent, 0, nullptr);
    if (w && parent) XMapWindow(d, w);
    if (trap.failed() || !w) {
        if (w) XDestroyWindow(d, w);
        return nullptr;
    }
    created.insert(w);
    return reinterpret_cast<void*>(static_cast<uintptr_t>(w));
}

void X11Desktop::destroyWindow(void* window) {
    Session session(*this);
    Display* d = session.display();
    // Only its own: any client may destroy any window on X11, the host's included.
    if (!d || !created.erase(idOf(window))) return;
    x11::ErrorTrap trap(d);
    XDestroyWindow(d, idOf(window));
}

void X11Desktop::showWindow(void* window, bool visible) {
    Session session(*this);
    Display* d = session.display();
    if (!d) return;
    x11::ErrorTrap trap(d);
    if (visible)
        XMapWindow(d, idOf(window));
    else
        XUnmapWindow(d, idOf(window));
}

bool X11Desktop::isWindowVisible(void* window) {
    Session session(*this);
    Display* d = session.display();
    if (!d) return false;
    x11::ErrorTrap trap(d);
    XWindowAttributes a;
    return XGetWindowAttributes(d, idOf(window), &a) && !trap.failed() && a.map_state == IsViewable;
}

void X11Desktop::updateWindow(void*) {
    Session session(*this);
    if (Display* d = session.display()) XSync(d, False);
}

void X11Desktop::bringToFront(void* window) {
    Session session(*this);
    Display* d = session.display();
    if (!d) return;
    x11::ErrorTrap trap(d);
    Window top = x11::topLevelOf(d, idOf(window));
    XRaiseWindow(d, top);
    // A window manager activates it on request.
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = top;
    e.xclient.message_type = XInternAtom(d, "_NET_ACTIVE_WINDOW", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = 1;  // from an application
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
}

void X11Desktop::setWindowBounds(void* window, int32_t x, int32_t y, int32_t width, int32_t height, bool move,
                                 bool size) {
    Session session(*this);
    Display* d = session.display();
    if (!d) return;
    x11::ErrorTrap trap(d);
    if (move && size)
        XMoveResizeWindow(d, idOf(window), x, y, atLeastOne(width), atLeastOne(height));
    else if (move)
        XMoveWindow(d, idOf(window), x, y);
    else if (size)
        XResizeWindow(d, idOf(window), atLeastOne(width), atLeastOne(height));
}

bool X11Desktop::getWindowSize(void* window, int32_t& width, int32_t& height) {
    Session session(*this);
    Display* d = session.display();
    if (!d) return false;
    x11::ErrorTrap trap(d);
    XWindowAttributes a;
    if (!XGetWindowAttributes(d, idOf(window), &a) || trap.failed()) return false;
    width = a.width;
    height = a.height;
    return true;
}

int32_t X11Desktop::getMonitorRect(void* window, int32_t rect[4]) {
    Session session(*this);
    Display* d = session.display();
    if (!d) return -1;
    x11::ErrorTrap trap(d);
    CRect where, monitor;
    int screen = DefaultScreen(d);
    bool primary = false;
    if (window && x11::windowRootRect(d, idOf(window), where) && !trap.failed()) {
        x11::nearestMonitor(d, where, monitor, &primary);
    } else {
        monitor = CRect(0, 0, DisplayWidth(d, screen), DisplayHeight(d, screen));
    }
    rect[0] = static_cast<int32_t>(monitor.left);
    rect[1] = static_cast<int32_t>(monitor.top);
    rect[2] = static_cast<int32_t>(monitor.right);
    rect[3] = static_cast<int32_t>(monitor.bottom);
    return primary ? 1 : 0;
}

float X11Desktop::dpiScale(void*) {
    Session session(*this);
    Display* d = session.display();
    double dpi = d ? x11::resourceDpi(d) : 0;
    return static_cast<float>((dpi > 0 ? dpi : 96.0) / 96.0);
}

bool X11Desktop::setWindowText(void* window, const podoStr& text) {
    Session session(*this);
    Display* d = session.display();
    if (!d) return false;
    x11::ErrorTrap trap(d);
    std::string title = text.getNarrow();
    Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    for (const char* name : {"WM_NAME", "_NET_WM_NAME"})
        XChangeProperty(d, idOf(window), XInternAtom(d, name, False), utf8, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
    return !trap.failed();
}

int32_t X11Desktop::messageBox(void* owner, const podoStr& caption, const podoStr& text, int32_t flags) {
    // A connection of its own: the box's loop never touches the shared one.
    return messageBoxX11(idOf(owner), caption.getNarrow(), text.getNarrow(), flags);
}

uint32_t X11Desktop::trackMenu(const podoMenu& menu, void* owner, int32_t x, int32_t y) {
    PopupRequest request;
    request.ownerWindow = idOf(owner);
    request.position = CPoint(x, y);
    // A window drawn at a zoom has its menus drawn at it, as its drop-down lists are.
    request.scale = menu.getScale() > 0 ? menu.getScale() : dpiScale(owner);
    auto model = popupModelOf(menu);
    return commandOf(menu, popupMenu(*model, request));
}

bool X11Desktop::getClipboardText(std::string& text) {
    // A connection and a requestor window of its own, for this one question.
    Display* d = XOpenDisplay(nullptr);
    if (!d) return false;
    bool ok = false;
    {
        x11::ErrorTrap trap(d);
        Window requestor = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
        std::string read;
        ok = requestor && x11::readSelectionText(d, requestor, XInternAtom(d, "CLIPBOARD", False), read, 500);
        if (ok) text = read;
        if (requestor) XDestroyWindow(d, requestor);
    }
    XCloseDisplay(d);
    return ok;
}

std::shared_ptr<PopupMenuList> popupModelOf(const podoMenu& menu) {
    auto list = std::make_shared<PopupMenuList>();
    list->mnemonics = true;
    for (int32_t i = 0; i < menu.itemCount(); ++i) {
        const podoMenuItem& item = menu.itemAt(i);
        PopupItem p;
        p.title = item.caption.getNarrow();
        p.separator = item.state & podo::itemSeparator;
        p.enabled = !(item.state & (podo::itemDisabled | podo::itemGrayed)) && !p.separator;
        p.greyed = item.state & podo::itemGrayed;
        p.checked = item.state & podo::itemChecked;
        p.isDefault = item.state & podo::itemDefault;
        p.columnBreak = item.state & podo::itemNewColumn;
        if (item.submenu) p.submenu = popupModelOf(*item.submenu);
        list->items.push_back(std::move(p));
    }
    return list;
}

uint32_t commandOf(const podoMenu& menu, const PopupResult& result) {
    const podoMenu* level = &menu;
    for (size_t depth = 0; depth < result.path.size(); ++depth) {
        int32_t index = result.path[depth];
        if (index < 0 || index >= level->itemCount()) return 0;
        const podoMenuItem& item = level->itemAt(index);
        // What the popup never reports: a scripted answer that does not fit counts as dismissed.
        if (item.state & (podo::itemSeparator | podo::itemDisabled | podo::itemGrayed)) return 0;
        if (depth + 1 == result.path.size()) return item.submenu ? 0 : static_cast<uint32_t>(item.id);
        if (!item.submenu) return 0;
        level = item.submenu;
    }
    return 0;
}

X11Desktop& x11Desktop() {
    static X11Desktop desktop;
    return desktop;
}

namespace {

// Installs the layer when the module that links it loads, and takes it out again when it unloads.
struct Installer {
    Installer() { podo::setDesktopLayer(&x11Desktop()); }
    ~Installer() {
        if (podo::desktopLayer() == &x11Desktop()) podo::setDesktopLayer(nullptr);
    }
} installer;

}  // namespace

}  // namespace qgui
