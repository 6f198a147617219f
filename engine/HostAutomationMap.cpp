#include "engine/HostAutomationMap.h"

#include <mutex>

std::atomic<int32_t> hostAutomationMap[kHostSlotCount];
std::atomic<int32_t> hostSlotOfParameter[engine::kParameterCount];

static_assert(std::atomic<int32_t>::is_always_lock_free);

namespace engine {

namespace {

// Serialises the writers; readers never take it.
std::mutex writerLock;

constexpr auto relaxed = std::memory_order_relaxed;

} // namespace

void clearHostAutomationMaps() {
    std::lock_guard<std::mutex> hold(writerLock);
    for (auto& entry : hostAutomationMap)
        entry.store(0, relaxed);
    for (auto& entry : hostSlotOfParameter)
        entry.store(0, relaxed);
}

int32_t parameterOfHostSlot(int32_t slot) {
    if (slot < 0 || slot >= kHostSlotCount)
        return -1;
    const int32_t entry = hostAutomationMap[slot].load(relaxed);
    return entry >= 1 && entry <= kParameterCount ? entry - 1 : -1;
}

int32_t hostSlotOf(int32_t index) {
    if (!(index >= 0 && index < kParameterCount))
        return -1;
    const int32_t entry = hostSlotOfParameter[index].load(relaxed);
    return entry >= 1 && entry <= kHostSlotCount ? entry - 1 : -1;
}

void assignHostSlot(int32_t slot, int32_t index) {
    if (slot < 0 || slot >= kHostSlotCount)
        return;
    std::lock_guard<std::mutex> hold(writerLock);
    const int32_t previous = parameterOfHostSlot(slot);
    if (previous >= 0)
        hostSlotOfParameter[previous].store(0, relaxed);
    hostAutomationMap[slot].store(0, relaxed);
    if (index < 0 || index >= kParameterCount)
        return;
    const int32_t previousSlot = hostSlotOf(index);
    if (previousSlot >= 0)
        hostAutomationMap[previousSlot].store(0, relaxed);
    hostSlotOfParameter[index].store(slot + 1, relaxed);
    hostAutomationMap[slot].store(index + 1, relaxed);
}

} // namespace engine
