// The rest window: with an interval of one minute it comes on the 60th tick, covers the screen,
// translucent and topmost with a taskbar button, its message and counter centred as the screen
// size says; an event that fires during the rest takes it out of the topmost band while its box
// is open; Esc ends the rest and the countdown starts again from the interval. One 60-second
// wait serves all of it.
#include "tests/e2e/driver/checks.h"
#include "tests/e2e/driver/events.h"
#include "tests/e2e/driver/input.h"
#include "tests/e2e/driver/inspect.h"
#include "tests/e2e/driver/screen.h"
#include "tests/e2e/driver/steps.h"
#include "tests/e2e/driver/text.h"

#include <cwchar>

namespace e2e {

namespace {

std::wstring counterText(int seconds) {
    return L"已休息 " + std::to_wstring(seconds) + L" 秒  按ESC返回";
}

// Positions and widths go through doubles and are truncated toward zero.
int truncated(double value) {
    return static_cast<int>(value);
}

std::wstring shownRect(const RECT& r) {
    return std::to_wstring(r.left) + L"," + std::to_wstring(r.top) + L" " +
           std::to_wstring(r.right - r.left) + L"×" + std::to_wstring(r.bottom - r.top);
}

struct Place {
    int id;
    const wchar_t* name;
    int left, top, width, height;
};

void expectStyles(Check& check, HWND rest) {
    const DWORD style = windowStyle(rest);
    const DWORD exStyle = windowExStyle(rest);
    const std::wstring shown = L" (style " + hex(style) + L", extended " + hex(exStyle) + L")";
    check.expect(IsZoomed(rest) != FALSE, L"the rest window is not maximized" + shown);
    check.expect((style & WS_MAXIMIZEBOX) != 0, L"the rest window lacks WS_MAXIMIZEBOX" + shown);
    const struct {
        DWORD bits;
        const wchar_t* name;
    } frame[] = {{WS_CAPTION, L"WS_CAPTION"},         {WS_BORDER, L"WS_BORDER"},
                 {WS_DLGFRAME, L"WS_DLGFRAME"},       {WS_THICKFRAME, L"WS_THICKFRAME"},
                 {WS_MINIMIZEBOX, L"WS_MINIMIZEBOX"}, {WS_SYSMENU, L"WS_SYSMENU"}};
    for (const auto& f : frame) {
        check.expect((style & f.bits) == 0, L"the rest window has " + std::wstring(f.name) + shown);
    }
    const struct {
        DWORD bits;
        const wchar_t* name;
        bool set;
    } extended[] = {{WS_EX_LAYERED, L"WS_EX_LAYERED", true},
                    {WS_EX_TOPMOST, L"WS_EX_TOPMOST", true},
                    {WS_EX_APPWINDOW, L"WS_EX_APPWINDOW (a taskbar button)", true},
                    {WS_EX_TOOLWINDOW, L"WS_EX_TOOLWINDOW (no taskbar button)", false},
                    {WS_EX_DLGMODALFRAME, L"WS_EX_DLGMODALFRAME", false},
                    {WS_EX_CLIENTEDGE, L"WS_EX_CLIENTEDGE", false},
                    {WS_EX_STATICEDGE, L"WS_EX_STATICEDGE", false}};
    for (const auto& e : extended) {
        check.expect(((exStyle & e.bits) != 0) == e.set, std::wstring(L"the rest window ") +
                                                             (e.set ? L"lacks " : L"has ") +
                                                             e.name + shown);
    }
    check.expect(GetWindow(rest, GW_OWNER) == nullptr, L"the rest window has an owner window");
    check.expectEqual(L"the rest window's caption", windowText(rest), L"");
    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    if (!GetLayeredWindowAttributes(rest, &key, &alpha, &flags)) {
        check.fail(L"GetLayeredWindowAttributes fails on the rest window (error " +
                   std::to_wstring(GetLastError()) + L")");
    } else {
        check.expectEqual(L"the rest window's alpha", alpha, 200);
        check.expectEqual(L"the rest window's layered flags (LWA_ALPHA 2)", flags, LWA_ALPHA);
    }
}

void expectPlaces(Check& check, const RudiRun& rudi, HWND rest, const std::wstring& restMessage) {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    const RECT r = windowRect(rest);
    check.expect(r.left <= 0 && r.top <= 0 && r.right >= width && r.bottom >= height,
                 L"the rest window at " + shownRect(r) + L" does not cover the screen of " +
                     std::to_wstring(width) + L"×" + std::to_wstring(height));
    RECT client{};
    GetClientRect(rest, &client);
    POINT origin{0, 0};
    ClientToScreen(rest, &origin);
    OffsetRect(&client, origin.x, origin.y);
    check.expect(
        client.left <= 0 && client.top <= 0 && client.right >= width && client.bottom >= height,
        L"the rest window's client area " + shownRect(client) + L" does not cover the screen");

    const int messageWidth = static_cast<int>(gbk(restMessage).size()) * 10 + 10;
    const Place places[] = {
        {ids::restWindowButton, L"按钮1", truncated(width / 2.0 - 35), truncated(height / 2.0 + 50),
         70, 24},
        {ids::restWindowMessage, L"透明标签1", truncated(width / 2.0 - messageWidth / 2.0),
         truncated(height / 2.0 - 50), messageWidth, 24},
        {ids::restWindowCounter, L"透明标签2", truncated(width / 2.0 - 130),
         truncated(height / 2.0 - 10), 260, 20},
    };
    for (const Place& p : places) {
        HWND control = GetDlgItem(rest, p.id);
        if (control == nullptr) {
            check.fail(L"the rest window has no " + std::wstring(p.name) + L" (identifier " +
                       std::to_wstring(p.id) + L")");
            continue;
        }
        const RECT got = relativeRect(rest, control, nullptr);
        const RECT want{p.left, p.top, p.left + p.width, p.top + p.height};
        check.expect(EqualRect(&got, &want) != FALSE,
                     std::wstring(p.name) + L" of the rest window is at " + shownRect(got) +
                         L", expected " + shownRect(want) + L" on a screen of " +
                         std::to_wstring(width) + L"×" + std::to_wstring(height));
        check.expect(IsWindowVisible(control) && IsWindowEnabled(control),
                     std::wstring(p.name) + L" of the rest window is hidden or disabled");
    }
    HWND button = GetDlgItem(rest, ids::restWindowButton);
    HWND message = GetDlgItem(rest, ids::restWindowMessage);
    if (button != nullptr) {
        check.expectEqual(L"按钮1 of the rest window", windowText(button), L"开始工作");
        check.expectEqual(L"按钮1's class", className(button), L"Button");
        check.expect((windowStyle(button) & BS_TYPEMASK) == BS_PUSHBUTTON,
                     L"按钮1 of the rest window is not a plain push button (style " +
                         hex(windowStyle(button)) + L")");
        check.expect(focusOf(rudi.threadId()) == button,
                     L"按钮1 of the rest window does not have the keyboard focus");
    }
    if (message != nullptr) {
        check.expectEqual(L"透明标签1 of the rest window", windowText(message), restMessage);
    }
}

// The rest message in red on the window's silver, where 透明标签1 stands.
void expectPainted(Check& check, HWND rest) {
    HWND message = GetDlgItem(rest, ids::restWindowMessage);
    if (message == nullptr) {
        return;
    }
    const Image shot = captureScreen();
    const RECT label = windowRect(message);
    const int red = countTextPixels(shot, label, rgb(0xFF, 0, 0), rgb(0xC0, 0xC0, 0xC0));
    check.expect(red >= 30, L"the screen shows " + std::to_wstring(red) +
                                L" red text pixels where 透明标签1 stands, expected the message");
    const RECT corner{8, 8, 108, 108};
    const int silver = countColour(shot, corner, rgb(0xC0, 0xC0, 0xC0));
    check.expect(silver == 100 * 100, L"the rest window's corner shows " + std::to_wstring(silver) +
                                          L" of 10000 pixels in its #C0C0C0");
}

} // namespace

void checkRestWindow(Check& check, const Setup& setup) {
    Configuration configuration;
    configuration.interval = L"1";
    configuration.restMessage = L"休息一下，看看窗外。";
    RudiRun rudi(check, setup, L"rest-window", configuration);
    rudi.start();
    HWND main = rudi.waitForMainWindow();
    const long long shownAt = localNowMs();

    // An event 64 seconds on, 4 s into the rest. 确定 restarts the countdown from the minute
    // 编辑框1 holds, within a second of the window's appearance.
    const std::wstring eventMessage = L"休息时的事件。\r\n回个电话。";
    sendTo(rudi.control(ids::eventMessageEdit), WM_SETTEXT, 0,
           reinterpret_cast<LPARAM>(eventMessage.c_str()));
    const SYSTEMTIME eventAt = timeOfMs(shownAt - shownAt % 1000 + 64000);
    if (!setEventTime(check, rudi, eventAt)) {
        return;
    }
    sendTo(rudi.control(ids::okButton), BM_CLICK);
    const long long appliedAt = localNowMs();
    if (!check.expect(waitUntil([&] { return !IsWindowVisible(main); }, 3000),
                      L"确定 (BM_CLICK on 按钮1) left the main window on the screen")) {
        return;
    }

    HWND rest = nullptr;
    waitUntil([&] { return (rest = restWindowOf(rudi)) != nullptr || !rudi.running(); }, 66000);
    const long long restAt = localNowMs();
    const double afterShown = static_cast<double>(restAt - shownAt) / 1000.0;
    if (rest == nullptr) {
        check.abort(rudi.running() ? L"no rest window (class rudi.RestWindow) within 66 s"
                                   : L"rudi ended before a rest window came");
    }
    wchar_t timing[160];
    std::swprintf(timing, 160,
                  L"the rest window came %.1f s after the main window appeared (%.1f s after 确定)",
                  afterShown, static_cast<double>(restAt - appliedAt) / 1000.0);
    check.note(timing);
    check.expect(afterShown >= 58.0 && afterShown <= 63.0,
                 std::wstring(timing) + L"; expected 58 to 63 s, the 60th tick");

    // The tick that opened it wrote its counter.
    HWND counter = GetDlgItem(rest, ids::restWindowCounter);
    if (counter == nullptr) {
        check.abort(L"the rest window has no 透明标签2 (identifier 1002)");
    }
    std::wstring first;
    waitUntil([&] { return !(first = windowText(counter)).empty(); }, 1000);
    const long long firstAt = localNowMs();
    check.expectEqual(L"透明标签2 as the rest window comes", first, counterText(1));
    check.expectEqual(L"标签7 as the rest window comes",
                      windowText(rudi.control(ids::countdownLabel)), L"到下次提醒还有0秒。");

    expectStyles(check, rest);
    expectPlaces(check, rudi, rest, configuration.restMessage);

    std::wstring next = first;
    waitUntil([&] { return (next = windowText(counter)) != first; }, 2000);
    const long long nextAt = localNowMs();
    check.expectEqual(L"透明标签2 a second later", next, counterText(2));
    check.expect(nextAt - firstAt <= 1300, L"透明标签2 changed " +
                                               std::to_wstring(nextAt - firstAt) +
                                               L" ms after its first text, not a second");
    expectPainted(check, rest);
    saveScreenshot(check, setup, L"rest-window.png");

    // The event during the rest: its box is in front, the rest window out of the topmost band.
    const EventSeen seen = watchForEventBox(rudi, msOf(eventAt) + 3000);
    if (seen.box == nullptr) {
        check.fail(L"no event box during the rest (event time " + quote(eventTimeText(eventAt)) +
                   L")");
    } else {
        std::wstring when;
        check.expect(withinSecond(eventAt, seen.seenAtMs, when),
                     L"the event box during the rest came outside its second: " + when);
        expectEventBox(check, rudi, seen.box, eventMessage);
        check.expect((windowExStyle(rest) & WS_EX_TOPMOST) == 0,
                     L"the rest window is still topmost while the event box is open");
        check.expect(!IsWindowEnabled(rest),
                     L"the rest window is enabled while the event box is open (not task-modal)");
        // The ticks go on inside the box's loop: the counter keeps counting.
        const std::wstring during = windowText(counter);
        check.expect(waitUntil([&] { return windowText(counter) != during; }, 2000),
                     L"透明标签2 stopped at " + quote(during) + L" while the event box was open");
        if (dismissBox(check, seen.box, L"the event box", true)) {
            check.expect(
                waitUntil([&] { return (windowExStyle(rest) & WS_EX_TOPMOST) != 0; }, 1500),
                L"the rest window is not topmost again after the event box was dismissed");
            check.expect(waitUntil([&] { return IsWindowEnabled(rest) != FALSE; }, 1500),
                         L"the rest window is still disabled after the event box was dismissed");
        }
    }
    check.expectEqual(L"标签7 during the rest", windowText(rudi.control(ids::countdownLabel)),
                      L"到下次提醒还有0秒。");

    // Esc, as the user presses it with the rest window in front. The task-modal box re-enables
    // the rest window only after it has gone, so the activation it gives back may land
    // elsewhere; the user then brings the rest window to the front (its taskbar button) first.
    // With a full-screen window in front, Wine does not let another program move the pointer,
    // so the keyboard and the activation stand in for the mouse here.
    if (!waitUntil([&] { return GetForegroundWindow() == rest; }, 1000)) {
        HWND front = GetForegroundWindow();
        check.note(L"after the event box the rest window was not in front (the foreground: " +
                   className(front) + L" " + quote(windowText(front)) +
                   L"); it was brought to the front before Esc");
        SetForegroundWindow(rest);
        if (!waitUntil([&] { return GetForegroundWindow() == rest; }, 2000)) {
            check.abort(L"the rest window cannot be brought to the front for Esc");
        }
    }
    pressKey(VK_ESCAPE);
    if (!waitUntil([&] { return !IsWindow(rest); }, 3000)) {
        check.abort(L"Esc did not close the rest window within 3 s");
    }
    const long long closedAt = localNowMs();
    HWND countdown = rudi.control(ids::countdownLabel);
    std::optional<long long> left;
    waitUntil(
        [&] {
            left = countdownSeconds(windowText(countdown));
            return left && *left != 0;
        },
        2500);
    check.expect(left && (*left == 59 || *left == 58),
                 L"标签7 " + std::to_wstring(localNowMs() - closedAt) + L" ms after Esc reads " +
                     quote(windowText(countdown)) + L", expected 到下次提醒还有59秒。 or 58");
    check.expect(rudi.running(), L"rudi ended with the rest window");
    check.expect(!IsWindowVisible(main), L"the main window came back with the end of the rest");
}

} // namespace e2e
