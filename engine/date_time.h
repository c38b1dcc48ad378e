// Date-times as OLE Automation dates, and the text forms the event reminder rests on.
#pragma once

#include "engine/texts.h"

#include <cstdint>

namespace rudi {

// Days since 1899-12-30 00:00 local time; the fraction is the time of day. Below zero the day
// is the whole part toward zero and the fraction, taken as positive, is still the time of day:
// -1.25 is 1899-12-29 06:00.
using DateTime = double;

// Every reading of a date-time first limits it to 0100-01-01 .. 9999-12-31 00:00:00. NaN
// reads as 0.0 (1899-12-30 00:00:00).
constexpr DateTime earliestDateTime = -657434.0;
constexpr DateTime latestDateTime = 2958465.0;

// Local wall-clock time in whole seconds.
struct WallClockTime {
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

// Where currentDateTime reads the time. Tests install their own.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual WallClockTime localNow() = 0;
};

// The clock currentDateTime reads; the host's local time unless replaced. Passing nullptr
// restores the host's clock.
void setClock(Clock* clock);
Clock& currentClock();

DateTime currentDateTime();

// Components read after clamping to 0100-01-01 .. 9999-12-31 and rounding to the second
// (half a second added above zero, subtracted otherwise).
struct DateTimeParts {
    int year, month, day, hour, minute, second;
};
DateTimeParts partsOf(DateTime value);

// The date-time of a proleptic Gregorian date and time of day. Components beyond their ranges
// carry over, as in a calendar: month 13 is January of the next year, day 0 the last day of
// the month before, second 60 the next minute, second -1 the last second of the day before.
// The result is not limited to the readable range.
DateTime makeDateTime(int year, int month, int day, int hour, int minute, int second);

DateTime dateOnly(DateTime value);
DateTime timeOfDay(DateTime value);
std::int32_t hourOf(DateTime value);
std::int32_t minuteOf(DateTime value);
std::int32_t secondOf(DateTime value);

Text dateText(DateTime value);
Text clockText(std::int32_t hour, std::int32_t minute, std::int32_t second);
Text storedTimeText(DateTime value);
Text buildEventTimeText(DateTime date, DateTime time);

} // namespace rudi
