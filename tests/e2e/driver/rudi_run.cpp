#include "tests/e2e/driver/rudi_run.h"

#include "runtime/files.h"
#include "settings/edb_configuration.h"
#include "tests/e2e/driver/inspect.h"
#include "tests/e2e/driver/process_usage.h"
#include "tests/e2e/driver/text.h"

#include <tlhelp32.h>

#include <cwchar>
#include <system_error>
#include <vector>

namespace e2e {

namespace fs = std::filesystem;

namespace {

constexpr DWORD startTimeoutMs = 30000;

std::wstring describeExit(DWORD code) {
    return std::to_wstring(static_cast<long>(code)) + L" (" + hex(code) + L")";
}

// The Linux program that runs this process: Wine's loader, mapped into it as "wine64" (or
// "wine", as builds without a separate 64-bit loader call it). Its Linux process is found by
// this program's file.
std::optional<std::wstring> wineLoader() {
    const std::optional<unsigned long> pid = ownUnixProcess();
    if (!pid) {
        return std::nullopt;
    }
    for (const std::string& path : mappedFiles(*pid)) {
        const std::string name = path.substr(path.rfind('/') + 1);
        if (name == "wine64" || name == "wine") {
            return fromUtf8(path);
        }
    }
    return std::nullopt;
}

// This process's environment with the entries added, replacing those of the same names.
std::wstring environmentBlock(const std::vector<std::wstring>& added) {
    const auto nameOf = [](const std::wstring& entry) {
        return entry.substr(0, entry.find(L'=', 1));
    };
    std::wstring block;
    if (LPWCH current = GetEnvironmentStringsW()) {
        for (const wchar_t* entry = current; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
            bool replaced = false;
            for (const std::wstring& a : added) {
                replaced = replaced || _wcsicmp(nameOf(entry).c_str(), nameOf(a).c_str()) == 0;
            }
            if (!replaced) {
                block += entry;
                block += L'\0';
            }
        }
        FreeEnvironmentStringsW(current);
    }
    for (const std::wstring& a : added) {
        block += a;
        block += L'\0';
    }
    block += L'\0';
    return block;
}

// The process whose image is the file exe, if one runs.
DWORD processOfImage(const fs::path& exe) {
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    DWORD found = 0;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more && found == 0;
         more = Process32NextW(snapshot.get(), &entry)) {
        if (_wcsicmp(entry.szExeFile, exe.filename().c_str()) != 0) {
            continue;
        }
        UniqueHandle process(
            OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
        wchar_t image[MAX_PATH * 2] = {};
        DWORD size = MAX_PATH * 2;
        std::error_code error;
        if (process.get() != nullptr &&
            QueryFullProcessImageNameW(process.get(), 0, image, &size) &&
            fs::equivalent(fs::path(image), exe, error)) {
            found = entry.th32ProcessID;
        }
    }
    return found;
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

void RudiRun::start(const std::vector<std::wstring>& linuxEnvironment) {
    if (linuxEnvironment.empty()) {
        start();
        return;
    }
    const std::optional<std::wstring> loader = wineLoader();
    if (!loader) {
        check_.abort(L"Wine's loader (wine64 or wine) was not found among the mappings of this "
                     L"driver's Linux process");
    }
    const fs::path loaderPath = windowsPath(*loader);
    // The loader finds its own files from its first argument, which must be a Linux path.
    std::wstring commandLine = L"\"" + *loader + L"\" \"" + exe_.wstring() + L"\"";
    std::wstring environment = environmentBlock(linuxEnvironment);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    GetLocalTime(&startedAt_);
    if (!CreateProcessW(loaderPath.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_UNICODE_ENVIRONMENT, environment.data(), folder_.c_str(), &startup,
                        &info)) {
        check_.abort(L"cannot start " + loaderPath.wstring() + L" on " + exe_.wstring() +
                     L" (error " + std::to_wstring(GetLastError()) + L")");
    }
    // What comes back stands for the Linux program, which Wine does not follow.
    for (HANDLE h : {info.hProcess, info.hThread}) {
        if (h != nullptr) {
            CloseHandle(h);
        }
    }
    DWORD id = 0;
    waitUntil(
        [&] {
            id = processOfImage(exe_);
            return id != 0;
        },
        startTimeoutMs, 50);
    if (id == 0) {
        check_.abort(L"no process runs " + exe_.wstring() + L" within 30 s of starting " +
                     loaderPath.wstring() + L" on it");
    }
    process_ = UniqueHandle(OpenProcess(PROCESS_ALL_ACCESS, FALSE, id));
    if (process_.get() == nullptr) {
        check_.abort(L"cannot open the process of " + exe_.wstring() + L" (error " +
                     std::to_wstring(GetLastError()) + L")");
    }
    processId_ = id;
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
        if (threadId_ == 0) { // started through Wine's loader: the window's thread is the main one
            threadId_ = GetWindowThreadProcessId(found, nullptr);
        }
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
