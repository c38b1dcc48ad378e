// Stands in for the system's shutdown tool in the test prefix: appends the command line it was
// started with, exactly as its parent passed it, to a log as one UTF-8 line and exits 0. It
// shuts nothing down.
//
// The log's path comes from the environment variable RUDI_RECORDER_LOG (children inherit it, so
// a test can set it for the program it starts), else from the first line of
// recorder-log-path.txt beside this executable. A path beginning with '/' is a Linux path and is
// reached through drive Z:.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// Owns a file handle.
class File {
  public:
    explicit File(HANDLE handle) : handle_(handle) {}
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File() {
        if (valid()) {
            CloseHandle(handle_);
        }
    }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_;
};

std::string toUtf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

std::wstring fromUtf8(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

std::wstring fromEnvironment() {
    std::wstring value(32767, L'\0');
    DWORD length = GetEnvironmentVariableW(L"RUDI_RECORDER_LOG", value.data(),
                                           static_cast<DWORD>(value.size()));
    if (length == 0 || length >= value.size()) {
        return {};
    }
    value.resize(length);
    return value;
}

std::wstring besideSelf(const wchar_t* name) {
    std::wstring path(32767, L'\0');
    DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0 || length >= path.size()) {
        return {};
    }
    path.resize(length);
    size_t slash = path.find_last_of(L"\\/");
    return (slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1)) + name;
}

std::wstring fromFileBesideSelf() {
    std::wstring name = besideSelf(L"recorder-log-path.txt");
    File file(CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        return {};
    }
    std::string content(4096, '\0');
    DWORD read = 0;
    if (!ReadFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &read, nullptr)) {
        return {};
    }
    content.resize(read);
    if (content.rfind("\xEF\xBB\xBF", 0) == 0) {
        content.erase(0, 3);
    }
    content = content.substr(0, content.find_first_of("\r\n"));
    return fromUtf8(content);
}

std::wstring windowsPath(std::wstring path) {
    if (!path.empty() && path[0] == L'/') {
        for (wchar_t& c : path) {
            if (c == L'/') {
                c = L'\\';
            }
        }
        path.insert(0, L"Z:");
    }
    return path;
}

bool appendLine(const std::wstring& path, const std::string& line) {
    File log(CreateFileW(path.c_str(), FILE_APPEND_DATA,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!log.valid()) {
        return false;
    }
    // One write for the whole line, so that lines of recorders running at once do not mix.
    std::string record = line + "\n";
    DWORD written = 0;
    return WriteFile(log.get(), record.data(), static_cast<DWORD>(record.size()), &written,
                     nullptr) &&
           written == record.size();
}

} // namespace

int wmain() {
    std::wstring path = fromEnvironment();
    if (path.empty()) {
        path = fromFileBesideSelf();
    }
    if (path.empty()) {
        std::fputs("shutdown recorder: neither RUDI_RECORDER_LOG nor recorder-log-path.txt names "
                   "a log\n",
                   stderr);
        return 1;
    }
    if (!appendLine(windowsPath(path), toUtf8(GetCommandLineW()))) {
        std::fprintf(stderr, "shutdown recorder: cannot append to the log (error %lu)\n",
                     GetLastError());
        return 1;
    }
    return 0;
}
