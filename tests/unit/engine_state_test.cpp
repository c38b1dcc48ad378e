#include "engine/state.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace rudi {
namespace {

TEST(IntervalInSeconds, MinutesTimesSixtyKeepingTheLow32Bits) {
    const struct {
        std::string text;
        std::int32_t seconds;
    } cases[] = {
        {"45", 2700},
        {"1", 60},
        {"0", 0},
        {"abc", 0},
        {"", 0},
        {"\xA3\xB4\xA3\xB5", 2700}, // full-width 45
        {"\xA1\xA1"
         "45",
         2700},               // after an ideographic space
        {"45\xC4\xEA", 2700}, // trailing characters are ignored
        {"-45", -2700},
        {"-1", -60},
        {"4294967341", 2700},      // the text wraps to 45 first
        {"35791394", 2147483640},  // the largest interval that fits
        {"35791395", -2147483596}, // 2147483700 keeps its low 32 bits
        {"71582788", -16},         // 4294967280 = 2^32 - 16
        {"2147483647", -60},       // 128849018820 = 30 * 2^32 - 60
        {"-2147483648", 0},        // -30 * 2^32
        {"2147483648", 0},         // wraps to -2147483648 first
        {"-35791395", 2147483596},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(intervalInSeconds(c.text), c.seconds);
    }
    EXPECT_EQ(intervalInSeconds(std::string_view{}), 0);
}

TEST(ProgramState, ResetRestoresEveryInitialValue) {
    ProgramState& s = state();
    s.restIntervalText = "45";
    s.secondsToRest = 2700;
    s.eventTimeParts = {"2013年6月27日", "13:05:09"};
    s.restSeconds = 12;
    s.restMessage = "rest";
    s.eventMessage = "event";
    s.eventTimeText = "2013年6月27日*13:05:09";
    s.autoRun = 1;

    resetState();

    EXPECT_EQ(&state(), &s);
    EXPECT_TRUE(s.restIntervalText.empty());
    EXPECT_EQ(s.secondsToRest, 0);
    EXPECT_EQ(memberCount(s.eventTimeParts), 0);
    EXPECT_EQ(s.restSeconds, 0);
    EXPECT_TRUE(s.restMessage.empty());
    EXPECT_TRUE(s.eventMessage.empty());
    EXPECT_TRUE(s.eventTimeText.empty());
    EXPECT_EQ(s.autoRun, 0);
}

} // namespace
} // namespace rudi
