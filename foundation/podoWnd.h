#pragma once

#include "foundation/podoStr.h"

#include <cstdint>

// A wrapper around one window handle that either owns the window (it created it) or merely refers to
// one (the host's window, a dialog's owner). The window system's work goes through the desktop layer
// (podoDesktop.h); without one, create answers false, the geometry operations do nothing and the
// monitor is unknown, while the handle, ownership and shown state work as described.
class podoWnd
{
public:
    explicit podoWnd(void *handle = nullptr);
    virtual ~podoWnd();

    virtual bool create(podoWnd *parent, int32_t x, int32_t y, int32_t width, int32_t height);
    virtual void destroy(bool force);
    virtual bool isOwned() const { return owned; }
    virtual void attach(void *newHandle);
    virtual void *handle() const { return windowHandle; }
    virtual void show(bool visible);
    virtual void hide() { show(false); }
    // The state last set with show or hide, not asked of the system.
    virtual bool isVisible() const { return shown; }
    virtual void update();
    virtual void bringToFront();
    virtual void move(int32_t x, int32_t y);
    // Keeps the position.
    virtual void resize(int32_t width, int32_t height);
    virtual void setBounds(int32_t x, int32_t y, int32_t width, int32_t height);
    virtual void centerOnMonitor();
    // The full rectangle of the monitor nearest the window (each output may be null); the result is 1
    // for the primary monitor. When the monitor cannot be asked: the screen's size at 0, 0 and result
    // 0 (all 0 without a screen).
    virtual int32_t getMonitorRect(int32_t *width, int32_t *height, int32_t *left, int32_t *top);
    // The screen's dots per inch divided by 96 (1 when unknown).
    virtual float dpiScale();
    // The zoom the window's content is drawn at, which its menus follow; 0 when the window has none
    // (its menus then follow the desktop's font resolution).
    virtual float contentScale() const { return 0.0f; }
    // The window's title.
    virtual bool setText(const podoStr &text);

private:
    bool owned = false;
    bool shown = false;
    void *windowHandle = nullptr;
};

// Message-box flags and answers, with the values of the system they come from.
namespace podo {

constexpr int32_t mbOk = 0;
constexpr int32_t mbOkCancel = 1;
constexpr int32_t mbIconHand = 0x10;
constexpr int32_t mbTaskModal = 0x2000;
constexpr int32_t mbTopmost = 0x40000;
constexpr int32_t idOk = 1;
constexpr int32_t idCancel = 2;

// A test scripts message boxes through a hook. The hook gets the owner (null when absent or hidden), the
// caption, the whole text and the flags with topmost (and task-modal without an owner) added. Without a
// hook the desktop layer shows the box, on the user-interface thread only. Anywhere else, or when no
// box can be shown, nothing blocks: an OK box answers OK, an OK/Cancel box answers Cancel.
using MessageBoxHook = int32_t (*)(podoWnd *owner, const podoStr &caption, const podoStr &text, int32_t flags);
MessageBoxHook setMessageBoxHook(MessageBoxHook hook);

int32_t messageBox(podoWnd *owner, const podoStr &caption, const podoStr &message, const podoStr &detail,
                   int32_t flags);
// A level-4 log line ("%s - %s", or the one text that is not empty) and a stop-icon OK box.
int32_t showError(const podoStr &message, const podoStr &detail, const podoStr &caption, podoWnd *owner);
// The same line and an OK/Cancel box; true when OK was pressed.
bool askError(const podoStr &message, const podoStr &detail, const podoStr &caption);

} // namespace podo
