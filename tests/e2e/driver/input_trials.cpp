// Big and odd texts through the window: a rest message of 100,000 bytes and an event message of
// 1,000,000 bytes with line breaks, stored by 确定, shown in the event box and the rest window and
// loaded back by the next start; texts with lone lead bytes and bytes GBK does not define, read
// from 配置.edb and shown; characters that GBK lacks typed into the W edit boxes. Each is stored,
// loaded back and shown as the rules say, and nothing crashes.
#include "tests/e2e/driver/checks.h"
#include "tests/e2e/driver/events.h"
#include "tests/e2e/driver/inspect.h"
#include "tests/e2e/driver/screen.h"
#include "tests/e2e/driver/steps.h"
#include "tests/e2e/driver/text.h"

#include "runtime/files.h"
#include "settings/edb_configuration.h"
#include "settings/edb_format.h"

#include <windows.h>

#include <cstdio>

namespace e2e {

namespace {

constexpr DWORD bigTimeoutMs = 60000;

bool sendLong(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, bigTimeoutMs,
                               &result) != 0;
}

bool setText(Check& check, HWND edit, const std::wstring& name, const std::wstring& text) {
    return check.expect(sendLong(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())),
                        name + L" did not take a text of " + std::to_wstring(text.size()) +
                            L" characters (WM_SETTEXT)");
}

bool applyLong(Check& check, const RudiRun& rudi) {
    HWND ok = rudi.control(ids::okButton);
    return check.expect(sendLong(rudi.mainWindow(), WM_COMMAND,
                                 MAKEWPARAM(ids::okButton, BN_CLICKED),
                                 reinterpret_cast<LPARAM>(ok)),
                        L"确定 did not finish within 60 s");
}

// The record's texts as stored: 提示频率, 提示信息1, 事件时间, 提示信息2.
std::optional<rudi::edb::Record> storedRecord(Check& check, const std::filesystem::path& file) {
    const auto read = rudi::files::readWholeFile(file, rudi::edb::maxFileBytes);
    rudi::edb::ParseError error = rudi::edb::ParseError::none;
    const auto table = read.status == rudi::files::ReadStatus::ok
                           ? rudi::edb::parse(read.bytes, &error)
                           : std::nullopt;
    if (!table || table->records.size() != 1 || table->records[0].values.size() != 5) {
        check.fail(L"配置.edb does not hold one record of five fields after 确定 (" +
                   (table ? std::to_wstring(table->records.size()) + L" records"
                          : fromUtf8(std::string(rudi::edb::describe(error)))) +
                   L")");
        return std::nullopt;
    }
    return table->records[0];
}

std::string storedText(const rudi::edb::Record& record, std::size_t field) {
    const auto* text = std::get_if<rudi::Text>(&record.values[field]);
    return text != nullptr ? *text : std::string("(not a text)");
}

std::wstring sizeShown(const std::string& bytes) {
    return std::to_wstring(bytes.size()) + L" bytes";
}

// 50,000 characters of two bytes each.
std::wstring bigRestMessage() {
    std::wstring text;
    const std::wstring part = L"休息一下，看看窗外。";
    while (text.size() < 50000) {
        text += part;
    }
    text.resize(50000);
    return text;
}

// Numbered lines, 1,000,000 bytes in all, the last one cut short.
std::wstring bigEventMessage() {
    std::wstring text;
    std::size_t bytes = 0;
    for (int line = 1; bytes < 1000000; ++line) {
        const std::wstring next = L"第" + std::to_wstring(line) +
                                  L"行：会议记录，三楼会议室。Line " + std::to_wstring(line) +
                                  L" of the minutes.\r\n";
        for (wchar_t c : next) {
            const std::size_t size = c < 0x80 ? 1 : 2;
            if (bytes + size > 1000000) {
                break;
            }
            text += c;
            bytes += size;
        }
    }
    return text;
}

} // namespace

void checkBigTexts(Check& check, const Setup& setup) {
    Configuration configuration;
    configuration.interval = L"1";
    const std::wstring folderName = L"big texts";
    const std::wstring restMessage = bigRestMessage();
    const std::wstring eventMessage = bigEventMessage();
    check.expectEqual(L"the rest message's bytes", static_cast<long long>(gbk(restMessage).size()),
                      100000);
    check.expectEqual(L"the event message's bytes",
                      static_cast<long long>(gbk(eventMessage).size()), 1000000);
    {
        RudiRun rudi(check, setup, folderName, configuration);
        rudi.start();
        rudi.waitForMainWindow();
        if (!setText(check, rudi.control(ids::restMessageEdit), L"编辑框2", restMessage) ||
            !setText(check, rudi.control(ids::eventMessageEdit), L"编辑框3", eventMessage)) {
            return;
        }
        const SYSTEMTIME when = secondsAhead(8);
        const ULONGLONG applyStarted = GetTickCount64();
        if (!setEventTime(check, rudi, when) || !applyLong(check, rudi)) {
            return;
        }
        check.note(L"确定 with 1.1 MB of texts took " +
                   std::to_wstring(GetTickCount64() - applyStarted) + L" ms");
        if (const auto record = storedRecord(check, rudi.folder() / L"配置.edb")) {
            check.expect(storedText(*record, 1) == gbk(restMessage),
                         L"提示信息1 holds " + sizeShown(storedText(*record, 1)) +
                             L", not the 100,000 bytes of the rest message");
            check.expect(storedText(*record, 3) == gbk(eventMessage),
                         L"提示信息2 holds " + sizeShown(storedText(*record, 3)) +
                             L", not the 1,000,000 bytes of the event message");
        }

        const EventSeen seen = watchForEventBox(rudi, msOf(when) + 5000);
        if (seen.box == nullptr) {
            check.fail(L"no event box for the 1 MB message" +
                       std::wstring(rudi.running() ? L"" : L"; rudi has ended"));
        } else {
            std::wstring timing;
            check.expect(withinSecond(when, seen.seenAtMs, timing),
                         L"the event box with the 1 MB message came outside its second: " + timing);
            check.note(L"the event box with the 1 MB message: " + timing);
            const MessageBoxParts parts = messageBoxParts(seen.box);
            check.expect(parts.text != nullptr && fullWindowText(parts.text) == eventMessage,
                         L"the event box does not show the whole 1 MB message");
            const RECT r = windowRect(seen.box);
            check.note(L"the event box with the 1 MB message lies at " + std::to_wstring(r.left) +
                       L"," + std::to_wstring(r.top) + L", " + std::to_wstring(r.right - r.left) +
                       L"×" + std::to_wstring(r.bottom - r.top));
            saveScreenshot(check, setup, L"event-box-1mb.png");
            dismissBox(check, seen.box, L"the event box", true);
        }

        HWND rest = nullptr;
        waitUntil([&] { return (rest = restWindowOf(rudi)) != nullptr || !rudi.running(); }, 70000,
                  100);
        if (rest == nullptr) {
            check.abort(rudi.running() ? L"no rest window within 70 s of 确定"
                                       : L"rudi ended before the rest window came");
        }
        HWND message = GetDlgItem(rest, ids::restWindowMessage);
        check.expect(message != nullptr && fullWindowText(message) == restMessage,
                     L"透明标签1 of the rest window does not hold the whole 100,000-byte message");
        if (message != nullptr) {
            const RECT r = windowRect(message);
            check.note(L"透明标签1 with the 100,000-byte message lies at " +
                       std::to_wstring(r.left) + L"," + std::to_wstring(r.top) + L", " +
                       std::to_wstring(r.right - r.left) + L"×" +
                       std::to_wstring(r.bottom - r.top));
            // Its middle is on the screen, in red.
            RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
            RECT visible{};
            const int red = IntersectRect(&visible, &r, &screen)
                                ? countTextPixels(captureScreen(), visible, rgb(0xFF, 0, 0),
                                                  rgb(0xC0, 0xC0, 0xC0))
                                : 0;
            check.expect(red >= 30, L"the screen shows " + std::to_wstring(red) +
                                        L" red text pixels of the 100,000-byte rest message");
        }
        saveScreenshot(check, setup, L"rest-window-100k.png");
        HWND button = GetDlgItem(rest, ids::restWindowButton);
        check.expect(button != nullptr && sendTo(button, BM_CLICK) == 0 &&
                         waitUntil([&] { return !IsWindow(rest); }, 5000),
                     L"开始工作 did not end the rest with the 100,000-byte message");
        check.expect(rudi.running(), L"rudi ended with the big texts");
    }
    // The next start loads them back into the edit boxes.
    RudiRun again(check, setup, folderName, std::nullopt, Folder::kept);
    again.start();
    again.waitForMainWindow();
    check.expect(fullWindowText(again.control(ids::restMessageEdit)) == restMessage,
                 L"编辑框2 after a new start does not hold the 100,000-byte message");
    check.expect(fullWindowText(again.control(ids::eventMessageEdit)) == eventMessage,
                 L"编辑框3 after a new start does not hold the 1 MB message");
}

void checkOddBytes(Check& check, const Setup& setup) {
    // Texts as a file may hold them: a lone lead byte at the end, a lead byte before a line
    // break, bytes that no GBK character starts with, a zero-free mix.
    const std::string interval = "1\x81";
    const std::string restMessage = "\xD0\xDD\xCF\xA2\x81"; // 休息 and a lone lead
    const std::string eventMessage = "A\x81\r\nB\xFF\x80"
                                     "C\xFE"; // odd bytes between
    rudi::edb::Table table = rudi::edb::configurationTable();
    const SYSTEMTIME when = secondsAhead(12);
    table.records.push_back(rudi::edb::Record{false,
                                              {interval, restMessage, gbk(eventTimeText(when)),
                                               eventMessage, rudi::edb::Logical{false}}});
    RudiRun rudi(check, setup, L"odd bytes", std::nullopt);
    const auto bytes = rudi::edb::serialize(table);
    if (!bytes || !rudi::files::replaceFileDurably(rudi.folder() / L"配置.edb", *bytes)) {
        check.abort(L"cannot write the odd 配置.edb");
    }
    rudi.start();
    HWND main = rudi.waitForMainWindow();
    const std::wstring shownInterval = windowText(rudi.control(ids::intervalEdit));
    const std::wstring shownRest = windowText(rudi.control(ids::restMessageEdit));
    const std::wstring shownEvent = windowText(rudi.control(ids::eventMessageEdit));
    check.note(L"shown: 编辑框1 " + quote(shownInterval) + L", 编辑框2 " + quote(shownRest) +
               L", 编辑框3 " + quote(shownEvent));
    check.expect(shownInterval.rfind(L"1", 0) == 0 && shownInterval.size() >= 2,
                 L"编辑框1 shows " + quote(shownInterval) + L" for \"1\" and a lone lead byte");
    check.expect(shownRest.rfind(L"休息", 0) == 0 && shownRest.size() >= 3,
                 L"编辑框2 shows " + quote(shownRest) + L" for 休息 and a lone lead byte");
    check.expect(shownEvent.find(L"A") == 0 && shownEvent.find(L"\r\nB") != std::wstring::npos &&
                     shownEvent.find(L"C") != std::wstring::npos,
                 L"编辑框3 shows " + quote(shownEvent) +
                     L" for A, a lead byte, CR LF, B, odd "
                     L"bytes, C");
    // The interval "1" and a lone lead byte counts as one minute.
    std::optional<long long> left;
    waitUntil(
        [&] {
            return (left = countdownSeconds(windowText(rudi.control(ids::countdownLabel))))
                .has_value();
        },
        2500);
    check.expect(left && *left >= 55 && *left <= 60,
                 L"标签7 reads " + quote(windowText(rudi.control(ids::countdownLabel))) +
                     L" for the interval \"1\" and a lone lead byte; expected about 60 seconds");

    // The event with the odd message fires as set in the file.
    const EventSeen seen = watchForEventBox(rudi, msOf(when) + 3000);
    if (seen.box == nullptr) {
        check.fail(L"no event box for the event time read from the file" +
                   std::wstring(rudi.running() ? L"" : L"; rudi has ended"));
    } else {
        const MessageBoxParts parts = messageBoxParts(seen.box);
        const std::wstring boxText = parts.text != nullptr ? windowText(parts.text) : L"";
        check.note(L"the event box shows " + quote(boxText));
        check.expect(boxText.find(L"A") == 0 && boxText.find(L"C") != std::wstring::npos,
                     L"the event box shows " + quote(boxText));
        dismissBox(check, seen.box, L"the event box", true);
    }

    // Characters that GBK lacks, typed as Unicode into the W edit box: stored as "?" each, the
    // rest of the text unchanged; the Euro sign is GBK's single byte 0x80.
    const std::wstring typed = L"休息\U0001F600한ë€x";
    postTrayEvent(rudi, WM_LBUTTONDBLCLK);
    if (!check.expect(waitUntil([&] { return IsWindowVisible(main) != FALSE; }, 3000),
                      L"the main window does not come back from the tray") ||
        !typeInto(check, rudi, rudi.control(ids::restMessageEdit), L"编辑框2", typed)) {
        return;
    }
    check.expectEqual(L"编辑框2 after typing", windowText(rudi.control(ids::restMessageEdit)),
                      typed);
    if (!applyLong(check, rudi)) {
        return;
    }
    if (const auto record = storedRecord(check, rudi.folder() / L"配置.edb")) {
        const std::string stored = storedText(*record, 1);
        std::wstring shownBytes;
        for (unsigned char c : stored) {
            wchar_t hexByte[4];
            std::swprintf(hexByte, 4, L"%02X", c);
            shownBytes += hexByte;
        }
        check.note(L"typed " + quote(typed) + L", stored as the bytes " + shownBytes);
        const std::string oneMark = "\xD0\xDD\xCF\xA2?"
                                    "??\x80x";
        const std::string twoMarks = "\xD0\xDD\xCF\xA2??"
                                     "??\x80x";
        check.expect(stored == oneMark || stored == twoMarks,
                     L"提示信息1 holds the bytes " + shownBytes +
                         L"; expected 休息, a ? for each character GBK lacks, 80 for €, and x");
        // The bytes read odd on other fields stay within the record: it parses, five values.
        check.expect(storedText(*record, 3).find('A') == 0,
                     L"提示信息2 lost its text in the apply");
    }
    check.expect(rudi.running(), L"rudi ended with the odd texts");
}

} // namespace e2e
