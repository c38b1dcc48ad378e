// rudi_e2e: runs rudi.exe as a user would and checks what it shows and does. Each check starts
// its own copy in a fresh folder. Prints one line per check, the failures under it, and last
// "N passed, M failed"; the exit code is 1 when a check failed, 2 on a usage error.
//
//   rudi_e2e --rudi EXE --recorder EXE --recorder-log FILE --work DIR --shots DIR
//            [--banner FILE] [--icon FILE] [--edb EXE] [--read-only-folder DIR] [NAME...]
//
// Paths may be Linux paths (they are reached through drive Z:). With NAMEs, only the checks
// whose names contain one of them run. Long-form measurements (events-20) run only when a NAME
// is exactly their key.
#include "tests/e2e/driver/check.h"
#include "tests/e2e/driver/checks.h"
#include "tests/e2e/driver/rudi_run.h"
#include "tests/e2e/driver/text.h"

#include <windows.h>

#include <objbase.h>

#include <cstdio>
#include <exception>
#include <fcntl.h>
#include <io.h>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace e2e;

const CheckEntry checks[] = {
    {L"main window: frame, size, place, title", checkWindowFrame},
    {L"main window: every control's place, text, kind and style", checkControls},
    {L"settings from 配置.edb in a Unicode folder, and the countdown", checkSettingsAndCountdown},
    {L"tab pages: a click on a tab shows its page only", checkPages},
    {L"colours on the screen and the banner picture", checkPaintedColours},
    {L"编辑框1 takes integers only", checkIntegerInput},
    {L"确定 stores the settings, the Startup shortcut follows 选择框1", checkApplySettings},
    {L"取消 hides the window, the tray icon shows it again", checkCancelAndTrayDoubleClick},
    {L"tray menu: 显示 shows, 退出 ends with 0", checkTrayMenu},
    {L"\"TaskbarCreated\" puts the tray icon back", checkTaskbarCreated},
    {L"Enter does nothing, Esc closes and ends with 0", checkEscapeCloses},
    {L"no 配置.edb: the error report, exit code -1", checkMissingConfiguration},
    {L"选择框2 unchecked runs \"Shutdown -a\" from the system folder", checkShutdownCommand},
    {L"read-only 配置.edb: the error report, exit code -1, the file unchanged",
     checkReadOnlyConfiguration},
    {L"确定 stores one record of the typed values, as edb.exe dump reads it",
     checkStoredRecordWithEdb},
    {L"event: its box in its second, or \"Shutdown -s\" with 选择框2", checkEventReminder},
    {L"rest window after 60 ticks: place, style, counter, an event during it, Esc",
     checkRestWindow},
    {L"killed during applies: 配置.edb holds one whole record each time", checkKilledDuringApplies},
    {L"two copies on one folder: one whole record in turn and at once", checkTwoCopies},
    {L"read-only program folder: the error report, exit code -1, nothing written",
     checkReadOnlyFolder},
    {L"program folder and profile with Chinese, accented names and blanks", checkUnicodeFolders},
    {L"no Startup folder: 确定 stores, no error, nothing created", checkMissingStartupFolder},
    {L"big texts: 100,000 bytes of rest message, 1 MB of event message", checkBigTexts},
    {L"odd bytes from 配置.edb and characters GBK lacks typed in", checkOddBytes},
    {L"memory: three rests, nothing grows after the first", checkMemoryOverRests},
    {L"Explorer restarted while the window is hidden: the icon comes back", checkExplorerRestart},
    {L"clock set forward and back: the ticks follow, an event in the new time fires once",
     checkClockSetForwardAndBack},
    {L"long suspend: stopped 25 s, the ticks resume, a missed event stays silent",
     checkLongSuspend},
    {L"events-20: twenty events in a row, each in its second", checkTwentyEvents, L"events-20"},
    {L"crash-200: two hundred kills during applies", checkKilledDuringAppliesLong, L"crash-200"},
    {L"two-copies-400: four hundred rounds of two copies", checkTwoCopiesLong, L"two-copies-400"},
    {L"memory-2h: two hours of rests, nothing grows after the first", checkMemoryTwoHours,
     L"memory-2h"},
};

void print(const std::wstring& line) {
    const std::string bytes = utf8(line + L"\n");
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

int usage(const std::wstring& why) {
    print(L"rudi_e2e: " + why);
    print(L"usage: rudi_e2e --rudi EXE --recorder EXE --recorder-log FILE --work DIR --shots DIR "
          L"[--banner FILE] [--icon FILE] [--edb EXE] [--read-only-folder DIR] [NAME...]");
    return 2;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    std::map<std::wstring, std::wstring> options;
    std::vector<std::wstring> only;
    for (int i = 1; i < argc; ++i) {
        const std::wstring argument = argv[i];
        if (argument.rfind(L"--", 0) == 0) {
            if (i + 1 >= argc) {
                return usage(argument + L" needs a value");
            }
            options[argument.substr(2)] = argv[++i];
        } else {
            only.push_back(argument);
        }
    }
    for (const wchar_t* required : {L"rudi", L"recorder", L"recorder-log", L"work", L"shots"}) {
        if (options.count(required) == 0) {
            return usage(std::wstring(L"--") + required + L" is missing");
        }
    }
    Setup setup;
    setup.rudiExe = windowsPath(options[L"rudi"]);
    setup.recorderExe = windowsPath(options[L"recorder"]);
    setup.recorderLog = windowsPath(options[L"recorder-log"]);
    setup.workDir = windowsPath(options[L"work"]);
    setup.shotsDir = windowsPath(options[L"shots"]);
    if (options.count(L"banner") != 0) {
        setup.banner = windowsPath(options[L"banner"]);
    }
    if (options.count(L"icon") != 0) {
        setup.icon = windowsPath(options[L"icon"]);
    }
    if (options.count(L"edb") != 0) {
        setup.edbExe = windowsPath(options[L"edb"]);
    }
    if (options.count(L"read-only-folder") != 0) {
        setup.readOnlyFolder = windowsPath(options[L"read-only-folder"]);
    }
    // rudi and what it starts must not inherit a log choice: the recorders' own files decide.
    SetEnvironmentVariableW(L"RUDI_RECORDER_LOG", nullptr);
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        return usage(L"COM could not be initialised");
    }

    int passed = 0, failed = 0;
    for (const CheckEntry& entry : checks) {
        const std::wstring name = entry.name;
        bool wanted = only.empty() && entry.longKey == nullptr;
        for (const std::wstring& part : only) {
            wanted = wanted || (entry.longKey == nullptr ? name.find(part) != std::wstring::npos
                                                         : part == entry.longKey);
        }
        if (!wanted) {
            continue;
        }
        Check check;
        const ULONGLONG started = GetTickCount64();
        try {
            entry.run(check, setup);
        } catch (const CheckAborted&) {
            // the reason is among the failures
        } catch (const std::exception& error) {
            check.fail(L"the driver met an error: " + fromUtf8(error.what()));
        }
        const double seconds = static_cast<double>(GetTickCount64() - started) / 1000.0;
        wchar_t time[32];
        swprintf(time, 32, L" (%.1f s)", seconds);
        const bool ok = check.failures().empty();
        (ok ? passed : failed) += 1;
        print((ok ? L"PASS " : L"FAIL ") + name + time);
        for (const std::wstring& failure : check.failures()) {
            print(L"    - " + failure);
        }
        for (const std::wstring& note : check.notes()) {
            print(L"      " + note);
        }
    }
    CoUninitialize();
    print(std::to_wstring(passed) + L" passed, " + std::to_wstring(failed) + L" failed");
    return failed == 0 && passed > 0 ? 0 : 1;
}
