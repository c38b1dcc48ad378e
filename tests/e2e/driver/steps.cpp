#include "tests/e2e/driver/steps.h"

#include "tests/e2e/driver/input.h"
#include "tests/e2e/driver/inspect.h"
#include "tests/e2e/driver/screen.h"

#include <commctrl.h>

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

} // namespace e2e
