#include "editor-framework/podoVSTEditorBase.h"

#include "foundation/podoLog.h"
#include "gui/CControl.h"

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

void podoVSTEditorBase::registerControl(qgui::CControl *control) { controls.add(podoVGControl(control)); }

qgui::CControl *podoVSTEditorBase::getControlAt(int32_t index) const
{
    return index >= 0 && index < controls.getCount() ? controls.at(index)->getControl() : nullptr;
}

void podoVSTEditorBase::rebuildControlIndex()
{
    controls.shrink();
    controlsByTag.removeAll();
    controlsByTag.setCapacity(controls.getCapacity());
    controlsByTag.addAll(controls);
    controlsByTag.sort(true);
}

// A search by halving on the tags themselves: no probe entry, no allocation.
int32_t podoVSTEditorBase::findControlIndex(int32_t tag)
{
    int32_t low = 0, high = controlsByTag.getCount() - 1;
    while (low <= high) {
        const int32_t middle = low + (high - low) / 2;
        const int32_t probe = controlsByTag.at(middle)->getTag();
        if (probe == tag)
            return middle;
        if (probe > tag)
            high = middle - 1;
        else
            low = middle + 1;
    }
    return -1;
}

float podoVSTEditorBase::getControlValueAt(int32_t index, int32_t tag)
{
    if (index < 0 || index >= controlsByTag.getCount())
        return 0.0f;
    const podoVGControl *entry = controlsByTag.at(index);
    return entry->getTag() == tag && tag >= 0 ? entry->getControl()->getValue() : 0.0f;
}

bool podoVSTEditorBase::setControlValueAt(int32_t index, int32_t tag, float value)
{
    if (index < 0 || index >= controlsByTag.getCount())
        return false;
    const podoVGControl *entry = controlsByTag.at(index);
    if (tag < 0 || entry->getTag() != tag)
        return false;
    entry->getControl()->setValue(value);
    return true;
}

bool podoVSTEditorBase::setControlVisibleAt(int32_t index, int32_t tag, bool visible)
{
    if (index < 0 || index >= controlsByTag.getCount())
        return false;
    const podoVGControl *entry = controlsByTag.at(index);
    if (tag < 0 || entry->getTag() != tag)
        return false;
    entry->getControl()->setVisible(visible);
    return true;
}

float podoVSTEditorBase::getParameter(int32_t tag)
{
    const int32_t index = findControlIndex(tag);
    return index < 0 ? 0.0f : getControlValueAt(index, tag);
}

// The search lands anywhere in a run of equal tags: walk down from there, then up.
void podoVSTEditorBase::setParameter(int32_t tag, float value)
{
    const int32_t found = findControlIndex(tag);
    if (found < 0)
        return;
    for (int32_t n = found; n >= 0 && setControlValueAt(n, tag, value); --n) {
    }
    for (int32_t n = found + 1; n < controlsByTag.getCount() && setControlValueAt(n, tag, value); ++n) {
    }
}

void podoVSTEditorBase::setVisibleByTag(int32_t tag, bool visible)
{
    const int32_t found = findControlIndex(tag);
    if (found < 0)
        return;
    for (int32_t n = found; n >= 0 && setControlVisibleAt(n, tag, visible); --n) {
    }
    for (int32_t n = found + 1; n < controlsByTag.getCount() && setControlVisibleAt(n, tag, visible); ++n) {
    }
}
