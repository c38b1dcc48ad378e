#include "engine/tick.h"

#include "engine/date_time.h"
#include "engine/state.h"
#include "runtime/runtime.h"
#include "system/shutdown.h"

namespace rudi {

namespace {

constexpr std::string_view countdownStart = "到下次提醒还有";
constexpr std::string_view countdownEnd = "秒。";
constexpr std::string_view restStart = "已休息 ";
constexpr std::string_view restEnd = " 秒  按ESC返回";
constexpr std::string_view eventTitle = "事件提醒";

// An event time whose text split into fewer than the two parts (date and time) is no event:
// it never fires, and the program goes on so that the user can set a new one.
bool eventTimeHasCome() {
    const TextArray& parts = state().eventTimeParts;
    const Text today = dateText(dateOnly(currentDateTime()));
    if (memberCount(parts) < 1 || compareTexts(today, parts[0]) != 0) {
        return false;
    }
    const std::int32_t hour = hourOf(currentDateTime());
    const std::int32_t minute = minuteOf(currentDateTime());
    const std::int32_t second = secondOf(currentDateTime());
    const Text now = clockText(hour, minute, second);
    return memberCount(parts) >= 2 && compareTexts(now, parts[1]) == 0;
}

void remindOfEvent(Runtime& rt) {
    if (rt.checked(WindowName::main, "选择框2") == 1) {
        startShutdown(rt);
        return;
    }
    if (rt.windowExists(WindowName::rest)) {
        rt.setAlwaysOnTop(WindowName::rest, false);
    }
    rt.messageBox(rt.text(WindowName::main, "编辑框3"), eventTitle);
    if (rt.windowExists(WindowName::rest)) {
        rt.setAlwaysOnTop(WindowName::rest, true);
    }
}

Text countdownCaption() {
    return concatTexts({countdownStart, integerText(state().secondsToRest), countdownEnd});
}

} // namespace

void oneSecondTick(Runtime& rt) {
    if (eventTimeHasCome()) {
        remindOfEvent(rt);
    }

    ProgramState& s = state();
    s.secondsToRest = static_cast<std::int32_t>(static_cast<std::uint32_t>(s.secondsToRest) - 1u);
    if (s.secondsToRest == 0) {
        rt.setText(WindowName::main, "标签7", countdownCaption());
        rt.loadWindow(WindowName::rest);
    }

    if (rt.windowExists(WindowName::rest)) {
        s.restSeconds = static_cast<std::int32_t>(static_cast<std::uint32_t>(s.restSeconds) + 1u);
        rt.setText(WindowName::rest, "透明标签2",
                   concatTexts({restStart, integerText(s.restSeconds), restEnd}));
    } else {
        rt.setText(WindowName::main, "标签7", countdownCaption());
    }
}

} // namespace rudi
