#pragma once

#include "foundation/podoStr.h"

#include <cstdint>

// A wrapper around one window handle that either owns the window (it created it) or merely refers to
// one (the host's window, a dialog's owner). Creating, moving and measuring windows needs a window
// layer that is not part of the foundation yet: until then create answers false and the geometry
// operations do nothing; the handle, ownership and shown state work as described.
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
    virtual bool isVisible() const { return shown; }
    virtual void update() {}
    virtual void bringToFront() {}
    virtual void move(int32_t, int32_t) {}
    virtual void resize(int32_t, int32_t) {}
    virtual void setBounds(int32_t, int32_t, int32_t, int32_t) {}
    virtual void centerOnMonitor() {}
    // Without a window layer: no monitor can be asked; all sizes 0 and result 0.
    virtual int32_t getMonitorRect(int32_t *width, int32_t *height, int32_t *left, int32_t *top);
    virtual float dpiScale() { return 1.0f; }
    virtual bool setText(const podoStr &) { return false; }

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

// Message boxes go to a hook: a window layer shows them, a test scripts the answer. The hook gets the
// owner (null when absent or hidden), the caption, the whole text and the flags with topmost (and
// task-modal without an owner) added. Without a hook nothing is shown and nothing blocks: an OK box
// answers OK, an OK/Cancel box answers Cancel.
using MessageBoxHook = int32_t (*)(podoWnd *owner, const podoStr &caption, const podoStr &text, int32_t flags);
MessageBoxHook setMessageBoxHook(MessageBoxHook hook);

int32_t messageBox(podoWnd *owner, const podoStr &caption, const podoStr &message, const podoStr &detail,
                   int32_t flags);
// A level-4 log line ("%s - %s", or the one text that is not empty) and a stop-icon OK box.
int32_t showError(const podoStr &message, const podoStr &detail, const podoStr &caption, podoWnd *owner);
// The same line and an OK/Cancel box; true when OK was pressed.
bool askError(const podoStr &message, const podoStr &detail, const podoStr &caption);

} // namespace podo
