// Without 配置.edb beside it, rudi stops during start-up with its run-time error report and
// ends with exit code -1, creating nothing.
#include "tests/e2e/driver/checks.h"
#include "tests/e2e/driver/input.h"
#include "tests/e2e/driver/inspect.h"
#include "tests/e2e/driver/screen.h"
#include "tests/e2e/driver/steps.h"
#include "tests/e2e/driver/text.h"

#include <filesystem>
#include <system_error>

namespace e2e {

namespace {

// How many of the icon's opaque pixels the screen shows at this place, out of how many.
std::pair<int, int> iconMatch(const Image& screen, POINT at, const IconPixels& icon) {
    int same = 0, opaque = 0;
    for (int y = 0; y < icon.colours.height; ++y) {
        for (int x = 0; x < icon.colours.width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * icon.colours.width + x;
            if (!icon.opaque[i] || at.x + x >= screen.width || at.y + y >= screen.height) {
                continue;
            }
            ++opaque;
            same += screen.at(at.x + x, at.y + y) == icon.colours.pixels[i] ? 1 : 0;
        }
    }
    return {same, opaque};
}

} // namespace

void checkMissingConfiguration(Check& check, const Setup& setup) {
    RudiRun rudi(check, setup, L"missing-configuration", std::nullopt);
    rudi.start();
    HWND box = nullptr;
    waitUntil([&] { return (box = rudi.errorBox()) != nullptr || !rudi.running(); }, 30000, 100);
    if (box == nullptr) {
        check.abort(rudi.running() ? L"no error box titled 错误 within 30 s"
                                   : L"rudi ended (exit code " + hex(rudi.exitCode()) +
                                         L") without showing an error box titled 错误");
    }
    check.expectEqual(L"error box class", className(box), L"#32770");
    check.expectEqual(L"error box title", windowText(box), L"错误");
    check.expect(GetWindow(box, GW_OWNER) == nullptr, L"the error box has an owner window");

    HWND text = nullptr, icon = nullptr;
    std::vector<HWND> buttons;
    for (HWND child : childWindows(box)) {
        if (!IsWindowVisible(child)) {
            continue;
        }
        const std::wstring cls = className(child);
        if (_wcsicmp(cls.c_str(), L"Static") == 0) {
            ((windowStyle(child) & SS_TYPEMASK) == SS_ICON ? icon : text) = child;
        } else if (_wcsicmp(cls.c_str(), L"Button") == 0) {
            buttons.push_back(child);
        }
    }
    if (text == nullptr) {
        check.fail(L"the error box has no text");
    } else {
        check.expectEqual(L"error box text", windowText(text),
                          L"运行时出错!\r\n\r\n错误信息：未指定当前数据库或者指定数据库未打开\r\n");
    }
    check.expectEqual(L"buttons of the error box", static_cast<long long>(buttons.size()), 1);
    if (!buttons.empty()) {
        check.expectEqual(L"the button's identifier (IDOK 1)", GetDlgCtrlID(buttons[0]), IDOK);
    }

    Sleep(300); // painted
    const Image shot = captureScreen();
    saveScreenshot(check, setup, L"error-box.png");
    if (icon == nullptr) {
        check.fail(L"the error box shows no icon");
    } else {
        const RECT r = windowRect(icon);
        const int size = r.right - r.left;
        const std::pair<const wchar_t*, LPCWSTR> icons[] = {{L"error", IDI_ERROR},
                                                            {L"warning", IDI_WARNING},
                                                            {L"information", IDI_INFORMATION},
                                                            {L"question", IDI_QUESTION}};
        std::wstring seen;
        double error = 0, best = 0;
        for (const auto& [name, id] : icons) {
            const auto [same, opaque] =
                iconMatch(shot, {r.left, r.top}, iconPixels(LoadIconW(nullptr, id), size));
            const double share = opaque > 0 ? static_cast<double>(same) / opaque : 0;
            if (id == IDI_ERROR) {
                error = share;
            } else {
                best = std::max(best, share);
            }
            seen += std::wstring(L" ") + name + L" " + std::to_wstring(same) + L"/" +
                    std::to_wstring(opaque);
        }
        check.expect(error >= 0.9 && error > best,
                     L"the error box's icon is not the error icon (pixels matching:" + seen + L")");
    }

    if (buttons.empty() || !clickCentre(buttons[0])) {
        check.abort(L"the error box's OK button could not be clicked");
    }
    if (!rudi.waitForExit(10000)) {
        check.abort(L"rudi did not end within 10 s of OK on the error box");
    }
    check.expectEqual(L"exit code after the error report", rudi.exitCode(), 0xFFFFFFFFll);

    // Nothing but the program itself is left in its folder: no 配置.edb was created.
    std::error_code ignored;
    std::wstring others;
    for (const auto& entry : std::filesystem::directory_iterator(rudi.folder(), ignored)) {
        if (entry.path().filename() != L"rudi.exe") {
            others += L" " + quote(entry.path().filename().wstring());
        }
    }
    check.expect(others.empty(), L"files created beside rudi.exe:" + others);
}

} // namespace e2e
