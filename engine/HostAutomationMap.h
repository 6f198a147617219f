#pragma once
// The process-wide map between the host's 128 automatable slots and engine parameters.
// Written by the editor and the automation-file reader on the user-interface thread and read by
// every instance from any thread (the host asks for names and values on its audio and interface
// threads alike). Each entry is an atomic int32, so a reader always sees a whole entry; readers
// check every entry they use against its range. Writers are serialised among themselves and keep
// the invariant hostAutomationMap[s] == i + 1 exactly when hostSlotOfParameter[i] == s + 1.

#include "engine/EngineLimits.h"

#include <atomic>
#include <cstdint>

inline constexpr int kHostSlotCount = 128;

// Entry s: the engine parameter index + 1 of host slot s, 0 when not assigned.
extern std::atomic<int32_t> hostAutomationMap[kHostSlotCount];
// Entry i: the host slot + 1 of parameter i, 0 when none.
extern std::atomic<int32_t> hostSlotOfParameter[engine::kParameterCount];

namespace engine {

void clearHostAutomationMaps();

// The parameter host slot s drives, or -1 (also for a slot outside 0..127 and a damaged entry).
int32_t parameterOfHostSlot(int32_t slot);

// The host slot parameter index is assigned to, or -1.
int32_t hostSlotOf(int32_t index);

// Assigns host slot s to parameter index (forgetting what either was assigned to before);
// a negative index forgets the slot.
void assignHostSlot(int32_t slot, int32_t index);

} // namespace engine
