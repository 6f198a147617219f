// Helpers the X11 frame and the X11 popup share.
#pragma once

#include "gui/guiTypes.h"

#include <X11/Xlib.h>

#include <string>

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

// The child of the root that holds the window (the window itself when it is one, or on an error).
Window topLevelOf(Display* dpy, Window w);
// The window's rectangle in root coordinates.
bool windowRootRect(Display* dpy, Window window, CRect& rect);
// The full rectangle of the monitor that holds (or is nearest to) the rectangle's centre; the whole screen
// when the server does not list monitors. `primary`, when given, tells whether it is the primary monitor
// (the first one listed when none is marked; false for the whole screen).
bool nearestMonitor(Display* dpy, const CRect& near, CRect& monitor, bool* primary = nullptr);

// The desktop's font resolution (the Xft.dpi resource), or 0 when it is not set.
double resourceDpi(Display* dpy);

// A selection's text as UTF-8, asked for the requestor window: UTF8_STRING, else STRING (Latin-1). False,
// text untouched, when the selection has no owner or no text, or no answer came within the timeout.
// Events of other windows stay queued.
bool readSelectionText(Display* dpy, Window requestor, Atom selection, std::string& text, int timeoutMs);

}  // namespace qgui::x11
