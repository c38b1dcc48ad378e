#include "settings/record_database.h"

#include "runtime/files.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace rudi {

namespace {

enum class Change { failed, unchanged, changed };

std::optional<edb::Table> readTable(const std::filesystem::path& path) {
    files::ReadResult read = files::readWholeFile(path, edb::maxFileBytes);
    if (read.status != files::ReadStatus::ok) {
        return std::nullopt;
    }
    return edb::parse(read.bytes);
}

// The stored form of a text: it ends at a zero byte, and a fixed field keeps its first bytes.
Text storedText(const Text& text, const edb::Field& field) {
    Text stored = text.substr(0, text.find('\0'));
    if (field.type == edb::FieldType::fixedText && stored.size() > field.width) {
        stored.resize(field.width);
    }
    return stored;
}

} // namespace

RecordDatabase::OpenDatabase* RecordDatabase::current() {
    return current_ ? &open_[*current_] : nullptr;
}

bool RecordDatabase::refresh(OpenDatabase& database) {
    std::optional<edb::Table> table = readTable(database.path);
    if (!table) {
        return false;
    }
    database.table = std::move(*table);
    return true;
}

bool RecordDatabase::store(OpenDatabase& database, const edb::Table& table) {
    std::optional<std::string> bytes = edb::serialize(table);
    if (!bytes || !files::isWritableFile(database.path) ||
        !files::replaceFileDurably(database.path, *bytes)) {
        return false;
    }
    database.table = table;
    return true;
}

template <typename ChangeFunction> bool RecordDatabase::modify(ChangeFunction change) {
    if (!current_) {
        return false;
    }
    OpenDatabase& database = open_[*current_];
    if (transaction_ && transaction_->database == *current_) {
        if (transaction_->failed) {
            return false;
        }
        Change result = change(transaction_->table, transaction_->currentRecord);
        if (result == Change::failed) {
            transaction_->failed = true;
            return false;
        }
        transaction_->changed = transaction_->changed || result == Change::changed;
        return true;
    }
    if (!refresh(database)) {
        return false;
    }
    edb::Table table = database.table;
    std::size_t currentRecord = database.currentRecord;
    Change result = change(table, currentRecord);
    if (result == Change::failed || (result == Change::changed && !store(database, table))) {
        return false;
    }
    database.currentRecord = currentRecord;
    return true;
}

bool RecordDatabase::openDatabase(const std::filesystem::path& path, std::string_view alias) {
    if (transaction_ && open_[transaction_->database].alias == alias) {
        return false;
    }
    // Kept absolute, so that a later change of the working folder does not move the database.
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) {
        absolute = path;
    }
    std::optional<edb::Table> table = readTable(absolute);
    if (!table || !files::isWritableFile(absolute)) {
        return false;
    }
    OpenDatabase opened{Text(alias), std::move(absolute), std::move(*table), 0};
    auto same = std::find_if(open_.begin(), open_.end(),
                             [&](const OpenDatabase& open) { return open.alias == alias; });
    if (same != open_.end()) {
        *same = std::move(opened);
        current_ = static_cast<std::size_t>(same - open_.begin());
    } else {
        open_.push_back(std::move(opened));
        current_ = open_.size() - 1;
    }
    return true;
}

bool RecordDatabase::selectDatabase(std::string_view alias) {
    for (std::size_t i = 0; i < open_.size(); ++i) {
        if (open_[i].alias == alias) {
            current_ = i;
            return true;
        }
    }
    return false;
}

FieldRead RecordDatabase::readField(std::string_view name) {
    if (!current_) {
        return FieldRead{ReadOutcome::noCurrentDatabase, {}};
    }
    OpenDatabase& database = open_[*current_];
    const edb::Table* table = &database.table;
    std::size_t record = database.currentRecord;
    if (transaction_ && transaction_->database == *current_) {
        table = &transaction_->table;
        record = transaction_->currentRecord;
    } else {
        // A file that cannot be read now (a writer of another kind, a deleted file) leaves the
        // content last seen, as a file held open would.
        refresh(database);
    }
    std::optional<std::size_t> field = edb::findField(*table, name);
    if (!field) {
        return FieldRead{ReadOutcome::noSuchField, {}};
    }
    if (record >= table->records.size()) {
        return FieldRead{ReadOutcome::value, edb::emptyValue(table->fields[*field].type)};
    }
    return FieldRead{ReadOutcome::value, table->records[record].values[*field]};
}

bool RecordDatabase::deleteRecords(bool condition) {
    return modify([condition](edb::Table& table, std::size_t&) {
        Change result = Change::unchanged;
        for (edb::Record& record : table.records) {
            if (condition && !record.deleted) {
                record.deleted = true;
                result = Change::changed;
            }
        }
        return result;
    });
}

bool RecordDatabase::purgeDeleted() {
    return modify([](edb::Table& table, std::size_t& currentRecord) {
        std::size_t before = table.records.size();
        std::erase_if(table.records, [](const edb::Record& record) { return record.deleted; });
        currentRecord = 0;
        return table.records.size() == before ? Change::unchanged : Change::changed;
    });
}

bool RecordDatabase::appendRecord(const std::vector<edb::Value>& values) {
    return modify([&values](edb::Table& table, std::size_t& currentRecord) {
        if (table.records.size() >= edb::maxRecords) {
            return Change::failed;
        }
        edb::Record record;
        record.values.reserve(table.fields.size());
        for (std::size_t i = 0; i < table.fields.size(); ++i) {
            const edb::Field& field = table.fields[i];
            if (i >= values.size()) {
                record.values.push_back(edb::emptyValue(field.type));
                continue;
            }
            if (!edb::fits(values[i], field.type)) {
                return Change::failed;
            }
            if (const Text* text = std::get_if<Text>(&values[i])) {
                Text stored = storedText(*text, field);
                if (stored.size() > edb::maxTextBytes) {
                    return Change::failed;
                }
                record.values.emplace_back(std::move(stored));
            } else {
                record.values.push_back(values[i]);
            }
        }
        table.records.push_back(std::move(record));
        currentRecord = table.records.size() - 1;
        return Change::changed;
    });
}

bool RecordDatabase::beginTransaction() {
    if (!current_ || transaction_) {
        return false;
    }
    OpenDatabase& database = open_[*current_];
    if (!refresh(database)) {
        return false;
    }
    transaction_ = Transaction{*current_, database.table, database.currentRecord};
    return true;
}

bool RecordDatabase::commit() {
    if (!transaction_) {
        return false;
    }
    Transaction transaction = std::move(*transaction_);
    transaction_.reset();
    if (transaction.failed) {
        return false;
    }
    OpenDatabase& database = open_[transaction.database];
    if (transaction.changed && !store(database, transaction.table)) {
        return false;
    }
    database.currentRecord = transaction.currentRecord;
    return true;
}

void RecordDatabase::rollback() {
    transaction_.reset();
}

} // namespace rudi
