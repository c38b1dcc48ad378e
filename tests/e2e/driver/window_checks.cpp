// The main window as it comes up: its frame and place, every control of both pages, the
// settings loaded into them, the countdown, and switching pages.
#include "tests/e2e/driver/checks.h"
#include "tests/e2e/driver/expected_design.h"
#include "tests/e2e/driver/inspect.h"
#include "tests/e2e/driver/steps.h"
#include "tests/e2e/driver/text.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <initializer_list>

namespace e2e {

namespace {

struct Flag {
    DWORD bits;
    const wchar_t* name;
};

void expectFlags(Check& check, const std::wstring& what, DWORD value,
                 std::initializer_list<Flag> set, std::initializer_list<Flag> clear) {
    for (const Flag& f : set) {
        check.expect((value & f.bits) == f.bits, what + L" " + hex(value) + L" lacks " + f.name);
    }
    for (const Flag& f : clear) {
        check.expect((value & f.bits) == 0, what + L" " + hex(value) + L" has " + f.name);
    }
}

const wchar_t* expectedClass(Kind kind) {
    switch (kind) {
    case Kind::tab:
        return WC_TABCONTROLW;
    case Kind::groupBox:
    case Kind::checkBox:
    case Kind::pushButton:
        return L"Button";
    case Kind::label:
    case Kind::wrappedLabel:
    case Kind::pictureBox:
        return L"Static";
    case Kind::editBox:
    case Kind::multiLineEdit:
        return L"Edit";
    case Kind::longDatePicker:
    case Kind::timePicker:
        return DATETIMEPICK_CLASSW;
    }
    return L"";
}

// Edit boxes: the selection hidden without the focus, no case conversion, and no length
// limit (the edit control's own default is 30000 characters).
void expectEditBasics(Check& check, const std::wstring& what, HWND edit, DWORD style,
                      DWORD exStyle) {
    expectFlags(check, what, style, {},
                {{ES_NOHIDESEL, L"ES_NOHIDESEL"},
                 {ES_UPPERCASE, L"ES_UPPERCASE"},
                 {ES_LOWERCASE, L"ES_LOWERCASE"},
                 {ES_PASSWORD, L"ES_PASSWORD"},
                 {ES_READONLY, L"ES_READONLY"},
                 {ES_NUMBER, L"ES_NUMBER"}});
    expectFlags(check, what + L" (extended)", exStyle,
                {{WS_EX_CLIENTEDGE, L"WS_EX_CLIENTEDGE (sunken border)"}}, {});
    const auto limit = static_cast<unsigned long>(sendTo(edit, EM_GETLIMITTEXT));
    check.expect(limit >= 0x7FFFFFFEul, what + L": EM_GETLIMITTEXT is " + std::to_wstring(limit) +
                                            L", the box should have no length limit");
}

void checkKindStyles(Check& check, const ControlSpec& spec, HWND hwnd) {
    const DWORD style = windowStyle(hwnd);
    const DWORD exStyle = windowExStyle(hwnd);
    const std::wstring what = std::wstring(spec.name) + L" style";
    expectFlags(check, what, style, {{WS_CHILD, L"WS_CHILD"}}, {{WS_DISABLED, L"WS_DISABLED"}});
    if (spec.alsoSet == ES_AUTOHSCROLL) {
        expectFlags(check, what, style, {{ES_AUTOHSCROLL, L"ES_AUTOHSCROLL (scrolls sideways)"}},
                    {});
    }
    switch (spec.kind) {
    case Kind::tab:
        expectFlags(check, what, style, {},
                    {{TCS_BUTTONS, L"TCS_BUTTONS"},
                     {TCS_MULTILINE, L"TCS_MULTILINE"},
                     {TCS_BOTTOM, L"TCS_BOTTOM"},
                     {TCS_VERTICAL, L"TCS_VERTICAL"}});
        break;
    case Kind::groupBox:
        check.expect((style & BS_TYPEMASK) == BS_GROUPBOX,
                     what + L" " + hex(style) + L" is not BS_GROUPBOX");
        check.expect((style & BS_CENTER) == 0 || (style & BS_CENTER) == BS_LEFT,
                     what + L" " + hex(style) + L": the caption is not left-aligned");
        break;
    case Kind::label: {
        const DWORD type = style & SS_TYPEMASK;
        check.expect(type == SS_LEFTNOWORDWRAP || type == SS_SIMPLE,
                     what + L" " + hex(style) + L": not a one-line left-aligned label");
        expectFlags(check, what, style, {{SS_CENTERIMAGE, L"SS_CENTERIMAGE (vertically centred)"}},
                    {{WS_BORDER, L"WS_BORDER"}, {SS_SUNKEN, L"SS_SUNKEN"}});
        break;
    }
    case Kind::wrappedLabel:
        check.expect((style & SS_TYPEMASK) == SS_LEFT,
                     what + L" " + hex(style) + L": not SS_LEFT (words wrapped)");
        expectFlags(check, what, style, {},
                    {{SS_CENTERIMAGE, L"SS_CENTERIMAGE (the text should start at the top)"},
                     {WS_BORDER, L"WS_BORDER"}});
        break;
    case Kind::editBox:
        expectFlags(check, what, style, {}, {{ES_MULTILINE, L"ES_MULTILINE (should be one line)"}});
        expectEditBasics(check, what, hwnd, style, exStyle);
        break;
    case Kind::multiLineEdit:
        expectFlags(check, what, style,
                    {{ES_MULTILINE, L"ES_MULTILINE"},
                     {ES_WANTRETURN, L"ES_WANTRETURN (Enter starts a line)"},
                     {ES_AUTOVSCROLL, L"ES_AUTOVSCROLL (scrolls up as lines are added)"}},
                    {{ES_AUTOHSCROLL, L"ES_AUTOHSCROLL (lines should wrap)"},
                     {WS_VSCROLL, L"WS_VSCROLL"},
                     {WS_HSCROLL, L"WS_HSCROLL"}});
        expectEditBasics(check, what, hwnd, style, exStyle);
        break;
    case Kind::longDatePicker:
        check.expect((style & (DTS_LONGDATEFORMAT | 0x0008)) == DTS_LONGDATEFORMAT,
                     what + L" " + hex(style) + L" is not DTS_LONGDATEFORMAT");
        expectFlags(check, what, style, {},
                    {{DTS_UPDOWN, L"DTS_UPDOWN (it should drop a month calendar down)"}});
        expectFlags(check, what + L" (extended)", exStyle,
                    {{WS_EX_CLIENTEDGE, L"WS_EX_CLIENTEDGE (sunken border)"}}, {});
        break;
    case Kind::timePicker:
        expectFlags(check, what, style, {{DTS_UPDOWN, L"DTS_UPDOWN (spin buttons)"}}, {});
        expectFlags(check, what + L" (extended)", exStyle,
                    {{WS_EX_CLIENTEDGE, L"WS_EX_CLIENTEDGE (sunken border)"}}, {});
        break;
    case Kind::checkBox:
        check.expect((style & BS_TYPEMASK) == BS_AUTOCHECKBOX,
                     what + L" " + hex(style) + L" is not BS_AUTOCHECKBOX");
        expectFlags(check, what, style, {}, {{BS_LEFTTEXT, L"BS_LEFTTEXT (box on the right)"}});
        check.expect((style & BS_VCENTER) == 0 || (style & BS_VCENTER) == BS_VCENTER,
                     what + L" " + hex(style) + L": the text is not vertically centred");
        break;
    case Kind::pushButton:
        check.expect((style & BS_TYPEMASK) == BS_PUSHBUTTON,
                     what + L" " + hex(style) +
                         L" is not a plain BS_PUSHBUTTON (a default button is not wanted)");
        check.expect((style & BS_CENTER) == 0 || (style & BS_CENTER) == BS_CENTER,
                     what + L" " + hex(style) + L": the caption is not centred");
        break;
    case Kind::pictureBox:
        expectFlags(check, what, style, {}, {{WS_BORDER, L"WS_BORDER"}, {SS_SUNKEN, L"SS_SUNKEN"}});
        expectFlags(
            check, what + L" (extended)", exStyle, {},
            {{WS_EX_CLIENTEDGE, L"WS_EX_CLIENTEDGE"}, {WS_EX_STATICEDGE, L"WS_EX_STATICEDGE"}});
        break;
    }
}

int secondsOfDay(const SYSTEMTIME& t) {
    return t.wHour * 3600 + t.wMinute * 60 + t.wSecond;
}

std::wstring clockText(const SYSTEMTIME& t) {
    wchar_t text[16];
    swprintf(text, 16, L"%02u:%02u:%02u", t.wHour, t.wMinute, t.wSecond);
    return text;
}

void checkPickers(Check& check, const RudiRun& rudi) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    HWND date = rudi.control(ids::datePicker);
    if (const auto value = pickerValue(rudi.process(), date)) {
        check.expect(value->wYear == now.wYear && value->wMonth == now.wMonth &&
                         value->wDay == now.wDay,
                     L"日期框1 holds " + std::to_wstring(value->wYear) + L"-" +
                         std::to_wstring(value->wMonth) + L"-" + std::to_wstring(value->wDay) +
                         L", not today");
        wchar_t longDate[128] = {};
        GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, &*value, nullptr, longDate, 128);
        check.expectEqual(L"日期框1 shows (the system's long date format)", windowText(date),
                          longDate);
    } else {
        check.fail(L"日期框1 holds no date (DTM_GETSYSTEMTIME)");
    }

    HWND time = rudi.control(ids::timePicker);
    const std::wstring shown = windowText(time);
    const bool form = shown.size() == 8 && shown[2] == L':' && shown[5] == L':' &&
                      std::all_of(shown.begin(), shown.end(),
                                  [](wchar_t c) { return c == L':' || (c >= L'0' && c <= L'9'); });
    check.expect(form, L"日期框2 shows " + quote(shown) + L", not the form HH:mm:ss");
    if (const auto value = pickerValue(rudi.process(), time)) {
        check.expectEqual(L"日期框2 shows its value as HH:mm:ss", shown, clockText(*value));
        const int at = secondsOfDay(*value);
        check.expect(at >= secondsOfDay(rudi.startedAt()) - 1 && at <= secondsOfDay(now) + 1,
                     L"日期框2 holds " + clockText(*value) + L", not the time of the start (" +
                         clockText(rudi.startedAt()) + L" to " + clockText(now) + L")");
    } else {
        check.fail(L"日期框2 holds no time (DTM_GETSYSTEMTIME)");
    }
    // Hours before ten show the difference between "HH" and the locale's own "H".
    SYSTEMTIME morning = now;
    morning.wHour = 9;
    morning.wMinute = 5;
    morning.wSecond = 7;
    morning.wMilliseconds = 0;
    if (check.expect(setPickerValue(rudi.process(), time, morning),
                     L"日期框2 does not take the time 9:05:07 (DTM_SETSYSTEMTIME)")) {
        check.expectEqual(L"日期框2 set to 9:05:07 shows", windowText(time), L"09:05:07");
    }
}

void expectPageShown(Check& check, const RudiRun& rudi, const std::vector<ControlSpec>& controls,
                     int page, const std::wstring& when) {
    check.expectEqual(L"selected tab " + when, sendTo(rudi.control(ids::tab), TCM_GETCURSEL), page);
    for (const ControlSpec& c : controls) {
        const bool want = c.page < 0 || c.page == page;
        const bool visible = IsWindowVisible(rudi.control(c.id)) != FALSE;
        check.expect(visible == want,
                     std::wstring(c.name) + (visible ? L" is shown" : L" is hidden") + L" " + when);
    }
}

} // namespace

void checkWindowFrame(Check& check, const Setup& setup) {
    RudiRun rudi(check, setup, L"window-frame", Configuration{});
    rudi.start();
    HWND main = rudi.waitForMainWindow();

    const std::wstring product = L"澄屿rudi软件v1.0";
    const std::wstring title = windowText(main);
    check.expect(title.rfind(product, 0) == 0 && title.size() > product.size(),
                 L"title " + quote(title) + L": expected the product name " + quote(product) +
                     L" followed by the author credit");
    expectFlags(check, L"window style", windowStyle(main),
                {{WS_CAPTION, L"WS_CAPTION"}, {WS_SYSMENU, L"WS_SYSMENU (close box)"}},
                {{WS_THICKFRAME, L"WS_THICKFRAME (it must not be resizable)"},
                 {WS_MINIMIZEBOX, L"WS_MINIMIZEBOX"},
                 {WS_MAXIMIZEBOX, L"WS_MAXIMIZEBOX"},
                 {WS_CHILD, L"WS_CHILD"},
                 {WS_DISABLED, L"WS_DISABLED"}});
    expectFlags(check, L"extended window style", windowExStyle(main),
                {{WS_EX_TOOLWINDOW, L"WS_EX_TOOLWINDOW"}, {WS_EX_TOPMOST, L"WS_EX_TOPMOST"}},
                {{WS_EX_APPWINDOW, L"WS_EX_APPWINDOW (it would get a taskbar button)"}});
    check.expect(GetWindow(main, GW_OWNER) == nullptr, L"the main window has an owner window");
    check.expect(GetMenu(main) == nullptr,
                 L"the main window has a menu bar; its only menu is hidden");

    const RECT r = windowRect(main);
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    check.expectEqual(L"outer width", r.right - r.left, 380);
    check.expectEqual(L"outer height", r.bottom - r.top, 294);
    const std::wstring screen =
        L" on a screen of " + std::to_wstring(screenWidth) + L"×" + std::to_wstring(screenHeight);
    check.expectEqual(L"left edge" + screen, r.left, (screenWidth - 380) / 2);
    check.expectEqual(L"top edge" + screen, r.top, (screenHeight - 294) / 2);

    // The caption bar moves the window and carries the close box.
    POINT client{0, 0};
    ClientToScreen(main, &client);
    const int captionY = (r.top + client.y) / 2;
    check.expectEqual(L"hit test in the middle of the caption bar (HTCAPTION 2)",
                      sendTo(main, WM_NCHITTEST, 0, MAKELPARAM((r.left + r.right) / 2, captionY)),
                      HTCAPTION);
    const int closeX = r.right - (client.x - r.left) - GetSystemMetrics(SM_CXSMSIZE) / 2 - 1;
    check.expectEqual(L"hit test at the right end of the caption bar (HTCLOSE 20)",
                      sendTo(main, WM_NCHITTEST, 0, MAKELPARAM(closeX, captionY)), HTCLOSE);

    check.expectEqual(
        L"main windows of the process",
        static_cast<long long>(topLevelWindows(rudi.processId(), L"rudi.MainWindow").size()), 1);
}

void checkControls(Check& check, const Setup& setup) {
    const Configuration configuration;
    RudiRun rudi(check, setup, L"controls", configuration);
    rudi.start();
    HWND main = rudi.waitForMainWindow();
    const std::vector<ControlSpec> controls = mainWindowControls(configuration);

    for (const ControlSpec& c : controls) {
        HWND hwnd = rudi.control(c.id);
        const std::wstring name = c.name;
        check.expect(_wcsicmp(className(hwnd).c_str(), expectedClass(c.kind)) == 0,
                     name + L" is a " + quote(className(hwnd)) + L" control, expected " +
                         quote(expectedClass(c.kind)));
        HWND parent = c.parent == 0 ? nullptr : rudi.control(c.parent);
        const RECT r = relativeRect(main, hwnd, parent);
        const RECT want{c.left, c.top, c.left + c.width, c.top + c.height};
        check.expect(EqualRect(&r, &want) != FALSE,
                     name + L" at " + std::to_wstring(r.left) + L"," + std::to_wstring(r.top) +
                         L" size " + std::to_wstring(r.right - r.left) + L"×" +
                         std::to_wstring(r.bottom - r.top) + L", expected " +
                         std::to_wstring(c.left) + L"," + std::to_wstring(c.top) + L" size " +
                         std::to_wstring(c.width) + L"×" + std::to_wstring(c.height) +
                         L" relative to " + (c.parent == 0 ? L"the window" : L"its parent"));
        if (c.text) {
            check.expectEqual(name + L" text", windowText(hwnd), *c.text);
        }
        check.expect(IsWindowEnabled(hwnd) != FALSE, name + L" is disabled");
        checkKindStyles(check, c, hwnd);
    }
    expectPageShown(check, rudi, controls, 0, L"at start");

    HWND tab = rudi.control(ids::tab);
    if (const auto items = tabItemTexts(rudi.process(), tab)) {
        const std::vector<std::wstring> want{L"提醒", L"关于"};
        std::wstring shown;
        for (const std::wstring& item : *items) {
            shown += quote(item) + L" ";
        }
        check.expect(*items == want, L"选择夹1 pages: " + shown + L"expected \"提醒\" \"关于\"");
    } else {
        check.fail(L"选择夹1: its items could not be read (TCM_GETITEMW)");
    }
    check.expectEqual(L"选择夹1 rows of tabs", sendTo(tab, TCM_GETROWCOUNT), 1);

    const std::wstring about = windowText(rudi.control(ids::aboutLabel));
    check.expect(!about.empty(), L"标签5 holds no about text");
    const std::wstring link = windowText(rudi.control(ids::linkLabel));
    check.expect(link.rfind(L"http://", 0) == 0 || link.rfind(L"https://", 0) == 0,
                 L"标签9 shows " + quote(link) + L", not a web address");

    check.expectEqual(L"选择框2 (定时关机) checked at start",
                      sendTo(rudi.control(ids::shutdownBox), BM_GETCHECK), BST_UNCHECKED);
    check.expectEqual(L"选择框1 checked as 是否自动运行 was stored (1)",
                      sendTo(rudi.control(ids::autoRunBox), BM_GETCHECK), BST_CHECKED);
    checkPickers(check, rudi);
}

void checkSettingsAndCountdown(Check& check, const Setup& setup) {
    // Other values than the first check's, in a folder whose name has no GBK form.
    Configuration configuration;
    configuration.interval = L"120";
    configuration.restMessage = L"";
    configuration.eventMessage = L"";
    configuration.autoRun = false;
    RudiRun rudi(check, setup, L"设置 한글 ü", configuration);
    rudi.start();
    rudi.waitForMainWindow();

    check.expectEqual(L"编辑框1 text", windowText(rudi.control(ids::intervalEdit)), L"120");
    check.expectEqual(L"编辑框2 text", windowText(rudi.control(ids::restMessageEdit)), L"");
    check.expectEqual(L"编辑框3 text", windowText(rudi.control(ids::eventMessageEdit)), L"");
    check.expectEqual(L"选择框1 checked as 是否自动运行 was stored (0)",
                      sendTo(rudi.control(ids::autoRunBox), BM_GETCHECK), BST_UNCHECKED);

    // 120 minutes are 7200 seconds; each tick takes one off and shows what is left.
    HWND label = rudi.control(ids::countdownLabel);
    std::optional<long long> first;
    if (!waitUntil([&] { return (first = countdownSeconds(windowText(label))).has_value(); },
                   4000)) {
        check.abort(L"标签7 shows " + quote(windowText(label)) +
                    L", not \"到下次提醒还有N秒。\", 4 s after the start");
    }
    check.expect(*first >= 7190 && *first <= 7199,
                 L"the first countdown shown is " + std::to_wstring(*first) +
                     L" seconds, expected just under 7200 (120 minutes)");
    // One off per second: compared over a few seconds, so that a busy machine delaying this
    // driver does not look like a missed tick.
    const ULONGLONG firstSeen = GetTickCount64();
    Sleep(2500);
    const std::optional<long long> later = countdownSeconds(windowText(label));
    const long long elapsed = static_cast<long long>((GetTickCount64() - firstSeen + 500) / 1000);
    if (!later) {
        check.abort(L"标签7 shows " + quote(windowText(label)) + L" later on");
    }
    check.expect(*first - *later >= elapsed - 1 && *first - *later <= elapsed + 1,
                 L"the countdown went from " + std::to_wstring(*first) + L" to " +
                     std::to_wstring(*later) + L" in about " + std::to_wstring(elapsed) +
                     L" s; it should lose one a second");
}

void checkPages(Check& check, const Setup& setup) {
    RudiRun rudi(check, setup, L"pages", Configuration{});
    rudi.start();
    rudi.waitForMainWindow();
    const std::vector<ControlSpec> controls = mainWindowControls(Configuration{});

    expectPageShown(check, rudi, controls, 0, L"at start");
    // The screenshot with the countdown in it.
    HWND label = rudi.control(ids::countdownLabel);
    waitUntil([&] { return !windowText(label).empty(); }, 3000);
    Sleep(200);
    saveScreenshot(check, setup, L"main-reminder.png");

    if (clickPage(check, rudi, 1)) {
        expectPageShown(check, rudi, controls, 1, L"after a click on the tab 关于");
        Sleep(300);
        saveScreenshot(check, setup, L"main-about.png");
    }
    if (clickPage(check, rudi, 0)) {
        expectPageShown(check, rudi, controls, 0, L"after a click back on the tab 提醒");
    }
}

} // namespace e2e
