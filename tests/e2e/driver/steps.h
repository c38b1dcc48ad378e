// Steps that several checks take: switching pages with a click, the tray icon's messages,
// reading the countdown, saving a screenshot.
#pragma once

#include "tests/e2e/driver/check.h"
#include "tests/e2e/driver/rudi_run.h"

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

// Posts the tray icon's callback message with a mouse message, as the shell does.
void postTrayEvent(const RudiRun& rudi, UINT mouseMessage);

// Clicks the tab of page `page` ("提醒" 0, "关于" 1) and waits until it is selected.
bool clickPage(Check& check, const RudiRun& rudi, int page);

// Clicks a control and waits until it has the keyboard focus.
bool clickToFocus(Check& check, const RudiRun& rudi, HWND control, const std::wstring& name);

// The number in the countdown caption "到下次提醒还有N秒。", if the caption has that form.
std::optional<long long> countdownSeconds(const std::wstring& caption);

// A control's rectangle relative to its parent in the design: to the main window's client
// area for parent 0, to the parent control's window rectangle otherwise.
RECT relativeRect(HWND main, HWND control, HWND parent);

// Captures the screen and saves it as shotsDir/name; a failure fails the check.
void saveScreenshot(Check& check, const Setup& setup, const std::wstring& name);

// Clicks into an edit box, selects all it holds and types `text` over it with real keys; a
// line break ("\r\n") is typed as Enter.
bool typeInto(Check& check, const RudiRun& rudi, HWND edit, const std::wstring& name,
              const std::wstring& text);

// The parts of a message box (a "#32770" window) that are on the screen: its text, its icon
// (a Static of type SS_ICON) and its buttons.
struct MessageBoxParts {
    HWND text = nullptr;
    HWND icon = nullptr;
    std::vector<HWND> buttons;
};
MessageBoxParts messageBoxParts(HWND box);

// A box without an owner showing exactly text, with one OK button; its parts, for more checks.
// what names the box in the messages ("the error box").
MessageBoxParts expectOkBoxWithText(Check& check, HWND box, const std::wstring& what,
                                    const std::wstring& text);

// The shutdown recorder's log: one UTF-8 line per start, the command line as it saw it.
std::vector<std::wstring> recorderLog(const std::filesystem::path& log);
// The lines as ["a", "b"], quoted.
std::wstring shownLines(const std::vector<std::wstring>& lines);

// A shortcut's target (as written, SLGP_RAWPATH) and description, read through IShellLinkW.
struct Link {
    std::wstring target;
    std::wstring description;
};
std::optional<Link> readLink(const std::filesystem::path& file);

// The current user's Startup folder, as the program asks for it (CSIDL_STARTUP, not created).
std::filesystem::path startupFolder();

// Clicks the middle of 确定 with the pointer and waits until the main window has gone.
bool clickOk(Check& check, const RudiRun& rudi);

// Shows the main window with a double-click on the tray icon, unless it is shown already.
bool showFromTray(Check& check, const RudiRun& rudi);

// The rest window (a visible "rudi.RestWindow" of the process), or null.
HWND restWindowOf(const RudiRun& rudi);

} // namespace e2e
