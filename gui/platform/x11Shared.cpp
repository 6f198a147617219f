#include "gui/platform/x11Shared.h"

#include <X11/extensions/Xrandr.h>

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

bool windowRootRect(Display* dpy, Window window, CRect& rect) {
    XWindowAttributes a;
    if (!XGetWindowAttributes(dpy, window, &a)) return false;
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(dpy, window, a.root, 0, 0, &x, &y, &child);
    rect = CRect(x, y, x + a.width, y + a.height);
    return true;
}

bool nearestMonitor(Display* dpy, const CRect& near, CRect& monitor) {
    int screen = DefaultScreen(dpy);
    monitor = CRect(0, 0, DisplayWidth(dpy, screen), DisplayHeight(dpy, screen));
    int count = 0;
    XRRMonitorInfo* monitors = nullptr;
    int eventBase, errorBase;
    if (XRRQueryExtension(dpy, &eventBase, &errorBase))
        monitors = XRRGetMonitors(dpy, RootWindow(dpy, screen), True, &count);
    if (!monitors) return true;
    CPoint c = near.getCenter();
    double best = -1;
    for (int i = 0; i < count; ++i) {
        CRect m(monitors[i].x, monitors[i].y, monitors[i].x + monitors[i].width, monitors[i].y + monitors[i].height);
        double dx = std::max({m.left - c.x, 0.0, c.x - m.right});
        double dy = std::max({m.top - c.y, 0.0, c.y - m.bottom});
        double d = dx * dx + dy * dy;
        if (best < 0 || d < best) {
            best = d;
            monitor = m;
        }
    }
    XRRFreeMonitors(monitors);
    return true;
}

}  // namespace qgui::x11
