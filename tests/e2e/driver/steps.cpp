#include "tests/e2e/driver/steps.h"

#include "tests/e2e/driver/input.h"
#include "tests/e2e/driver/inspect.h"
#include "tests/e2e/driver/screen.h"
#include "tests/e2e/driver/text.h"

#include "runtime/files.h"
#include "runtime/win32/com_ptr.h"

#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cwctype>
#include <system_error>

namespace e2e {

void postTrayEvent(const RudiRun& rudi, UINT mouseMessage) {
    PostMessageW(rudi.mainWindow(), ids::trayMessage, ids::trayIcon, mouseMessage);
}

bool clickPage(Check& check, const RudiRun& rudi, int page) {
    HWND tab = rudi.control(ids::tab);
    const std::optional<RECT> item = tabItemRect(rudi.process(), tab, page);
    if (!item) {
        check.fail(L"TCM_GETITEMRECT gave no rectangle for tab " + std::to_wstring(page));
        return false;
    }
    const RECT t = windowRect(tab);
    const POINT centre{t.left + (item->left + item->right) / 2,
                       t.top + (item->top + item->bottom) / 2};
    if (!clickAt(centre)) {
        check.fail(L"the pointer could not be moved to the tab " + std::to_wstring(page));
        return false;
    }
    if (!waitUntil([&] { return sendTo(tab, TCM_GETCURSEL) == page; }, 3000)) {
        check.fail(L"a click on tab " + std::to_wstring(page) + L" did not select it");
        return false;
    }
    return true;
}

bool clickToFocus(Check& check, const RudiRun& rudi, HWND control, const std::wstring& name) {
    if (!clickCentre(control)) {
        check.fail(L"the pointer could not be moved onto " + name);
        return false;
    }
    if (!waitUntil([&] { return focusOf(rudi.threadId()) == control; }, 3000)) {
        check.fail(L"a click on " + name + L" did not give it the keyboard focus");
        return false;
    }
    return true;
}

std::optional<long long> countdownSeconds(const std::wstring& caption) {
    const std::wstring head = L"到下次提醒还有";
    const std::wstring tail = L"秒。";
    if (caption.size() <= head.size() + tail.size() || caption.rfind(head, 0) != 0 ||
        caption.compare(caption.size() - tail.size(), tail.size(), tail) != 0) {
        return std::nullopt;
    }
    const std::wstring number =
        caption.substr(head.size(), caption.size() - head.size() - tail.size());
    std::size_t start = number[0] == L'-' ? 1 : 0;
    if (start == number.size()) {
        return std::nullopt;
    }
    for (std::size_t i = start; i < number.size(); ++i) {
        if (!std::iswdigit(number[i])) {
            return std::nullopt;
        }
    }
    return std::stoll(number);
}

RECT relativeRect(HWND main, HWND control, HWND parent) {
    RECT r = windowRect(control);
    POINT origin{0, 0};
    if (parent == nullptr) {
        ClientToScreen(main, &origin);
    } else {
        const RECT p = windowRect(parent);
        origin = {p.left, p.top};
    }
    OffsetRect(&r, -origin.x, -origin.y);
    return r;
}

void saveScreenshot(Check& check, const Setup& setup, const std::wstring& name) {
    std::error_code ignored;
    std::filesystem::create_directories(setup.shotsDir, ignored);
    const std::filesystem::path file = setup.shotsDir / name;
    std::wstring error;
    if (!savePng(captureScreen(), file, error)) {
        check.fail(L"screenshot " + name + L" not saved: " + error);
        return;
    }
    check.note(L"screenshot " + file.wstring());
}

bool typeInto(Check& check, const RudiRun& rudi, HWND edit, const std::wstring& name,
              const std::wstring& text) {
    if (!clickToFocus(check, rudi, edit, name)) {
        return false;
    }
    sendTo(edit, EM_SETSEL, 0, -1);
    if (!typeText(text)) {
        check.fail(L"the keys for " + quote(text) + L" could not be sent to " + name);
        return false;
    }
    // The keys are queued: wait until the box holds them all.
    if (!waitUntil([&] { return windowText(edit) == text; }, 3000)) {
        check.fail(L"typing " + quote(text) + L" into " + name + L" left it holding " +
                   quote(windowText(edit)));
        return false;
    }
    return true;
}

MessageBoxParts messageBoxParts(HWND box) {
    MessageBoxParts parts;
    for (HWND child : childWindows(box)) {
        if (!IsWindowVisible(child)) {
            continue;
        }
        const std::wstring cls = className(child);
        if (_wcsicmp(cls.c_str(), L"Static") == 0) {
            ((windowStyle(child) & SS_TYPEMASK) == SS_ICON ? parts.icon : parts.text) = child;
        } else if (_wcsicmp(cls.c_str(), L"Button") == 0) {
            parts.buttons.push_back(child);
        }
    }
    return parts;
}

MessageBoxParts expectOkBoxWithText(Check& check, HWND box, const std::wstring& what,
                                    const std::wstring& text) {
    check.expect(GetWindow(box, GW_OWNER) == nullptr, what + L" has an owner window");
    MessageBoxParts parts = messageBoxParts(box);
    if (parts.text == nullptr) {
        check.fail(what + L" shows no text");
    } else {
        check.expectEqual(L"text of " + what, windowText(parts.text), text);
    }
    check.expectEqual(L"buttons of " + what, static_cast<long long>(parts.buttons.size()), 1);
    if (!parts.buttons.empty()) {
        check.expectEqual(L"button identifier of " + what + L" (IDOK 1)",
                          GetDlgCtrlID(parts.buttons[0]), IDOK);
    }
    return parts;
}

std::vector<std::wstring> recorderLog(const std::filesystem::path& log) {
    const rudi::files::ReadResult read = rudi::files::readWholeFile(log, 1 << 20);
    std::vector<std::wstring> lines;
    if (read.status != rudi::files::ReadStatus::ok) {
        return lines;
    }
    std::size_t start = 0;
    while (start < read.bytes.size()) {
        std::size_t end = read.bytes.find('\n', start);
        if (end == std::string::npos) {
            end = read.bytes.size();
        }
        std::string line = read.bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(fromUtf8(line));
        start = end + 1;
    }
    return lines;
}

std::wstring shownLines(const std::vector<std::wstring>& lines) {
    std::wstring out = L"[";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        out += (i ? L", " : L"") + quote(lines[i]);
    }
    return out + L"]";
}

std::optional<Link> readLink(const std::filesystem::path& file) {
    rudi::win32::ComPtr<IShellLinkW> link;
    rudi::win32::ComPtr<IPersistFile> persist;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.putVoid())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, persist.putVoid())) ||
        FAILED(persist->Load(file.c_str(), STGM_READ))) {
        return std::nullopt;
    }
    Link out;
    wchar_t buffer[MAX_PATH * 2] = {};
    link->GetPath(buffer, MAX_PATH * 2, nullptr, SLGP_RAWPATH);
    out.target = buffer;
    buffer[0] = L'\0';
    link->GetDescription(buffer, MAX_PATH * 2);
    out.description = buffer;
    return out;
}

std::filesystem::path startupFolder() {
    wchar_t buffer[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, buffer, CSIDL_STARTUP, FALSE)) {
        return {};
    }
    return std::filesystem::path(buffer);
}

bool clickOk(Check& check, const RudiRun& rudi) {
    if (!clickCentre(rudi.control(ids::okButton))) {
        check.fail(L"the pointer could not be moved onto 确定");
        return false;
    }
    return check.expect(waitUntil([&] { return !IsWindowVisible(rudi.mainWindow()); }, 3000),
                        L"a click on 确定 left the main window on the screen");
}

bool showFromTray(Check& check, const RudiRun& rudi) {
    if (IsWindowVisible(rudi.mainWindow())) {
        return true;
    }
    postTrayEvent(rudi, WM_LBUTTONDBLCLK);
    return check.expect(
        waitUntil([&] { return IsWindowVisible(rudi.mainWindow()) != FALSE; }, 3000),
        L"the main window does not come back on a double-click on the tray icon");
}

HWND restWindowOf(const RudiRun& rudi) {
    for (HWND w : topLevelWindows(rudi.processId(), L"rudi.RestWindow")) {
        if (IsWindowVisible(w)) {
            return w;
        }
    }
    return nullptr;
}

} // namespace e2e
