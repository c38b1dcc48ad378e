// The file layer on POSIX systems: rename(2) replaces a file atomically, fsync(2) makes the
// new content and then the folder entry durable.
#include "runtime/files.h"

#include <atomic>
#include <cerrno>
#include <string>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace rudi::files {

namespace {

// Closes a file descriptor when it goes out of scope.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }
    // Closes now and tells whether the close reported an error.
    bool closeNow() {
        int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

  private:
    int fd_;
};

int openRetryingInterrupts(const char* name, int flags, mode_t mode = 0) {
    for (;;) {
        int fd = ::open(name, flags, mode);
        if (fd >= 0 || errno != EINTR) {
            return fd;
        }
    }
}

bool isMissingError(int error) {
    return error == ENOENT || error == ENOTDIR;
}

std::filesystem::path temporaryNameFor(const std::filesystem::path& target) {
    static std::atomic<unsigned> counter{0};
    // (<chrono> holds a literal that has no GBK form, so the clock comes from the C library.)
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    std::string suffix = "." + std::to_string(::getpid()) + "-" + std::to_string(++counter) + "-" +
                         std::to_string(static_cast<unsigned long long>(now.tv_nsec)) + ".tmp";
    std::filesystem::path name = target;
    name += suffix;
    return name;
}

// Makes the rename itself durable. Best effort: the content is already in place.
void syncFolder(const std::filesystem::path& target) {
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    Descriptor fd(openRetryingInterrupts(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0) {
        ::fsync(fd.get());
    }
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

} // namespace

SharedFileReader::SharedFileReader(const std::filesystem::path& path, ReadStatus* why) {
    ReadStatus status = ReadStatus::failed;
    // O_NONBLOCK keeps a FIFO of that name from blocking the open; it is refused below.
    int fd = openRetryingInterrupts(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        status = isMissingError(errno) ? ReadStatus::missing : ReadStatus::failed;
    } else {
        struct stat info {};
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
            int flags = ::fcntl(fd, F_GETFL);
            if (flags >= 0) {
                ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
            }
            handle_ = fd;
            status = ReadStatus::ok;
        } else {
            ::close(fd);
        }
    }
    if (why) {
        *why = status;
    }
}

void SharedFileReader::close() noexcept {
    if (handle_ != closedHandle) {
        ::close(static_cast<int>(handle_));
        handle_ = closedHandle;
    }
}

std::optional<std::size_t> SharedFileReader::read(std::span<char> buffer) {
    if (!isOpen()) {
        return std::nullopt;
    }
    for (;;) {
        ssize_t count = ::read(static_cast<int>(handle_), buffer.data(), buffer.size());
        if (count >= 0) {
            return static_cast<std::size_t>(count);
        }
        if (errno != EINTR) {
            return std::nullopt;
        }
    }
}

bool isWritableFile(const std::filesystem::path& path) {
    Descriptor fd(openRetryingInterrupts(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) {
        return false;
    }
    struct stat info {};
    return ::fstat(fd.get(), &info) == 0 && S_ISREG(info.st_mode);
}

bool replaceFileDurably(const std::filesystem::path& path, std::string_view bytes) {
    using testing::WriteStep;
    const testing::WriteFaults faults = testing::writeFaults();
    auto crashesBefore = [&](WriteStep step) { return faults.crashBefore == step; };
    auto fails = [&](WriteStep step) { return faults.failAt == step; };

    // rename(2) ignores the permissions of the file it replaces; a read-only file stays as it is.
    struct stat old {};
    bool replacing = ::stat(path.c_str(), &old) == 0;
    if (replacing && (!S_ISREG(old.st_mode) || !isWritableFile(path))) {
        return false;
    }

    if (crashesBefore(WriteStep::createTemporary)) {
        return false;
    }
    std::filesystem::path temporary;
    int rawFd = -1;
    for (int attempt = 0; attempt < 100 && rawFd < 0; ++attempt) {
        temporary = temporaryNameFor(path);
        rawFd = openRetryingInterrupts(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                                       0666);
        if (rawFd < 0 && errno != EEXIST) {
            return false;
        }
    }
    if (rawFd < 0) {
        return false;
    }
    Descriptor fd(rawFd);
    auto giveUp = [&] {
        if (fd.get() >= 0) {
            fd.closeNow();
        }
        ::unlink(temporary.c_str());
        return false;
    };
    if (fails(WriteStep::createTemporary)) {
        return giveUp();
    }
    // The new file keeps the old one's permissions; a new file gets 0666 less the umask.
    if (replacing) {
        ::fchmod(fd.get(), old.st_mode & 07777);
    }

    if (crashesBefore(WriteStep::write)) {
        return false;
    }
    if (faults.crashAfterBytes && *faults.crashAfterBytes < bytes.size()) {
        writeAll(fd.get(), bytes.substr(0, *faults.crashAfterBytes));
        return false;
    }
    if (fails(WriteStep::write) || !writeAll(fd.get(), bytes)) {
        return giveUp();
    }

    if (crashesBefore(WriteStep::flush)) {
        return false;
    }
    if (fails(WriteStep::flush) || ::fsync(fd.get()) != 0) {
        return giveUp();
    }

    if (crashesBefore(WriteStep::close)) {
        return false;
    }
    if (!fd.closeNow() || fails(WriteStep::close)) {
        return giveUp();
    }

    if (crashesBefore(WriteStep::rename)) {
        return false;
    }
    if (fails(WriteStep::rename) || ::rename(temporary.c_str(), path.c_str()) != 0) {
        return giveUp();
    }
    syncFolder(path);
    removeLeftTemporaries(path);
    return true;
}

bool processIsRunning(unsigned long processId) {
    if (processId == 0 || processId > 0x7FFFFFFFUL) {
        return false;
    }
    if (static_cast<pid_t>(processId) == ::getpid()) {
        return true;
    }
    return ::kill(static_cast<pid_t>(processId), 0) == 0 || errno == EPERM;
}

} // namespace rudi::files
