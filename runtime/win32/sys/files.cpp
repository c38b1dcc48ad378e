// The file layer on Windows: every open shares reading, writing and deletion, so that a rename
// over a file that someone is reading works; FlushFileBuffers makes the temporary file durable
// before MoveFileExW puts it in place (a rename on the same volume flushes nothing itself).
#include "runtime/files.h"

#include <windows.h>

#include <atomic>
#include <string>

namespace rudi::files {

namespace {

constexpr DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Another process (a reader of ours, an indexer, a virus scanner) may hold a file for a moment.
// Windows does not rename over a file that is open at all, so a rename waits up to two seconds
// for such readers: a second copy of the program reading the file again and again must not make
// 确定 lose the settings.
constexpr int attempts = 100;
constexpr DWORD pauseMilliseconds = 20;

class Handle {
  public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (isValid()) {
            CloseHandle(handle_);
        }
    }
    HANDLE get() const { return handle_; }
    bool isValid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    // Closes now and tells whether the close succeeded.
    bool closeNow() {
        HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return CloseHandle(handle) != FALSE;
    }

  private:
    HANDLE handle_;
};

bool isTransientError(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
           error == ERROR_ACCESS_DENIED;
}

bool isMissingError(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
           error == ERROR_INVALID_NAME || error == ERROR_BAD_NETPATH;
}

// A regular file (not a folder, not read-only when writing is asked for)?
bool isPlainFile(const std::filesystem::path& path, bool forWriting, DWORD* error) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        *error = GetLastError();
        return false;
    }
    *error = ERROR_ACCESS_DENIED;
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) {
        return false;
    }
    return !(forWriting && (attributes & FILE_ATTRIBUTE_READONLY));
}

HANDLE openExisting(const std::filesystem::path& path, DWORD access, DWORD* error) {
    if (!isPlainFile(path, (access & GENERIC_WRITE) != 0, error)) {
        return INVALID_HANDLE_VALUE;
    }
    for (int attempt = 1;; ++attempt) {
        HANDLE handle = CreateFileW(path.c_str(), access, shareAll, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            if (GetFileType(handle) == FILE_TYPE_DISK) {
                return handle;
            }
            CloseHandle(handle);
            *error = ERROR_ACCESS_DENIED;
            return INVALID_HANDLE_VALUE;
        }
        *error = GetLastError();
        if (!isTransientError(*error) || attempt == attempts) {
            return INVALID_HANDLE_VALUE;
        }
        Sleep(pauseMilliseconds);
    }
}

std::filesystem::path temporaryNameFor(const std::filesystem::path& target) {
    static std::atomic<unsigned> counter{0};
    std::wstring suffix = L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
                          std::to_wstring(++counter) + L"-" +
                          std::to_wstring(GetTickCount64() % 1000000007ULL) + L".tmp";
    std::filesystem::path name = target;
    name += suffix;
    return name;
}

bool writeAll(HANDLE handle, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD chunk = bytes.size() > 0x10000000 ? 0x10000000 : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!WriteFile(handle, bytes.data(), chunk, &written, nullptr) || written == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

void removeTemporary(const std::filesystem::path& temporary) {
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        if (DeleteFileW(temporary.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) {
            return;
        }
        Sleep(pauseMilliseconds);
    }
}

bool renameOver(const std::filesystem::path& from, const std::filesystem::path& to) {
    for (int attempt = 1;; ++attempt) {
        if (MoveFileExW(from.c_str(), to.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return true;
        }
        DWORD error = GetLastError();
        if (!isTransientError(error) || attempt == attempts) {
            return false;
        }
        Sleep(pauseMilliseconds);
    }
}

} // namespace

SharedFileReader::SharedFileReader(const std::filesystem::path& path, ReadStatus* why) {
    DWORD error = ERROR_SUCCESS;
    HANDLE handle = openExisting(path, GENERIC_READ, &error);
    ReadStatus status = ReadStatus::ok;
    if (handle == INVALID_HANDLE_VALUE) {
        status = isMissingError(error) ? ReadStatus::missing : ReadStatus::failed;
    } else {
        handle_ = reinterpret_cast<std::intptr_t>(handle);
    }
    if (why) {
        *why = status;
    }
}

void SharedFileReader::close() noexcept {
    if (handle_ != closedHandle) {
        CloseHandle(reinterpret_cast<HANDLE>(handle_));
        handle_ = closedHandle;
    }
}

std::optional<std::size_t> SharedFileReader::read(std::span<char> buffer) {
    if (!isOpen()) {
        return std::nullopt;
    }
    DWORD chunk = buffer.size() > 0x10000000 ? 0x10000000 : static_cast<DWORD>(buffer.size());
    DWORD count = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(handle_), buffer.data(), chunk, &count, nullptr)) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(count);
}

bool isWritableFile(const std::filesystem::path& path) {
    DWORD error = ERROR_SUCCESS;
    Handle handle(openExisting(path, GENERIC_WRITE, &error));
    return handle.isValid();
}

bool replaceFileDurably(const std::filesystem::path& path, std::string_view bytes) {
    using testing::WriteStep;
    const testing::WriteFaults faults = testing::writeFaults();
    auto crashesBefore = [&](WriteStep step) { return faults.crashBefore == step; };
    auto fails = [&](WriteStep step) { return faults.failAt == step; };

    // MoveFileExW would refuse a read-only target too, but only after the retries.
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
        return false;
    }

    if (crashesBefore(WriteStep::createTemporary)) {
        return false;
    }
    std::filesystem::path temporary;
    HANDLE rawHandle = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && rawHandle == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = temporaryNameFor(path);
        rawHandle = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
        if (rawHandle == INVALID_HANDLE_VALUE) {
            DWORD error = GetLastError();
            if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
                return false;
            }
        }
    }
    if (rawHandle == INVALID_HANDLE_VALUE) {
        return false;
    }
    Handle handle(rawHandle);
    auto giveUp = [&] {
        if (handle.isValid()) {
            handle.closeNow();
        }
        removeTemporary(temporary);
        return false;
    };
    if (fails(WriteStep::createTemporary)) {
        return giveUp();
    }

    if (crashesBefore(WriteStep::write)) {
        return false;
    }
    if (faults.crashAfterBytes && *faults.crashAfterBytes < bytes.size()) {
        writeAll(handle.get(), bytes.substr(0, *faults.crashAfterBytes));
        return false;
    }
    if (fails(WriteStep::write) || !writeAll(handle.get(), bytes)) {
        return giveUp();
    }

    if (crashesBefore(WriteStep::flush)) {
        return false;
    }
    if (fails(WriteStep::flush) || !FlushFileBuffers(handle.get())) {
        return giveUp();
    }

    if (crashesBefore(WriteStep::close)) {
        return false;
    }
    if (!handle.closeNow() || fails(WriteStep::close)) {
        return giveUp();
    }

    if (crashesBefore(WriteStep::rename)) {
        return false;
    }
    if (fails(WriteStep::rename) || !renameOver(temporary, path)) {
        return giveUp();
    }
    removeLeftTemporaries(path);
    return true;
}

bool processIsRunning(unsigned long processId) {
    if (processId == GetCurrentProcessId()) {
        return true;
    }
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (process == nullptr) {
        // A process of another user is there but closed to us; a missing one is not there.
        return GetLastError() == ERROR_ACCESS_DENIED;
    }
    DWORD code = 0;
    const bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    CloseHandle(process);
    return running;
}

} // namespace rudi::files
