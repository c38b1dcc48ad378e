// Steps that several checks take: switching pages with a click, the tray icon's messages,
// reading the countdown, saving a screenshot.
#pragma once

#include "tests/e2e/driver/check.h"
#include "tests/e2e/driver/rudi_run.h"

#include <windows.h>

#include <optional>
#include <string>

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

} // namespace e2e
