#include "editor-framework/podoVSTEditorBase.h"

#include "foundation/podoLog.h"

#include <cstring>
#include <new>

podoVSTEditorBase::podoVSTEditorBase(AudioEffect *effect) : effect(effect)
{
    messages = new EditorMessage[initialCapacity];
    capacity = initialCapacity;
}

podoVSTEditorBase::~podoVSTEditorBase() { delete[] messages; }

void podoVSTEditorBase::clearMessages()
{
    podoSyncCriticalBlock block(&editorLock);
    pending = 0;
    writeIndex = 0;
}

void podoVSTEditorBase::postFloat(int32_t tag, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    postMessage(tag, uint64_t(bits));
}

void podoVSTEditorBase::postMessage(int32_t tag, uint64_t payload)
{
    if (tag < 0 || !window.load())
        return;
    podoSyncCriticalBlock block(&editorLock);
    if (pending >= capacity) {
        if (capacity >= growthLimit)
            return; // at the ceiling: the new message is lost, the queued ones stay
        int32_t grown = capacity * 2;
        auto *bigger = new (std::nothrow) EditorMessage[size_t(grown)];
        if (!bigger) {
            podo::logMessage(4, true, "failed to realloc param changes UI : %d -> %d", capacity, grown);
            return;
        }
        // Keep the order: the wrapped part (0 .. writeIndex-1) moves behind the old end.
        std::memcpy(bigger, messages, sizeof(EditorMessage) * size_t(capacity));
        std::memcpy(bigger + capacity, messages, sizeof(EditorMessage) * size_t(writeIndex));
        podo::logMessage(3, true, "realloc param changes UI : %d -> %d", capacity, grown);
        delete[] messages;
        messages = bigger;
        writeIndex += capacity;
        capacity = grown;
    }
    if (writeIndex == capacity)
        writeIndex = 0;
    messages[writeIndex] = {tag, payload};
    ++writeIndex;
    ++pending;
}

void podoVSTEditorBase::idle()
{
    for (;;) {
        EditorMessage entry;
        {
            podoSyncCriticalBlock block(&editorLock);
            if (pending <= 0)
                return;
            int32_t oldest = writeIndex - pending;
            if (oldest < 0)
                oldest += capacity;
            entry = messages[oldest];
        }
        // Outside the lock: the handler may post, take engine locks or clear the queue.
        paramChanged(entry.tag, entry.payload);
        podoSyncCriticalBlock block(&editorLock);
        if (pending > 0)
            --pending;
    }
}

void podoVSTEditorBase::beginEdit() { ++editCount; }

void podoVSTEditorBase::endEdit()
{
    if (editCount > 0)
        --editCount;
}

void podoVSTEditorBase::paramChanged(int32_t tag, uint64_t payload)
{
    uint32_t bits = uint32_t(payload);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    setParameter(tag, value);
}

int32_t podoVSTEditorBase::queueCapacity()
{
    podoSyncCriticalBlock block(&editorLock);
    return capacity;
}

int32_t podoVSTEditorBase::queuePending()
{
    podoSyncCriticalBlock block(&editorLock);
    return pending;
}
