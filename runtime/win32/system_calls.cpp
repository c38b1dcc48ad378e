// What the handlers ask of the system: processes, the web, the Startup folder and its link.
#include "runtime/win32/com_ptr.h"
#include "runtime/win32/wide.h"
#include "runtime/win32/win32_runtime.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <vector>

namespace rudi::win32 {

namespace fs = std::filesystem;

namespace {

fs::path systemDirectory() {
    std::wstring buffer(MAX_PATH, L'\0');
    UINT n = GetSystemDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
    if (n > buffer.size()) {
        buffer.resize(n);
        n = GetSystemDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
    }
    buffer.resize(n <= buffer.size() ? n : 0);
    return buffer;
}

// A command line names its program by a bare name ("Shutdown -s"). The program is taken from
// the system folder only: the usual search would look in the program's own folder and in the
// current folder first, where anybody could have put a file of that name.
std::optional<fs::path> systemProgramOf(const std::wstring& commandLine) {
    const std::wstring name = commandLine.substr(0, commandLine.find_first_of(L" \t"));
    if (name.empty() || name.find_first_of(L"\\/:\"") != std::wstring::npos) {
        return std::nullopt;
    }
    const fs::path folder = systemDirectory();
    if (folder.empty()) {
        return std::nullopt;
    }
    fs::path program = folder / name;
    if (!program.has_extension()) {
        program += L".exe";
    }
    return program;
}

} // namespace

bool Win32Runtime::runCommandLine(std::string_view commandLine, bool wait) {
    const std::wstring wide = widen(commandLine);
    const std::optional<fs::path> program = systemProgramOf(wide);
    if (!program) {
        return false;
    }
    std::vector<wchar_t> buffer(wide.begin(), wide.end()); // CreateProcessW may write into it
    buffer.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program->c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
        return false;
    }
    if (wait) {
        WaitForSingleObject(process.hProcess, INFINITE);
    } else {
        WaitForInputIdle(process.hProcess, 1000);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

void Win32Runtime::openWebAddress(std::string_view address) {
    ShellExecuteW(nullptr, L"open", widen(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

std::optional<fs::path> Win32Runtime::startupFolder() {
    wchar_t buffer[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, buffer, CSIDL_STARTUP, FALSE) || buffer[0] == L'\0') {
        return std::nullopt;
    }
    return fs::path(buffer);
}

fs::path Win32Runtime::programDirectory() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            return {};
        }
        if (n < buffer.size()) {
            buffer.resize(n);
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    // Cut at the last backslash, without a trailing one: "C:\rudi.exe" gives "C:".
    const std::size_t cut = buffer.find_last_of(L'\\');
    return buffer.substr(0, cut == std::wstring::npos ? 0 : cut);
}

bool Win32Runtime::createShortcut(const fs::path& link, const fs::path& target,
                                  std::string_view description) {
    ComPtr<IShellLinkW> shellLink;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                shellLink.putVoid()))) {
        return false;
    }
    ComPtr<IPersistFile> file;
    if (FAILED(shellLink->QueryInterface(IID_IPersistFile, file.putVoid()))) {
        return false;
    }
    shellLink->SetPath(target.c_str());
    shellLink->SetShowCmd(SW_SHOW);
    shellLink->SetDescription(widen(description).c_str());
    return SUCCEEDED(file->Save(link.c_str(), TRUE));
}

bool Win32Runtime::deleteFile(const fs::path& path) {
    return DeleteFileW(path.c_str()) != FALSE;
}

} // namespace rudi::win32
