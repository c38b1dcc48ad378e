// The tray icon and its menu, hiding and showing the main window, and the two ordinary ends:
// 退出 from the menu and Esc on the window. The shell's side is seen through the notification
// area itself: a no-op modification succeeds only for an icon it holds.
#include "tests/e2e/driver/checks.h"
#include "tests/e2e/driver/input.h"
#include "tests/e2e/driver/inspect.h"
#include "tests/e2e/driver/screen.h"
#include "tests/e2e/driver/steps.h"
#include "tests/e2e/driver/text.h"

#include "runtime/files.h"

#include <commctrl.h>

namespace e2e {

namespace {

bool hideWithCancel(Check& check, const RudiRun& rudi) {
    sendTo(rudi.control(ids::cancelButton), BM_CLICK);
    if (!waitUntil([&] { return !IsWindowVisible(rudi.mainWindow()); }, 3000)) {
        check.fail(L"取消 (BM_CLICK on 按钮2) left the main window on the screen");
        return false;
    }
    return true;
}

// The tray menu (a "#32768" window of rudi's) when it is open.
HWND openMenu(const RudiRun& rudi) {
    for (HWND w : topLevelWindows(rudi.processId(), L"#32768")) {
        if (IsWindowVisible(w)) {
            return w;
        }
    }
    return nullptr;
}

HWND waitForMenu(const RudiRun& rudi) {
    HWND menu = nullptr;
    waitUntil([&] { return (menu = openMenu(rudi)) != nullptr; }, 3000);
    return menu;
}

// Whether the notification area shows the icon: the taskbar's when there is one on the screen,
// else anywhere (Wine without a taskbar shows the icons in a small window of its own).
bool iconShown(const IconPixels& icon) {
    const Image shot = captureScreen();
    RECT area{0, 0, shot.width, shot.height};
    HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
    if (taskbar != nullptr && IsWindowVisible(taskbar)) {
        area = windowRect(taskbar);
    }
    return findIcon(shot, area, icon, 0.9).has_value();
}

} // namespace

void checkCancelAndTrayDoubleClick(Check& check, const Setup& setup) {
    RudiRun rudi(check, setup, L"cancel-and-tray", Configuration{});
    rudi.start();
    HWND main = rudi.waitForMainWindow();
    HWND message = rudi.control(ids::restMessageEdit);
    const std::wstring edited = L"改过的提示信息";

    // The user edits the rest message, looks at the About page and cancels.
    sendTo(message, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(edited.c_str()));
    if (!clickPage(check, rudi, 1) || !hideWithCancel(check, rudi)) {
        return;
    }
    Sleep(1000);
    check.expect(rudi.running(), L"rudi ended after 取消; it should go on in the tray");

    // The tick goes on while the window is hidden.
    HWND countdown = rudi.control(ids::countdownLabel);
    const std::optional<long long> before = countdownSeconds(windowText(countdown));
    std::optional<long long> after;
    const bool counting = before && waitUntil(
                                        [&] {
                                            after = countdownSeconds(windowText(countdown));
                                            return after && *after < *before;
                                        },
                                        3000);
    check.expect(counting, L"the countdown in 标签7 does not go on while the window is hidden (" +
                               quote(windowText(countdown)) + L")");

    postTrayEvent(rudi, WM_LBUTTONUP);
    Sleep(600);
    check.expect(!IsWindowVisible(main), L"a single click on the tray icon (WM_LBUTTONUP) showed "
                                         L"the main window");

    postTrayEvent(rudi, WM_LBUTTONDBLCLK);
    if (!waitUntil([&] { return IsWindowVisible(main) != FALSE; }, 3000)) {
        check.abort(L"a double-click on the tray icon (WM_LBUTTONDBLCLK) did not show the main "
                    L"window");
    }
    // Shown as it was hidden: the same page, the same texts.
    check.expectEqual(L"selected tab after showing again",
                      sendTo(rudi.control(ids::tab), TCM_GETCURSEL), 1);
    check.expect(IsWindowVisible(rudi.control(ids::banner)) && !IsWindowVisible(message),
                 L"the About page's controls are not the ones shown after showing again");
    check.expectEqual(L"编辑框2 after 取消 and showing again", windowText(message), edited);
    check.expectEqual(
        L"main windows of the process",
        static_cast<long long>(topLevelWindows(rudi.processId(), L"rudi.MainWindow").size()), 1);
}

void checkTrayMenu(Check& check, const Setup& setup) {
    RudiRun rudi(check, setup, L"tray-menu", Configuration{});
    rudi.start();
    HWND main = rudi.waitForMainWindow();
    if (!hideWithCancel(check, rudi)) {
        return;
    }
    const POINT cursor{600, 500};
    if (!movePointer(cursor)) {
        check.abort(L"the pointer could not be moved to 600,500");
    }
    postTrayEvent(rudi, WM_RBUTTONUP);
    HWND menu = waitForMenu(rudi);
    if (menu == nullptr) {
        check.abort(L"a right click on the tray icon (WM_RBUTTONUP) opened no menu (#32768)");
    }
    // Right edge 5 pixels left of the pointer, top 5 pixels above it.
    const RECT r = windowRect(menu);
    check.expectEqual(L"tray menu's right edge with the pointer at x 600", r.right, 595);
    check.expectEqual(L"tray menu's top edge with the pointer at y 500", r.top, 495);
    saveScreenshot(check, setup, L"tray-menu.png");
    // Where menus can be read from another process, read the items; elsewhere (Wine keeps a
    // menu in the process that made it) what the keys below choose shows them.
    auto* items = reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0));
    SetLastError(0);
    const int count = items != nullptr ? GetMenuItemCount(items) : -1;
    if (count < 0) {
        check.note(L"the tray menu's items cannot be read from here (" +
                   (items == nullptr
                        ? std::wstring(L"MN_GETHMENU gave no menu")
                        : L"GetMenuItemCount: error " + std::to_wstring(GetLastError())) +
                   L"); the keys below show them instead");
    } else {
        std::wstring shown;
        for (int i = 0; i < count; ++i) {
            wchar_t caption[64] = {};
            GetMenuStringW(items, static_cast<UINT>(i), caption, 64, MF_BYPOSITION);
            shown += (i ? L", " : L"") + quote(caption);
        }
        check.expectEqual(L"tray menu items", shown, L"\"显示\", \"退出\"");
    }

    // Keyboard in the menu: the first item is 显示.
    pressKey(VK_DOWN);
    pressKey(VK_RETURN);
    check.expect(waitUntil([&] { return openMenu(rudi) == nullptr; }, 3000),
                 L"the tray menu stays open after "
                 L"Down, Enter");
    if (!waitUntil([&] { return IsWindowVisible(main) != FALSE; }, 3000)) {
        check.fail(L"the tray menu's first item (显示) did not show the main window");
    }
    check.expect(rudi.running(), L"rudi ended on the tray menu's first item (显示)");

    // Again, through WM_CONTEXTMENU: the second item is 退出.
    if (!hideWithCancel(check, rudi)) {
        return;
    }
    postTrayEvent(rudi, WM_CONTEXTMENU);
    if (waitForMenu(rudi) == nullptr) {
        check.abort(L"WM_CONTEXTMENU from the tray icon opened no menu");
    }
    pressKey(VK_DOWN);
    pressKey(VK_DOWN);
    pressKey(VK_RETURN);
    if (!rudi.waitForExit(5000)) {
        check.abort(L"the tray menu's second item (退出) did not end rudi within 5 s");
    }
    check.expectEqual(L"exit code after 退出", rudi.exitCode(), 0);
    check.expect(!trayIconKnown(main, ids::trayIcon),
                 L"the tray icon is still in the notification area after 退出");
}

void checkTaskbarCreated(Check& check, const Setup& setup) {
    RudiRun rudi(check, setup, L"taskbar-created", Configuration{});
    rudi.start();
    HWND main = rudi.waitForMainWindow();
    // What the shell holds, and what it shows: the 16 × 16 image of the program's icon file.
    IconPixels icon;
    if (!setup.icon.empty()) {
        icon = iconFilePixels(setup.icon, 16);
        if (icon.opaque.empty()) {
            check.abort(L"no 16 × 16 image in " + setup.icon.wstring());
        }
    }
    const auto shown = [&](bool want) {
        return icon.opaque.empty() || waitUntil([&] { return iconShown(icon) == want; }, 3000);
    };
    if (!check.expect(trayIconKnown(main, ids::trayIcon),
                      L"the notification area holds no icon 100 of the main window")) {
        return;
    }
    check.expect(shown(true), L"the notification area does not show the program's 16 × 16 icon");
    // A taskbar that comes back after Explorer restarted has lost the icons.
    check.expect(removeTrayIcon(main, ids::trayIcon) && !trayIconKnown(main, ids::trayIcon),
                 L"the icon could not be taken out of the notification area");
    check.expect(shown(false), L"the program's icon is still shown after it was taken out");
    sendTo(main, RegisterWindowMessageW(L"TaskbarCreated"));
    check.expect(waitUntil([&] { return trayIconKnown(main, ids::trayIcon); }, 3000),
                 L"after \"TaskbarCreated\" the notification area holds no icon 100 again");
    check.expect(shown(true), L"after \"TaskbarCreated\" the program's icon is not shown again");
    check.expect(rudi.running(), L"rudi ended on \"TaskbarCreated\"");
    if (rudi.running() && hideWithCancel(check, rudi)) {
        postTrayEvent(rudi, WM_LBUTTONDBLCLK);
        check.expect(waitUntil([&] { return IsWindowVisible(main) != FALSE; }, 3000),
                     L"after \"TaskbarCreated\" a double-click on the icon does not show the main "
                     L"window");
    }
}

void checkEscapeCloses(Check& check, const Setup& setup) {
    RudiRun rudi(check, setup, L"escape", Configuration{});
    rudi.start();
    HWND main = rudi.waitForMainWindow();
    HWND message = rudi.control(ids::restMessageEdit);
    const std::filesystem::path database = rudi.folder() / L"配置.edb";
    const auto stored = rudi::files::readWholeFile(database, 1 << 20).bytes;
    if (!clickToFocus(check, rudi, message, L"编辑框2")) {
        return;
    }
    // Enter does nothing: there is no default button, and it does not move the focus.
    pressKey(VK_RETURN);
    Sleep(700);
    check.expect(IsWindowVisible(main) != FALSE, L"Enter in 编辑框2 hid the main window");
    check.expect(focusOf(rudi.threadId()) == message, L"Enter in 编辑框2 moved the focus");
    check.expect(rudi::files::readWholeFile(database, 1 << 20).bytes == stored,
                 L"Enter in 编辑框2 changed 配置.edb");

    pressKey(VK_ESCAPE);
    if (!rudi.waitForExit(5000)) {
        check.abort(L"Esc on the main window did not end rudi within 5 s (window " +
                    std::wstring(IsWindow(main) ? L"still there" : L"gone") + L")");
    }
    check.expectEqual(L"exit code after Esc", rudi.exitCode(), 0);
    check.expect(!trayIconKnown(main, ids::trayIcon),
                 L"the tray icon is still in the notification area after the window closed");
}

} // namespace e2e
