#include "foundation/podoWnd.h"

#include "foundation/podoLog.h"

#include <atomic>

podoWnd::podoWnd(void *handle) : windowHandle(handle) {}

podoWnd::~podoWnd() { destroy(false); }

bool podoWnd::create(podoWnd *, int32_t, int32_t, int32_t, int32_t)
{
    destroy(false);
    return false; // no window layer to create one with
}

void podoWnd::destroy(bool)
{
    // An owned window would be destroyed here; none can be created yet.
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
    if (windowHandle)
        shown = visible;
}

int32_t podoWnd::getMonitorRect(int32_t *width, int32_t *height, int32_t *left, int32_t *top)
{
    for (int32_t *out : {width, height, left, top})
        if (out)
            *out = 0;
    return 0;
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
    bool useOwner = owner && owner->handle() && owner->isVisible();
    int32_t shownFlags = flags | mbTopmost | (useOwner ? 0 : mbTaskModal);
    if (MessageBoxHook hook = messageBoxHook.load())
        return hook(useOwner ? owner : nullptr, caption, text, shownFlags);
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
