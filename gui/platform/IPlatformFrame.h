// What a window system gives a frame: a place to show its pixels and a source of events.
#pragma once

#include "gui/guiTypes.h"

#include <string>

typedef struct _cairo_surface cairo_surface_t;

namespace qgui {

class CFrame;
class IDataPackage;

enum class PlatformType { kDefault, kX11, kOffscreen };

// Coordinates here are device pixels of the frame's window. Backends call the frame's platformOn...
// operations from pumpEvents only, so every event is handled inside the frame's idle.
class IPlatformFrame {
public:
    virtual ~IPlatformFrame() = default;
    virtual PlatformType getType() const = 0;
    virtual void pumpEvents() = 0;
    virtual void setSize(int32_t width, int32_t height) = 0;
    // Show part of the frame's back buffer.
    virtual void present(cairo_surface_t* backBuffer, const CRect& deviceRect) = 0;
    // The pointer position now, when the window system can tell.
    virtual bool getCurrentMousePosition(CPoint& device) = 0;
    virtual void* getWindowHandle() const = 0;
    virtual double getScreenDPI() const = 0;
    // The full rectangle of the monitor nearest the window, in screen pixels.
    virtual bool getMonitorRect(CRect& rect) const = 0;
    virtual void takeKeyboardFocus() {}
    // Gives the keyboard back to the window the frame sits in, when the frame holds it.
    virtual void releaseKeyboardFocus() {}
    virtual bool getClipboardText(std::string&) { return false; }
    // Puts text on the clipboard; false when the window system took none.
    virtual bool putClipboardText(const std::string&) { return false; }
};

}  // namespace qgui
