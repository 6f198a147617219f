#include "foundation/platform/podoPlatformTime.h"

#include <atomic>
#include <ctime>

namespace podo::platform {
namespace {

constexpr int64_t unitsPerSecond = 10'000'000;
constexpr int64_t secondsFrom1601To1970 = 11'644'473'600;

bool setClockOfTheSystem(int64_t localFileTime)
{
    if (localFileTime < 0)
        return false;
    // gmtime_r of the local seconds gives the local wall-clock fields; mktime then
    // reads them as local time and finds the matching UTC moment.
    const time_t localSeconds = static_cast<time_t>(localFileTime / unitsPerSecond - secondsFrom1601To1970);
    struct tm fields {};
    if (!gmtime_r(&localSeconds, &fields))
        return false;
    fields.tm_isdst = -1;
    const time_t utc = mktime(&fields);
    if (utc == static_cast<time_t>(-1))
        return false;
    const timespec when{utc, static_cast<long>(localFileTime % unitsPerSecond) * 100};
    return clock_settime(CLOCK_REALTIME, &when) == 0;
}

std::atomic<ClockSetter> clockSetter{&setClockOfTheSystem};

} // namespace

int64_t localFileTimeFromUnix(int64_t seconds, int64_t nanoseconds)
{
    const time_t utc = static_cast<time_t>(seconds);
    struct tm local {};
    const int64_t offset = localtime_r(&utc, &local) ? local.tm_gmtoff : 0;
    return (seconds + offset + secondsFrom1601To1970) * unitsPerSecond + nanoseconds / 100;
}

int64_t localFileTimeNow()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return localFileTimeFromUnix(now.tv_sec, now.tv_nsec);
}

int64_t monotonicMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

ClockSetter setClockSetter(ClockSetter setter)
{
    return clockSetter.exchange(setter ? setter : &setClockOfTheSystem);
}

bool setMachineClock(int64_t localFileTime)
{
    return clockSetter.load()(localFileTime);
}

} // namespace podo::platform
