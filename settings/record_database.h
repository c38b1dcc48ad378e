// The record database: .edb files opened under aliases, one of them current, each with a
// current record.
//
// The file on disk is the truth. Each operation reads the whole file again, so it sees what
// another process may have written meanwhile, and each change is written as a whole new file
// that replaces the old one atomically (runtime/files.h): a reader, here or in another process,
// sees the old content or the new, never a mix. "Open for reading and writing, shared" thus
// means: the file was there, valid and writable when it was opened, nothing holds it open
// afterwards, and every write checks again that it may still write it.
//
// A transaction (beginTransaction ... commit) gathers several changes of the current database
// into one replacement: delete all, purge, append gives the old record or the new one, never a
// file without records, and an append that fails leaves the file and the current record as
// they were before the transaction.
//
// Nothing here reports anything to the user; failures are results.
#pragma once

#include "engine/texts.h"
#include "settings/edb_format.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace rudi {

enum class ReadOutcome {
    value,             // FieldRead::value holds the field's value, typed
    noCurrentDatabase, // no database was opened, or none was selected
    noSuchField,       // the current database has no field of that name
};

struct FieldRead {
    ReadOutcome outcome = ReadOutcome::noCurrentDatabase;
    // With ReadOutcome::value: a Text for a text field, a Logical for a logical field. Without a
    // current record it is the empty value of the field's type.
    edb::Value value;
    bool operator==(const FieldRead&) const = default;
};

class RecordDatabase {
  public:
    // Opens an existing, valid, writable .edb file under alias and makes it the current
    // database, its first record the current record. Never creates a file. A missing, damaged,
    // read-only or unreadable file gives false and changes nothing. An alias already open is
    // opened again (on success the new file takes its place), except while a transaction on it
    // runs.
    bool openDatabase(const std::filesystem::path& path, std::string_view alias);

    // Makes the database open under alias the current one; false (and no change) if none is.
    bool selectDatabase(std::string_view alias);

    // The named field of the current record of the current database.
    FieldRead readField(std::string_view name);

    // Marks every record of the current database as deleted if condition holds (the program
    // passes the constant true); the current record stays the same.
    bool deleteRecords(bool condition);

    // Removes the records marked as deleted; the first remaining record becomes current.
    bool purgeDeleted();

    // Appends a record, filled by position: a Text goes into a text field (cut to a fixed
    // field's width, by bytes, and at a zero byte, where a text ends), a Logical into a logical
    // field. Fields beyond the last value are empty; values beyond the last field are ignored.
    // A value of the wrong type for its field fails the whole append before anything is
    // written. The new record becomes current.
    bool appendRecord(const std::vector<edb::Value>& values);

    // Starts gathering the changes of the current database, to be written by commit as one
    // replacement of its file. Reads within the transaction see its changes. False when there
    // is no current database, its file cannot be read, or a transaction already runs.
    bool beginTransaction();

    // Writes the gathered changes in one replacement. If a change in the transaction failed, or
    // the write fails, nothing is written and the database and its current record are as they
    // were before beginTransaction. Either way the transaction ends.
    bool commit();

    // Ends the transaction without writing anything.
    void rollback();

    bool inTransaction() const { return transaction_.has_value(); }

  private:
    struct OpenDatabase {
        Text alias;
        std::filesystem::path path;
        edb::Table table;          // the content last read or written
        std::size_t currentRecord; // past the last record: no current record
    };
    struct Transaction {
        std::size_t database; // index into open_
        edb::Table table;
        std::size_t currentRecord;
        bool changed = false;
        bool failed = false;
    };

    OpenDatabase* current();
    bool refresh(OpenDatabase& database);
    bool store(OpenDatabase& database, const edb::Table& table);
    // Applies change to the working copy: the transaction's, or a fresh copy of the file that
    // is then written. change returns false to fail.
    template <typename Change> bool modify(Change change);

    std::vector<OpenDatabase> open_;
    std::optional<std::size_t> current_;
    std::optional<Transaction> transaction_;
};

} // namespace rudi
