// The one-second timer against the wall clock, on a simulated system timer that rounds every
// period up to its clock tick and adds a little latency, as Windows does.
#include "runtime/tick_timing.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace rudi {
namespace {

// Microseconds of wall-clock time at which a timer armed at `now` with `delay` ms fires.
long long firesAt(long long nowMicros, int delayMs, std::mt19937& random) {
    constexpr long long clockTick = 15625; // the default 15.625 ms timer resolution
    const long long due = nowMicros + delayMs * 1000LL;
    const long long rounded = (due + clockTick - 1) / clockTick * clockTick;
    return rounded + std::uniform_int_distribution<long long>(0, 4000)(random); // message latency
}

// Ticks in each wall-clock second over `seconds`, with a timer re-armed by `nextDelay`.
template <class NextDelay>
std::map<long long, int> ticksPerSecond(int seconds, NextDelay nextDelay) {
    std::mt19937 random(12345);
    std::map<long long, int> perSecond;
    long long now = 123456; // start at an odd moment
    for (int delay = nextDelay(now); now < seconds * 1000000LL;) {
        now = firesAt(now, delay, random);
        perSecond[now / 1000000]++;
        delay = nextDelay(now);
    }
    return perSecond;
}

TEST(TickTiming, EveryWallClockSecondGetsExactlyOneTick) {
    const auto perSecond = ticksPerSecond(20000, [](long long now) {
        return millisecondsToNextTick(static_cast<int>(now / 1000 % 1000));
    });
    for (long long second = 1; second < 20000; ++second) {
        const auto it = perSecond.find(second);
        ASSERT_NE(it, perSecond.end()) << "no tick in second " << second;
        ASSERT_EQ(it->second, 1) << "second " << second;
    }
}

TEST(TickTiming, APlainRepeatingTimerSkipsSeconds) {
    // The fault the re-arming mends: 1000 ms periods rounded up to 1015.6 ms slip behind the
    // wall clock and leave a second without a tick about every 64 seconds.
    const auto perSecond = ticksPerSecond(20000, [](long long) { return 1000; });
    int skipped = 0;
    for (long long second = 1; second < 19000; ++second) {
        skipped += perSecond.count(second) == 0 ? 1 : 0;
    }
    EXPECT_GT(skipped, 200);
}

TEST(TickTiming, DelayIsMeasuredFromTheMomentInTheSecond) {
    EXPECT_EQ(millisecondsToNextTick(0), 1000 + tickMarginMilliseconds);
    EXPECT_EQ(millisecondsToNextTick(999), 1 + tickMarginMilliseconds);
    EXPECT_EQ(millisecondsToNextTick(-5), millisecondsToNextTick(0)) << "a bad reading is safe";
    EXPECT_EQ(millisecondsToNextTick(1000), millisecondsToNextTick(0));
}

} // namespace
} // namespace rudi
