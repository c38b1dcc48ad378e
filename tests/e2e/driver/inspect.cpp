#include "tests/e2e/driver/inspect.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

namespace e2e {

namespace {

struct Search {
    DWORD processId;
    const wchar_t* windowClass;
    std::vector<HWND> found;
};

BOOL CALLBACK collectTopLevel(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<Search*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search.processId &&
        (search.windowClass == nullptr || className(window) == search.windowClass)) {
        search.found.push_back(window);
    }
    return TRUE;
}

BOOL CALLBACK collectChild(HWND window, LPARAM context) {
    reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
    return TRUE;
}

} // namespace

LRESULT sendTo(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, 5000, &result) == 0) {
        return 0;
    }
    return static_cast<LRESULT>(result);
}

std::wstring windowText(HWND window) {
    std::wstring text(4096, L'\0');
    const LRESULT length =
        sendTo(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(std::clamp<LRESULT>(length, 0, 4095)));
    return text;
}

std::wstring fullWindowText(HWND window) {
    const LRESULT length = sendTo(window, WM_GETTEXTLENGTH);
    std::wstring text(static_cast<std::size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
    const LRESULT got =
        sendTo(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(std::clamp<LRESULT>(got, 0, length)));
    return text;
}

std::wstring className(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

RECT windowRect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

DWORD windowStyle(HWND window) {
    return static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
}

DWORD windowExStyle(HWND window) {
    return static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
}

std::vector<HWND> topLevelWindows(DWORD processId, const wchar_t* windowClass) {
    Search search{processId, windowClass, {}};
    EnumWindows(collectTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> childWindows(HWND parent) {
    std::vector<HWND> found;
    EnumChildWindows(parent, collectChild, reinterpret_cast<LPARAM>(&found));
    return found;
}

bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs) {
    // Slower polling than this made cold starts under Wine fail to find their display.
    pollMs = std::max<DWORD>(pollMs, 50);
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) {
            return true;
        }
        if (GetTickCount64() >= end) {
            return false;
        }
        Sleep(pollMs);
    }
}

HWND focusOf(DWORD threadId) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(threadId, &info) ? info.hwndFocus : nullptr;
}

RemoteMemory::RemoteMemory(HANDLE process, std::size_t size)
    : process_(process),
      address_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {}

RemoteMemory::~RemoteMemory() {
    if (address_ != nullptr) {
        VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    }
}

bool RemoteMemory::write(const void* data, std::size_t size, std::size_t offset) {
    SIZE_T written = 0;
    return address_ != nullptr &&
           WriteProcessMemory(process_, static_cast<char*>(address_) + offset, data, size,
                              &written) &&
           written == size;
}

bool RemoteMemory::read(void* data, std::size_t size, std::size_t offset) const {
    SIZE_T got = 0;
    return address_ != nullptr &&
           ReadProcessMemory(process_, static_cast<const char*>(address_) + offset, data, size,
                             &got) &&
           got == size;
}

std::optional<std::vector<std::wstring>> tabItemTexts(HANDLE process, HWND tab) {
    const auto count = static_cast<int>(sendTo(tab, TCM_GETITEMCOUNT, 0, 0));
    // The item record and, behind it, the buffer its text pointer names.
    constexpr std::size_t textChars = 256;
    RemoteMemory memory(process, sizeof(TCITEMW) + textChars * sizeof(wchar_t));
    if (!memory.valid()) {
        return std::nullopt;
    }
    std::vector<std::wstring> texts;
    for (int i = 0; i < count; ++i) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText =
            reinterpret_cast<wchar_t*>(static_cast<char*>(memory.address()) + sizeof(TCITEMW));
        item.cchTextMax = static_cast<int>(textChars);
        const std::wstring empty(textChars, L'\0');
        if (!memory.write(&item, sizeof item) ||
            !memory.write(empty.data(), textChars * sizeof(wchar_t), sizeof(TCITEMW)) ||
            sendTo(tab, TCM_GETITEMW, static_cast<WPARAM>(i), memory.lParam()) == 0) {
            return std::nullopt;
        }
        TCITEMW answered{};
        std::wstring text(textChars, L'\0');
        if (!memory.read(&answered, sizeof answered)) {
            return std::nullopt;
        }
        // The control may answer with a pointer to its own copy; both live in the target.
        const auto offset = reinterpret_cast<const char*>(answered.pszText) -
                            static_cast<const char*>(memory.address());
        if (offset == static_cast<std::ptrdiff_t>(sizeof(TCITEMW))) {
            memory.read(text.data(), textChars * sizeof(wchar_t), sizeof(TCITEMW));
        } else {
            SIZE_T got = 0;
            ReadProcessMemory(process, answered.pszText, text.data(),
                              (textChars - 1) * sizeof(wchar_t), &got);
        }
        text.resize(std::wcslen(text.c_str()));
        texts.push_back(text);
    }
    return texts;
}

std::optional<RECT> tabItemRect(HANDLE process, HWND tab, int index) {
    RemoteMemory memory(process, sizeof(RECT));
    RECT r{};
    if (!memory.valid() ||
        sendTo(tab, TCM_GETITEMRECT, static_cast<WPARAM>(index), memory.lParam()) == 0 ||
        !memory.read(&r, sizeof r)) {
        return std::nullopt;
    }
    return r;
}

std::optional<SYSTEMTIME> pickerValue(HANDLE process, HWND picker) {
    RemoteMemory memory(process, sizeof(SYSTEMTIME));
    SYSTEMTIME value{};
    if (!memory.valid() || sendTo(picker, DTM_GETSYSTEMTIME, 0, memory.lParam()) != GDT_VALID ||
        !memory.read(&value, sizeof value)) {
        return std::nullopt;
    }
    return value;
}

bool setPickerValue(HANDLE process, HWND picker, const SYSTEMTIME& value) {
    RemoteMemory memory(process, sizeof(SYSTEMTIME));
    return memory.write(&value, sizeof value) &&
           sendTo(picker, DTM_SETSYSTEMTIME, GDT_VALID, memory.lParam()) != 0;
}

bool trayIconKnown(HWND owner, UINT id) {
    NOTIFYICONDATAW record{};
    record.cbSize = sizeof record;
    record.hWnd = owner;
    record.uID = id;
    record.uFlags = 0;
    return Shell_NotifyIconW(NIM_MODIFY, &record) != FALSE;
}

bool removeTrayIcon(HWND owner, UINT id) {
    NOTIFYICONDATAW record{};
    record.cbSize = sizeof record;
    record.hWnd = owner;
    record.uID = id;
    return Shell_NotifyIconW(NIM_DELETE, &record) != FALSE;
}

} // namespace e2e
