// The Windows clock: the local time the system shows, the same the date pickers and the
// timer's alignment use (the C run time's local time would follow a TZ variable instead).
#pragma once

#include "engine/date_time.h"

namespace rudi::win32 {

class LocalClock final : public Clock {
  public:
    WallClockTime localNow() override;
};

} // namespace rudi::win32
