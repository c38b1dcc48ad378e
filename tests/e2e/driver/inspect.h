// Looking at another process's windows from outside: texts, classes, places, and the common
// controls' messages that need memory in the target process.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

// SendMessage with a time-out, so that a hung rudi fails a check instead of the whole run.
LRESULT sendTo(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

// A window's text, up to 4095 characters.
std::wstring windowText(HWND window);
// A window's whole text, however long (WM_GETTEXTLENGTH first).
std::wstring fullWindowText(HWND window);
std::wstring className(HWND window);
RECT windowRect(HWND window);
DWORD windowStyle(HWND window);
DWORD windowExStyle(HWND window);

// The top-level windows of a process, of a class (any class when null), visible or not.
std::vector<HWND> topLevelWindows(DWORD processId, const wchar_t* windowClass);
std::vector<HWND> childWindows(HWND parent);

// Polls condition every pollMs (50 ms at least) until it holds or timeoutMs have passed.
bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs = 50);

// The focused window of a GUI thread, or null.
HWND focusOf(DWORD threadId);

// A block of memory inside another process, freed on destruction.
class RemoteMemory {
  public:
    RemoteMemory(HANDLE process, std::size_t size);
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;
    ~RemoteMemory();
    bool valid() const { return address_ != nullptr; }
    LPARAM lParam() const { return reinterpret_cast<LPARAM>(address_); }
    void* address() const { return address_; }
    bool write(const void* data, std::size_t size, std::size_t offset = 0);
    bool read(void* data, std::size_t size, std::size_t offset = 0) const;

  private:
    HANDLE process_;
    void* address_ = nullptr;
};

// A tab control's item captions, through TCM_GETITEMCOUNT and TCM_GETITEMW.
std::optional<std::vector<std::wstring>> tabItemTexts(HANDLE process, HWND tab);
// An item's rectangle in the tab control's client coordinates (TCM_GETITEMRECT).
std::optional<RECT> tabItemRect(HANDLE process, HWND tab, int index);
// A date-time picker's value (DTM_GETSYSTEMTIME), when it holds one.
std::optional<SYSTEMTIME> pickerValue(HANDLE process, HWND picker);
// Gives a date-time picker a value (DTM_SETSYSTEMTIME), as the user's spinning would.
bool setPickerValue(HANDLE process, HWND picker, const SYSTEMTIME& value);

// Whether the notification area holds the icon (owner, id): a modification that changes
// nothing, which the shell accepts only for an icon it knows.
bool trayIconKnown(HWND owner, UINT id);
// Takes the icon out of the notification area, as a re-created taskbar that lost it would.
bool removeTrayIcon(HWND owner, UINT id);

} // namespace e2e
