// The values the handlers of both windows share, and the one rule for the interval in seconds.
#pragma once

#include "engine/texts.h"

#include <cstdint>

namespace rudi {

struct ProgramState {
    Text restIntervalText; // the 提示频率 last loaded or applied
    std::int32_t secondsToRest = 0;
    TextArray eventTimeParts; // the stored 事件时间 split on "*": date text, stored time text
    std::int32_t restSeconds = 0;
    Text restMessage; // the copies below are written to the store by 确定 only
    Text eventMessage;
    Text eventTimeText;
    std::int32_t autoRun = 0;
};

// The one program state, touched only from the GUI thread.
ProgramState& state();

// Back to the initial values: the start of the program, and the exit clean-up.
void resetState();

// The interval text in minutes converted to seconds: textToInteger times 60.0 in double
// precision, truncated toward zero, the low 32 bits kept.
std::int32_t intervalInSeconds(std::string_view intervalText);

} // namespace rudi
