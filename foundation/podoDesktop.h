#pragma once

#include "foundation/podoStr.h"

#include <cstdint>
#include <string>

class podoMenu;

// What a window system does for the foundation's windows, popup menus, message boxes and clipboard.
// The foundation knows no window system: a window layer that does (the toolkit's X11 one) installs
// itself when the module loads. Without one, no window is created, menus count as dismissed, message
// boxes give their unanswered answer and the clipboard holds no text. Windows are system handles.
namespace podo {

class DesktopLayer
{
public:
    virtual ~DesktopLayer() = default;

    // A visible child window of `parent`, or a hidden top-level window when parent is null; null when
    // none could be created.
    virtual void *createWindow(void *parent, int32_t x, int32_t y, int32_t width, int32_t height) = 0;
    // Destroys a window that createWindow made; any other window is left alone.
    virtual void destroyWindow(void *window) = 0;
    virtual void showWindow(void *window, bool visible) = 0;
    // True when the window and all its ancestors are shown.
    virtual bool isWindowVisible(void *window) = 0;
    virtual void updateWindow(void *window) = 0;
    virtual void bringToFront(void *window) = 0;
    // Moves (when `move`) and resizes (when `size`) the window; a child's position is in its parent.
    virtual void setWindowBounds(void *window, int32_t x, int32_t y, int32_t width, int32_t height, bool move,
                                 bool size) = 0;
    virtual bool getWindowSize(void *window, int32_t &width, int32_t &height) = 0;
    // The full rectangle {left, top, right, bottom} of the monitor nearest the window: 1 for the primary
    // monitor, 0 for another one, and the whole screen with 0 when monitors cannot be asked; -1 when
    // there is no screen at all.
    virtual int32_t getMonitorRect(void *window, int32_t rect[4]) = 0;
    // The screen's dots per inch divided by 96.
    virtual float dpiScale(void *window) = 0;
    virtual bool setWindowText(void *window, const podoStr &text) = 0;

    // Shows a modal message box (owner null: none) and waits; the button pressed, or 0 when no box could
    // be shown.
    virtual int32_t messageBox(void *owner, const podoStr &caption, const podoStr &text, int32_t flags) = 0;
    // Shows the menu with its top-left corner at (x, y) in the owner window and waits; the chosen command
    // id, or 0 when it was dismissed or could not be shown.
    virtual uint32_t trackMenu(const podoMenu &menu, void *owner, int32_t x, int32_t y) = 0;
    // The clipboard's text as UTF-8; false (text untouched) when it holds none or cannot be read.
    virtual bool getClipboardText(std::string &text) = 0;
};

// Installs the layer (null removes it); returns the previous one. The layer must outlive its use.
DesktopLayer *setDesktopLayer(DesktopLayer *layer);
DesktopLayer *desktopLayer();

// The host's user-interface thread: the one that constructs instances and opens the editor. Message
// boxes are shown on it only; on any other thread they never block.
void setUserInterfaceThread();
bool isUserInterfaceThread();

} // namespace podo
