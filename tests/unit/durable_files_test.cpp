#include "runtime/files.h"
#include "tests/unit/edb_test_files.h"

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace rudi {
namespace {

namespace fs = std::filesystem;
using files::ReadStatus;
using files::testing::ScopedWriteFaults;
using files::testing::WriteFaults;
using files::testing::WriteStep;
using testfiles::readBytes;
using testfiles::ScratchFolder;
using testfiles::writeBytes;

const std::string oldContent("old content\0with a zero byte", 28);
const std::string newContent = "the new content, a little longer than the old one";

constexpr std::array allSteps{WriteStep::createTemporary, WriteStep::write, WriteStep::flush,
                              WriteStep::close, WriteStep::rename};

const char* stepName(WriteStep step) {
    switch (step) {
    case WriteStep::createTemporary:
        return "createTemporary";
    case WriteStep::write:
        return "write";
    case WriteStep::flush:
        return "flush";
    case WriteStep::close:
        return "close";
    case WriteStep::rename:
        return "rename";
    }
    return "?";
}

TEST(ReplaceFileDurably, CreatesOrReplacesWithExactlyTheBytes) {
    ScratchFolder folder;
    const fs::path file = folder / fs::path(u8"配置.edb");
    const std::string contents[] = {oldContent, "", std::string(70000, '\xB2'), newContent};
    for (const std::string& content : contents) {
        SCOPED_TRACE(content.size());
        ASSERT_TRUE(files::replaceFileDurably(file, content));
        EXPECT_EQ(readBytes(file), content);
        EXPECT_EQ(folder.entries(), std::vector<fs::path>{file.filename()});
    }
}

TEST(ReplaceFileDurably, KeepsThePermissionsOfTheFileItReplaces) {
    ScratchFolder folder;
    const fs::path file = folder / "kept.edb";
    writeBytes(file, oldContent);
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const fs::perms before = fs::status(file).permissions();
    ASSERT_TRUE(files::replaceFileDurably(file, newContent));
    EXPECT_EQ(fs::status(file).permissions(), before);
}

TEST(ReplaceFileDurably, LeavesAReadOnlyFileAlone) {
    ScratchFolder folder;
    const fs::path file = folder / "read-only.edb";
    writeBytes(file, oldContent);
    if (!testfiles::makeReadOnly(file)) {
        GTEST_SKIP() << "file permissions do not bind this user (root)";
    }
    EXPECT_FALSE(files::replaceFileDurably(file, newContent));
    EXPECT_EQ(readBytes(file), oldContent);
    EXPECT_EQ(folder.entries().size(), 1u);
}

TEST(ReplaceFileDurably, FailsInAMissingFolderWithoutCreatingIt) {
    ScratchFolder folder;
    const fs::path file = folder / "no such folder" / "file.edb";
    EXPECT_FALSE(files::replaceFileDurably(file, newContent));
    EXPECT_FALSE(fs::exists(file.parent_path()));
}

// A step that reports an error: the old content stays and the temporary file is removed.
TEST(ReplaceFileDurably, AFailingStepLeavesTheOldContentAndNoTemporaryFile) {
    for (WriteStep step : allSteps) {
        SCOPED_TRACE(stepName(step));
        ScratchFolder folder;
        const fs::path file = folder / fs::path(u8"配置.edb");
        writeBytes(file, oldContent);
        {
            ScopedWriteFaults faults(WriteFaults{step, std::nullopt, std::nullopt});
            EXPECT_FALSE(files::replaceFileDurably(file, newContent));
        }
        EXPECT_EQ(readBytes(file), oldContent);
        EXPECT_EQ(folder.entries(), std::vector<fs::path>{file.filename()});
        ASSERT_TRUE(files::replaceFileDurably(file, newContent));
        EXPECT_EQ(readBytes(file), newContent);
    }
}

// The writer dying before any step, or after any number of bytes: the file keeps the old
// content whole; at most one temporary file is left, and the next write still succeeds.
TEST(ReplaceFileDurably, ACrashAtAnyPointLeavesTheOldContentWhole) {
    std::vector<WriteFaults> crashes;
    for (WriteStep step : allSteps) {
        crashes.push_back(WriteFaults{std::nullopt, step, std::nullopt});
    }
    for (std::size_t cut = 0; cut < newContent.size(); ++cut) {
        crashes.push_back(WriteFaults{std::nullopt, std::nullopt, cut});
    }
    for (const WriteFaults& crash : crashes) {
        SCOPED_TRACE(crash.crashBefore ? std::string("before ") + stepName(*crash.crashBefore)
                                       : "after byte " + std::to_string(*crash.crashAfterBytes));
        ScratchFolder folder;
        const fs::path file = folder / fs::path(u8"配置.edb");
        writeBytes(file, oldContent);
        {
            ScopedWriteFaults faults(crash);
            EXPECT_FALSE(files::replaceFileDurably(file, newContent));
        }
        EXPECT_EQ(readBytes(file), oldContent);
        const std::size_t leftovers = folder.entries().size() - 1;
        EXPECT_EQ(leftovers, crash.crashBefore == WriteStep::createTemporary ? 0u : 1u);
        if (crash.crashAfterBytes) {
            // What reached the temporary file is the cut content, never part of the target.
            for (const auto& name : folder.entries()) {
                if (name != file.filename()) {
                    EXPECT_EQ(readBytes(folder / name),
                              newContent.substr(0, *crash.crashAfterBytes));
                }
            }
        }
        ASSERT_TRUE(files::replaceFileDurably(file, newContent));
        EXPECT_EQ(readBytes(file), newContent);
    }
}

// A writer that died mid-write left its temporary file; the next successful write removes it,
// and only it: a live writer's file and every other name stay.
TEST(ReplaceFileDurably, RemovesTheTemporaryFilesOfWritersThatDied) {
    ScratchFolder folder;
    const fs::path file = folder / fs::path(u8"配置.edb");
    writeBytes(file, oldContent);
    // No process has this identifier: it is beyond every system's range of live ones.
    const std::u8string dead = u8"2147483644";
    const std::string selfDigits = std::to_string(
#ifdef _WIN32
        GetCurrentProcessId()
#else
        ::getpid()
#endif
    );
    const std::u8string self(selfDigits.begin(), selfDigits.end());
    const std::vector<std::u8string> left = {u8"配置.edb." + dead + u8"-1-123.tmp",
                                             u8"配置.edb." + dead + u8"-27-0.tmp"};
    const std::vector<std::u8string> kept = {
        u8"配置.edb." + self + u8"-1-5.tmp", // a live writer
        u8"配置.edb.tmp",
        u8"配置.edb." + dead + u8"-1.tmp",
        u8"配置.edb." + dead + u8"-1-2-3.tmp",
        u8"配置.edb.x" + dead + u8"-1-2.tmp",
        u8"配置.edb." + dead + u8"-1-2.tmp.bak",
        u8"其他.edb." + dead + u8"-1-2.tmp",
        u8"配置.edbx." + dead + u8"-1-2.tmp",
        u8"配置.edb.99999999999999999999-1-2.tmp",
    };
    for (const auto& names : {left, kept}) {
        for (const std::u8string& name : names) {
            writeBytes(folder / fs::path(name), "left");
        }
    }
    ASSERT_TRUE(files::replaceFileDurably(file, newContent));
    EXPECT_EQ(readBytes(file), newContent);
    for (const std::u8string& name : left) {
        EXPECT_FALSE(fs::exists(folder / fs::path(name))) << fs::path(name).string();
    }
    for (const std::u8string& name : kept) {
        EXPECT_TRUE(fs::exists(folder / fs::path(name))) << fs::path(name).string();
    }
}

TEST(ProcessIsRunning, ThisProcessIsAndAnImpossibleOneIsNot) {
#ifdef _WIN32
    EXPECT_TRUE(files::processIsRunning(GetCurrentProcessId()));
#else
    EXPECT_TRUE(files::processIsRunning(static_cast<unsigned long>(::getpid())));
#endif
    EXPECT_FALSE(files::processIsRunning(2147483644UL));
    EXPECT_FALSE(files::processIsRunning(0));
}

// A reader that has the file open while it is replaced reads the old content to its end. POSIX
// replaces the file under it; Windows (and Wine) may refuse to rename over a file that is open
// at all, and then the write fails after its retries and leaves the old file, which the next
// write replaces once the reader is done.
TEST(ReplaceFileDurably, AReaderHoldingTheFileReadsTheOldContentWhole) {
    ScratchFolder folder;
    const fs::path file = folder / fs::path(u8"配置.edb");
    writeBytes(file, oldContent);
    bool replaced = false;
    {
        files::SharedFileReader held(file);
        ASSERT_TRUE(held.isOpen());
        std::array<char, 5> start{};
        ASSERT_EQ(held.read(start), std::optional<std::size_t>(start.size()));

        replaced = files::replaceFileDurably(file, newContent);
#ifndef _WIN32
        EXPECT_TRUE(replaced);
#endif
        files::ReadResult rest = held.readToEnd(1000);
        ASSERT_EQ(rest.status, ReadStatus::ok);
        EXPECT_EQ(std::string(start.data(), start.size()) + rest.bytes, oldContent);
        files::ReadResult fresh = files::readWholeFile(file, 1000);
        EXPECT_EQ(fresh.status, ReadStatus::ok);
        EXPECT_EQ(fresh.bytes, replaced ? newContent : oldContent);
        EXPECT_EQ(folder.entries().size(), 1u);
    }
    ASSERT_TRUE(files::replaceFileDurably(file, newContent + "!"));
    EXPECT_EQ(readBytes(file), newContent + "!");
}

// A reader that lets go of the file within a second or two does not make the write fail: the
// rename waits for it (on Windows, which cannot rename over an open file).
TEST(ReplaceFileDurably, WaitsForAReaderThatLetsGoSoon) {
    ScratchFolder folder;
    const fs::path file = folder / fs::path(u8"配置.edb");
    writeBytes(file, oldContent);
    auto held = std::make_unique<files::SharedFileReader>(file);
    ASSERT_TRUE(held->isOpen());
    std::thread reader([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
        held.reset();
    });
    const bool replaced = files::replaceFileDurably(file, newContent);
    reader.join();
    EXPECT_TRUE(replaced);
    EXPECT_EQ(readBytes(file), newContent);
    EXPECT_EQ(folder.entries().size(), 1u);
}

// A foreign reader that did not share deletion (the C library's streams on Windows) may make the
// replacement fail after its retries; the file is then untouched and nothing is left behind.
TEST(ReplaceFileDurably, AForeignReaderGivesTheOldOrTheNewContentNeverAMix) {
    ScratchFolder folder;
    const fs::path file = folder / "held.edb";
    writeBytes(file, oldContent);
    bool replaced = false;
    {
        std::ifstream foreign(file, std::ios::binary);
        ASSERT_TRUE(foreign.is_open());
        replaced = files::replaceFileDurably(file, newContent);
    }
    EXPECT_EQ(readBytes(file), replaced ? newContent : oldContent);
    EXPECT_EQ(folder.entries().size(), 1u);
}

TEST(ReadWholeFile, ReadsTheBytesOrSaysWhyNot) {
    ScratchFolder folder;
    writeBytes(folder / "small", oldContent);
    writeBytes(folder / "empty", "");
    fs::create_directory(folder / "folder");
    const struct {
        const char* name;
        std::size_t limit;
        ReadStatus status;
        std::string bytes;
    } cases[] = {
        {"small", oldContent.size(), ReadStatus::ok, oldContent},
        {"small", oldContent.size() - 1, ReadStatus::tooLarge, ""},
        {"empty", 0, ReadStatus::ok, ""},
        {"missing", 100, ReadStatus::missing, ""},
        {"folder", 100, ReadStatus::failed, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " limit " + std::to_string(c.limit));
        files::ReadResult read = files::readWholeFile(folder / c.name, c.limit);
        EXPECT_EQ(read.status, c.status);
        EXPECT_EQ(read.bytes, c.bytes);
    }
    EXPECT_EQ(files::readWholeFile(folder / "missing" / "below", 100).status, ReadStatus::missing);
}

TEST(IsWritableFile, OnlyAnExistingWritableRegularFile) {
    ScratchFolder folder;
    const fs::path file = folder / fs::path(u8"配置.edb");
    writeBytes(file, oldContent);
    fs::create_directory(folder / "folder");
    EXPECT_TRUE(files::isWritableFile(file));
    EXPECT_EQ(readBytes(file), oldContent); // the check changes nothing
    EXPECT_FALSE(files::isWritableFile(folder / "missing.edb"));
    EXPECT_FALSE(fs::exists(folder / "missing.edb"));
    EXPECT_FALSE(files::isWritableFile(folder / "folder"));
    if (testfiles::makeReadOnly(file)) {
        EXPECT_FALSE(files::isWritableFile(file));
    }
}

} // namespace
} // namespace rudi
