#include "runtime/win32/local_clock.h"

#include <windows.h>

namespace rudi::win32 {

WallClockTime LocalClock::localNow() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

} // namespace rudi::win32
