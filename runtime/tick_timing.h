// When the one-second timer fires next: shortly after the next wall-clock second begins, so
// every second gets exactly one tick however the system rounds timer periods.
#pragma once

namespace rudi {

// Margin after the second boundary, in milliseconds: larger than the clock's jitter, small
// enough that the tick still reads the second it was meant for.
inline constexpr int tickMarginMilliseconds = 30;

// The timer delay from a moment that lies millisecondsIntoSecond past a second boundary.
constexpr int millisecondsToNextTick(int millisecondsIntoSecond) {
    if (millisecondsIntoSecond < 0 || millisecondsIntoSecond > 999) {
        millisecondsIntoSecond = 0;
    }
    return 1000 - millisecondsIntoSecond + tickMarginMilliseconds;
}

} // namespace rudi
