// A run time without Windows: windows and controls as property maps built from the designs,
// a settable screen, and every system call recorded. Events are raised by the test.
#pragma once

#include "runtime/runtime.h"

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace rudi::testing {

// Thrown where a real program would end: endProgram and the error report.
struct ProgramEnded {
    int exitCode;
};

struct FakeControl {
    Text text;
    bool checked = false;
    DateTime value = 0;
    Text dateTimeFormat;
    int left = 0, top = 0, width = 0, height = 0;
};

struct FakeWindow {
    bool visible = false;
    bool topmost = false;
    bool maximizeBox = false;
    bool maximized = false;
    std::optional<int> alpha;
    int activations = 0;
    std::map<std::string, FakeControl, std::less<>> controls;
};

struct MessageBoxShown {
    Text text;
    Text title;
    bool restWindowTopmost; // the rest window's band while the box was open (false if none)
};

struct ShortcutWritten {
    std::filesystem::path link, target;
    Text description;
};

class FakeRuntime : public Runtime {
  public:
    FakeRuntime();
    ~FakeRuntime() override;

    // Events, as the Windows run time raises them; deferred destructions are carried out
    // after each event's handler has returned.
    void start(); // the program's start sequence
    void tick();  // the main window's timer
    void click(WindowName window, std::string_view control);
    void releaseLeftButton(WindowName window, std::string_view control);
    void trayEvent(std::int32_t code);
    void chooseMenuItem(std::string_view item);
    void close(WindowName window); // close box, Alt+F4 or Esc

    FakeWindow* window(WindowName window);
    FakeControl& control(WindowName window, std::string_view name);

    ScreenSize screen{1024, 768};
    std::optional<std::filesystem::path> startup = std::filesystem::path("/startup");
    std::filesystem::path programDir = "/program";
    bool commandLinesStart = true;
    // Runs while a message box is open (a modal loop keeps dispatching timer events).
    std::function<void()> whileMessageBoxOpen;

    std::vector<MessageBoxShown> messageBoxes;
    std::vector<std::pair<Text, bool>> commandLines; // command line, wait
    std::vector<Text> webAddresses;
    std::vector<ShortcutWritten> shortcuts;
    std::vector<std::filesystem::path> deletedFiles;
    std::vector<std::string> trayCalls; // "add rudi", "remove", "menu 托盘菜单"
    // Window lifecycle: "created rest", "destroyed rest" (will-be-destroyed raised), "torn down
    // rest" (ended with the program, no handler).
    std::vector<std::string> events;
    // What the handlers did to the desktop and the system, in order: "hide main", "show main",
    // "box TITLE", "command LINE", "shortcut LINK", "delete PATH", "web ADDRESS".
    std::vector<std::string> log;
    std::function<void(const std::string&)> onLog; // sees each entry as it is made
    bool trayIconPresent = false;
    bool themedLook = false;
    int tunePlays = 0;
    bool tunePlaying = false;
    std::optional<int> exitCode;
    int exitCleanups = 0;

    // Runtime
    void loadWindow(WindowName window) override;
    bool windowExists(WindowName window) override;
    void destroyWindow(WindowName window) override;
    void setWindowVisible(WindowName window, bool visible) override;
    bool windowVisible(WindowName window) override;
    void setAlwaysOnTop(WindowName window, bool onTop) override;
    void enableMaximizeBox(WindowName window) override;
    void maximizeWindow(WindowName window) override;
    void makeTranslucent(WindowName window, int alpha) override;
    void enableThemedLook() override;
    Text text(WindowName window, std::string_view control) override;
    void setText(WindowName window, std::string_view control, std::string_view text) override;
    std::int32_t checked(WindowName window, std::string_view control) override;
    void setChecked(WindowName window, std::string_view control, bool checked) override;
    DateTime dateTimeValue(WindowName window, std::string_view control) override;
    void setDateTimeValue(WindowName window, std::string_view control, DateTime value) override;
    void setDateTimeFormat(WindowName window, std::string_view control,
                           std::string_view format) override;
    int geometry(WindowName window, std::string_view control, Geometry which) override;
    void setGeometry(WindowName window, std::string_view control, Geometry which,
                     int value) override;
    void setTrayIcon(WindowName window, bool present, std::string_view tip) override;
    void popUpTrayMenu(WindowName window, std::string_view menuCaption) override;
    void messageBox(std::string_view text, std::string_view title) override;
    bool runCommandLine(std::string_view commandLine, bool wait) override;
    void openWebAddress(std::string_view address) override;
    std::optional<std::filesystem::path> startupFolder() override;
    std::filesystem::path programDirectory() override;
    bool createShortcut(const std::filesystem::path& link, const std::filesystem::path& target,
                        std::string_view description) override;
    bool deleteFile(const std::filesystem::path& path) override;
    ScreenSize screenSize() override;
    void registerExitCleanup(void (*cleanup)()) override;
    [[noreturn]] void endProgram(int exitCode) override;
    [[noreturn]] void reportError(std::optional<int> code, std::string_view message) override;

  private:
    void record(std::string entry);
    void dispatch(const std::function<void()>& handler);
    void destroyNow(WindowName window, bool raiseWillBeDestroyed);
    void endIfNoWindowLeft();

    std::map<WindowName, FakeWindow> windows_;
    std::vector<WindowName> pendingDestroy_;
    bool ending_ = false;
    void (*exitCleanup_)() = nullptr;
    void runExitCleanup();
};

// A clock the test sets; installed for the lifetime of the object.
class FakeClock : public Clock {
  public:
    explicit FakeClock(WallClockTime start = {2013, 6, 27, 9, 0, 0});
    ~FakeClock() override;
    WallClockTime localNow() override;
    void set(WallClockTime t) { now_ = t; }
    // Moves on by whole seconds, across minutes, hours and days.
    void advance(int seconds = 1);
    // Runs before each reading, so a test can move the clock between readings.
    std::function<void(WallClockTime&)> onRead;

  private:
    WallClockTime now_;
};

} // namespace rudi::testing
