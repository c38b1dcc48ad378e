#include "engine/date_time.h"

#include <cmath>
#include <ctime>

namespace rudi {

namespace {

constexpr std::int64_t secondsPerDay = 86400;

// Division rounding toward minus infinity, for counts that may lie below zero.
template <std::int64_t divisor> constexpr std::int64_t floorDiv(std::int64_t value) {
    const std::int64_t quotient = value / divisor;
    return quotient * divisor > value ? quotient - 1 : quotient;
}

constexpr bool isLeapYear(std::int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// Days before the first of each month in a common year.
constexpr int daysBeforeMonth[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

// Proleptic Gregorian calendar counted in days from 0001-01-01 (day 0). The month is 1..12;
// the day may be any number and is simply added.
constexpr std::int64_t dayNumber(std::int64_t year, int month, std::int64_t day) {
    const std::int64_t before = year - 1;
    const std::int64_t leapDaysBefore =
        floorDiv<4>(before) - floorDiv<100>(before) + floorDiv<400>(before);
    const int leapDay = (month > 2 && isLeapYear(year)) ? 1 : 0;
    return 365 * before + leapDaysBefore + daysBeforeMonth[month - 1] + leapDay + day - 1;
}

// Day 0 of the date-time, 1899-12-30, in the count above.
constexpr std::int64_t dateTimeEpoch = dayNumber(1899, 12, 30);

static_assert(dayNumber(2000, 1, 1) - dateTimeEpoch == 36526);
static_assert(dayNumber(100, 1, 1) - dateTimeEpoch == -657434);
static_assert(dayNumber(9999, 12, 31) - dateTimeEpoch == 2958465);

struct CivilDate {
    int year, month, day;
};

// The inverse of dayNumber. A 400-year cycle has 146097 days; within it the first three
// centuries have 36524 days and the fourth 36525, a century has 24 four-year groups of 1461
// days and a last one a day shorter unless its last year is a multiple of 400, and a group
// has three years of 365 days and one of 366.
constexpr CivilDate civilDate(std::int64_t number) {
    const std::int64_t cycles = floorDiv<146097>(number);
    std::int64_t rest = number - cycles * 146097;
    std::int64_t centuries = rest / 36524;
    if (centuries > 3) {
        centuries = 3;
    }
    rest -= centuries * 36524;
    const std::int64_t groups = rest / 1461;
    rest -= groups * 1461;
    std::int64_t years = rest / 365;
    if (years > 3) {
        years = 3;
    }
    rest -= years * 365;
    const std::int64_t year = 1 + 400 * cycles + 100 * centuries + 4 * groups + years;
    const int dayOfYear = static_cast<int>(rest);
    const int leapDay = isLeapYear(year) ? 1 : 0;
    // Every month has at most 31 days, so this guess is the month itself or the one before.
    int month = dayOfYear / 31 + 1;
    if (month < 12 && dayOfYear >= daysBeforeMonth[month] + (month >= 2 ? leapDay : 0)) {
        ++month;
    }
    const int firstOfMonth = daysBeforeMonth[month - 1] + (month > 2 ? leapDay : 0);
    return {static_cast<int>(year), month, dayOfYear - firstOfMonth + 1};
}

static_assert(civilDate(dateTimeEpoch).year == 1899 && civilDate(dateTimeEpoch).day == 30);

DateTime limited(DateTime value) {
    if (std::isnan(value)) {
        return 0.0;
    }
    if (value < earliestDateTime) {
        return earliestDateTime;
    }
    if (value > latestDateTime) {
        return latestDateTime;
    }
    return value;
}

class HostClock final : public Clock {
  public:
    WallClockTime localNow() override {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
#ifdef _WIN32
        localtime_s(&local, &now);
#else
        localtime_r(&now, &local);
#endif
        return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                local.tm_hour,        local.tm_min,     local.tm_sec};
    }
};

Clock* installedClock = nullptr;

Clock& hostClock() {
    static HostClock clock;
    return clock;
}

} // namespace

void setClock(Clock* clock) {
    installedClock = clock;
}

Clock& currentClock() {
    return installedClock != nullptr ? *installedClock : hostClock();
}

DateTime currentDateTime() {
    const WallClockTime now = currentClock().localNow();
    return makeDateTime(now.year, now.month, now.day, now.hour, now.minute, now.second);
}

DateTimeParts partsOf(DateTime value) {
    const DateTime clamped = limited(value);
    constexpr double halfSecond = 0.5 / 86400.0;
    const double rounded = clamped > 0.0 ? clamped + halfSecond : clamped - halfSecond;
    // The day is the whole part toward zero; the fraction, as a positive amount, is the time
    // of day on both sides of zero. Both steps are exact in double arithmetic.
    const double wholeDays = std::trunc(rounded);
    const double fraction = std::fabs(rounded - wholeDays);
    auto seconds = static_cast<std::int64_t>(fraction * 86400.0);
    if (seconds >= secondsPerDay) {
        seconds = secondsPerDay - 1; // a fraction just below 1 whose product rounded up
    }
    const CivilDate date = civilDate(static_cast<std::int64_t>(wholeDays) + dateTimeEpoch);
    const int secondOfDay = static_cast<int>(seconds);
    return {date.year,       date.month, date.day, secondOfDay / 3600, secondOfDay / 60 % 60,
            secondOfDay % 60};
}

DateTime makeDateTime(int year, int month, int day, int hour, int minute, int second) {
    const std::int64_t monthsFromJanuary = static_cast<std::int64_t>(month) - 1;
    const std::int64_t fullYear = year + floorDiv<12>(monthsFromJanuary);
    const int monthOfYear =
        static_cast<int>(monthsFromJanuary - floorDiv<12>(monthsFromJanuary) * 12) + 1;
    const std::int64_t total =
        (dayNumber(fullYear, monthOfYear, day) - dateTimeEpoch) * secondsPerDay +
        static_cast<std::int64_t>(hour) * 3600 + static_cast<std::int64_t>(minute) * 60 + second;
    const std::int64_t days = floorDiv<secondsPerDay>(total);
    const double fraction = static_cast<double>(total - days * secondsPerDay) / 86400.0;
    // Below zero the time of day is counted away from zero, as the date-time reads it.
    const auto wholeDays = static_cast<double>(days);
    return days >= 0 ? wholeDays + fraction : wholeDays - fraction;
}

DateTime dateOnly(DateTime value) {
    const DateTimeParts parts = partsOf(value);
    return makeDateTime(parts.year, parts.month, parts.day, 0, 0, 0);
}

DateTime timeOfDay(DateTime value) {
    const DateTimeParts parts = partsOf(value);
    return makeDateTime(2000, 1, 1, parts.hour, parts.minute, parts.second);
}

std::int32_t hourOf(DateTime value) {
    return partsOf(value).hour;
}
std::int32_t minuteOf(DateTime value) {
    return partsOf(value).minute;
}
std::int32_t secondOf(DateTime value) {
    return partsOf(value).second;
}

Text dateText(DateTime value) {
    const DateTimeParts parts = partsOf(value);
    Text text = concatTexts({integerText(parts.year), "年", integerText(parts.month), "月",
                             integerText(parts.day), "日"});
    if (parts.second != 0) {
        text += concatTexts({integerText(parts.hour), "时", integerText(parts.minute), "分",
                             integerText(parts.second), "秒"});
    } else if (parts.minute != 0) {
        text += concatTexts({integerText(parts.hour), "时", integerText(parts.minute), "分"});
    } else if (parts.hour != 0) {
        text += concatTexts({integerText(parts.hour), "时"});
    }
    return text;
}

Text clockText(std::int32_t hour, std::int32_t minute, std::int32_t second) {
    const Text minutes = rightmostBytes(concatTexts({"0", integerText(minute)}), 2);
    const Text seconds = rightmostBytes(concatTexts({"0", integerText(second)}), 2);
    return rightmostBytes(concatTexts({" ", integerText(hour), ":", minutes, ":", seconds}), 8);
}

Text storedTimeText(DateTime value) {
    const DateTimeParts parts = partsOf(value);
    return clockText(parts.hour, parts.minute, parts.second);
}

Text buildEventTimeText(DateTime date, DateTime time) {
    return concatTexts({dateText(dateOnly(date)), "*", storedTimeText(timeOfDay(time))});
}

} // namespace rudi
