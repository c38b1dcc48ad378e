#include "tests/e2e/driver/rudi_run.h"

#include "runtime/files.h"
#include "settings/edb_configuration.h"
#include "tests/e2e/driver/inspect.h"
#include "tests/e2e/driver/text.h"

#include <system_error>
#include <vector>

namespace e2e {

namespace fs = std::filesystem;

namespace {

constexpr DWORD startTimeoutMs = 30000;

std::wstring describeExit(DWORD code) {
    return std::to_wstring(static_cast<long>(code)) + L" (" + hex(code) + L")";
}

} // namespace

std::string configurationFile(const Configuration& c) {
    rudi::edb::Table table = rudi::edb::configurationTable();
    table.records.push_back(
        rudi::edb::Record{false,
                          {gbk(c.interval), gbk(c.restMessage), gbk(c.eventTime),
                           gbk(c.eventMessage), rudi::edb::Logical{c.autoRun}}});
    return rudi::edb::serialize(table).value_or(std::string{});
}

RudiRun::RudiRun(Check& check, const Setup& setup, const std::wstring& folderName,
                 const std::optional<Configuration>& configuration, Folder use)
    : check_(check), folder_(setup.workDir / folderName), exe_(folder_ / L"rudi.exe") {
    std::error_code error;
    if (use == Folder::fresh) {
        fs::remove_all(folder_, error);
    }
    fs::create_directories(folder_, error);
    if (!fs::is_directory(folder_, error)) {
        check.abort(L"cannot create the folder " + folder_.wstring());
    }
    if ((use == Folder::fresh || !fs::exists(exe_, error)) &&
        !CopyFileW(setup.rudiExe.c_str(), exe_.c_str(), FALSE)) {
        check.abort(L"cannot copy " + setup.rudiExe.wstring() + L" to " + exe_.wstring() +
                    L" (error " + std::to_wstring(GetLastError()) + L")");
    }
    if (configuration) {
        const std::string bytes = configurationFile(*configuration);
        if (bytes.empty() || !rudi::files::replaceFileDurably(folder_ / L"配置.edb", bytes)) {
            check.abort(L"cannot write 配置.edb in " + folder_.wstring());
        }
    }
}

RudiRun::~RudiRun() {
    end();
}

void RudiRun::start() {
    std::wstring commandLine = L"\"" + exe_.wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    GetLocalTime(&startedAt_);
    if (!CreateProcessW(exe_.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder_.c_str(), &startup, &info)) {
        check_.abort(L"cannot start " + exe_.wstring() + L" (error " +
                     std::to_wstring(GetLastError()) + L")");
    }
    process_ = UniqueHandle(info.hProcess);
    thread_ = UniqueHandle(info.hThread);
    processId_ = info.dwProcessId;
    threadId_ = info.dwThreadId;
}

HWND RudiRun::waitForMainWindow() {
    HWND found = nullptr;
    const bool shown = waitUntil(
        [&] {
            if (!running() || errorBox() != nullptr) {
                return true;
            }
            for (HWND w : topLevelWindows(processId_, L"rudi.MainWindow")) {
                if (IsWindowVisible(w)) {
                    found = w;
                }
            }
            return found != nullptr;
        },
        startTimeoutMs, 100);
    if (found != nullptr) {
        main_ = found;
        return main_;
    }
    if (HWND box = errorBox()) {
        std::wstring text;
        for (HWND child : childWindows(box)) {
            if (className(child) == L"Static" && !windowText(child).empty()) {
                text = windowText(child);
            }
        }
        check_.abort(L"rudi reported an error instead of showing its main window: " + quote(text));
    }
    if (!running()) {
        check_.abort(L"rudi ended with exit code " + describeExit(exitCode()) +
                     L" before it showed its main window");
    }
    check_.abort(shown ? L"no main window"
                       : L"no visible main window (class rudi.MainWindow) "
                         L"within 30 s of the start");
}

HWND RudiRun::control(int id) const {
    HWND c = main_ != nullptr ? GetDlgItem(main_, id) : nullptr;
    if (c == nullptr) {
        check_.abort(L"the main window has no control with the identifier " + std::to_wstring(id));
    }
    return c;
}

bool RudiRun::running() const {
    return process_.get() != nullptr && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

bool RudiRun::waitForExit(DWORD timeoutMs) const {
    return process_.get() != nullptr &&
           WaitForSingleObject(process_.get(), timeoutMs) == WAIT_OBJECT_0;
}

DWORD RudiRun::exitCode() const {
    DWORD code = 0;
    GetExitCodeProcess(process_.get(), &code);
    return code;
}

HWND RudiRun::errorBox() const {
    for (HWND w : topLevelWindows(processId_, L"#32770")) {
        if (IsWindowVisible(w) && windowText(w) == L"错误") {
            return w;
        }
    }
    return nullptr;
}

void RudiRun::end() {
    if (!running()) {
        return;
    }
    // The program's own way out (the tray menu's 退出), so that its tray icon goes with it;
    // only a program that does not listen any more is terminated.
    for (HWND w : topLevelWindows(processId_, L"rudi.MainWindow")) {
        PostMessageW(w, WM_COMMAND, MAKEWPARAM(ids::exitItem, 0), 0);
    }
    if (waitForExit(5000)) {
        return;
    }
    TerminateProcess(process_.get(), 1);
    WaitForSingleObject(process_.get(), 5000);
}

} // namespace e2e
