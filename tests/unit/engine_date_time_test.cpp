#include "engine/date_time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>
#include <ostream>
#include <string>

namespace rudi {

bool operator==(const DateTimeParts& a, const DateTimeParts& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
           a.minute == b.minute && a.second == b.second;
}

std::ostream& operator<<(std::ostream& out, const DateTimeParts& p) {
    return out << p.year << '-' << p.month << '-' << p.day << ' ' << p.hour << ':' << p.minute
               << ':' << p.second;
}

namespace {

constexpr double secondInDays = 1.0 / 86400.0;
constexpr DateTime june27th2013 = 41452.0; // 2013-06-27 00:00:00

bool isLeap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysIn(int year, int month) {
    static const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeap(year) ? 29 : lengths[month - 1];
}

TEST(Calendar, KnownDays) {
    const struct {
        int year, month, day;
        DateTime value;
    } cases[] = {
        {1899, 12, 30, 0.0},    {1899, 12, 31, 1.0},       {1900, 1, 1, 2.0},
        {1899, 12, 29, -1.0},   {1900, 2, 28, 60.0},       {1900, 3, 1, 61.0}, // 1900: no leap day
        {1970, 1, 1, 25569.0},  {2000, 1, 1, 36526.0},     {2000, 2, 29, 36585.0},
        {2000, 3, 1, 36586.0},  {2013, 6, 27, 41452.0},    {2038, 1, 19, 50424.0},
        {100, 1, 1, -657434.0}, {9999, 12, 31, 2958465.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.year << '-' << c.month << '-' << c.day);
        EXPECT_EQ(makeDateTime(c.year, c.month, c.day, 0, 0, 0), c.value);
        EXPECT_EQ(partsOf(c.value), (DateTimeParts{c.year, c.month, c.day, 0, 0, 0}));
    }
}

// Walks the calendar day by day with its own month lengths: each day must be the day number
// after the one before and read back as itself, and dateOnly of any time on it must be the day
// itself, also below zero where the time of day is counted away from zero (and on the two ends
// of the range, where any later time reads as the bound).
TEST(Calendar, EveryDayFrom100To9999RoundTrips) {
    int year = 100, month = 1, day = 1;
    DateTime expected = earliestDateTime;
    long failures = 0;
    for (;;) {
        const DateTime value = makeDateTime(year, month, day, 0, 0, 0);
        const DateTimeParts parts = partsOf(value);
        const DateTime evening = value >= 0 ? value + 0.75 : value - 0.75;
        if ((value != expected || parts.year != year || parts.month != month || parts.day != day ||
             parts.hour != 0 || parts.minute != 0 || parts.second != 0 ||
             dateOnly(evening) != value) &&
            ++failures <= 10) {
            ADD_FAILURE() << year << '-' << month << '-' << day << ": value " << value
                          << " (expected " << expected << "), reads " << parts
                          << ", dateOnly of 18:00 is " << dateOnly(evening);
        }
        if (year == 9999 && month == 12 && day == 31) {
            break;
        }
        if (++day > daysIn(year, month)) {
            day = 1;
            if (++month > 12) {
                month = 1;
                ++year;
            }
        }
        expected += 1.0;
    }
    EXPECT_EQ(expected, latestDateTime);
    EXPECT_EQ(failures, 0);
}

// The clock text as the tick must see it: the hour padded with a blank to two places.
std::string expectedClockText(int hour, int minute, int second) {
    char text[16];
    std::snprintf(text, sizeof text, "%2d:%02d:%02d", hour, minute, second);
    return text;
}

// Every second of a day reads back as itself, on either side of zero and next to both ends of
// the range; its time of day lies on 2000-01-01 and its stored time text is the clock text of
// the same second.
TEST(Calendar, EverySecondOfADayRoundTrips) {
    const struct {
        int year, month, day;
        bool texts;
    } days[] = {{2013, 6, 27, true},
                {1899, 12, 30, false},
                {1899, 12, 29, false},
                {100, 1, 2, false},
                {9999, 12, 30, false}};
    for (const auto& d : days) {
        SCOPED_TRACE(testing::Message() << d.year << '-' << d.month << '-' << d.day);
        const DateTime midnight = makeDateTime(d.year, d.month, d.day, 0, 0, 0);
        long failures = 0;
        for (int second = 0; second < 86400; ++second) {
            const int h = second / 3600, m = second / 60 % 60, s = second % 60;
            const DateTime value = makeDateTime(d.year, d.month, d.day, h, m, s);
            const DateTime time = timeOfDay(value);
            const bool good = partsOf(value) == (DateTimeParts{d.year, d.month, d.day, h, m, s}) &&
                              dateOnly(value) == midnight && std::trunc(time) == 36526.0 &&
                              partsOf(time) == (DateTimeParts{2000, 1, 1, h, m, s}) &&
                              (!d.texts || storedTimeText(value) == expectedClockText(h, m, s));
            if (!good && ++failures <= 10) {
                ADD_FAILURE() << "second " << second << " reads " << partsOf(value);
            }
        }
        EXPECT_EQ(failures, 0);
    }
}

TEST(MakeDateTime, BuildsDaysBelowZeroWithTheTimeCountedAwayFromZero) {
    EXPECT_EQ(makeDateTime(1899, 12, 29, 6, 0, 0), -1.25);
    EXPECT_EQ(makeDateTime(1899, 12, 29, 18, 0, 0), -1.75);
    EXPECT_EQ(makeDateTime(1899, 12, 28, 12, 0, 0), -2.5);
    EXPECT_EQ(makeDateTime(1899, 12, 30, 6, 0, 0), 0.25);
    EXPECT_EQ(makeDateTime(1899, 12, 31, 18, 0, 0), 1.75);
    EXPECT_DOUBLE_EQ(makeDateTime(1899, 12, 29, 0, 0, 1), -1.0 - secondInDays);
}

TEST(MakeDateTime, TimesOnTheDaysOfTheBoundsLieOutsideTheRange) {
    EXPECT_LT(makeDateTime(100, 1, 1, 6, 0, 0), earliestDateTime);
    EXPECT_GT(makeDateTime(9999, 12, 31, 6, 0, 0), latestDateTime);
    EXPECT_EQ(partsOf(makeDateTime(100, 1, 1, 6, 0, 0)), (DateTimeParts{100, 1, 1, 0, 0, 0}));
    EXPECT_EQ(partsOf(makeDateTime(9999, 12, 31, 6, 0, 0)), (DateTimeParts{9999, 12, 31, 0, 0, 0}));
}

TEST(MakeDateTime, CarriesComponentsBeyondTheirRanges) {
    const struct {
        int y, mo, d, h, mi, s;
        int year, month, day, hour, minute, second;
    } cases[] = {
        {2013, 13, 1, 0, 0, 0, 2014, 1, 1, 0, 0, 0},
        {2013, 0, 1, 0, 0, 0, 2012, 12, 1, 0, 0, 0},
        {2013, -11, 1, 0, 0, 0, 2012, 1, 1, 0, 0, 0},
        {2013, -12, 1, 0, 0, 0, 2011, 12, 1, 0, 0, 0},
        {2013, 25, 1, 0, 0, 0, 2015, 1, 1, 0, 0, 0},
        {2013, 3, 0, 0, 0, 0, 2013, 2, 28, 0, 0, 0},
        {2012, 3, 0, 0, 0, 0, 2012, 2, 29, 0, 0, 0},
        {1900, 2, 29, 0, 0, 0, 1900, 3, 1, 0, 0, 0},
        {2013, 1, 32, 0, 0, 0, 2013, 2, 1, 0, 0, 0},
        {2013, 1, 366, 0, 0, 0, 2014, 1, 1, 0, 0, 0},
        {2013, 1, 1, 24, 0, 0, 2013, 1, 2, 0, 0, 0},
        {2013, 1, 1, 0, 0, 60, 2013, 1, 1, 0, 1, 0},
        {2013, 1, 1, 0, 0, -1, 2012, 12, 31, 23, 59, 59},
        {2013, 1, 1, 0, -1, 0, 2012, 12, 31, 23, 59, 0},
        {1899, 12, 30, 0, 0, -1, 1899, 12, 29, 23, 59, 59},
        {1899, 12, 29, 25, 0, 0, 1899, 12, 30, 1, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.y << '-' << c.mo << '-' << c.d << ' ' << c.h << ':'
                                        << c.mi << ':' << c.s);
        const DateTime value = makeDateTime(c.y, c.mo, c.d, c.h, c.mi, c.s);
        EXPECT_EQ(value, makeDateTime(c.year, c.month, c.day, c.hour, c.minute, c.second));
        EXPECT_EQ(partsOf(value),
                  (DateTimeParts{c.year, c.month, c.day, c.hour, c.minute, c.second}));
    }
}

TEST(MakeDateTime, ExtremeComponentsGiveFiniteValuesThatReadAsTheBounds) {
    constexpr int max = std::numeric_limits<int>::max();
    constexpr int min = std::numeric_limits<int>::min();
    const DateTime high = makeDateTime(max, max, max, max, max, max);
    const DateTime low = makeDateTime(min, min, min, min, min, min);
    EXPECT_TRUE(std::isfinite(high));
    EXPECT_TRUE(std::isfinite(low));
    EXPECT_GT(high, latestDateTime);
    EXPECT_LT(low, earliestDateTime);
    EXPECT_EQ(partsOf(high), (DateTimeParts{9999, 12, 31, 0, 0, 0}));
    EXPECT_EQ(partsOf(low), (DateTimeParts{100, 1, 1, 0, 0, 0}));
}

TEST(PartsOf, ReadsToTheNearestSecondAndWithinTheRange) {
    const double infinity = std::numeric_limits<double>::infinity();
    const struct {
        const char* what;
        DateTime value;
        DateTimeParts parts;
    } cases[] = {
        {"x.4999 s", june27th2013 + 3600.4999 * secondInDays, {2013, 6, 27, 1, 0, 0}},
        {"x.5001 s", june27th2013 + 3600.5001 * secondInDays, {2013, 6, 27, 1, 0, 1}},
        {"23:59:59.4999", june27th2013 + 86399.4999 * secondInDays, {2013, 6, 27, 23, 59, 59}},
        {"23:59:59.5001", june27th2013 + 86399.5001 * secondInDays, {2013, 6, 28, 0, 0, 0}},
        {"23:59:59.6", june27th2013 + 86399.6 * secondInDays, {2013, 6, 28, 0, 0, 0}},
        {"12-31 23:59:59.6", 41639.0 + 86399.6 * secondInDays, {2014, 1, 1, 0, 0, 0}},
        {"zero", 0.0, {1899, 12, 30, 0, 0, 0}},
        {"minus zero", -0.0, {1899, 12, 30, 0, 0, 0}},
        {"smallest positive", std::numeric_limits<double>::denorm_min(), {1899, 12, 30, 0, 0, 0}},
        {"+0.4999 s", 0.4999 * secondInDays, {1899, 12, 30, 0, 0, 0}},
        {"+0.5001 s", 0.5001 * secondInDays, {1899, 12, 30, 0, 0, 1}},
        // Below zero the whole part toward zero is the day and the fraction the time of day,
        // so half a second is subtracted to round it.
        {"-0.4999 s", -0.4999 * secondInDays, {1899, 12, 30, 0, 0, 0}},
        {"-0.5001 s", -0.5001 * secondInDays, {1899, 12, 30, 0, 0, 1}},
        {"-0.25", -0.25, {1899, 12, 30, 6, 0, 0}},
        {"-0.5", -0.5, {1899, 12, 30, 12, 0, 0}},
        {"-1", -1.0, {1899, 12, 29, 0, 0, 0}},
        {"-1.25", -1.25, {1899, 12, 29, 6, 0, 0}},
        {"-1.75", -1.75, {1899, 12, 29, 18, 0, 0}},
        {"-2", -2.0, {1899, 12, 28, 0, 0, 0}},
        {"-1 - 0.4999 s", -1.0 - 0.4999 * secondInDays, {1899, 12, 29, 0, 0, 0}},
        {"-1 - 0.5001 s", -1.0 - 0.5001 * secondInDays, {1899, 12, 29, 0, 0, 1}},
        {"-1 - 86399.4999 s", -1.0 - 86399.4999 * secondInDays, {1899, 12, 29, 23, 59, 59}},
        {"-1 - 86399.6 s", -1.0 - 86399.6 * secondInDays, {1899, 12, 28, 0, 0, 0}},
        {"-36522 - 13:05:09", -36522.0 - 47109.0 * secondInDays, {1800, 1, 1, 13, 5, 9}},
        // The lower bound 0100-01-01 00:00:00.
        {"lower bound", earliestDateTime, {100, 1, 1, 0, 0, 0}},
        {"lower bound + 18 h", -657433.75, {100, 1, 2, 18, 0, 0}},
        {"just beyond lower", -657434.5, {100, 1, 1, 0, 0, 0}},
        {"far beyond lower", -1e300, {100, 1, 1, 0, 0, 0}},
        {"lowest double", std::numeric_limits<double>::lowest(), {100, 1, 1, 0, 0, 0}},
        {"minus infinity", -infinity, {100, 1, 1, 0, 0, 0}},
        // The upper bound 9999-12-31 00:00:00: its time of day cannot be reached.
        {"upper bound", latestDateTime, {9999, 12, 31, 0, 0, 0}},
        {"upper bound - 6 h", 2958464.75, {9999, 12, 30, 18, 0, 0}},
        {"rounds onto upper", 2958465.0 - 0.2 * secondInDays, {9999, 12, 31, 0, 0, 0}},
        {"just beyond upper", 2958465.5, {9999, 12, 31, 0, 0, 0}},
        {"far beyond upper", 1e300, {9999, 12, 31, 0, 0, 0}},
        {"largest double", std::numeric_limits<double>::max(), {9999, 12, 31, 0, 0, 0}},
        {"infinity", infinity, {9999, 12, 31, 0, 0, 0}},
        // NaN reads as the date-time zero.
        {"NaN", std::numeric_limits<double>::quiet_NaN(), {1899, 12, 30, 0, 0, 0}},
        {"-NaN", -std::numeric_limits<double>::quiet_NaN(), {1899, 12, 30, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(partsOf(c.value), c.parts);
        EXPECT_EQ(hourOf(c.value), c.parts.hour);
        EXPECT_EQ(minuteOf(c.value), c.parts.minute);
        EXPECT_EQ(secondOf(c.value), c.parts.second);
        EXPECT_EQ(dateOnly(c.value),
                  makeDateTime(c.parts.year, c.parts.month, c.parts.day, 0, 0, 0));
        EXPECT_EQ(timeOfDay(c.value),
                  makeDateTime(2000, 1, 1, c.parts.hour, c.parts.minute, c.parts.second));
    }
}

TEST(DateOnlyAndTimeOfDay, SplitALateSecond) {
    const DateTime lateSecond = makeDateTime(2013, 6, 27, 23, 59, 59);
    EXPECT_EQ(dateOnly(lateSecond), makeDateTime(2013, 6, 27, 0, 0, 0));
    EXPECT_EQ(timeOfDay(lateSecond), makeDateTime(2000, 1, 1, 23, 59, 59));
    EXPECT_EQ(std::trunc(timeOfDay(lateSecond)), 36526.0);
    EXPECT_EQ(timeOfDay(-1.25), makeDateTime(2000, 1, 1, 6, 0, 0));
    EXPECT_EQ(dateOnly(-1.25), -1.0);
}

TEST(DateText, DateAndTheFirstTimePartThatApplies) {
    const struct {
        DateTime value;
        const char* text;
    } cases[] = {
        {makeDateTime(2013, 6, 27, 0, 0, 0), "2013年6月27日"},
        {makeDateTime(2000, 1, 1, 0, 0, 0), "2000年1月1日"},
        {makeDateTime(2013, 6, 27, 15, 30, 0), "2013年6月27日15时30分"},
        {makeDateTime(2013, 6, 27, 15, 0, 45), "2013年6月27日15时0分45秒"},
        {makeDateTime(2013, 6, 27, 10, 0, 5), "2013年6月27日10时0分5秒"},
        {makeDateTime(2013, 6, 27, 10, 5, 0), "2013年6月27日10时5分"},
        {makeDateTime(2013, 6, 27, 10, 0, 0), "2013年6月27日10时"},
        {makeDateTime(2013, 6, 27, 0, 0, 5), "2013年6月27日0时0分5秒"},
        {makeDateTime(2013, 6, 27, 0, 5, 0), "2013年6月27日0时5分"},
        {makeDateTime(2013, 12, 31, 23, 59, 59), "2013年12月31日23时59分59秒"},
        {june27th2013 + 86399.6 * secondInDays, "2013年6月28日"},
        {-1.25, "1899年12月29日6时"},
        {earliestDateTime, "100年1月1日"},
        {-1e300, "100年1月1日"},
        {latestDateTime, "9999年12月31日"},
        {std::numeric_limits<double>::infinity(), "9999年12月31日"},
        {std::numeric_limits<double>::quiet_NaN(), "1899年12月30日"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(dateText(c.value), c.text);
    }
}

TEST(ClockText, EightBytesWithTwoDigitMinutesAndSeconds) {
    const struct {
        int hour, minute, second;
        const char* text;
    } cases[] = {
        {13, 5, 9, "13:05:09"},
        {9, 5, 9, " 9:05:09"},
        {0, 0, 0, " 0:00:00"},
        {23, 59, 59, "23:59:59"},
        {10, 0, 0, "10:00:00"},
        {12, 34, 56, "12:34:56"},
        // Beyond the ranges the same steps still give 8 bytes.
        {123, 4, 5, "23:04:05"},
        {-1, -5, 7, "-1:-5:07"},
        {7, 100, 100, " 7:00:00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(clockText(c.hour, c.minute, c.second), c.text);
    }
}

TEST(ClockText, EverySecondOfTheDayIsEightBytes) {
    long failures = 0;
    for (int second = 0; second < 86400; ++second) {
        const int h = second / 3600, m = second / 60 % 60, s = second % 60;
        const Text text = clockText(h, m, s);
        if (text != expectedClockText(h, m, s) && ++failures <= 10) {
            ADD_FAILURE() << "second " << second << " gives \"" << text << '"';
        }
    }
    EXPECT_EQ(failures, 0);
}

TEST(StoredTimeText, IsTheClockTextWhateverTheDate) {
    EXPECT_EQ(storedTimeText(makeDateTime(2013, 6, 27, 13, 5, 9)), "13:05:09");
    EXPECT_EQ(storedTimeText(makeDateTime(1999, 1, 2, 9, 5, 9)), " 9:05:09");
    EXPECT_EQ(storedTimeText(makeDateTime(2000, 1, 1, 0, 0, 0)), " 0:00:00");
    EXPECT_EQ(storedTimeText(-1.75), "18:00:00");
    EXPECT_EQ(storedTimeText(june27th2013 + 86399.6 * secondInDays), " 0:00:00");
    EXPECT_EQ(storedTimeText(std::numeric_limits<double>::infinity()), " 0:00:00");
}

TEST(EventTimeText, DateTextStarStoredTimeTextAndSplitsBack) {
    const struct {
        DateTime date;
        DateTime time;
        const char* text;
    } cases[] = {
        {makeDateTime(2013, 6, 27, 0, 0, 0), makeDateTime(2000, 1, 1, 13, 5, 9),
         "2013年6月27日*13:05:09"},
        {makeDateTime(2013, 6, 27, 0, 0, 0), makeDateTime(2000, 1, 1, 9, 5, 9),
         "2013年6月27日* 9:05:09"},
        // The date's own time and the time's own date do not show.
        {makeDateTime(2013, 6, 27, 15, 30, 0), makeDateTime(1999, 3, 4, 0, 0, 0),
         "2013年6月27日* 0:00:00"},
        {makeDateTime(2013, 6, 27, 23, 59, 59), makeDateTime(2013, 6, 27, 23, 59, 59),
         "2013年6月27日*23:59:59"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const Text text = buildEventTimeText(c.date, c.time);
        EXPECT_EQ(text, c.text);
        const TextArray parts = splitText(text, "*");
        ASSERT_EQ(memberCount(parts), 2);
        EXPECT_EQ(compareTexts(parts[0], dateText(dateOnly(c.date))), 0);
        EXPECT_EQ(
            compareTexts(parts[1], clockText(hourOf(c.time), minuteOf(c.time), secondOf(c.time))),
            0);
    }
}

class FakeClock final : public Clock {
  public:
    WallClockTime now;
    WallClockTime localNow() override { return now; }
};

class CurrentDateTime : public testing::Test {
  protected:
    void TearDown() override { setClock(nullptr); }
    FakeClock clock;
};

TEST_F(CurrentDateTime, ReadsTheInstalledClock) {
    setClock(&clock);
    EXPECT_EQ(&currentClock(), &clock);
    clock.now = {2013, 6, 27, 9, 5, 9};
    const DateTime now = currentDateTime();
    EXPECT_EQ(now, makeDateTime(2013, 6, 27, 9, 5, 9));
    EXPECT_EQ(dateText(dateOnly(now)), "2013年6月27日");
    EXPECT_EQ(clockText(hourOf(now), minuteOf(now), secondOf(now)), " 9:05:09");
    clock.now = {2013, 6, 28, 0, 0, 0};
    EXPECT_EQ(currentDateTime(), 41453.0);
}

TEST_F(CurrentDateTime, NullRestoresTheHostClockInWholeSeconds) {
    setClock(&clock);
    setClock(nullptr);
    EXPECT_NE(&currentClock(), &clock);
    const DateTime first = currentDateTime();
    const DateTime second = currentDateTime();
    EXPECT_LE(second - first, 2.0 * secondInDays);
    EXPECT_GE(second, first);
    const DateTimeParts parts = partsOf(first);
    EXPECT_EQ(
        makeDateTime(parts.year, parts.month, parts.day, parts.hour, parts.minute, parts.second),
        first);
    // Local time is within a day of the universal time now.
    const double universal = 25569.0 + static_cast<double>(std::time(nullptr)) / 86400.0;
    EXPECT_NEAR(first, universal, 1.0);
}

} // namespace
} // namespace rudi
