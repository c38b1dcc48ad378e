// The rest window's creation, its geometry from the screen size, and the ways it ends.
#include "engine/state.h"
#include "tests/support/program_fixture.h"

#include <gtest/gtest.h>

namespace rudi::testing {
namespace {

constexpr WindowName main = WindowName::main;
constexpr WindowName rest = WindowName::rest;

struct GeometryCase {
    int screenWidth, screenHeight;
    const char* message;
    int buttonLeft, buttonTop;
    int messageLeft, messageTop, messageWidth;
    int counterLeft, counterTop;
};

class RestWindowGeometry : public ProgramTest,
                           public ::testing::WithParamInterface<GeometryCase> {};

TEST_P(RestWindowGeometry, ControlsArePlacedFromThePrimaryScreen) {
    const GeometryCase& c = GetParam();
    rt.screen = {c.screenWidth, c.screenHeight};
    startWith();
    typeInto("编辑框2", c.message); // what the box holds now, applied or not
    rt.loadWindow(rest);

    auto at = [&](std::string_view control, Geometry g) { return rt.geometry(rest, control, g); };
    EXPECT_EQ(at("按钮1", Geometry::left), c.buttonLeft);
    EXPECT_EQ(at("按钮1", Geometry::top), c.buttonTop);
    EXPECT_EQ(at("透明标签1", Geometry::left), c.messageLeft);
    EXPECT_EQ(at("透明标签1", Geometry::top), c.messageTop);
    EXPECT_EQ(at("透明标签1", Geometry::width), c.messageWidth);
    EXPECT_EQ(rt.text(rest, "透明标签1"), c.message);
    EXPECT_EQ(at("透明标签2", Geometry::left), c.counterLeft);
    EXPECT_EQ(at("透明标签2", Geometry::top), c.counterTop);
    EXPECT_EQ(at("透明标签2", Geometry::width), 260);
}

INSTANTIATE_TEST_SUITE_P(
    Screens, RestWindowGeometry,
    ::testing::Values(
        // 10 bytes of message on 1024 x 768
        GeometryCase{1024, 768, "0123456789", 477, 434, 457, 334, 110, 382, 374},
        // odd sizes: halves are truncated
        GeometryCase{1365, 767, "0123456789", 647, 433, 627, 333, 110, 552, 373},
        // an empty message is 10 pixels wide; 40 bytes (20 Chinese characters) are 410
        GeometryCase{1024, 768, "", 477, 434, 507, 334, 10, 382, 374},
        GeometryCase{1024, 768, "一二三四五六七八九十一二三四五六七八九十", 477, 434, 307, 334, 410,
                     382, 374},
        // a message wider than the screen reaches past its left edge
        GeometryCase{
            640, 480,
            "休息休息休息休息休息休息休息休息休息休息休息休息休息休息休息休息休息休息休息休息", 285,
            290, -85, 190, 810, 190, 230}));

// The label grows 10 pixels a byte up to the largest window width, and stays centred there.
TEST_F(ProgramTest, AVeryLongRestMessageKeepsItsLabelCentredAtTheLargestWidth) {
    const struct {
        std::size_t bytes;
        int left, width;
    } cases[] = {
        {3275, 512 - 16380, 32760}, {3276, 512 - 16383, 32767}, {100000, 512 - 16383, 32767}};
    rt.screen = {1024, 768};
    startWith();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        typeInto("编辑框2", std::string(c.bytes, 'x'));
        rt.loadWindow(rest);
        EXPECT_EQ(rt.geometry(rest, "透明标签1", Geometry::width), c.width);
        EXPECT_EQ(rt.geometry(rest, "透明标签1", Geometry::left), c.left);
        EXPECT_EQ(rt.text(rest, "透明标签1"), std::string(c.bytes, 'x'));
        rt.click(rest, "按钮1");
        ASSERT_EQ(rt.window(rest), nullptr);
    }
}

TEST_F(ProgramTest, RestWindowIsMaximizedTranslucentAndTopmostWithItsTune) {
    startWith();
    state().restSeconds = 42;
    rt.loadWindow(rest);
    const FakeWindow* w = rt.window(rest);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->maximizeBox);
    EXPECT_TRUE(w->maximized);
    EXPECT_EQ(w->alpha, 200);
    EXPECT_TRUE(w->topmost);
    EXPECT_TRUE(w->visible);
    EXPECT_TRUE(rt.tunePlaying);
    EXPECT_EQ(state().restSeconds, 0);
    EXPECT_EQ(rt.text(rest, "按钮1"), "开始工作");
}

struct EndCase {
    const char* how;
    const char* interval;
    std::int32_t expected;
};

class RestWindowEnd : public ProgramTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(RestWindowEnd, RestartsTheCountdownFromTheTypedInterval) {
    const EndCase& c = GetParam();
    startWith();
    rt.loadWindow(rest);
    state().secondsToRest = -77;
    typeInto("编辑框1", c.interval); // typed during the rest, never applied
    if (std::string_view(c.how) == "button") {
        rt.click(rest, "按钮1");
    } else {
        rt.close(rest);
    }
    EXPECT_FALSE(rt.windowExists(rest));
    EXPECT_FALSE(rt.tunePlaying);
    EXPECT_EQ(state().secondsToRest, c.expected);
    EXPECT_TRUE(rt.windowExists(main));
}

INSTANTIATE_TEST_SUITE_P(Ways, RestWindowEnd,
                         ::testing::Values(EndCase{"button", "3", 180}, EndCase{"esc", "3", 180},
                                           EndCase{"button", "abc", 0},
                                           EndCase{"esc", "-2", -120}));

TEST_F(ProgramTest, RestWindowHandlersWithoutTheMainWindowReadEmptyTexts) {
    // The main window can be closed while a rest goes on; the rest window then finds no
    // interval and no message: the countdown is 0 and the program ends with the rest.
    startWith();
    rt.loadWindow(rest);
    rt.close(main);
    ASSERT_TRUE(rt.windowExists(rest));
    EXPECT_FALSE(rt.exitCode.has_value()) << "the program goes on while the rest window is open";
    rt.click(rest, "按钮1");
    EXPECT_EQ(state().secondsToRest, 0);
    EXPECT_EQ(rt.exitCode, 0) << "no window is left";
}

} // namespace
} // namespace rudi::testing
