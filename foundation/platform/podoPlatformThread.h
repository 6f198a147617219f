#pragma once

#include <cstdint>

// Thread services of the operating system that the standard library does not give.
namespace podo::platform {

// The system's id of the calling thread (never 0).
int64_t currentThreadId();

// Gives up the rest of the calling thread's time slice.
void yieldThread();

// Sets a live thread's scheduling priority from a level: 0 idle, 1 lowest, 2 below
// normal, 4 above normal, 5 highest, 6 time-critical, anything else normal. Raising
// a thread above normal may need privileges the process lacks. True on success.
bool setThreadPriority(int64_t threadId, int32_t level);

// The thread's present priority in the system's own terms: the nice value here,
// where a higher value is a lower priority.
int32_t threadPriority(int64_t threadId);

} // namespace podo::platform
