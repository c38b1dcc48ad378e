#include "ui/rest_window.h"

#include "engine/state.h"

#include <algorithm>

namespace rudi {

namespace {

constexpr WindowName rest = WindowName::rest;

// Window geometry goes through doubles and is truncated toward zero.
int truncated(double value) {
    return static_cast<int>(truncateToInteger(value));
}

void restartCountdown(Runtime& rt) {
    state().secondsToRest = intervalInSeconds(rt.text(WindowName::main, "编辑框1"));
}

void onRestWindowClicked(Runtime& rt, std::string_view control) {
    if (control == "按钮1") {
        onBackToWork(rt);
    }
}

constexpr std::int32_t largestWindowWidth = 32767;

} // namespace

void onRestWindowCreated(Runtime& rt) {
    rt.enableMaximizeBox(rest);
    rt.maximizeWindow(rest);

    rt.setGeometry(rest, "按钮1", Geometry::left, truncated(rt.screenSize().width / 2.0 - 35));
    rt.setGeometry(rest, "按钮1", Geometry::top, truncated(rt.screenSize().height / 2.0 + 50));

    const std::int32_t n = byteLength(rt.text(WindowName::main, "编辑框2"));
    // Window sizes are 16-bit: the window system cuts a wider label at its left end to the
    // largest width, which puts a very long message wholly off the screen. The label keeps its
    // centre instead, so the middle of the message shows as with any message too wide to fit.
    rt.setGeometry(rest, "透明标签1", Geometry::width,
                   std::min(truncated(n * 10.0 + 10), largestWindowWidth));
    rt.setGeometry(rest, "透明标签1", Geometry::left,
                   truncated(rt.screenSize().width / 2.0 -
                             rt.geometry(rest, "透明标签1", Geometry::width) / 2.0));
    rt.setGeometry(rest, "透明标签1", Geometry::top, truncated(rt.screenSize().height / 2.0 - 50));
    rt.setText(rest, "透明标签1", rt.text(WindowName::main, "编辑框2"));

    rt.setGeometry(rest, "透明标签2", Geometry::width, 260);
    rt.setGeometry(rest, "透明标签2", Geometry::left,
                   truncated(rt.screenSize().width / 2.0 -
                             rt.geometry(rest, "透明标签2", Geometry::width) / 2.0));
    rt.setGeometry(rest, "透明标签2", Geometry::top, truncated(rt.screenSize().height / 2.0 - 10));

    rt.makeTranslucent(rest, 200);
    state().restSeconds = 0;
}

void onBackToWork(Runtime& rt) {
    restartCountdown(rt);
    rt.destroyWindow(rest);
}

void onRestWindowClosing(Runtime& rt) {
    restartCountdown(rt);
}

WindowHandlers restWindowHandlers() {
    WindowHandlers h;
    h.created = onRestWindowCreated;
    h.willBeDestroyed = onRestWindowClosing;
    h.clicked = onRestWindowClicked;
    return h;
}

} // namespace rudi
