// What 确定 stored, read back by another reader than the driver's own: the database tool's
// "edb dump", run as a program, must show the one record with the values the user typed.
#include "tests/e2e/driver/checks.h"
#include "tests/e2e/driver/events.h"
#include "tests/e2e/driver/handle.h"
#include "tests/e2e/driver/input.h"
#include "tests/e2e/driver/inspect.h"
#include "tests/e2e/driver/steps.h"
#include "tests/e2e/driver/text.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

namespace fs = std::filesystem;

namespace {

struct ToolRun {
    bool started = false;
    bool ended = false;
    DWORD exitCode = 0;
    std::string output; // standard output and error, as the tool wrote them
};

// Runs a console program with its output into a pipe, and waits up to 30 s for it to end.
ToolRun runTool(const fs::path& program, std::wstring commandLine) {
    ToolRun run;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readRaw = nullptr, writeRaw = nullptr;
    if (!CreatePipe(&readRaw, &writeRaw, &inherit, 0)) {
        return run;
    }
    UniqueHandle readEnd(readRaw);
    UniqueHandle writeEnd(writeRaw);
    SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd.get();
    startup.hStdError = writeEnd.get();
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info)) {
        return run;
    }
    run.started = true;
    const UniqueHandle process(info.hProcess);
    const UniqueHandle thread(info.hThread);
    writeEnd.reset(); // the child holds the only write end: a read ends when the child does
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(readEnd.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
        run.output.append(buffer, got);
    }
    run.ended = WaitForSingleObject(process.get(), 30000) == WAIT_OBJECT_0;
    GetExitCodeProcess(process.get(), &run.exitCode);
    return run;
}

// A value as the dump shows it, between double quotes, with \" \\ and \xNN undone.
std::optional<std::string> unquoted(const std::string& shown) {
    if (shown.size() < 2 || shown.front() != '"' || shown.back() != '"') {
        return std::nullopt;
    }
    std::string bytes;
    for (std::size_t i = 1; i + 1 < shown.size(); ++i) {
        if (shown[i] != '\\') {
            bytes += shown[i];
        } else if (i + 1 < shown.size() - 1 && (shown[i + 1] == '"' || shown[i + 1] == '\\')) {
            bytes += shown[++i];
        } else if (i + 3 < shown.size() - 1 && shown[i + 1] == 'x') {
            bytes += static_cast<char>(std::stoi(shown.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            return std::nullopt;
        }
    }
    return bytes;
}

struct Dump {
    std::wstring header;
    int records = 0;
    std::vector<std::pair<std::wstring, std::wstring>> first; // the first record's fields
    std::vector<std::wstring> problems;
};

// "record N:" lines, and under the first one "  NAME = VALUE" lines, in their order.
Dump parseDump(const std::string& output) {
    Dump dump;
    std::size_t start = 0;
    bool inFirst = false;
    while (start < output.size()) {
        std::size_t end = output.find('\n', start);
        if (end == std::string::npos) {
            end = output.size();
        }
        std::string line = output.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (dump.header.empty()) {
            dump.header = fromUtf8(line);
        }
        if (line.rfind("record ", 0) == 0) {
            ++dump.records;
            inFirst = dump.records == 1;
            if (line.find("(deleted)") != std::string::npos) {
                dump.problems.push_back(L"a record marked deleted: " + quote(fromUtf8(line)));
            }
            continue;
        }
        if (!inFirst || line.rfind("  ", 0) != 0) {
            inFirst = inFirst && line.rfind("  ", 0) == 0;
            continue;
        }
        const std::size_t equals = line.find(" = ");
        if (equals == std::string::npos) {
            dump.problems.push_back(L"a field line without \" = \": " + quote(fromUtf8(line)));
            continue;
        }
        const std::wstring name = fromUtf8(line.substr(2, equals - 2));
        const std::string shown = line.substr(equals + 3);
        if (!shown.empty() && shown.front() == '"') {
            const std::optional<std::string> bytes = unquoted(shown);
            if (!bytes) {
                dump.problems.push_back(L"a text the dump does not quote as it should: " +
                                        quote(fromUtf8(line)));
                continue;
            }
            dump.first.emplace_back(name, fromUtf8(*bytes));
        } else {
            dump.first.emplace_back(name, fromUtf8(shown));
        }
    }
    return dump;
}

std::wstring shownFields(const std::vector<std::pair<std::wstring, std::wstring>>& fields) {
    std::wstring out;
    for (const auto& [name, value] : fields) {
        out += (out.empty() ? L"" : L", ") + name + L"=" + quote(value);
    }
    return L"{" + out + L"}";
}

} // namespace

void checkStoredRecordWithEdb(Check& check, const Setup& setup) {
    if (setup.edbExe.empty()) {
        check.abort(L"the database tool was not given (--edb)");
    }
    RudiRun rudi(check, setup, L"edb-dump", Configuration{}); // 选择框1 checked
    rudi.start();
    rudi.waitForMainWindow();

    // Typed as the user types, with characters the dump has to escape and a line break.
    const std::wstring interval = L"12";
    const std::wstring rest = L"看看\"远处\"的树\\山";
    const std::wstring event = L"四点：\r\n交季度报告。";
    if (!typeInto(check, rudi, rudi.control(ids::intervalEdit), L"编辑框1", interval) ||
        !typeInto(check, rudi, rudi.control(ids::restMessageEdit), L"编辑框2", rest) ||
        !typeInto(check, rudi, rudi.control(ids::eventMessageEdit), L"编辑框3", event)) {
        return;
    }
    if (!clickCentre(rudi.control(ids::autoRunBox)) ||
        !waitUntil(
            [&] { return sendTo(rudi.control(ids::autoRunBox), BM_GETCHECK) == BST_UNCHECKED; },
            2000)) {
        check.abort(L"a click on 选择框1 did not uncheck it");
    }
    const SYSTEMTIME when{2031, 2, 1, 3, 7, 8, 9, 0};
    if (!setEventTime(check, rudi, when)) {
        return;
    }
    if (!clickCentre(rudi.control(ids::okButton)) ||
        !waitUntil([&] { return !IsWindowVisible(rudi.mainWindow()); }, 3000)) {
        check.abort(L"a click on 确定 left the main window on the screen");
    }
    Sleep(500); // the write is done before the window hides; leave the tool a quiet file

    const fs::path database = rudi.folder() / L"配置.edb";
    const ToolRun run = runTool(setup.edbExe, L"\"" + setup.edbExe.wstring() + L"\" dump \"" +
                                                  database.wstring() + L"\"");
    if (!run.started || !run.ended) {
        check.abort(L"edb.exe dump " +
                    std::wstring(run.started ? L"did not end" : L"did not start") + L" (" +
                    setup.edbExe.wstring() + L")");
    }
    const std::wstring output = fromUtf8(run.output);
    if (run.exitCode != 0) {
        check.abort(L"edb.exe dump ended with " + std::to_wstring(run.exitCode) + L": " +
                    quote(output));
    }
    const Dump dump = parseDump(run.output);
    for (const std::wstring& problem : dump.problems) {
        check.fail(L"edb dump: " + problem);
    }
    check.expect(dump.header.find(L"records: 1") != std::wstring::npos && dump.records == 1,
                 L"edb dump shows " + std::to_wstring(dump.records) +
                     L" record line(s), expected exactly one; its output: " + quote(output));
    const std::vector<std::pair<std::wstring, std::wstring>> want = {
        {L"提示频率", interval},
        {L"提示信息1", rest},
        {L"事件时间", eventTimeText(when)},
        {L"提示信息2", event},
        {L"是否自动运行", L"0"}};
    check.expect(dump.first == want, L"edb dump shows the record " + shownFields(dump.first) +
                                         L", expected " + shownFields(want));
}

} // namespace e2e
