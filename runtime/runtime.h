// The run-time interface: everything a handler needs of the desktop and the system. Handlers
// address windows and controls by their design names each time they need them.
#pragma once

#include "engine/date_time.h"
#include "engine/texts.h"
#include "runtime/window_design.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

namespace rudi {

struct ScreenSize {
    int width, height;
};

enum class Geometry { left, top, width, height };

class Runtime {
  public:
    virtual ~Runtime() = default;

    // Windows. Loading creates a window from its design, runs its creation handler and shows
    // it; loading a window that exists only activates it (restored first if minimized).
    virtual void loadWindow(WindowName window) = 0;
    virtual bool windowExists(WindowName window) = 0;
    // Carried out after the running handler has returned; the will-be-destroyed handler runs.
    virtual void destroyWindow(WindowName window) = 0;
    virtual void setWindowVisible(WindowName window, bool visible) = 0;
    virtual bool windowVisible(WindowName window) = 0;
    virtual void setAlwaysOnTop(WindowName window, bool onTop) = 0;
    virtual void enableMaximizeBox(WindowName window) = 0;
    virtual void maximizeWindow(WindowName window) = 0;
    // Layered, with the given alpha for the whole window. Failures leave it opaque.
    virtual void makeTranslucent(WindowName window, int alpha) = 0;
    // The themed look for every window of the GUI thread.
    virtual void enableThemedLook() = 0;

    // Controls. A control of a window that does not exist reads as empty and ignores writes.
    virtual Text text(WindowName window, std::string_view control) = 0;
    virtual void setText(WindowName window, std::string_view control, std::string_view text) = 0;
    virtual std::int32_t checked(WindowName window, std::string_view control) = 0;
    virtual void setChecked(WindowName window, std::string_view control, bool checked) = 0;
    virtual DateTime dateTimeValue(WindowName window, std::string_view control) = 0;
    virtual void setDateTimeValue(WindowName window, std::string_view control, DateTime value) = 0;
    virtual void setDateTimeFormat(WindowName window, std::string_view control,
                                   std::string_view format) = 0;
    // Positions relative to the parent's client area, in pixels.
    virtual int geometry(WindowName window, std::string_view control, Geometry which) = 0;
    virtual void setGeometry(WindowName window, std::string_view control, Geometry which,
                             int value) = 0;

    // The notification-area icon of a window (the program's icon), its tip, and its menu.
    virtual void setTrayIcon(WindowName window, bool present, std::string_view tip) = 0;
    virtual void popUpTrayMenu(WindowName window, std::string_view menuCaption) = 0;

    // A message box: OK only, no owner, task-modal. Timer events go on while it is open.
    virtual void messageBox(std::string_view text, std::string_view title) = 0;

    // The system.
    virtual bool runCommandLine(std::string_view commandLine, bool wait) = 0;
    virtual void openWebAddress(std::string_view address) = 0;
    virtual std::optional<std::filesystem::path> startupFolder() = 0;
    virtual std::filesystem::path programDirectory() = 0;
    virtual bool createShortcut(const std::filesystem::path& link,
                                const std::filesystem::path& target,
                                std::string_view description) = 0;
    virtual bool deleteFile(const std::filesystem::path& path) = 0;
    virtual ScreenSize screenSize() = 0;

    // The exit clean-up: run once on either ordinary end, never after an error report.
    virtual void registerExitCleanup(void (*cleanup)()) = 0;

    // Ends the program at once: no will-be-destroyed handler runs, the tray icon goes, the
    // exit clean-up runs once.
    [[noreturn]] virtual void endProgram(int exitCode) = 0;
    // The run-time error report: the box, then the process ends with -1 without the exit
    // clean-up. No code: the report leaves the code line out.
    [[noreturn]] virtual void reportError(std::optional<int> code, std::string_view message) = 0;
};

// The text of the run-time error report.
Text errorReportText(std::optional<int> code, std::string_view message);
inline constexpr std::string_view errorReportTitle = "错误";

} // namespace rudi
