// Without a usable 配置.edb beside it (none, or a read-only one), rudi stops during start-up
// with its run-time error report and ends with exit code -1, creating and changing nothing.
#include "tests/e2e/driver/checks.h"
#include "tests/e2e/driver/input.h"
#include "tests/e2e/driver/inspect.h"
#include "tests/e2e/driver/screen.h"
#include "tests/e2e/driver/steps.h"
#include "tests/e2e/driver/text.h"

#include "runtime/files.h"

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

// The run-time error report that stops rudi during start-up: a box titled 错误 without an
// owner, with the error icon, the text and one OK button; OK ends the process with -1.
void expectErrorReport(Check& check, const Setup& setup, const RudiRun& rudi,
                       const std::wstring& text, const std::wstring& screenshot) {
    HWND box = nullptr;
    waitUntil([&] { return (box = rudi.errorBox()) != nullptr || !rudi.running(); }, 30000, 100);
    if (box == nullptr) {
        check.abort(rudi.running() ? L"no error box titled 错误 within 30 s"
                                   : L"rudi ended (exit code " + hex(rudi.exitCode()) +
                                         L") without showing an error box titled 错误");
    }
    check.expectEqual(L"error box class", className(box), L"#32770");
    check.expectEqual(L"error box title", windowText(box), L"错误");
    const MessageBoxParts parts = expectOkBoxWithText(check, box, L"the error box", text);

    Sleep(300); // painted
    const Image shot = captureScreen();
    if (!screenshot.empty()) {
        saveScreenshot(check, setup, screenshot);
    }
    if (parts.icon == nullptr) {
        check.fail(L"the error box shows no icon");
    } else {
        const RECT r = windowRect(parts.icon);
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

    if (parts.buttons.empty() || !clickCentre(parts.buttons[0])) {
        check.abort(L"the error box's OK button could not be clicked");
    }
    if (!rudi.waitForExit(10000)) {
        check.abort(L"rudi did not end within 10 s of OK on the error box");
    }
    check.expectEqual(L"exit code after the error report", rudi.exitCode(), 0xFFFFFFFFll);
}

// The files in the run's folder other than rudi.exe and those named, quoted.
std::wstring otherFiles(const RudiRun& rudi, const std::vector<std::wstring>& expected) {
    std::error_code ignored;
    std::wstring others;
    for (const auto& entry : std::filesystem::directory_iterator(rudi.folder(), ignored)) {
        const std::wstring name = entry.path().filename().wstring();
        bool known = name == L"rudi.exe";
        for (const std::wstring& e : expected) {
            known = known || name == e;
        }
        if (!known) {
            others += L" " + quote(name);
        }
    }
    return others;
}

const wchar_t* const noDatabaseReport =
    L"运行时出错!\r\n\r\n错误信息：未指定当前数据库或者指定数据库未打开\r\n";

} // namespace

void checkMissingConfiguration(Check& check, const Setup& setup) {
    RudiRun rudi(check, setup, L"missing-configuration", std::nullopt);
    rudi.start();
    expectErrorReport(check, setup, rudi, noDatabaseReport, L"error-box.png");

    // Nothing but the program itself is left in its folder: no 配置.edb was created.
    const std::wstring others = otherFiles(rudi, {});
    check.expect(others.empty(), L"files created beside rudi.exe:" + others);
}

// A 配置.edb that cannot be opened for writing is no database for rudi: the same report as a
// missing one, and the file is left as it was.
void checkReadOnlyConfiguration(Check& check, const Setup& setup) {
    const std::wstring folder = L"read-only-configuration";
    const std::filesystem::path database = setup.workDir / folder / L"配置.edb";
    // A run before this one that stopped half-way may have left the file read-only, and the
    // folder is emptied first.
    SetFileAttributesW(database.c_str(), FILE_ATTRIBUTE_NORMAL);
    RudiRun rudi(check, setup, folder, Configuration{});
    struct Writable {
        const std::filesystem::path& file;
        ~Writable() { SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL); }
    } writableAgain{database};
    const std::string before = rudi::files::readWholeFile(database, 1 << 20).bytes;
    if (before.empty() || !SetFileAttributesW(database.c_str(), FILE_ATTRIBUTE_READONLY)) {
        check.abort(L"cannot make " + database.wstring() + L" read-only");
    }
    // As a program sees it. (Run as root, Wine still lets the file be opened for writing: the
    // attribute is what tells a reader that it must not write.)
    const DWORD set = GetFileAttributesW(database.c_str());
    if (set == INVALID_FILE_ATTRIBUTES || (set & FILE_ATTRIBUTE_READONLY) == 0) {
        check.abort(L"配置.edb does not show FILE_ATTRIBUTE_READONLY after it was set");
    }
    rudi.start();
    expectErrorReport(check, setup, rudi, noDatabaseReport, L"");

    const DWORD attributes = GetFileAttributesW(database.c_str());
    check.expect(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY),
                 L"配置.edb is no longer read-only after the run");
    const rudi::files::ReadResult after = rudi::files::readWholeFile(database, 1 << 20);
    check.expect(after.status == rudi::files::ReadStatus::ok && after.bytes == before,
                 L"the read-only 配置.edb changed: " + std::to_wstring(before.size()) +
                     L" bytes before, " + std::to_wstring(after.bytes.size()) + L" after" +
                     (after.bytes == before ? L"" : L", not the same bytes"));
    const std::wstring others = otherFiles(rudi, {L"配置.edb"});
    check.expect(others.empty(), L"files created beside rudi.exe:" + others);
}

// A program folder on a read-only disk: 配置.edb cannot be opened for writing, so the same
// report as a missing one, and nothing changes or appears there. The run gives the folder
// (run-e2e.sh mounts it read-only).
void checkReadOnlyFolder(Check& check, const Setup& setup) {
    if (setup.readOnlyFolder.empty()) {
        check.abort(L"the run gives no read-only folder (--read-only-folder; run-e2e.sh makes one "
                    L"with a read-only bind mount, which needs root)");
    }
    const std::filesystem::path database = setup.readOnlyFolder / L"配置.edb";
    const std::string before = rudi::files::readWholeFile(database, 1 << 20).bytes;
    if (before.empty()) {
        check.abort(L"the read-only folder holds no 配置.edb");
    }
    const std::filesystem::path probe = setup.readOnlyFolder / L"probe.tmp";
    HANDLE written = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (written != INVALID_HANDLE_VALUE) {
        CloseHandle(written);
        DeleteFileW(probe.c_str());
        check.abort(L"the read-only folder takes new files");
    }
    RudiRun rudi(check, setup, setup.readOnlyFolder.filename().wstring(), std::nullopt,
                 Folder::kept);
    rudi.start();
    expectErrorReport(check, setup, rudi, noDatabaseReport, L"");
    const rudi::files::ReadResult after = rudi::files::readWholeFile(database, 1 << 20);
    check.expect(after.status == rudi::files::ReadStatus::ok && after.bytes == before,
                 L"配置.edb in the read-only folder changed");
    const std::wstring others = otherFiles(rudi, {L"配置.edb"});
    check.expect(others.empty(), L"files beside rudi.exe in the read-only folder:" + others);
}

} // namespace e2e
