// The one-second tick driven through the program: countdown, rest window, event reminder.
#include "engine/date_time.h"
#include "engine/state.h"
#include "settings/record_database.h"
#include "settings/settings_store.h"
#include "tests/support/program_fixture.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include <gtest/gtest.h>

namespace rudi::testing {
namespace {

constexpr WindowName main = WindowName::main;
constexpr WindowName rest = WindowName::rest;

class TickTest : public ProgramTest {
  protected:
    // Another start of the program on another configuration, for a table of cases.
    std::unique_ptr<FakeRuntime> startAgain(const Settings& settings) {
        resetState();
        databases() = RecordDatabase{};
        auto fresh = std::make_unique<FakeRuntime>();
        fresh->programDir = folder.path();
        writeConfiguration({settings});
        fresh->start();
        return fresh;
    }
    Text countdown() { return rt.text(main, "标签7"); }
    Text restCaption() { return rt.text(rest, "透明标签2"); }
};

TEST_F(TickTest, IntervalOfOneMinuteOpensTheRestWindowOnTheSixtiethTick) {
    startWith({Settings{.interval = "1"}});
    EXPECT_EQ(countdown(), "") << "the label stays empty until the first tick";
    EXPECT_EQ(state().secondsToRest, 60);

    ticks(1);
    EXPECT_EQ(countdown(), "到下次提醒还有59秒。");
    ticks(58);
    EXPECT_FALSE(rt.windowExists(rest));
    EXPECT_EQ(countdown(), "到下次提醒还有1秒。");

    ticks(1);
    ASSERT_TRUE(rt.windowExists(rest));
    EXPECT_EQ(countdown(), "到下次提醒还有0秒。");
    EXPECT_EQ(restCaption(), "已休息 1 秒  按ESC返回");
    ticks(1);
    EXPECT_EQ(restCaption(), "已休息 2 秒  按ESC返回");
    EXPECT_EQ(countdown(), "到下次提醒还有0秒。") << "the countdown is not refreshed during a rest";
}

TEST_F(TickTest, CountdownRunsBelowZeroDuringARestAndRestartsFromTheIntervalTypedWhenItEnds) {
    startWith({Settings{.interval = "1"}});
    ticks(60);
    ASSERT_TRUE(rt.windowExists(rest));
    ticks(5);
    EXPECT_EQ(state().secondsToRest, -5);

    typeInto("编辑框1", "2"); // typed, never applied
    rt.click(rest, "按钮1");
    EXPECT_FALSE(rt.windowExists(rest));
    EXPECT_EQ(state().secondsToRest, 120);
    ticks(1);
    EXPECT_EQ(countdown(), "到下次提醒还有119秒。");
}

TEST_F(TickTest, EscClosesTheRestWindowAndRestartsTheCountdown) {
    startWith({Settings{.interval = "1"}});
    ticks(62);
    rt.close(rest);
    EXPECT_FALSE(rt.windowExists(rest));
    EXPECT_EQ(state().secondsToRest, 60);
    EXPECT_FALSE(rt.tunePlaying);
    ticks(60);
    EXPECT_TRUE(rt.windowExists(rest)) << "the next rest comes a full interval after this one";
}

TEST_F(TickTest, IntervalsThatAreNotPositiveNeverOpenTheRestWindow) {
    for (const char* interval : {"0", "-3", "abc", ""}) {
        SCOPED_TRACE(interval);
        const auto fresh = startAgain(Settings{.interval = interval});
        for (int i = 0; i < 200; ++i) {
            fresh->tick();
        }
        EXPECT_FALSE(fresh->windowExists(rest));
        const std::int32_t start = intervalInSeconds(interval);
        EXPECT_EQ(fresh->text(main, "标签7"), "到下次提醒还有" + integerText(start - 200) + "秒。");
    }
}

TEST_F(TickTest, LoadingTheOpenRestWindowOnlyActivatesIt) {
    startWith({Settings{.interval = "1"}});
    ticks(60);
    ASSERT_TRUE(rt.windowExists(rest));
    ticks(9);
    rt.click(main, "按钮1"); // 确定 during the rest: the countdown restarts at 60
    ticks(60);
    EXPECT_EQ(rt.window(rest)->activations, 1);
    EXPECT_EQ(restCaption(), "已休息 70 秒  按ESC返回") << "the counter goes on";
    EXPECT_EQ(std::count(rt.events.begin(), rt.events.end(), "created rest"), 1);
}

struct EventCase {
    const char* name;
    WallClockTime event; // the picked date and time
    WallClockTime start; // the clock when the settings are applied
};

class EventTest : public TickTest, public ::testing::WithParamInterface<EventCase> {};

TEST_P(EventTest, FiresOnlyInItsOwnSecond) {
    const EventCase& c = GetParam();
    clock.set(c.start);
    startWith({Settings{.eventMessage = "开会"}});
    const DateTime date = makeDateTime(c.event.year, c.event.month, c.event.day, 0, 0, 0);
    const DateTime time = makeDateTime(2000, 1, 1, c.event.hour, c.event.minute, c.event.second);
    rt.setDateTimeValue(main, "日期框1", date);
    rt.setDateTimeValue(main, "日期框2", time);
    rt.click(main, "按钮1");

    // Every tick up to the second before the event: nothing.
    const DateTime startTime = makeDateTime(c.start.year, c.start.month, c.start.day, c.start.hour,
                                            c.start.minute, c.start.second);
    const int seconds = static_cast<int>(std::lround((date + (time - 36526) - startTime) * 86400));
    ASSERT_GT(seconds, 0);
    ticks(seconds - 1);
    clock.advance(1);
    EXPECT_TRUE(rt.messageBoxes.empty());
    rt.tick();
    ASSERT_EQ(rt.messageBoxes.size(), 1u);
    EXPECT_EQ(rt.messageBoxes[0].text, "开会");
    EXPECT_EQ(rt.messageBoxes[0].title, "事件提醒");
    ticks(3);
    EXPECT_EQ(rt.messageBoxes.size(), 1u) << "later seconds do not fire again";
}

INSTANTIATE_TEST_SUITE_P(
    Times, EventTest,
    ::testing::Values(EventCase{"afternoon", {2013, 6, 27, 13, 5, 9}, {2013, 6, 27, 13, 4, 50}},
                      EventCase{"morning", {2013, 6, 27, 9, 5, 9}, {2013, 6, 27, 9, 4, 50}},
                      EventCase{"midnight", {2013, 6, 28, 0, 0, 0}, {2013, 6, 27, 23, 59, 50}},
                      EventCase{
                          "lastSecond", {2013, 6, 27, 23, 59, 59}, {2013, 6, 27, 23, 59, 40}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TickTest, MorningEventStoredWithItsBlankIsMatchedByTheClockText) {
    clock.set({2013, 6, 27, 9, 5, 9});
    startWith({Settings{.eventTime = "2013年6月27日* 9:05:09"}});
    ASSERT_EQ(state().eventTimeParts, (TextArray{"2013年6月27日", " 9:05:09"}));
    rt.tick();
    EXPECT_EQ(rt.messageBoxes.size(), 1u);
}

TEST_F(TickTest, ClockTextIsBuiltFromThreeSeparateReadings) {
    // The tick reads the date, then hour, minute and second from fresh readings: a tick that
    // runs across a second boundary builds its clock text from two different seconds.
    clock.set({2013, 6, 27, 9, 5, 58});
    startWith({Settings{.eventTime = "2013年6月27日* 9:05:59"}});
    int reads = 0;
    clock.onRead = [&](WallClockTime& t) {
        if (++reads == 4) { // date, hour, minute: then the second changes before it is read
            t.second = 59;
        }
    };
    rt.tick();
    clock.onRead = nullptr;
    EXPECT_EQ(rt.messageBoxes.size(), 1u);
}

TEST_F(TickTest, EventBoxTakesTheRestWindowOutOfTheTopmostBandAndNestedTicksGoOn) {
    clock.set({2013, 6, 27, 10, 0, 0});
    startWith({Settings{.interval = "1", .eventTime = "2013年6月27日*10:01:05"}});
    ticks(64); // the rest window opened at 10:01:00; now 10:01:04
    ASSERT_TRUE(rt.windowExists(rest));
    ASSERT_EQ(restCaption(), "已休息 5 秒  按ESC返回");
    bool topmostWhileOpen = true;
    rt.whileMessageBoxOpen = [&] {
        // The box's modal loop: two more seconds pass while it is open.
        topmostWhileOpen = rt.window(rest)->topmost;
        ticks(2);
        EXPECT_EQ(restCaption(), "已休息 7 秒  按ESC返回");
    };
    ticks(1); // 10:01:05
    ASSERT_EQ(rt.messageBoxes.size(), 1u) << "the nested ticks are in later seconds";
    EXPECT_FALSE(topmostWhileOpen);
    EXPECT_TRUE(rt.window(rest)->topmost);
    // The outer tick goes on with its own countdown and labels once the box is gone.
    EXPECT_EQ(state().secondsToRest, -7);
    EXPECT_EQ(restCaption(), "已休息 8 秒  按ESC返回");
}

TEST_F(TickTest, WithTimedShutdownTheEventStartsTheShutdownAndShowsNoBox) {
    clock.set({2013, 6, 27, 10, 0, 0});
    startWith({Settings{.eventTime = "2013年6月27日*10:00:01"}});
    rt.setChecked(main, "选择框2", true);
    ticks(1);
    EXPECT_TRUE(rt.messageBoxes.empty());
    ASSERT_EQ(rt.commandLines.size(), 1u);
    EXPECT_EQ(rt.commandLines[0], (std::pair<Text, bool>{"Shutdown -s", false}));
}

TEST_F(TickTest, AnEventTimeWithoutItsTwoPartsIsNoEvent) {
    // Such a file once stopped the program a second after every start, before the user could
    // set another time. Now the event simply never fires and the countdown goes on.
    clock.set({2013, 6, 27, 10, 0, 0});
    for (const char* eventTime : {"", "2013年6月27日", "2013年6月27日*", "*10:00:01"}) {
        SCOPED_TRACE(eventTime);
        const auto fresh = startAgain(Settings{.eventTime = eventTime});
        fresh->tick();
        fresh->tick();
        EXPECT_FALSE(fresh->exitCode.has_value());
        EXPECT_TRUE(fresh->messageBoxes.empty());
        EXPECT_EQ(state().secondsToRest, 2700 - 2);
    }
}

} // namespace
} // namespace rudi::testing
