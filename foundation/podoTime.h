#pragma once

#include <cstdint>

class podoStr;

// A local calendar date and time of day, with a simple millisecond timer.
// Counts: the microsecond count of a moment is (F - 11,644,473,600,000,000) / 10,
// where F is the moment in 100-nanosecond units since 1601-01-01 on the local wall
// clock; no zone conversion is made. The count is 0 when the fields do not form a
// valid time (years 1601..30827). Counts serve ordering, differences and timers;
// folder search reports file times on the same scale (in milliseconds).
class podoTime
{
public:
    podoTime() = default;
    virtual ~podoTime() = default;

    // Copies the eight date and time fields, not the timer.
    virtual podoTime &copyFrom(const podoTime &other);

    // Equal when all fields but the weekday are.
    virtual bool operator==(const podoTime &other) const;
    virtual bool operator!=(const podoTime &other) const { return !(*this == other); }
    virtual bool operator<(const podoTime &other) const { return order(other) < 0; }
    virtual bool operator<=(const podoTime &other) const { return order(other) <= 0; }
    virtual bool operator>(const podoTime &other) const { return order(other) > 0; }
    virtual bool operator>=(const podoTime &other) const { return order(other) >= 0; }

    virtual void clear();
    virtual void clearDate();
    virtual void clearTime();

    // Sets the machine's local clock to this moment; false when the fields are not a
    // valid time or the clock could not be set.
    virtual bool setSystemClock() const;

    virtual void setNow();
    virtual void setToday();

    // False, and the fields unchanged, when the count is not a valid time.
    virtual bool setMicroseconds(uint64_t count);
    virtual bool setMilliseconds(uint64_t count);
    virtual uint64_t toMicroseconds() const;
    virtual uint64_t toMilliseconds() const;

    // The English name of the month ((month - 1) mod 12 + 1), cut to maxLength
    // characters when that is not 0 and shorter; false, output unchanged, for a
    // month below 1.
    virtual bool getMonthName(podoStr &out, int32_t maxLength, bool upperCase) const;
    // Appends "yyyy<d>mm<d>dd" when dateSeparator is not 0 and "hh<t>mm<t>ss" when
    // timeSeparator is not 0, each after a blank when the output is not empty.
    virtual void appendText(podoStr &out, char dateSeparator, char timeSeparator) const;

    // Starts a timer of durationMs on the monotonic clock; returns its start (ms).
    virtual int64_t startTimer(int64_t durationMs);
    virtual bool isTimerRunning() const;

    virtual bool isBefore(const podoTime &other, bool orEqual) const;
    virtual bool isAfter(const podoTime &other, bool orEqual) const;

    int32_t year = 0;
    int32_t month = 0;       // 1..12
    int32_t day = 0;         // 1..31
    int32_t weekday = 0;     // 0 = Sunday .. 6
    int32_t hour = 0;        // 0..23
    int32_t minute = 0;      // 0..59
    int32_t second = 0;      // 0..59
    int32_t millisecond = 0; // 0..999
    int64_t timerStart = 0;    // ms on the monotonic clock at the last startTimer
    int64_t timerDuration = 0; // ms given to the last startTimer

private:
    // Counts compared as signed values, so that moments before the count's zero
    // (late 1637) still sort before later ones.
    int order(const podoTime &other) const;
};

namespace podo {

// The local microsecond count now (microsecond resolution).
uint64_t nowMicroseconds();
podoTime getLocalTime();
podoTime getLocalDate();
// Sets the machine's local clock; false for the count 0 or a failure.
bool setLocalClock(uint64_t microseconds);
bool timeFromMicroseconds(uint64_t count, podoTime &out);
bool monthName(podoStr &out, int32_t month, int32_t maxLength, bool upperCase);

// The count of a local file time (100-ns units since 1601 on the local clock).
int64_t microsecondsFromFileTime(int64_t fileTime);

} // namespace podo
