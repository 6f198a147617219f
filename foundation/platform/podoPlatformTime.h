#pragma once

#include <cstdint>

// Clock services of the operating system. Times of day are "local file times":
// 100-nanosecond units since 1601-01-01 00:00 on the local wall clock (no zone
// conversion after this point).
namespace podo::platform {

int64_t localFileTimeNow();

// The local file time of a moment given as UTC seconds and nanoseconds since 1970,
// with the zone offset that applied at that moment.
int64_t localFileTimeFromUnix(int64_t seconds, int64_t nanoseconds);

// Milliseconds on a clock that never jumps; for timers only.
int64_t monotonicMilliseconds();

// Setting the machine's clock goes through a replaceable setter so that tests never
// change the real clock. setClockSetter returns the previous setter; null restores
// the operating system's own.
using ClockSetter = bool (*)(int64_t localFileTime);
ClockSetter setClockSetter(ClockSetter setter);
bool setMachineClock(int64_t localFileTime);

} // namespace podo::platform
