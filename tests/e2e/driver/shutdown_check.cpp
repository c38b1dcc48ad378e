// Unchecking 选择框2 (定时关机) starts "Shutdown -a", every time, from the system folder;
// checking it starts nothing. A recorder stands in for the system's shutdown tool in the test
// prefix, and a second one planted beside rudi.exe must never run.
#include "tests/e2e/driver/checks.h"
#include "tests/e2e/driver/handle.h"
#include "tests/e2e/driver/inspect.h"
#include "tests/e2e/driver/steps.h"
#include "tests/e2e/driver/text.h"

#include "runtime/files.h"

#include <system_error>
#include <vector>

namespace e2e {

namespace fs = std::filesystem;

namespace {

// Runs a program and waits for it to end.
bool runAndWait(const fs::path& program, std::wstring commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info)) {
        return false;
    }
    const UniqueHandle process(info.hProcess);
    const UniqueHandle thread(info.hThread);
    return WaitForSingleObject(process.get(), 10000) == WAIT_OBJECT_0;
}

} // namespace

void checkShutdownCommand(Check& check, const Setup& setup) {
    RudiRun rudi(check, setup, L"shutdown", Configuration{});

    // A Shutdown.exe beside rudi.exe (and in its current folder) that logs elsewhere. It is
    // tried once first, so that an empty log later means it was not run, not that it cannot
    // write.
    const fs::path planted = rudi.folder() / L"Shutdown.exe";
    const fs::path plantedLog = rudi.folder() / L"planted-shutdown.log";
    if (!CopyFileW(setup.recorderExe.c_str(), planted.c_str(), FALSE) ||
        !rudi::files::replaceFileDurably(rudi.folder() / L"recorder-log-path.txt",
                                         utf8(plantedLog.wstring()) + "\r\n")) {
        check.abort(L"cannot plant " + planted.wstring());
    }
    if (!runAndWait(planted, L"Shutdown -a") || recorderLog(plantedLog).size() != 1) {
        check.abort(L"the planted Shutdown.exe does not write its log " + plantedLog.wstring());
    }
    std::error_code ignored;
    fs::remove(plantedLog, ignored);
    fs::remove(setup.recorderLog, ignored);
    if (fs::exists(setup.recorderLog, ignored)) {
        check.abort(L"cannot empty the recorder's log " + setup.recorderLog.wstring());
    }

    rudi.start();
    rudi.waitForMainWindow();
    HWND box = rudi.control(ids::shutdownBox);

    // Check, uncheck, check, uncheck: each uncheck adds one "Shutdown -a", a check nothing.
    struct Step {
        int checkedAfter;
        std::size_t linesAfter;
    };
    const Step steps[] = {
        {BST_CHECKED, 0}, {BST_UNCHECKED, 1}, {BST_CHECKED, 1}, {BST_UNCHECKED, 2}};
    int n = 0;
    for (const Step& step : steps) {
        ++n;
        const std::wstring what = L"click " + std::to_wstring(n) + L" on 选择框2 (" +
                                  (step.checkedAfter == BST_CHECKED ? L"checking" : L"unchecking") +
                                  L")";
        sendTo(box, BM_CLICK);
        check.expectEqual(what + L": checked state", sendTo(box, BM_GETCHECK), step.checkedAfter);
        // The line comes as soon as the recorder has run; a second at most for anything more.
        waitUntil([&] { return recorderLog(setup.recorderLog).size() >= step.linesAfter; }, 5000);
        Sleep(1000);
        const std::vector<std::wstring> lines = recorderLog(setup.recorderLog);
        std::vector<std::wstring> want(step.linesAfter, L"Shutdown -a");
        check.expect(lines == want, what + L": the system folder's shutdown tool was started " +
                                        shownLines(lines) + L", expected " + shownLines(want));
    }
    check.expect(!fs::exists(plantedLog, ignored), L"the Shutdown.exe beside rudi.exe was run: " +
                                                       shownLines(recorderLog(plantedLog)));
}

} // namespace e2e
