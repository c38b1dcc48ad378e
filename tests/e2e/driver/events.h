// The event reminder seen from outside: an event time a few seconds ahead, put into the pickers
// as the user would, and the message box that the tick shows for it, timed against the wall
// clock that rudi reads too.
#pragma once

#include "tests/e2e/driver/check.h"
#include "tests/e2e/driver/rudi_run.h"

#include <windows.h>

#include <string>

namespace e2e {

// Local wall-clock times in milliseconds (since 1601, as FILETIME counts), for differences.
long long localNowMs();
long long msOf(const SYSTEMTIME& time);
SYSTEMTIME timeOfMs(long long ms);

// The whole second `seconds` after the current one began: 3 gives a second that starts 2 to
// 3 seconds from now.
SYSTEMTIME secondsAhead(int seconds);

// The second as rudi stores its event time: "2013年6月27日* 9:05:09" (the hour padded with a
// blank to two places, minutes and seconds with zeros).
std::wstring eventTimeText(const SYSTEMTIME& second);
// "09:05:09.250", for messages.
std::wstring clockShown(long long ms);

// Puts the second into 日期框1 (its date) and 日期框2 (its time of day); a failure fails the
// check.
bool setEventTime(Check& check, const RudiRun& rudi, const SYSTEMTIME& second);

// The event box: a visible top-level "#32770" of rudi titled 事件提醒, or null.
HWND eventBox(const RudiRun& rudi);

struct EventSeen {
    HWND box = nullptr;
    long long seenAtMs = 0; // when it was first seen, local time
};
// Watches for the event box until the local time `untilMs`, every 20 ms: finer than the 50 ms
// of the other waits, since the moment it is seen is what is measured.
EventSeen watchForEventBox(const RudiRun& rudi, long long untilMs);

// Where a box seen at `seenAtMs` falls against the event second: "in the event second, 35 ms
// into it", or how early or late it came. True when it came within that second.
bool withinSecond(const SYSTEMTIME& second, long long seenAtMs, std::wstring& shown);

// The event box as it should be: no owner, the message as its text, one OK button, no icon,
// in front, and task-modal (the main window disabled while it is open).
void expectEventBox(Check& check, const RudiRun& rudi, HWND box, const std::wstring& message);

// Dismisses a message box as the user does, with a click on its OK button or, `withEnter`,
// with the Enter key on the box in front (its OK button has the focus), and waits until it is
// gone.
bool dismissBox(Check& check, HWND box, const std::wstring& what, bool withEnter = false);

} // namespace e2e
