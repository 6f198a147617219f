#include "foundation/podoTime.h"

#include "foundation/platform/podoPlatformTime.h"
#include "foundation/podoStr.h"

#include <cstring>

namespace {

// Subtracted from a file time (100-ns units) to give a count in microseconds.
constexpr int64_t countOffset = 0x295E9648864000; // 11,644,473,600,000,000
constexpr int64_t unitsPerMillisecond = 10'000;
constexpr int64_t unitsPerDay = 86'400'000LL * unitsPerMillisecond;
constexpr int32_t firstYear = 1601;
constexpr int32_t lastYear = 30827;

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
int64_t daysFromCivil(int64_t y, int64_t m, int64_t d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(int64_t z, int32_t &year, int32_t &month, int32_t &day)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int32_t>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int32_t>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int32_t>(yoe + era * 400 + (month <= 2));
}

const int64_t days1601 = daysFromCivil(1601, 1, 1);

bool isLeap(int32_t y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int32_t daysInMonth(int32_t y, int32_t m)
{
    static const int32_t days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : days[m - 1];
}

// The fields as a local file time, or -1 when they are not a valid time.
int64_t fileTimeOf(const podoTime &t)
{
    if (t.year < firstYear || t.year > lastYear || t.month < 1 || t.month > 12 || t.day < 1 ||
        t.day > daysInMonth(t.year, t.month) || t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59 ||
        t.second < 0 || t.second > 59 || t.millisecond < 0 || t.millisecond > 999)
        return -1;
    const int64_t days = daysFromCivil(t.year, t.month, t.day) - days1601;
    const int64_t ms = ((t.hour * 60LL + t.minute) * 60 + t.second) * 1000 + t.millisecond;
    return days * unitsPerDay + ms * unitsPerMillisecond;
}

// Fills the fields from a local file time; false when it lies outside the years.
bool fieldsOf(int64_t fileTime, podoTime &t)
{
    if (fileTime < 0)
        return false;
    const int64_t days = fileTime / unitsPerDay;
    int32_t year, month, day;
    civilFromDays(days + days1601, year, month, day);
    if (year > lastYear)
        return false;
    int64_t ms = fileTime % unitsPerDay / unitsPerMillisecond;
    t.year = year;
    t.month = month;
    t.day = day;
    t.weekday = static_cast<int32_t>((days + 1) % 7); // 1601-01-01 was a Monday
    t.millisecond = static_cast<int32_t>(ms % 1000);
    ms /= 1000;
    t.second = static_cast<int32_t>(ms % 60);
    ms /= 60;
    t.minute = static_cast<int32_t>(ms % 60);
    t.hour = static_cast<int32_t>(ms / 60);
    return true;
}

// Signed count; 0 for invalid fields. Exact: file times from fields are whole ms.
int64_t signedCount(const podoTime &t)
{
    const int64_t f = fileTimeOf(t);
    return f < 0 ? 0 : (f - countOffset) / 10;
}

// The file time of a count, or -1 when it has none.
int64_t fileTimeOfCount(uint64_t count)
{
    const int64_t c = static_cast<int64_t>(count);
    constexpr int64_t largest = (INT64_MAX - countOffset) / 10;
    constexpr int64_t smallest = -countOffset / 10;
    if (c > largest || c < smallest)
        return -1;
    return c * 10 + countOffset;
}

} // namespace

podoTime &podoTime::copyFrom(const podoTime &other)
{
    year = other.year;
    month = other.month;
    day = other.day;
    weekday = other.weekday;
    hour = other.hour;
    minute = other.minute;
    second = other.second;
    millisecond = other.millisecond;
    return *this;
}

bool podoTime::operator==(const podoTime &other) const
{
    return year == other.year && month == other.month && day == other.day && hour == other.hour &&
           minute == other.minute && second == other.second && millisecond == other.millisecond;
}

int podoTime::order(const podoTime &other) const
{
    const int64_t a = signedCount(*this), b = signedCount(other);
    return a < b ? -1 : a > b ? 1 : 0;
}

void podoTime::clear()
{
    clearDate();
    clearTime();
    timerStart = 0;
}

void podoTime::clearDate()
{
    year = month = day = weekday = 0;
}

void podoTime::clearTime()
{
    hour = minute = second = millisecond = 0;
}

bool podoTime::setSystemClock() const
{
    return podo::setLocalClock(toMicroseconds());
}

void podoTime::setNow()
{
    fieldsOf(podo::platform::localFileTimeNow(), *this);
}

void podoTime::setToday()
{
    setNow();
    clearTime();
}

bool podoTime::setMicroseconds(uint64_t count)
{
    return podo::timeFromMicroseconds(count, *this);
}

bool podoTime::setMilliseconds(uint64_t count)
{
    const int64_t ms = static_cast<int64_t>(count);
    if (ms > INT64_MAX / 1000 || ms < INT64_MIN / 1000)
        return false;
    return setMicroseconds(static_cast<uint64_t>(ms * 1000));
}

uint64_t podoTime::toMicroseconds() const
{
    return static_cast<uint64_t>(signedCount(*this));
}

uint64_t podoTime::toMilliseconds() const
{
    return static_cast<uint64_t>(signedCount(*this) / 1000);
}

bool podoTime::getMonthName(podoStr &out, int32_t maxLength, bool upperCase) const
{
    return podo::monthName(out, month, maxLength, upperCase);
}

void podoTime::appendText(podoStr &out, char dateSeparator, char timeSeparator) const
{
    podoStr part;
    if (dateSeparator) {
        part.format("%04d%c%02d%c%02d", year, dateSeparator, month, dateSeparator, day);
        if (!out.isEmpty())
            out.append(" ");
        out.append(part);
    }
    if (timeSeparator) {
        part.format("%02d%c%02d%c%02d", hour, timeSeparator, minute, timeSeparator, second);
        if (!out.isEmpty())
            out.append(" ");
        out.append(part);
    }
}

int64_t podoTime::startTimer(int64_t durationMs)
{
    timerDuration = durationMs;
    timerStart = podo::platform::monotonicMilliseconds();
    return timerStart;
}

bool podoTime::isTimerRunning() const
{
    return podo::platform::monotonicMilliseconds() < timerStart + timerDuration;
}

bool podoTime::isBefore(const podoTime &other, bool orEqual) const
{
    const int o = order(other);
    return o < 0 || (orEqual && o == 0);
}

bool podoTime::isAfter(const podoTime &other, bool orEqual) const
{
    const int o = order(other);
    return o > 0 || (orEqual && o == 0);
}

namespace podo {

int64_t microsecondsFromFileTime(int64_t fileTime)
{
    return (fileTime - countOffset) / 10;
}

uint64_t nowMicroseconds()
{
    return static_cast<uint64_t>(microsecondsFromFileTime(platform::localFileTimeNow()));
}

podoTime getLocalTime()
{
    podoTime t;
    t.setNow();
    return t;
}

podoTime getLocalDate()
{
    podoTime t;
    t.setToday();
    return t;
}

bool setLocalClock(uint64_t microseconds)
{
    if (microseconds == 0)
        return false;
    const int64_t fileTime = fileTimeOfCount(microseconds);
    podoTime check;
    if (fileTime < 0 || !fieldsOf(fileTime, check))
        return false;
    return platform::setMachineClock(fileTime);
}

bool monthName(podoStr &out, int32_t month, int32_t maxLength, bool upperCase)
{
    static const char *const names[] = {"January", "February", "March",     "April",   "May",      "June",
                                        "July",    "August",   "September", "October", "November", "December"};
    if (month < 1)
        return false;
    const char *name = names[(month - 1) % 12];
    const int32_t length = static_cast<int32_t>(std::strlen(name));
    out.setNarrow(name, maxLength != 0 && maxLength < length ? maxLength : length);
    if (upperCase)
        out.makeUpper();
    return true;
}

bool timeFromMicroseconds(uint64_t count, podoTime &out)
{
    const int64_t fileTime = fileTimeOfCount(count);
    if (fileTime < 0)
        return false;
    podoTime fields;
    if (!fieldsOf(fileTime, fields))
        return false;
    out.copyFrom(fields);
    return true;
}

} // namespace podo
