#include "foundation/podoWnd.h"

#include "foundation/podoDesktop.h"
#include "foundation/podoLog.h"

#include <atomic>

podoWnd::podoWnd(void *handle) : windowHandle(handle) {}

podoWnd::~podoWnd() { destroy(false); }

bool podoWnd::create(podoWnd *parent, int32_t x, int32_t y, int32_t width, int32_t height)
{
    destroy(false);
    podo::DesktopLayer *layer = podo::desktopLayer();
    // A child needs its parent's window.
    if (!layer || (parent && !parent->handle()))
        return false;
    windowHandle = layer->createWindow(parent ? parent->handle() : nullptr, x, y, width, height);
    owned = windowHandle != nullptr;
    return owned;
}

void podoWnd::destroy(bool force)
{
    if (windowHandle && (owned || force))
        if (podo::DesktopLayer *layer = podo::desktopLayer())
            layer->destroyWindow(windowHandle);
    windowHandle = nullptr;
    owned = false;
    shown = false;
}

void podoWnd::attach(void *newHandle)
{
    destroy(false);
    windowHandle = newHandle;
}

void podoWnd::show(bool visible)
{
    if (!windowHandle)
        return;
    if (podo::DesktopLayer *layer = podo::desktopLayer())
        layer->showWindow(windowHandle, visible);
    shown = visible;
}

void podoWnd::update()
{
    if (podo::DesktopLayer *layer = podo::desktopLayer(); layer && windowHandle)
        layer->updateWindow(windowHandle);
}

void podoWnd::bringToFront()
{
    if (podo::DesktopLayer *layer = podo::desktopLayer(); layer && windowHandle)
        layer->bringToFront(windowHandle);
}

void podoWnd::move(int32_t x, int32_t y)
{
    if (podo::DesktopLayer *layer = podo::desktopLayer(); layer && windowHandle)
        layer->setWindowBounds(windowHandle, x, y, 0, 0, true, false);
}

void podoWnd::resize(int32_t width, int32_t height)
{
    if (podo::DesktopLayer *layer = podo::desktopLayer(); layer && windowHandle)
        layer->setWindowBounds(windowHandle, 0, 0, width, height, false, true);
}

void podoWnd::setBounds(int32_t x, int32_t y, int32_t width, int32_t height)
{
    if (podo::DesktopLayer *layer = podo::desktopLayer(); layer && windowHandle)
        layer->setWindowBounds(windowHandle, x, y, width, height, true, true);
}

void podoWnd::centerOnMonitor()
{
    podo::DesktopLayer *layer = podo::desktopLayer();
    int32_t width = 0, height = 0;
    if (!layer || !windowHandle || !layer->getWindowSize(windowHandle, width, height))
        return;
    int32_t monitorWidth = 0, monitorHeight = 0, left = 0, top = 0;
    getMonitorRect(&monitorWidth, &monitorHeight, &left, &top);
    move(left + (monitorWidth - width) / 2, top + (monitorHeight - height) / 2);
}

int32_t podoWnd::getMonitorRect(int32_t *width, int32_t *height, int32_t *left, int32_t *top)
{
    int32_t rect[4] = {0, 0, 0, 0};
    int32_t result = 0;
    if (podo::DesktopLayer *layer = podo::desktopLayer())
        result = layer->getMonitorRect(windowHandle, rect);
    if (result < 0) {
        result = 0;
        rect[0] = rect[1] = rect[2] = rect[3] = 0;
    }
    if (width)
        *width = rect[2] - rect[0];
    if (height)
        *height = rect[3] - rect[1];
    if (left)
        *left = rect[0];
    if (top)
        *top = rect[1];
    return result;
}

float podoWnd::dpiScale()
{
    podo::DesktopLayer *layer = podo::desktopLayer();
    return layer ? layer->dpiScale(windowHandle) : 1.0f;
}

bool podoWnd::setText(const podoStr &text)
{
    podo::DesktopLayer *layer = podo::desktopLayer();
    return layer && windowHandle && layer->setWindowText(windowHandle, text);
}

namespace podo {

namespace {

std::atomic<MessageBoxHook> messageBoxHook{nullptr};

bool hasText(const podoStr &s) { return !s.isEmpty(); }

} // namespace

MessageBoxHook setMessageBoxHook(MessageBoxHook hook) { return messageBoxHook.exchange(hook); }

int32_t messageBox(podoWnd *owner, const podoStr &caption, const podoStr &message, const podoStr &detail,
                   int32_t flags)
{
    podoStr text;
    if (hasText(message) && hasText(detail))
        text.format("%s\n\n%s", message.getNarrow(), detail.getNarrow());
    else if (hasText(message) || hasText(detail))
        text.format("%s", (hasText(message) ? message : detail).getNarrow());
    DesktopLayer *layer = desktopLayer();
    // The system's answer when there is one; the shown state when no window system can be asked.
    bool useOwner = owner && owner->handle() &&
                    (layer ? layer->isWindowVisible(owner->handle()) : owner->isVisible());
    int32_t shownFlags = flags | mbTopmost | (useOwner ? 0 : mbTaskModal);
    if (MessageBoxHook hook = messageBoxHook.load())
        return hook(useOwner ? owner : nullptr, caption, text, shownFlags);
    // A box blocks its thread: only the user-interface thread may wait for the user.
    if (layer && isUserInterfaceThread())
        if (int32_t answer = layer->messageBox(useOwner ? owner->handle() : nullptr, caption, text, shownFlags))
            return answer;
    return (flags & 0xF) == mbOkCancel ? idCancel : idOk;
}

namespace {

void logError(const podoStr &message, const podoStr &detail)
{
    if (hasText(message) && hasText(detail))
        logMessage(4, true, "%s - %s", message.getNarrow(), detail.getNarrow());
    else
        logMessage(4, true, "%s", (hasText(message) ? message : detail).getNarrow());
}

} // namespace

int32_t showError(const podoStr &message, const podoStr &detail, const podoStr &caption, podoWnd *owner)
{
    logError(message, detail);
    return messageBox(owner, caption, message, detail, mbOk | mbIconHand);
}

bool askError(const podoStr &message, const podoStr &detail, const podoStr &caption)
{
    logError(message, detail);
    return messageBox(nullptr, caption, message, detail, mbOkCancel | mbIconHand) == idOk;
}

} // namespace podo
