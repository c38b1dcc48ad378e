#include "runtime/files.h"
#include "tests/unit/edb_test_files.h"

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <string>

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
