#include "tests/e2e/driver/events.h"

#include "tests/e2e/driver/input.h"
#include "tests/e2e/driver/inspect.h"
#include "tests/e2e/driver/steps.h"
#include "tests/e2e/driver/text.h"

#include <cwchar>

namespace e2e {

long long msOf(const SYSTEMTIME& time) {
    FILETIME file{};
    SystemTimeToFileTime(&time, &file);
    ULARGE_INTEGER value{};
    value.LowPart = file.dwLowDateTime;
    value.HighPart = file.dwHighDateTime;
    return static_cast<long long>(value.QuadPart / 10000);
}

SYSTEMTIME timeOfMs(long long ms) {
    ULARGE_INTEGER value{};
    value.QuadPart = static_cast<unsigned long long>(ms) * 10000;
    FILETIME file{value.LowPart, value.HighPart};
    SYSTEMTIME time{};
    FileTimeToSystemTime(&file, &time);
    return time;
}

long long localNowMs() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return msOf(now);
}

SYSTEMTIME secondsAhead(int seconds) {
    const long long now = localNowMs();
    return timeOfMs(now - now % 1000 + seconds * 1000LL);
}

std::wstring eventTimeText(const SYSTEMTIME& second) {
    wchar_t text[64];
    std::swprintf(text, 64, L"%u年%u月%u日*%2u:%02u:%02u", second.wYear, second.wMonth, second.wDay,
                  second.wHour, second.wMinute, second.wSecond);
    return text;
}

std::wstring clockShown(long long ms) {
    const SYSTEMTIME t = timeOfMs(ms);
    wchar_t text[32];
    std::swprintf(text, 32, L"%02u:%02u:%02u.%03u", t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    return text;
}

bool setEventTime(Check& check, const RudiRun& rudi, const SYSTEMTIME& second) {
    if (!setPickerValue(rudi.process(), rudi.control(ids::datePicker), second) ||
        !setPickerValue(rudi.process(), rudi.control(ids::timePicker), second)) {
        check.fail(L"the pickers do not take " + eventTimeText(second) + L" (DTM_SETSYSTEMTIME)");
        return false;
    }
    return true;
}

HWND eventBox(const RudiRun& rudi) {
    for (HWND w : topLevelWindows(rudi.processId(), L"#32770")) {
        if (IsWindowVisible(w) && windowText(w) == L"事件提醒") {
            return w;
        }
    }
    return nullptr;
}

EventSeen watchForEventBox(const RudiRun& rudi, long long untilMs) {
    EventSeen seen;
    for (;;) {
        if (HWND box = eventBox(rudi)) {
            seen.box = box;
            seen.seenAtMs = localNowMs();
            return seen;
        }
        if (localNowMs() >= untilMs || !rudi.running()) {
            return seen;
        }
        Sleep(20);
    }
}

bool withinSecond(const SYSTEMTIME& second, long long seenAtMs, std::wstring& shown) {
    const long long into = seenAtMs - msOf(second);
    if (into < 0) {
        shown = std::to_wstring(-into) + L" ms before the event second " + clockShown(msOf(second));
        return false;
    }
    if (into >= 1000) {
        shown = std::to_wstring(into - 1000) + L" ms after the end of the event second " +
                clockShown(msOf(second));
        return false;
    }
    shown = L"in the event second, seen " + std::to_wstring(into) + L" ms into it";
    return true;
}

void expectEventBox(Check& check, const RudiRun& rudi, HWND box, const std::wstring& message) {
    const MessageBoxParts parts = expectOkBoxWithText(check, box, L"the event box", message);
    // Wine's box keeps its icon control, empty, when it is given no icon.
    check.expect(parts.icon == nullptr || sendTo(parts.icon, STM_GETICON) == 0,
                 L"the event box shows an icon; it should have none");
    // In front of everything: the box itself is what the screen shows at its middle. (Wine
    // gives MB_TOPMOST boxes no WS_EX_TOPMOST, so the style is not asked.)
    const RECT r = windowRect(box);
    const HWND atMiddle = WindowFromPoint({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    check.expect(atMiddle != nullptr && GetAncestor(atMiddle, GA_ROOT) == box,
                 L"another window covers the event box: " + className(atMiddle) + L" " +
                     quote(windowText(atMiddle)));
    check.expect(GetForegroundWindow() == box, L"the event box is not the foreground window");
    // Task-modal: the program's windows take no input while it is open.
    check.expect(!IsWindowEnabled(rudi.mainWindow()),
                 L"the main window is enabled while the event box is open (not task-modal)");
}

bool dismissBox(Check& check, HWND box, const std::wstring& what, bool withEnter) {
    const MessageBoxParts parts = messageBoxParts(box);
    if (withEnter) {
        if (!check.expect(GetForegroundWindow() == box,
                          what + L" is not in front, so Enter would not reach it") ||
            !check.expect(parts.buttons.size() == 1 &&
                              focusOf(GetWindowThreadProcessId(box, nullptr)) == parts.buttons[0],
                          L"the OK button of " + what + L" does not have the focus") ||
            !check.expect(pressKey(VK_RETURN), L"Enter could not be pressed")) {
            return false;
        }
    } else if (parts.buttons.empty()) {
        check.fail(what + L" has no button to click");
        return false;
    } else if (!clickCentre(parts.buttons[0])) {
        POINT at{};
        GetCursorPos(&at);
        const RECT r = windowRect(parts.buttons[0]);
        check.fail(L"the pointer could not be moved onto the OK button of " + what + L" at " +
                   std::to_wstring((r.left + r.right) / 2) + L"," +
                   std::to_wstring((r.top + r.bottom) / 2) + L"; it is at " +
                   std::to_wstring(at.x) + L"," + std::to_wstring(at.y));
        return false;
    }
    if (!waitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 3000)) {
        check.fail(what + L" is still open 3 s after " +
                   (withEnter ? L"Enter" : L"a click on its OK button"));
        return false;
    }
    return true;
}

} // namespace e2e
