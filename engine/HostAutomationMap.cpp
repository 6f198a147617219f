#include "engine/HostAutomationMap.h"

#include <cstring>

int32_t hostAutomationMap[kHostSlotCount];
int32_t hostSlotOfParameter[engine::kParameterCount];

namespace engine {

void clearHostAutomationMaps() {
    std::memset(hostAutomationMap, 0, sizeof hostAutomationMap);
    std::memset(hostSlotOfParameter, 0, sizeof hostSlotOfParameter);
}

int32_t parameterOfHostSlot(int32_t slot) {
    if (slot < 0 || slot >= kHostSlotCount)
        return -1;
    const int32_t entry = hostAutomationMap[slot];
    return entry >= 1 && entry <= kParameterCount ? entry - 1 : -1;
}

int32_t hostSlotOf(int32_t index) {
    if (!(index >= 0 && index < kParameterCount))
        return -1;
    const int32_t entry = hostSlotOfParameter[index];
    return entry >= 1 && entry <= kHostSlotCount ? entry - 1 : -1;
}

void assignHostSlot(int32_t slot, int32_t index) {
    if (slot < 0 || slot >= kHostSlotCount)
        return;
    const int32_t previous = parameterOfHostSlot(slot);
    if (previous >= 0)
        hostSlotOfParameter[previous] = 0;
    hostAutomationMap[slot] = 0;
    if (index < 0 || index >= kParameterCount)
        return;
    const int32_t previousSlot = hostSlotOf(index);
    if (previousSlot >= 0)
        hostAutomationMap[previousSlot] = 0;
    hostAutomationMap[slot] = index + 1;
    hostSlotOfParameter[index] = slot + 1;
}

} // namespace engine
