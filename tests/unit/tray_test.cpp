// The tray icon: its mouse messages, its menu, and the two ways the program ends.
#include "engine/state.h"
#include "runtime/tray.h"
#include "tests/support/program_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace rudi::testing {
namespace {

constexpr WindowName main = WindowName::main;
constexpr WindowName rest = WindowName::rest;

TEST(TrayCodes, MouseMessagesMapToTrayActionCodes) {
    struct Case {
        std::uint32_t message;
        std::optional<std::int32_t> code;
    };
    for (const Case& c :
         {Case{0x0202, 1}, Case{0x0203, 2}, Case{0x0205, 3}, Case{0x007B, 3},
          Case{0x0201, std::nullopt}, Case{0x0204, std::nullopt}, Case{0x0200, std::nullopt},
          Case{0x0206, std::nullopt}, Case{0x0400, std::nullopt}}) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(trayActionCode(c.message), c.code);
    }
}

TEST(TrayCodes, MenuOpensRightAlignedFivePixelsLeftOfAndAboveTheCursor) {
    EXPECT_EQ(trayMenuAnchor({1000, 740}), (Point{995, 735}));
    EXPECT_EQ(trayMenuAnchor({-1200, 3}), (Point{-1205, -2})); // a monitor left of the primary
}

class TrayTest : public ProgramTest {};

TEST_F(TrayTest, CreationInstallsTheIconBeforeLoadingTheSettings) {
    startWith();
    EXPECT_EQ(rt.trayCalls, (std::vector<std::string>{"add rudi"}));
    EXPECT_TRUE(rt.themedLook);
    EXPECT_EQ(rt.control(main, "日期框2").dateTimeFormat, "HH:mm:ss");
}

TEST_F(TrayTest, DoubleClickAndShowBringTheHiddenWindowBack) {
    startWith();
    rt.click(main, "按钮2"); // 取消
    EXPECT_FALSE(rt.windowVisible(main));
    rt.trayEvent(1); // the first button-up of a double-click: nothing
    EXPECT_FALSE(rt.windowVisible(main));
    rt.trayEvent(2);
    EXPECT_TRUE(rt.windowVisible(main));
    rt.trayEvent(1);

    rt.click(main, "按钮2");
    rt.chooseMenuItem("显示");
    EXPECT_TRUE(rt.windowVisible(main));
    rt.chooseMenuItem("显示"); // already visible: only activated
    EXPECT_EQ(rt.window(main)->activations, 1);
}

TEST_F(TrayTest, RightClickPopsUpTheTrayMenu) {
    startWith();
    rt.trayEvent(3);
    EXPECT_EQ(rt.trayCalls.back(), "menu 托盘菜单");
    rt.trayEvent(7); // an unknown code does nothing
    EXPECT_EQ(rt.trayCalls.size(), 2u);
}

TEST_F(TrayTest, ExitWithTheRestWindowOpenRunsNoClosingHandler) {
    startWith({Settings{.interval = "1"}});
    ticks(60);
    ASSERT_TRUE(rt.windowExists(rest));
    EXPECT_THROW(rt.chooseMenuItem("退出"), ProgramEnded);
    EXPECT_EQ(rt.exitCode, 0);
    EXPECT_EQ(rt.exitCleanups, 1);
    EXPECT_FALSE(rt.trayIconPresent);
    EXPECT_FALSE(rt.windowExists(rest));
    EXPECT_FALSE(rt.windowExists(main));
    EXPECT_EQ(std::count(rt.events.begin(), rt.events.end(), "torn down rest"), 1);
    EXPECT_EQ(std::count(rt.events.begin(), rt.events.end(), "destroyed rest"), 0);
}

TEST_F(TrayTest, ClosingTheMainWindowRemovesTheIconAndEndsTheProgram) {
    startWith();
    rt.close(main);
    EXPECT_FALSE(rt.trayIconPresent);
    EXPECT_EQ(rt.trayCalls.back(), "remove");
    EXPECT_EQ(rt.exitCode, 0);
    EXPECT_EQ(rt.exitCleanups, 1);
}

} // namespace
} // namespace rudi::testing
