// The event reminder: at the second set in 日期框1 and 日期框2 and applied with 确定, the tick
// shows the message of 编辑框3 in a box titled 事件提醒, or, with 选择框2 (定时关机) checked,
// starts "Shutdown -s" and shows nothing. Also the long-form count of twenty events in a row.
#include "tests/e2e/driver/checks.h"
#include "tests/e2e/driver/events.h"
#include "tests/e2e/driver/input.h"
#include "tests/e2e/driver/inspect.h"
#include "tests/e2e/driver/steps.h"
#include "tests/e2e/driver/text.h"

#include <algorithm>
#include <system_error>
#include <vector>

namespace e2e {

namespace fs = std::filesystem;

void checkEventReminder(Check& check, const Setup& setup) {
    RudiRun rudi(check, setup, L"event", Configuration{}); // 25 minutes: no rest comes
    rudi.start();
    rudi.waitForMainWindow();

    const std::wstring message = L"三点开会。\r\n带上 \"周报\"！";
    if (!typeInto(check, rudi, rudi.control(ids::eventMessageEdit), L"编辑框3", message)) {
        return;
    }
    const SYSTEMTIME when = secondsAhead(4);
    if (!setEventTime(check, rudi, when) || !clickOk(check, rudi)) {
        return;
    }
    const EventSeen seen = watchForEventBox(rudi, msOf(when) + 3000);
    if (seen.box == nullptr) {
        check.abort(L"no box titled 事件提醒 from before " + clockShown(msOf(when)) +
                    L" to 2 s after the event second (event time " + quote(eventTimeText(when)) +
                    L")" + (rudi.running() ? L"" : L"; rudi has ended"));
    }
    std::wstring timing;
    check.expect(withinSecond(when, seen.seenAtMs, timing),
                 L"the event box came outside its second: " + timing);
    check.note(L"event box " + timing);
    check.expectEqual(L"the event box's class", className(seen.box), L"#32770");
    expectEventBox(check, rudi, seen.box, message);
    Sleep(300); // painted
    saveScreenshot(check, setup, L"event-box.png");
    if (!dismissBox(check, seen.box, L"the event box")) {
        return;
    }
    check.expect(waitUntil([&] { return IsWindowEnabled(rudi.mainWindow()) != FALSE; }, 2000),
                 L"the main window is still disabled after the event box was dismissed");
    // The ticks of the next seconds do not fire the event again.
    const EventSeen again = watchForEventBox(rudi, localNowMs() + 1500);
    check.expect(again.box == nullptr, L"a second event box came after the first was dismissed");
    check.expect(rudi.running(), L"rudi ended after the event box was dismissed");

    // With 选择框2 checked at the event second: "Shutdown -s" and no box.
    std::error_code ignored;
    fs::remove(setup.recorderLog, ignored);
    if (!showFromTray(check, rudi)) {
        return;
    }
    sendTo(rudi.control(ids::shutdownBox), BM_CLICK);
    if (!check.expect(sendTo(rudi.control(ids::shutdownBox), BM_GETCHECK) == BST_CHECKED,
                      L"a click on 选择框2 did not check it")) {
        return;
    }
    const SYSTEMTIME shutdownAt = secondsAhead(4);
    if (!setEventTime(check, rudi, shutdownAt) || !clickOk(check, rudi)) {
        return;
    }
    const EventSeen boxed = watchForEventBox(rudi, msOf(shutdownAt) + 2000);
    check.expect(boxed.box == nullptr,
                 L"with 选择框2 checked the event showed a box titled 事件提醒");
    if (boxed.box != nullptr) {
        dismissBox(check, boxed.box, L"the event box");
    }
    waitUntil([&] { return !recorderLog(setup.recorderLog).empty(); }, 3000);
    Sleep(500); // anything more would have come with it
    const std::vector<std::wstring> lines = recorderLog(setup.recorderLog);
    check.expect(lines == std::vector<std::wstring>{L"Shutdown -s"},
                 L"at the event with 选择框2 checked the shutdown tool was started " +
                     shownLines(lines) + L", expected [\"Shutdown -s\"]");
    check.expect(rudi.running(), L"rudi ended after the timed shutdown was started");
}

void checkTwentyEvents(Check& check, const Setup& setup) {
    RudiRun rudi(check, setup, L"events-20", Configuration{});
    rudi.start();
    rudi.waitForMainWindow();
    constexpr int rounds = 20;
    int fired = 0, inSecond = 0;
    std::vector<long long> offsets; // ms into the event second at which the box was seen
    for (int i = 1; i <= rounds; ++i) {
        const std::wstring what = L"event " + std::to_wstring(i);
        if (i > 1 && !showFromTray(check, rudi)) {
            break;
        }
        const std::wstring message = L"第" + std::to_wstring(i) + L"个事件";
        sendTo(rudi.control(ids::eventMessageEdit), WM_SETTEXT, 0,
               reinterpret_cast<LPARAM>(message.c_str()));
        const SYSTEMTIME when = secondsAhead(3);
        if (!setEventTime(check, rudi, when) || !clickOk(check, rudi)) {
            break;
        }
        const EventSeen seen = watchForEventBox(rudi, msOf(when) + 3000);
        if (seen.box == nullptr) {
            check.fail(what + L" (" + quote(eventTimeText(when)) + L"): no box");
            if (!rudi.running()) {
                break;
            }
            continue;
        }
        ++fired;
        std::wstring timing;
        if (withinSecond(when, seen.seenAtMs, timing)) {
            ++inSecond;
            offsets.push_back(seen.seenAtMs - msOf(when));
        } else {
            check.fail(what + L": the box came outside its second: " + timing);
        }
        const MessageBoxParts parts = messageBoxParts(seen.box);
        check.expect(parts.text != nullptr && windowText(parts.text) == message,
                     what + L": the box shows " +
                         quote(parts.text ? windowText(parts.text) : std::wstring()) +
                         L", expected " + quote(message));
        if (!dismissBox(check, seen.box, what + L"'s box")) {
            break;
        }
    }
    std::wstring figures = std::to_wstring(inSecond) + L" of " + std::to_wstring(rounds) +
                           L" events fired within their second (" + std::to_wstring(fired) +
                           L" boxes in all)";
    if (!offsets.empty()) {
        std::sort(offsets.begin(), offsets.end());
        figures += L"; seen " + std::to_wstring(offsets.front()) + L" to " +
                   std::to_wstring(offsets.back()) + L" ms into the second, median " +
                   std::to_wstring(offsets[offsets.size() / 2]) + L" ms";
    }
    check.note(figures);
    check.expect(inSecond == rounds, figures);
}

} // namespace e2e
