// Helpers the X11 frame and the X11 popup share.
#pragma once

#include "gui/guiTypes.h"

#include <X11/Xlib.h>

namespace qgui::x11 {

// Catches X errors of one connection for its lifetime instead of ending the process.
class ErrorTrap {
public:
    explicit ErrorTrap(Display* dpy);
    ~ErrorTrap();
    bool failed();

private:
    Display* dpy;
    int (*previous)(Display*, XErrorEvent*);
};

// Frame windows by id, so a popup over a frame shares the frame's connection (and its pointer grab).
void registerWindow(Window window, Display* dpy);
void unregisterWindow(Window window);
Display* displayOfWindow(Window window);

// The window's rectangle in root coordinates.
bool windowRootRect(Display* dpy, Window window, CRect& rect);
// The full rectangle of the monitor that holds (or is nearest to) the rectangle's centre; the whole screen
// when the server does not list monitors.
bool nearestMonitor(Display* dpy, const CRect& near, CRect& monitor);

}  // namespace qgui::x11
