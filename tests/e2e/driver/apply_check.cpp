// 确定 stores what the controls hold as the one record of 配置.edb, hides the window, creates or
// deletes the shortcut in the Startup folder as 选择框1 says, and restarts the countdown from
// the full interval.
#include "tests/e2e/driver/checks.h"
#include "tests/e2e/driver/inspect.h"
#include "tests/e2e/driver/steps.h"
#include "tests/e2e/driver/text.h"

#include "runtime/files.h"
#include "runtime/win32/com_ptr.h"
#include "settings/edb_format.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <system_error>
#include <variant>

namespace e2e {

namespace fs = std::filesystem;

namespace {

struct Stored {
    std::size_t records = 0;
    std::vector<std::wstring> texts; // the first record's text fields, in field order
    int autoRun = -1;                // its logical field: 1, 0, or -1 when there is none
};

std::optional<Stored> readConfiguration(const fs::path& file) {
    const rudi::files::ReadResult read = rudi::files::readWholeFile(file, 1 << 20);
    if (read.status != rudi::files::ReadStatus::ok) {
        return std::nullopt;
    }
    const std::optional<rudi::edb::Table> table = rudi::edb::parse(read.bytes);
    if (!table) {
        return std::nullopt;
    }
    Stored stored;
    stored.records = table->records.size();
    if (!table->records.empty()) {
        for (const rudi::edb::Value& value : table->records[0].values) {
            if (const auto* text = std::get_if<rudi::Text>(&value)) {
                stored.texts.push_back(fromGbk(*text));
            } else {
                stored.autoRun = std::get<rudi::edb::Logical>(value).value ? 1 : 0;
            }
        }
    }
    return stored;
}

std::wstring describe(const Stored& s) {
    std::wstring shown = std::to_wstring(s.records) + L" record(s), first:";
    for (const std::wstring& text : s.texts) {
        shown += L" " + quote(text);
    }
    return shown + L" " + std::to_wstring(s.autoRun);
}

void expectStored(Check& check, const fs::path& file, const std::vector<std::wstring>& texts,
                  int autoRun, const std::wstring& when) {
    std::optional<Stored> stored;
    waitUntil(
        [&] {
            stored = readConfiguration(file);
            return stored && stored->records == 1 && stored->texts == texts &&
                   stored->autoRun == autoRun;
        },
        3000);
    if (!stored) {
        check.fail(L"配置.edb cannot be read " + when);
        return;
    }
    Stored want{1, texts, autoRun};
    check.expect(stored->records == 1 && stored->texts == texts && stored->autoRun == autoRun,
                 L"配置.edb " + when + L" holds " + describe(*stored) + L", expected " +
                     describe(want));
}

bool pressOk(Check& check, const RudiRun& rudi) {
    sendTo(rudi.control(ids::okButton), BM_CLICK);
    return check.expect(waitUntil([&] { return !IsWindowVisible(rudi.mainWindow()); }, 3000),
                        L"确定 (BM_CLICK on 按钮1) left the main window on the screen");
}

} // namespace

void checkApplySettings(Check& check, const Setup& setup) {
    RudiRun rudi(check, setup, L"apply", Configuration{}); // 25 minutes, 选择框1 checked
    const fs::path startup = startupFolder();
    if (startup.empty()) {
        check.abort(L"the test prefix has no Startup folder");
    }
    const fs::path link = startup / L"rudi.lnk";
    std::error_code ignored;
    fs::remove(link, ignored);
    rudi.start();
    rudi.waitForMainWindow();
    const fs::path database = rudi.folder() / L"配置.edb";

    // What the user enters: an interval, two messages, 2013-06-27 (picked at 15:30, a time the
    // date must not carry) and 9:05:09.
    const std::wstring interval = L"30", rest = L"喝口水，伸个懒腰。", event = L"交周报。";
    sendTo(rudi.control(ids::intervalEdit), WM_SETTEXT, 0,
           reinterpret_cast<LPARAM>(interval.c_str()));
    sendTo(rudi.control(ids::restMessageEdit), WM_SETTEXT, 0,
           reinterpret_cast<LPARAM>(rest.c_str()));
    sendTo(rudi.control(ids::eventMessageEdit), WM_SETTEXT, 0,
           reinterpret_cast<LPARAM>(event.c_str()));
    const SYSTEMTIME date{2013, 6, 4, 27, 15, 30, 0, 0};
    const SYSTEMTIME time{2013, 6, 4, 27, 9, 5, 9, 0};
    if (!setPickerValue(rudi.process(), rudi.control(ids::datePicker), date) ||
        !setPickerValue(rudi.process(), rudi.control(ids::timePicker), time)) {
        check.abort(L"the pickers do not take 2013-06-27 and 9:05:09 (DTM_SETSYSTEMTIME)");
    }
    if (!pressOk(check, rudi)) {
        return;
    }
    expectStored(check, database, {interval, rest, L"2013年6月27日* 9:05:09", event}, 1,
                 L"after 确定 with 选择框1 checked");
    if (!waitUntil([&] { return fs::exists(link, ignored); }, 3000)) {
        check.fail(L"确定 with 选择框1 checked made no " + link.wstring());
    } else if (const std::optional<Link> made = readLink(link)) {
        const fs::path target = rudi.folder() / L"rudi.EXE";
        check.expect(_wcsicmp(made->target.c_str(), target.c_str()) == 0 &&
                         made->target.size() >= 9 &&
                         made->target.compare(made->target.size() - 9, 9, L"\\rudi.EXE") == 0,
                     L"the shortcut points at " + quote(made->target) + L", expected " +
                         quote(target.wstring()));
        check.expectEqual(L"the shortcut's description", made->description, L"快捷方式");
        // As written: readers of a link take any value but 3 and 7 for SW_SHOWNORMAL.
        const rudi::files::ReadResult bytes = rudi::files::readWholeFile(link, 1 << 20);
        long long show = -1;
        if (bytes.bytes.size() >= 0x40) {
            show = static_cast<unsigned char>(bytes.bytes[0x3C]) |
                   static_cast<unsigned char>(bytes.bytes[0x3D]) << 8;
        }
        check.expectEqual(L"the shortcut's show command (SW_SHOW 5) at offset 0x3C", show, SW_SHOW);
    } else {
        check.fail(L"the shortcut " + link.wstring() + L" cannot be read");
    }
    // The countdown starts again from the 30 minutes just applied.
    HWND countdown = rudi.control(ids::countdownLabel);
    std::optional<long long> left;
    check.expect(waitUntil(
                     [&] {
                         left = countdownSeconds(windowText(countdown));
                         return left && *left >= 1790 && *left <= 1800;
                     },
                     4000),
                 L"after 确定 标签7 shows " + quote(windowText(countdown)) +
                     L", not a countdown from 1800 seconds");

    // Shown again, 选择框1 unchecked, 确定: the shortcut goes.
    postTrayEvent(rudi, WM_LBUTTONDBLCLK);
    if (!waitUntil([&] { return IsWindowVisible(rudi.mainWindow()) != FALSE; }, 3000)) {
        check.abort(L"the main window does not come back on a double-click on the tray icon");
    }
    sendTo(rudi.control(ids::autoRunBox), BM_CLICK);
    if (!pressOk(check, rudi)) {
        return;
    }
    expectStored(check, database, {interval, rest, L"2013年6月27日* 9:05:09", event}, 0,
                 L"after 确定 with 选择框1 unchecked");
    check.expect(waitUntil([&] { return !fs::exists(link, ignored); }, 3000),
                 L"确定 with 选择框1 unchecked left " + link.wstring());
}

} // namespace e2e
