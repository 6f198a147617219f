#include "foundation/podoTime.h"

#include "foundation/platform/podoPlatformTime.h"
#include "foundation/podoStr.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace {

podoTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0)
{
    podoTime t;
    t.year = y;
    t.month = mo;
    t.day = d;
    t.hour = h;
    t.minute = mi;
    t.second = s;
    t.millisecond = ms;
    return t;
}

TEST(podoTime, CountsFollowTheFileTimeFormula)
{
    // (file time in 100-ns units - 11,644,473,600,000,000) / 10, worked out by hand.
    EXPECT_EQ(at(1970, 1, 1).toMicroseconds(), 10480026240000000u);
    const podoTime moment = at(2024, 3, 7, 14, 5, 9, 250);
    EXPECT_EQ(moment.toMicroseconds(), 12189846549250000u);
    EXPECT_EQ(moment.toMilliseconds(), 12189846549250u);
    EXPECT_EQ(at(2024, 3, 8, 14, 5, 9, 250).toMicroseconds() - moment.toMicroseconds(), 86'400'000'000u);
    EXPECT_EQ(at(2024, 3, 1).toMicroseconds() - at(2024, 2, 28).toMicroseconds(), 2 * 86'400'000'000u);
}

TEST(podoTime, ValidDatesOnly)
{
    struct Case {
        podoTime time;
        bool valid;
    };
    const Case cases[] = {
        {at(2024, 2, 29), true},   {at(2023, 2, 29), false},       {at(2000, 2, 29), true},
        {at(1900, 2, 29), false},  {at(2024, 4, 31), false},       {at(2024, 12, 31, 23, 59, 59, 999), true},
        {at(2024, 13, 1), false},  {at(2024, 0, 1), false},        {at(2024, 1, 0), false},
        {at(2024, 1, 1, 24), false}, {at(2024, 1, 1, 0, 60), false}, {at(2024, 1, 1, 0, 0, 60), false},
        {at(2024, 1, 1, 0, 0, 0, 1000), false}, {at(2024, 1, 1, -1), false},
        {at(1601, 1, 1), true},    {at(1600, 12, 31), false},      {at(30827, 12, 31, 23, 59, 59, 999), true},
        {at(30828, 1, 1), false},  {podoTime(), false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.time.year << "-" << c.time.month << "-" << c.time.day << " "
                                        << c.time.hour << ":" << c.time.minute << ":" << c.time.second << "."
                                        << c.time.millisecond);
        EXPECT_EQ(c.time.toMicroseconds() != 0, c.valid);
        podoTime back;
        if (c.valid) {
            ASSERT_TRUE(back.setMicroseconds(c.time.toMicroseconds()));
            EXPECT_TRUE(back == c.time);
        }
    }
}

TEST(podoTime, ConversionBackFillsTheWeekday)
{
    struct Case {
        podoTime time;
        int weekday;
    };
    const Case cases[] = {
        {at(2024, 3, 7, 14, 5, 9, 250), 4}, // a Thursday
        {at(1601, 1, 1), 1},                 // a Monday
        {at(2000, 1, 1), 6},
        {at(1970, 1, 1), 4},
        {at(30827, 12, 31, 23, 59, 59, 999), 5},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.time.year);
        podoTime back;
        ASSERT_TRUE(podo::timeFromMicroseconds(c.time.toMicroseconds(), back));
        EXPECT_EQ(back.year, c.time.year);
        EXPECT_EQ(back.month, c.time.month);
        EXPECT_EQ(back.day, c.time.day);
        EXPECT_EQ(back.hour, c.time.hour);
        EXPECT_EQ(back.minute, c.time.minute);
        EXPECT_EQ(back.second, c.time.second);
        EXPECT_EQ(back.millisecond, c.time.millisecond);
        EXPECT_EQ(back.weekday, c.weekday);
        podoTime fromMs;
        ASSERT_TRUE(fromMs.setMilliseconds(c.time.toMilliseconds()));
        EXPECT_TRUE(fromMs == c.time);
    }
}

TEST(podoTime, CountsWithoutATimeLeaveTheFieldsAlone)
{
    const podoTime last = at(30827, 12, 31, 23, 59, 59, 999);
    const uint64_t beyond[] = {last.toMicroseconds() + 1000, UINT64_MAX / 2, uint64_t(INT64_MIN)};
    for (uint64_t count : beyond) {
        SCOPED_TRACE(count);
        podoTime t = at(2024, 3, 7);
        EXPECT_FALSE(t.setMicroseconds(count));
        EXPECT_TRUE(t == at(2024, 3, 7));
    }
    podoTime t = at(2024, 3, 7);
    EXPECT_FALSE(t.setMilliseconds(UINT64_MAX / 100));
    EXPECT_TRUE(t == at(2024, 3, 7));
}

TEST(podoTime, OrderAndEquality)
{
    podoTime a = at(2024, 3, 7, 14, 5, 9, 250);
    podoTime b = a;
    b.weekday = 2;
    EXPECT_TRUE(a == b);
    EXPECT_EQ(a.toMicroseconds(), b.toMicroseconds());

    const podoTime later = at(2024, 3, 7, 14, 5, 9, 251);
    EXPECT_TRUE(a < later && a <= later && later > a && later >= a && a != later);
    EXPECT_TRUE(a.isBefore(later, false));
    EXPECT_FALSE(a.isBefore(b, false));
    EXPECT_TRUE(a.isBefore(b, true));
    EXPECT_TRUE(later.isAfter(a, false));
    EXPECT_TRUE(a.isAfter(b, true));
    EXPECT_FALSE(a.isAfter(b, false));

    // Moments from 1601 to late 1637 lie below the count's zero; they still come first.
    const podoTime early = at(1610, 6, 1);
    EXPECT_TRUE(early < a);
    EXPECT_TRUE(early.isBefore(at(1700, 1, 1), false));
    podoTime back;
    ASSERT_TRUE(back.setMicroseconds(early.toMicroseconds()));
    EXPECT_TRUE(back == early);
}

TEST(podoTime, ClearingAndCopying)
{
    podoTime t = at(2024, 3, 7, 14, 5, 9, 250);
    t.weekday = 4;
    t.startTimer(60'000);
    podoTime copy;
    copy.copyFrom(t);
    EXPECT_TRUE(copy == t);
    EXPECT_EQ(copy.weekday, 4);
    EXPECT_EQ(copy.timerStart, 0); // the timer is not copied

    t.clearTime();
    EXPECT_TRUE(t == at(2024, 3, 7));
    t.clearDate();
    EXPECT_EQ(t.weekday, 0);
    EXPECT_EQ(t.toMicroseconds(), 0u);
    copy.startTimer(5);
    copy.clear();
    EXPECT_TRUE(copy == podoTime());
    EXPECT_EQ(copy.timerStart, 0);
}

TEST(podoTime, Timer)
{
    podoTime t;
    EXPECT_FALSE(t.isTimerRunning());
    EXPECT_EQ(t.startTimer(3'600'000), t.timerStart);
    EXPECT_TRUE(t.isTimerRunning());
    t.startTimer(0);
    EXPECT_FALSE(t.isTimerRunning());
}

TEST(podoTime, NowIsTheLocalClock)
{
    const uint64_t before = podo::nowMicroseconds();
    const podoTime now = podo::getLocalTime();
    const uint64_t after = podo::nowMicroseconds();
    EXPECT_GE(now.toMicroseconds(), before / 1000 * 1000);
    EXPECT_LE(now.toMicroseconds(), after);

    podoTime check;
    ASSERT_TRUE(check.setMicroseconds(now.toMicroseconds()));
    EXPECT_EQ(check.weekday, now.weekday);

    const podoTime today = podo::getLocalDate();
    EXPECT_EQ(today.hour + today.minute + today.second + today.millisecond, 0);
    EXPECT_NE(today.toMicroseconds(), 0u);
}

TEST(podoTime, TextForLogLinesAndFileNames)
{
    const podoTime t = at(2024, 3, 7, 14, 5, 9, 250);
    struct Case {
        const char *before;
        char date;
        char time;
        const char *after;
    };
    const Case cases[] = {
        {"", '/', ':', "2024/03/07 14:05:09"},
        {"", '-', '-', "2024-03-07 14-05-09"},
        {"Quorix", '-', 0, "Quorix 2024-03-07"},
        {"", 0, ':', "14:05:09"},
        {"x", 0, ':', "x 14:05:09"},
        {"x", 0, 0, "x"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.after);
        podoStr out(c.before);
        t.appendText(out, c.date, c.time);
        EXPECT_STREQ(out.getNarrow(), c.after);
    }
}

TEST(podoTime, MonthNames)
{
    struct Case {
        int month;
        int maxLength;
        bool upper;
        const char *name;
    };
    const Case cases[] = {
        {1, 0, false, "January"}, {3, 0, true, "MARCH"},     {9, 3, false, "Sep"},
        {12, 20, false, "December"}, {13, 0, false, "January"}, {24, 3, true, "DEC"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.month);
        podoStr out;
        ASSERT_TRUE(podo::monthName(out, c.month, c.maxLength, c.upper));
        EXPECT_STREQ(out.getNarrow(), c.name);
        podoTime t;
        t.month = c.month;
        podoStr viaTime;
        ASSERT_TRUE(t.getMonthName(viaTime, c.maxLength, c.upper));
        EXPECT_STREQ(viaTime.getNarrow(), c.name);
    }
    podoStr out("kept");
    EXPECT_FALSE(podo::monthName(out, 0, 0, false));
    EXPECT_FALSE(podoTime().getMonthName(out, 0, false));
    EXPECT_STREQ(out.getNarrow(), "kept");
}

// Restores the time zone of the process when the test ends.
class podoTimeZone : public testing::Test
{
protected:
    void SetUp() override
    {
        const char *zone = getenv("TZ");
        hadZone = zone != nullptr;
        if (zone)
            savedZone = zone;
    }
    void TearDown() override
    {
        if (hadZone)
            setenv("TZ", savedZone.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    bool hadZone = false;
    std::string savedZone;
};

TEST_F(podoTimeZone, LocalCountsIncludeTheZoneOffset)
{
    setenv("TZ", "QRX-05:30", 1); // 5 h 30 min east of UTC, no daylight saving
    tzset();
    const uint64_t local = podo::nowMicroseconds();
    const int64_t utcSeconds = time(nullptr);
    const int64_t localSeconds = static_cast<int64_t>(local / 1'000'000) - 10480026240; // since 1970, local
    const int64_t offset = localSeconds - utcSeconds;
    EXPECT_NEAR(static_cast<double>(offset), 19800.0, 5.0);

    // A file time from a UTC moment takes the offset of that moment.
    EXPECT_EQ(podo::platform::localFileTimeFromUnix(0, 0), (11'644'473'600LL + 19800) * 10'000'000);
}

// Records what would have been given to the machine's clock.
int64_t requestedFileTime = -1;
bool recordClock(int64_t fileTime)
{
    requestedFileTime = fileTime;
    return true;
}

TEST(podoTime, SettingTheClockGoesThroughTheSetter)
{
    const podo::platform::ClockSetter previous = podo::platform::setClockSetter(&recordClock);
    requestedFileTime = -1;

    EXPECT_FALSE(podoTime().setSystemClock());
    EXPECT_FALSE(podo::setLocalClock(0));
    EXPECT_FALSE(podo::setLocalClock(UINT64_MAX / 2));
    EXPECT_EQ(requestedFileTime, -1);

    EXPECT_TRUE(at(1970, 1, 2).setSystemClock());
    EXPECT_EQ(requestedFileTime, (11'644'473'600LL + 86'400) * 10'000'000);

    podo::platform::setClockSetter(previous);
}

} // namespace
