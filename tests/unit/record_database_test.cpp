#include "runtime/files.h"
#include "settings/edb_configuration.h"
#include "settings/edb_format.h"
#include "settings/record_database.h"
#include "tests/unit/edb_test_files.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace rudi {

void PrintTo(const FieldRead& read, std::ostream* out) {
    *out << "outcome " << static_cast<int>(read.outcome);
    if (const Text* text = std::get_if<Text>(&read.value)) {
        *out << ", text \"" << *text << '"';
    } else {
        *out << ", logical " << std::get<edb::Logical>(read.value).value;
    }
}

namespace {

namespace fs = std::filesystem;
using edb::Logical;
using edb::Record;
using edb::Table;
using edb::Value;
using files::testing::ScopedWriteFaults;
using files::testing::WriteFaults;
using files::testing::WriteStep;
using testfiles::readBytes;
using testfiles::ScratchFolder;
using testfiles::writeBytes;

Record configurationRecord(const char* interval, const char* message, const char* eventTime,
                           const char* eventMessage, bool autoRun) {
    return Record{
        false,
        {Text(interval), Text(message), Text(eventTime), Text(eventMessage), Logical{autoRun}}};
}

const Record oldRecord =
    configurationRecord("45", "休息一下", "2000年1月1日*12:00:00", "事件", false);
const Record newRecord =
    configurationRecord("30", "起来走走", "2013年6月27日* 9:05:09", "时间到了", true);

Table configurationWith(std::vector<Record> records) {
    Table table = edb::configurationTable();
    table.records = std::move(records);
    return table;
}

std::string bytesOf(const Table& table) {
    std::optional<std::string> bytes = edb::serialize(table);
    EXPECT_TRUE(bytes);
    return bytes.value_or("");
}

Table tableIn(const fs::path& file) {
    std::optional<Table> table = edb::parse(readBytes(file));
    EXPECT_TRUE(table) << file;
    return table.value_or(Table{});
}

FieldRead valueRead(Value value) {
    return FieldRead{ReadOutcome::value, std::move(value)};
}

// The five fields of the current record as readField gives them.
std::vector<FieldRead> currentRecord(RecordDatabase& db) {
    std::vector<FieldRead> reads;
    for (const edb::Field& field : edb::configurationTable().fields) {
        reads.push_back(db.readField(field.name));
    }
    return reads;
}

std::vector<FieldRead> readsOf(const Record& record) {
    std::vector<FieldRead> reads;
    for (const Value& value : record.values) {
        reads.push_back(valueRead(value));
    }
    return reads;
}

class RecordDatabaseTest : public ::testing::Test {
  protected:
    ScratchFolder folder;
    const fs::path file = folder / fs::path(u8"配置.edb");
};

TEST_F(RecordDatabaseTest, OpenMakesTheFirstRecordOfAValidFileCurrent) {
    Record second = newRecord;
    second.deleted = true;
    writeBytes(file, bytesOf(configurationWith({oldRecord, second, newRecord})));
    RecordDatabase db;
    ASSERT_TRUE(db.openDatabase(file, "配置"));
    EXPECT_EQ(currentRecord(db), readsOf(oldRecord));
    EXPECT_EQ(tableIn(file).records.size(), 3u); // opening and reading write nothing
}

TEST_F(RecordDatabaseTest, ReadFieldOutcomes) {
    writeBytes(folder / "one.edb", bytesOf(configurationWith({oldRecord})));
    writeBytes(folder / "none.edb", bytesOf(configurationWith({})));
    RecordDatabase db;
    EXPECT_EQ(db.readField("提示频率").outcome, ReadOutcome::noCurrentDatabase);
    ASSERT_TRUE(db.openDatabase(folder / "one.edb", "配置"));
    ASSERT_TRUE(db.openDatabase(folder / "none.edb", "空"));
    const struct {
        const char* alias;
        const char* field;
        FieldRead expected;
    } cases[] = {
        {"配置", "提示频率", valueRead(Text("45"))},
        {"配置", "提示信息1", valueRead(Text("休息一下"))},
        {"配置", "事件时间", valueRead(Text("2000年1月1日*12:00:00"))},
        {"配置", "是否自动运行", valueRead(Logical{false})},
        {"配置", "提示频", {ReadOutcome::noSuchField, {}}},    // a prefix is not the name
        {"配置", "提示频率 ", {ReadOutcome::noSuchField, {}}}, // nor a name with a blank
        {"配置", "", {ReadOutcome::noSuchField, {}}},
        // No record: the empty value of the field's type.
        {"空", "提示频率", valueRead(Text(""))},
        {"空", "提示信息2", valueRead(Text(""))},
        {"空", "是否自动运行", valueRead(Logical{false})},
        {"空", "missing", {ReadOutcome::noSuchField, {}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.alias) + " " + c.field);
        ASSERT_TRUE(db.selectDatabase(c.alias));
        EXPECT_EQ(db.readField(c.field), c.expected);
    }
}

// A file that cannot be opened leaves everything as it was: the current database, its record,
// and the file itself, which is never created or written.
TEST_F(RecordDatabaseTest, OpenFailsQuietlyOnMissingDamagedOrForeignFiles) {
    const std::string valid = bytesOf(configurationWith({newRecord}));
    std::string wrongVersion = valid;
    wrongVersion[8] = 9;
    std::string badChecksum = valid;
    badChecksum[valid.size() - 1] ^= 1;
    struct Case {
        std::string what;
        std::optional<std::string> bytes; // nothing: no file at all
    };
    std::vector<Case> cases = {
        {"missing", std::nullopt},
        {"empty", ""},
        {"header only", valid.substr(0, 16)},
        {"wrong magic", "RUDIEDB?" + valid.substr(8)},
        {"wrong version", wrongVersion},
        {"bad checksum", badChecksum},
        {"a byte more", valid + "x"},
        {"text", "提示频率=45\r\n"},
    };
    for (std::size_t length = 0; length < valid.size(); ++length) {
        cases.push_back({"cut at " + std::to_string(length), valid.substr(0, length)});
    }
    writeBytes(folder / "good.edb", bytesOf(configurationWith({oldRecord})));
    fs::create_directory(folder / "folder.edb");
    RecordDatabase db;
    ASSERT_TRUE(db.openDatabase(folder / "good.edb", "好"));
    EXPECT_FALSE(db.openDatabase(folder / "folder.edb", "坏"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path bad = folder / "bad.edb";
        fs::remove(bad);
        if (c.bytes) {
            writeBytes(bad, *c.bytes);
        }
        EXPECT_FALSE(db.openDatabase(bad, "坏"));
        EXPECT_FALSE(db.openDatabase(bad, "好")); // not even over an alias already open
        EXPECT_FALSE(db.selectDatabase("坏"));
        EXPECT_EQ(currentRecord(db), readsOf(oldRecord));
        EXPECT_EQ(fs::exists(bad), c.bytes.has_value());
        if (c.bytes) {
            EXPECT_EQ(readBytes(bad), *c.bytes);
        }
        RecordDatabase fresh;
        EXPECT_FALSE(fresh.openDatabase(bad, "坏"));
        EXPECT_EQ(fresh.readField("提示频率").outcome, ReadOutcome::noCurrentDatabase);
    }
}

TEST_F(RecordDatabaseTest, OpenFailsOnAReadOnlyFile) {
    writeBytes(file, bytesOf(configurationWith({oldRecord})));
    if (!testfiles::makeReadOnly(file)) {
        GTEST_SKIP() << "file permissions do not bind this user (root)";
    }
    RecordDatabase db;
    EXPECT_FALSE(db.openDatabase(file, "配置"));
    EXPECT_EQ(db.readField("提示频率").outcome, ReadOutcome::noCurrentDatabase);
}

TEST_F(RecordDatabaseTest, AWriteFailsOnceTheFileHasBecomeReadOnly) {
    const std::string bytes = bytesOf(configurationWith({oldRecord}));
    writeBytes(file, bytes);
    RecordDatabase db;
    ASSERT_TRUE(db.openDatabase(file, "配置"));
    if (!testfiles::makeReadOnly(file)) {
        GTEST_SKIP() << "file permissions do not bind this user (root)";
    }
    EXPECT_FALSE(db.appendRecord(newRecord.values));
    EXPECT_FALSE(db.deleteRecords(true));
    EXPECT_EQ(readBytes(file), bytes);
    EXPECT_EQ(currentRecord(db), readsOf(oldRecord));
}

TEST_F(RecordDatabaseTest, AFileRemovedAfterOpeningIsNotCreatedAgain) {
    writeBytes(file, bytesOf(configurationWith({oldRecord})));
    RecordDatabase db;
    ASSERT_TRUE(db.openDatabase(file, "配置"));
    fs::remove(file);
    EXPECT_FALSE(db.appendRecord(newRecord.values));
    EXPECT_FALSE(db.purgeDeleted());
    EXPECT_FALSE(db.beginTransaction());
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(currentRecord(db), readsOf(oldRecord)); // what was last seen
}

TEST_F(RecordDatabaseTest, AppendFillsFieldsByPositionAndCutsFixedOnesByBytes) {
    Table table;
    table.fields = {{"名", edb::FieldType::fixedText, 4},
                    {"文", edb::FieldType::text, 0},
                    {"真", edb::FieldType::logical, 0},
                    {"短", edb::FieldType::fixedText, 3}};
    table.records = {{false, {Text("old"), Text("old"), Logical{true}, Text("old")}}};
    const std::string longText(5000, 'x');
    const struct {
        const char* what;
        std::vector<Value> values;
        std::vector<Value> stored;
    } cases[] = {
        {"every field",
         {Text("abcdef"), Text(longText), Logical{true}, Text("中文")},
         {Text("abcd"), Text(longText), Logical{true}, Text("\xD6\xD0\xCE")}}, // 中 and half 文
        {"fewer values than fields",
         {Text("ab")},
         {Text("ab"), Text(""), Logical{false}, Text("")}},
        {"no values", {}, {Text(""), Text(""), Logical{false}, Text("")}},
        {"values beyond the last field, of any type",
         {Text("a"), Text("b"), Logical{false}, Text("c"), Logical{true}, Text("d")},
         {Text("a"), Text("b"), Logical{false}, Text("c")}},
        {"a text ends at a zero byte",
         {Text("ab\0cd", 5), Text("x\0y", 3)},
         {Text("ab"), Text("x"), Logical{false}, Text("")}},
        {"a text exactly as wide as its field",
         {Text("四个")},
         {Text("四个"), Text(""), Logical{false}, Text("")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeBytes(file, bytesOf(table));
        RecordDatabase db;
        ASSERT_TRUE(db.openDatabase(file, "表"));
        ASSERT_TRUE(db.appendRecord(c.values));
        for (std::size_t i = 0; i < table.fields.size(); ++i) {
            EXPECT_EQ(db.readField(table.fields[i].name), valueRead(c.stored[i]));
        }
        Table written = tableIn(file);
        ASSERT_EQ(written.records.size(), 2u);
        EXPECT_EQ(written.records[0], table.records[0]);
        EXPECT_EQ(written.records[1], (Record{false, c.stored}));
    }
}

TEST_F(RecordDatabaseTest, ATypeMismatchFailsTheAppendBeforeAnythingIsWritten) {
    const std::string bytes = bytesOf(configurationWith({oldRecord}));
    const struct {
        const char* what;
        std::vector<Value> values;
    } cases[] = {
        {"a logical for a text field", {Logical{true}}},
        {"a text for the logical field", {Text("30"), Text(""), Text(""), Text(""), Text("1")}},
        {"a logical for the last text field",
         {Text("30"), Text(""), Text(""), Logical{false}, Logical{false}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeBytes(file, bytes);
        RecordDatabase db;
        ASSERT_TRUE(db.openDatabase(file, "配置"));
        EXPECT_FALSE(db.appendRecord(c.values));
        EXPECT_EQ(readBytes(file), bytes);
        EXPECT_EQ(currentRecord(db), readsOf(oldRecord));
    }
}

// Delete all, purge and append, as 确定 stores the settings: one record, the new one; a file
// supplied with several records ends up with one as well.
TEST_F(RecordDatabaseTest, DeleteAllPurgeAppendLeavesExactlyTheNewRecord) {
    for (bool inOneTransaction : {false, true}) {
        SCOPED_TRACE(inOneTransaction ? "in one transaction" : "step by step");
        Record deleted = oldRecord;
        deleted.deleted = true;
        writeBytes(file, bytesOf(configurationWith({oldRecord, deleted, oldRecord})));
        RecordDatabase db;
        ASSERT_TRUE(db.openDatabase(file, "配置"));
        ASSERT_TRUE(db.selectDatabase("配置"));
        if (inOneTransaction) {
            ASSERT_TRUE(db.beginTransaction());
        }
        EXPECT_TRUE(db.deleteRecords(true));
        EXPECT_TRUE(db.purgeDeleted());
        EXPECT_TRUE(db.appendRecord(newRecord.values));
        if (inOneTransaction) {
            EXPECT_EQ(tableIn(file).records.size(), 3u); // nothing written before the commit
            EXPECT_EQ(currentRecord(db), readsOf(newRecord));
            ASSERT_TRUE(db.commit());
        }
        EXPECT_EQ(tableIn(file), configurationWith({newRecord}));
        EXPECT_EQ(currentRecord(db), readsOf(newRecord));
        RecordDatabase later;
        ASSERT_TRUE(later.openDatabase(file, "配置"));
        EXPECT_EQ(currentRecord(later), readsOf(newRecord));
    }
}

TEST_F(RecordDatabaseTest, AFailedAppendInATransactionLeavesTheOldFileAndRecord) {
    const std::string bytes = bytesOf(configurationWith({oldRecord}));
    writeBytes(file, bytes);
    RecordDatabase db;
    ASSERT_TRUE(db.openDatabase(file, "配置"));
    ASSERT_TRUE(db.beginTransaction());
    EXPECT_TRUE(db.deleteRecords(true));
    EXPECT_TRUE(db.purgeDeleted());
    std::vector<Value> mismatched = newRecord.values;
    mismatched[4] = Text("1");
    EXPECT_FALSE(db.appendRecord(mismatched));
    EXPECT_FALSE(db.appendRecord(newRecord.values)); // the transaction has failed for good
    EXPECT_FALSE(db.commit());
    EXPECT_FALSE(db.inTransaction());
    EXPECT_EQ(readBytes(file), bytes);
    EXPECT_EQ(currentRecord(db), readsOf(oldRecord));
}

TEST_F(RecordDatabaseTest, RollbackWritesNothing) {
    const std::string bytes = bytesOf(configurationWith({oldRecord}));
    writeBytes(file, bytes);
    RecordDatabase db;
    ASSERT_TRUE(db.openDatabase(file, "配置"));
    ASSERT_TRUE(db.beginTransaction());
    EXPECT_FALSE(db.beginTransaction()); // one at a time
    EXPECT_TRUE(db.deleteRecords(true));
    EXPECT_TRUE(db.purgeDeleted());
    db.rollback();
    EXPECT_FALSE(db.commit());
    EXPECT_EQ(readBytes(file), bytes);
    EXPECT_EQ(currentRecord(db), readsOf(oldRecord));
}

// The rewrite failing at each step of the file replacement, or the program dying at any byte:
// the file opens afterwards with the old record, and the next commit stores the new one.
TEST_F(RecordDatabaseTest, AFailedOrInterruptedCommitLeavesTheOldRecord) {
    const std::string oldBytes = bytesOf(configurationWith({oldRecord, oldRecord}));
    const std::string newBytes = bytesOf(configurationWith({newRecord}));
    std::vector<WriteFaults> faults;
    for (WriteStep step : {WriteStep::createTemporary, WriteStep::write, WriteStep::flush,
                           WriteStep::close, WriteStep::rename}) {
        faults.push_back({step, std::nullopt, std::nullopt});
        faults.push_back({std::nullopt, step, std::nullopt});
    }
    for (std::size_t cut = 0; cut < newBytes.size(); ++cut) {
        faults.push_back({std::nullopt, std::nullopt, cut});
    }
    for (std::size_t i = 0; i < faults.size(); ++i) {
        SCOPED_TRACE("fault " + std::to_string(i));
        writeBytes(file, oldBytes);
        RecordDatabase db;
        ASSERT_TRUE(db.openDatabase(file, "配置"));
        auto rewrite = [&] {
            return db.beginTransaction() && db.deleteRecords(true) && db.purgeDeleted() &&
                   db.appendRecord(newRecord.values) && db.commit();
        };
        {
            ScopedWriteFaults injected(faults[i]);
            EXPECT_FALSE(rewrite());
        }
        EXPECT_EQ(readBytes(file), oldBytes);
        EXPECT_EQ(currentRecord(db), readsOf(oldRecord));
        RecordDatabase after;
        ASSERT_TRUE(after.openDatabase(file, "配置"));
        EXPECT_EQ(currentRecord(after), readsOf(oldRecord));

        EXPECT_TRUE(rewrite());
        EXPECT_EQ(readBytes(file), newBytes);
    }
}

TEST_F(RecordDatabaseTest, DeleteKeepsTheCurrentRecordAndPurgeMovesToTheFirstLeft) {
    Record first = oldRecord;
    first.deleted = true;
    writeBytes(file, bytesOf(configurationWith({first, newRecord})));
    RecordDatabase db;
    ASSERT_TRUE(db.openDatabase(file, "配置"));
    EXPECT_EQ(currentRecord(db), readsOf(oldRecord)); // the first record, marked or not

    const std::string before = readBytes(file);
    EXPECT_TRUE(db.deleteRecords(false)); // the condition holds for no record
    EXPECT_EQ(readBytes(file), before);
    EXPECT_TRUE(db.purgeDeleted());
    EXPECT_EQ(currentRecord(db), readsOf(newRecord));
    EXPECT_EQ(tableIn(file), configurationWith({newRecord}));

    Record third = configurationRecord("7", "", "", "", true);
    ASSERT_TRUE(db.appendRecord(third.values));
    EXPECT_EQ(currentRecord(db), readsOf(third)); // the appended record is current
    EXPECT_TRUE(db.deleteRecords(true));
    EXPECT_EQ(currentRecord(db), readsOf(third)); // marked, still current
    Table marked = tableIn(file);
    ASSERT_EQ(marked.records.size(), 2u);
    EXPECT_TRUE(marked.records[0].deleted && marked.records[1].deleted);
    EXPECT_TRUE(db.purgeDeleted());
    EXPECT_EQ(tableIn(file).records.size(), 0u);
    EXPECT_EQ(db.readField("提示频率"), valueRead(Text("")));
    EXPECT_EQ(db.readField("是否自动运行"), valueRead(Logical{false}));
}

// Another opener of the same file (a second copy of the program) writes it: reads and writes
// here work on what the file holds now.
TEST_F(RecordDatabaseTest, ReadsAndWritesSeeWhatAnotherOpenerWrote) {
    writeBytes(file, bytesOf(configurationWith({oldRecord})));
    RecordDatabase mine;
    RecordDatabase theirs;
    ASSERT_TRUE(mine.openDatabase(file, "配置"));
    ASSERT_TRUE(theirs.openDatabase(file, "配置"));
    ASSERT_TRUE(theirs.beginTransaction());
    ASSERT_TRUE(theirs.deleteRecords(true) && theirs.purgeDeleted() &&
                theirs.appendRecord(newRecord.values));
    ASSERT_TRUE(theirs.commit());

    EXPECT_EQ(currentRecord(mine), readsOf(newRecord));
    Record third = configurationRecord("9", "", "", "", false);
    ASSERT_TRUE(mine.appendRecord(third.values));
    EXPECT_EQ(tableIn(file), configurationWith({newRecord, third}));
    EXPECT_EQ(currentRecord(theirs), readsOf(newRecord)); // its current record is still the first
}

// A reader in the middle of reading the file while the database rewrites it reads the old
// bytes whole. Where the system will not rename over an open file (Windows, Wine) the commit
// fails after its retries and changes nothing; once the reader is done it goes through.
TEST_F(RecordDatabaseTest, ACommitUnderAReaderNeverTearsTheFile) {
    const std::string oldBytes = bytesOf(configurationWith({oldRecord}));
    writeBytes(file, oldBytes);
    RecordDatabase db;
    ASSERT_TRUE(db.openDatabase(file, "配置"));
    auto rewrite = [&] {
        return db.beginTransaction() && db.deleteRecords(true) && db.purgeDeleted() &&
               db.appendRecord(newRecord.values) && db.commit();
    };
    bool committed = false;
    {
        files::SharedFileReader reader(file);
        ASSERT_TRUE(reader.isOpen());
        std::array<char, 10> start{};
        ASSERT_EQ(reader.read(start), std::optional<std::size_t>(start.size()));

        committed = rewrite();
#ifndef _WIN32
        EXPECT_TRUE(committed);
#endif
        files::ReadResult rest = reader.readToEnd(edb::maxFileBytes);
        ASSERT_EQ(rest.status, files::ReadStatus::ok);
        EXPECT_EQ(std::string(start.data(), start.size()) + rest.bytes, oldBytes);
        const Record& expected = committed ? newRecord : oldRecord;
        EXPECT_EQ(tableIn(file), configurationWith({expected}));
        EXPECT_EQ(currentRecord(db), readsOf(expected));
    }
    if (!committed) {
        ASSERT_TRUE(rewrite());
    }
    EXPECT_EQ(tableIn(file), configurationWith({newRecord}));
}

TEST_F(RecordDatabaseTest, AliasesSelectTheCurrentDatabase) {
    writeBytes(folder / "a.edb", bytesOf(configurationWith({oldRecord})));
    writeBytes(folder / "b.edb", bytesOf(configurationWith({newRecord})));
    RecordDatabase db;
    EXPECT_FALSE(db.selectDatabase("甲"));
    EXPECT_FALSE(db.deleteRecords(true));
    EXPECT_FALSE(db.purgeDeleted());
    EXPECT_FALSE(db.appendRecord({}));
    EXPECT_FALSE(db.beginTransaction());
    EXPECT_FALSE(db.commit());

    ASSERT_TRUE(db.openDatabase(folder / "a.edb", "甲"));
    ASSERT_TRUE(db.openDatabase(folder / "b.edb", "乙"));
    EXPECT_EQ(db.readField("提示频率"), valueRead(Text("30"))); // the last opened is current
    EXPECT_TRUE(db.selectDatabase("甲"));
    EXPECT_EQ(db.readField("提示频率"), valueRead(Text("45")));
    EXPECT_FALSE(db.selectDatabase("丙"));
    EXPECT_EQ(db.readField("提示频率"), valueRead(Text("45"))); // unchanged
    ASSERT_TRUE(db.appendRecord(newRecord.values));
    EXPECT_EQ(tableIn(folder / "a.edb").records.size(), 2u);
    EXPECT_EQ(tableIn(folder / "b.edb").records.size(), 1u);

    ASSERT_TRUE(db.openDatabase(folder / "b.edb", "甲")); // the alias now names b.edb
    EXPECT_EQ(db.readField("提示频率"), valueRead(Text("30")));
}

} // namespace
} // namespace rudi
