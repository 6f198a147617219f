#include "gui/platform/x11Shared.h"

#include <X11/Xatom.h>
#include <X11/Xresource.h>
#include <X11/extensions/Xrandr.h>
#include <poll.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <mutex>

namespace qgui::x11 {

namespace {
// Errors are recorded per connection; Xlib calls the handler on the thread that made the request.
std::mutex trapLock;
std::map<Display*, int> trappedErrors;

int recordError(Display* dpy, XErrorEvent* e) {
    std::lock_guard<std::mutex> guard(trapLock);
    trappedErrors[dpy] = e->error_code;
    return 0;
}

std::mutex windowsLock;
std::map<Window, Display*> windows;
}  // namespace

ErrorTrap::ErrorTrap(Display* d) : dpy(d) {
    {
        std::lock_guard<std::mutex> guard(trapLock);
        trappedErrors[dpy] = 0;
    }
    previous = XSetErrorHandler(recordError);
}

ErrorTrap::~ErrorTrap() {
    XSync(dpy, False);
    XSetErrorHandler(previous);
    std::lock_guard<std::mutex> guard(trapLock);
    trappedErrors.erase(dpy);
}

bool ErrorTrap::failed() {
    XSync(dpy, False);
    std::lock_guard<std::mutex> guard(trapLock);
    return trappedErrors[dpy] != 0;
}

void registerWindow(Window window, Display* dpy) {
    std::lock_guard<std::mutex> guard(windowsLock);
    windows[window] = dpy;
}

void unregisterWindow(Window window) {
    std::lock_guard<std::mutex> guard(windowsLock);
    windows.erase(window);
}

Display* displayOfWindow(Window window) {
    std::lock_guard<std::mutex> guard(windowsLock);
    auto it = windows.find(window);
    return it == windows.end() ? nullptr : it->second;
}

Window topLevelOf(Display* dpy, Window w) {
    for (;;) {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(dpy, w, &root, &parent, &children, &count)) return w;
        if (children) XFree(children);
        if (parent == root || parent == 0) return w;
        w = parent;
    }
}

bool windowRootRect(Display* dpy, Window window, CRect& rect) {
    XWindowAttributes a;
    if (!XGetWindowAttributes(dpy, window, &a)) return false;
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(dpy, window, a.root, 0, 0, &x, &y, &child);
    rect = CRect(x, y, x + a.width, y + a.height);
    return true;
}

bool nearestMonitor(Display* dpy, const CRect& near, CRect& monitor, bool* primary) {
    int screen = DefaultScreen(dpy);
    monitor = CRect(0, 0, DisplayWidth(dpy, screen), DisplayHeight(dpy, screen));
    if (primary) *primary = false;
    int count = 0;
    XRRMonitorInfo* monitors = nullptr;
    int eventBase, errorBase;
    if (XRRQueryExtension(dpy, &eventBase, &errorBase))
        monitors = XRRGetMonitors(dpy, RootWindow(dpy, screen), True, &count);
    if (!monitors) return true;
    CPoint c = near.getCenter();
    double best = -1;
    // With no monitor marked primary, the first one listed is.
    bool anyPrimary = false;
    for (int i = 0; i < count; ++i) anyPrimary = anyPrimary || monitors[i].primary;
    for (int i = 0; i < count; ++i) {
        CRect m(monitors[i].x, monitors[i].y, monitors[i].x + monitors[i].width, monitors[i].y + monitors[i].height);
        double dx = std::max({m.left - c.x, 0.0, c.x - m.right});
        double dy = std::max({m.top - c.y, 0.0, c.y - m.bottom});
        double d = dx * dx + dy * dy;
        if (best < 0 || d < best) {
            best = d;
            monitor = m;
            if (primary) *primary = monitors[i].primary || (!anyPrimary && i == 0);
        }
    }
    XRRFreeMonitors(monitors);
    return true;
}

double resourceDpi(Display* dpy) {
    // Read afresh: the desktop may change it while the connection is open.
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(dpy, DefaultRootWindow(dpy), XInternAtom(dpy, "RESOURCE_MANAGER", False), 0, 1 << 16, False,
                           XA_STRING, &type, &format, &count, &after, &data) != Success ||
        !data) {
        return 0;
    }
    std::string resources(reinterpret_cast<char*>(data), count);
    XFree(data);
    XrmInitialize();
    XrmDatabase db = XrmGetStringDatabase(resources.c_str());
    if (!db) return 0;
    char* kind = nullptr;
    XrmValue value;
    double dpi = 0;
    if (XrmGetResource(db, "Xft.dpi", "Xft.Dpi", &kind, &value) && value.addr) dpi = std::atof(value.addr);
    XrmDestroyDatabase(db);
    return dpi > 0 ? dpi : 0;
}

namespace {

// Asks the owner for one target; false when it refused or did not answer in time.
bool convertSelection(Display* dpy, Window requestor, Atom selection, Atom target, Atom property,
                      std::chrono::steady_clock::time_point deadline) {
    XDeleteProperty(dpy, requestor, property);
    XConvertSelection(dpy, selection, target, property, requestor, CurrentTime);
    XFlush(dpy);
    XEvent ev;
    while (!XCheckTypedWindowEvent(dpy, requestor, SelectionNotify, &ev)) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        pollfd pfd{ConnectionNumber(dpy), POLLIN, 0};
        poll(&pfd, 1, 10);
    }
    return ev.xselection.property != None;
}

}  // namespace

bool readSelectionText(Display* dpy, Window requestor, Atom selection, std::string& text, int timeoutMs) {
    if (XGetSelectionOwner(dpy, selection) == None) return false;
    Atom utf8 = XInternAtom(dpy, "UTF8_STRING", False);
    Atom property = XInternAtom(dpy, "QGUI_SELECTION", False);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    Atom target = utf8;
    if (!convertSelection(dpy, requestor, selection, target, property, deadline)) {
        target = XA_STRING;
        if (!convertSelection(dpy, requestor, selection, target, property, deadline)) return false;
    }
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool ok = XGetWindowProperty(dpy, requestor, property, 0, 1 << 22, True, AnyPropertyType, &type, &format, &count,
                                 &after, &data) == Success &&
              data && format == 8 && (type == utf8 || type == XA_STRING);
    if (ok && type == XA_STRING) {
        text.clear();
        for (unsigned long i = 0; i < count; ++i) {
            unsigned char c = data[i];
            if (c < 0x80) {
                text += static_cast<char>(c);
            } else {
                text += static_cast<char>(0xC0 | (c >> 6));
                text += static_cast<char>(0x80 | (c & 0x3F));
            }
        }
    } else if (ok) {
        text.assign(reinterpret_cast<char*>(data), count);
    }
    if (data) XFree(data);
    return ok;
}

}  // namespace qgui::x11
