// Whole-file reads and durable replacement of small files, for portable code.
//
// Readers never see a torn file: a writer never writes into the file it replaces. It writes a
// temporary file in the same folder, flushes it to the disk, closes it and renames it over the
// old file in one step. A reader that opened the old file keeps reading the old content to its
// end; a reader that opens the file afterwards reads the new content. After a crash or a power
// cut at any instant the file holds the old or the new content; at worst a temporary file is
// left beside it.
//
// On Windows every file is opened shared for reading, writing and deletion, so a writer can
// rename over a file that another process holds open through this interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace rudi::files {

enum class ReadStatus {
    ok,
    missing,  // no file of that name, or its folder is missing
    tooLarge, // longer than the caller's limit
    failed,   // not a regular file, no permission, a read error
};

struct ReadResult {
    ReadStatus status = ReadStatus::failed;
    std::string bytes; // the whole content when status is ok
};

// A regular file held open for reading, shared with other readers, writers and a rename over it.
class SharedFileReader {
  public:
    // Opens path; on failure the reader is closed and *why (if given) says why.
    explicit SharedFileReader(const std::filesystem::path& path, ReadStatus* why = nullptr);
    SharedFileReader(SharedFileReader&& other) noexcept;
    SharedFileReader& operator=(SharedFileReader&& other) noexcept;
    SharedFileReader(const SharedFileReader&) = delete;
    SharedFileReader& operator=(const SharedFileReader&) = delete;
    ~SharedFileReader();

    bool isOpen() const { return handle_ != closedHandle; }

    // Reads up to buffer.size() bytes: the count read, 0 at the end, nothing on a read error.
    std::optional<std::size_t> read(std::span<char> buffer);

    // Reads from the current position to the end, at most maxBytes in all.
    ReadResult readToEnd(std::size_t maxBytes);

  private:
    static constexpr std::intptr_t closedHandle = -1; // a file descriptor, or a HANDLE on Windows
    void close() noexcept;
    std::intptr_t handle_ = closedHandle;
};

// The whole content of a regular file, if it holds at most maxBytes.
ReadResult readWholeFile(const std::filesystem::path& path, std::size_t maxBytes);

// Whether path is an existing regular file that this process may open for writing. The file is
// opened for writing and closed again, without a change to its content.
bool isWritableFile(const std::filesystem::path& path);

// Gives path the content bytes, creating the file if it is missing: a temporary file with a
// unique name in the same folder, written, flushed to the disk, closed and renamed over path
// (a short retry when another process holds the file for a moment). On failure path is
// unchanged and the temporary file removed. A read-only file is not replaced.
bool replaceFileDurably(const std::filesystem::path& path, std::string_view bytes);

// Removes the temporary files that writers of path left when they died mid-write: those named
// as replaceFileDurably names them ("<name>.<process>-<n>-<t>.tmp") whose process has ended.
// A live writer's temporary file is kept. replaceFileDurably calls it after each success.
void removeLeftTemporaries(const std::filesystem::path& path);

// Whether the process with this identifier is running (this process is).
bool processIsRunning(unsigned long processId);

namespace testing {

// The steps of replaceFileDurably, in order.
enum class WriteStep { createTemporary, write, flush, close, rename };

// Faults that the next calls of replaceFileDurably meet, to show that a failure or a crash at any
// point leaves the old or the new content. A crash stops the writer dead, as the end of the
// process would: nothing after it runs, the temporary file is left as it is.
struct WriteFaults {
    std::optional<WriteStep> failAt;            // the step reports an error; clean-up as usual
    std::optional<WriteStep> crashBefore;       // the writer dies just before this step
    std::optional<std::size_t> crashAfterBytes; // the writer dies once this many bytes are written
};

inline WriteFaults& writeFaults() {
    static WriteFaults faults;
    return faults;
}

// Sets the faults for its lifetime.
class ScopedWriteFaults {
  public:
    explicit ScopedWriteFaults(const WriteFaults& faults) : saved_(writeFaults()) {
        writeFaults() = faults;
    }
    ~ScopedWriteFaults() { writeFaults() = saved_; }
    ScopedWriteFaults(const ScopedWriteFaults&) = delete;
    ScopedWriteFaults& operator=(const ScopedWriteFaults&) = delete;

  private:
    WriteFaults saved_;
};

} // namespace testing

} // namespace rudi::files
