// The run time on Windows: builds windows from their designs, turns window messages into the
// designs' events, and carries out the handlers' requests.
#pragma once

#include "runtime/runtime.h"
#include "runtime/win32/local_clock.h"

#include <windows.h>

#include <shellapi.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace rudi::win32 {

class TunePlayer;
class Win32Runtime;

struct ControlInstance {
    const ControlDesign* design = nullptr;
    HWND hwnd = nullptr;
    int left = 0, top = 0, width = 0, height = 0; // relative to the design's parent
    HFONT ownFont = nullptr;                      // owned; null: the default GUI font
};

struct WindowInstance {
    Win32Runtime* runtime = nullptr;
    const WindowDesign* design = nullptr;
    HWND hwnd = nullptr;
    std::vector<ControlInstance> controls;
    HBRUSH background = nullptr; // owned when the design has a colour of its own
    int page = 0;                // selected page of the tab control
    bool ownsBackground = false;

    ControlInstance* control(std::string_view name);
    ControlInstance* control(HWND child);
    ControlInstance* controlById(int id);
};

class Win32Runtime final : public Runtime {
  public:
    explicit Win32Runtime(HINSTANCE instance);
    ~Win32Runtime() override;
    Win32Runtime(const Win32Runtime&) = delete;
    Win32Runtime& operator=(const Win32Runtime&) = delete;

    // Runs until no window of the program is left, then the exit clean-up; returns 0.
    int runMessageLoop();

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

    LRESULT handleMessage(WindowInstance& w, UINT message, WPARAM wParam, LPARAM lParam);

  private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK controlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR id, DWORD_PTR self);
    LRESULT handleControlMessage(WindowInstance& w, ControlInstance& c, UINT message, WPARAM wParam,
                                 LPARAM lParam, bool& handled);
    void onCommand(WindowInstance& w, WPARAM wParam, LPARAM lParam);
    LRESULT onNotify(WindowInstance& w, const NMHDR& header);
    LRESULT onControlColour(WindowInstance& w, HDC dc, HWND child, bool edit);
    void onDrawItem(WindowInstance& w, const DRAWITEMSTRUCT& item);
    void onTimer(WindowInstance& w, UINT_PTR id);
    void onDestroy(WindowInstance& w);

    void registerClass(const WindowDesign& design);
    void createControls(WindowInstance& w);
    void placeControl(WindowInstance& w, ControlInstance& c);
    POINT parentOrigin(WindowInstance& w, const ControlDesign& c);
    void showPage(WindowInstance& w, int page);
    void armTimer(WindowInstance& w, const ControlDesign& timer);
    NOTIFYICONDATAW trayRecord(HICON icon);
    void addTrayIcon();
    void removeTrayIcon();

    template <class F> void guarded(F&& handler);

    WindowInstance* instance(WindowName window);

    HINSTANCE instance_;
    std::map<WindowName, std::unique_ptr<WindowInstance>> windows_;
    void (*exitCleanup_)() = nullptr;
    bool ending_ = false;
    UINT taskbarCreated_ = 0;
    HICON trayIcon_ = nullptr;
    std::wstring trayTip_;
    HBITMAP banner_ = nullptr;
    SIZE bannerSize_{};
    HBRUSH faceBrush_ = nullptr;
    std::map<COLORREF, HBRUSH> brushes_; // owned, one per colour
    HBRUSH brush(COLORREF colour);
    std::unique_ptr<TunePlayer> tune_;
    LocalClock clock_;
};

} // namespace rudi::win32
