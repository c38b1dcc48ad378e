#include "tools/edb/edb_tool.h"

#include "runtime/files.h"
#include "runtime/text_codec.h"
#include "settings/edb_configuration.h"
#include "settings/edb_format.h"
#include "settings/record_database.h"

#include <charconv>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string_view>

namespace rudi::edbtool {

namespace {

constexpr std::string_view usage =
    "usage:\n"
    "  edb create FILE                 the configuration fields, no record\n"
    "  edb create-default FILE         the configuration fields and the supplied record\n"
    "  edb create-custom FILE FIELD... fields given as NAME:fixed:WIDTH, NAME:text or "
    "NAME:logical\n"
    "  edb dump FILE                   fields and records, readable\n"
    "  edb set FILE FIELD VALUE        sets a field of the first record\n"
    "  edb append FILE [VALUE...]      appends a record, values by field position\n"
    "Logical values are 1, 0, true or false. Create replaces an existing FILE.\n";

std::filesystem::path pathFromUtf8(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string hexByte(unsigned char byte) {
    constexpr char digits[] = "0123456789ABCDEF";
    return std::string{'\\', 'x', digits[byte >> 4], digits[byte & 0xF]};
}

// ASCII specials escaped; UTF-8 sequences never hold bytes below 0x80, so this is safe on them.
std::string escapeAscii(std::string_view utf8) {
    std::string shown;
    for (char c : utf8) {
        auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            shown += '\\';
            shown += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            shown += hexByte(byte);
        } else {
            shown += c;
        }
    }
    return shown;
}

std::string typeName(const edb::Field& field) {
    switch (field.type) {
    case edb::FieldType::fixedText:
        return "fixed:" + std::to_string(field.width);
    case edb::FieldType::text:
        return "text";
    case edb::FieldType::logical:
        return "logical";
    }
    return "unknown";
}

class Command {
  public:
    Command(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

    int fail(const std::string& message) {
        err_ << "edb: " << message << '\n';
        return 1;
    }

    std::optional<Text> toGbk(const std::string& utf8, const char* what) {
        std::optional<Text> gbk = utf8ToGbk(utf8);
        if (!gbk) {
            fail(std::string(what) + " \"" + utf8 + "\" has no GBK form");
        }
        return gbk;
    }

    std::optional<edb::Table> load(const std::filesystem::path& path, const std::string& shown) {
        files::ReadResult read = files::readWholeFile(path, edb::maxFileBytes);
        switch (read.status) {
        case files::ReadStatus::ok:
            break;
        case files::ReadStatus::missing:
            fail(shown + ": no such file");
            return std::nullopt;
        case files::ReadStatus::tooLarge:
            fail(shown + ": " + std::string(edb::describe(edb::ParseError::tooLarge)));
            return std::nullopt;
        case files::ReadStatus::failed:
            fail(shown + ": cannot be read");
            return std::nullopt;
        }
        edb::ParseError why = edb::ParseError::none;
        std::optional<edb::Table> table = edb::parse(read.bytes, &why);
        if (!table) {
            fail(shown + ": " + std::string(edb::describe(why)));
        }
        return table;
    }

    int save(const std::filesystem::path& path, const std::string& shown, const edb::Table& table) {
        std::optional<std::string> bytes = edb::serialize(table);
        if (!bytes) {
            return fail(shown + ": the table breaks a limit of the format");
        }
        if (!files::replaceFileDurably(path, *bytes)) {
            return fail(shown + ": cannot be written");
        }
        return 0;
    }

    std::optional<edb::Field> parseField(const std::string& definition) {
        // NAME:fixed:WIDTH, NAME:text or NAME:logical; the name is everything before the type.
        auto bad = [&]() -> std::optional<edb::Field> {
            fail("bad field \"" + definition +
                 "\": use NAME:fixed:WIDTH, NAME:text or NAME:logical");
            return std::nullopt;
        };
        std::size_t colon = definition.find(':');
        if (colon == std::string::npos || colon == 0) {
            return bad();
        }
        std::string rest = definition.substr(colon + 1);
        std::optional<Text> name = toGbk(definition.substr(0, colon), "field name");
        if (!name) {
            return std::nullopt;
        }
        if (rest == "text") {
            return edb::Field{*name, edb::FieldType::text, 0};
        }
        if (rest == "logical") {
            return edb::Field{*name, edb::FieldType::logical, 0};
        }
        if (rest.rfind("fixed:", 0) == 0) {
            std::string_view digits = std::string_view(rest).substr(6);
            unsigned width = 0;
            auto [end, error] =
                std::from_chars(digits.data(), digits.data() + digits.size(), width);
            if (error == std::errc() && end == digits.data() + digits.size() && width >= 1 &&
                width <= edb::maxFixedWidth) {
                return edb::Field{*name, edb::FieldType::fixedText,
                                  static_cast<std::uint16_t>(width)};
            }
        }
        return bad();
    }

    // A value for a field of this type, from its UTF-8 form on the command line.
    std::optional<edb::Value> parseValue(const std::string& utf8, const edb::Field& field) {
        if (field.type == edb::FieldType::logical) {
            if (utf8 == "1" || utf8 == "true") {
                return edb::Logical{true};
            }
            if (utf8 == "0" || utf8 == "false") {
                return edb::Logical{false};
            }
            fail("\"" + utf8 + "\" is not a logical value (1, 0, true, false)");
            return std::nullopt;
        }
        std::optional<Text> text = toGbk(utf8, "value");
        if (!text) {
            return std::nullopt;
        }
        return edb::Value(*text);
    }

    int create(const std::string& file, edb::Table table) {
        return save(pathFromUtf8(file), file, table);
    }

    int createCustom(const std::string& file, const std::vector<std::string>& definitions) {
        edb::Table table;
        for (const std::string& definition : definitions) {
            std::optional<edb::Field> field = parseField(definition);
            if (!field) {
                return 1;
            }
            table.fields.push_back(*field);
        }
        return save(pathFromUtf8(file), file, table);
    }

    int dump(const std::string& file) {
        std::optional<edb::Table> table = load(pathFromUtf8(file), file);
        if (!table) {
            return 1;
        }
        out_ << "edb version " << edb::formatVersion << ", fields: " << table->fields.size()
             << ", records: " << table->records.size() << '\n';
        for (std::size_t i = 0; i < table->fields.size(); ++i) {
            const edb::Field& field = table->fields[i];
            out_ << "field " << i + 1 << ": " << showText(field.name) << ':' << typeName(field)
                 << '\n';
        }
        for (std::size_t r = 0; r < table->records.size(); ++r) {
            const edb::Record& record = table->records[r];
            out_ << "record " << r + 1 << (record.deleted ? " (deleted)" : "") << ":\n";
            for (std::size_t i = 0; i < table->fields.size(); ++i) {
                out_ << "  " << showText(table->fields[i].name) << " = ";
                if (const auto* logical = std::get_if<edb::Logical>(&record.values[i])) {
                    out_ << (logical->value ? 1 : 0) << '\n';
                } else {
                    out_ << '"' << showText(std::get<Text>(record.values[i])) << "\"\n";
                }
            }
        }
        return 0;
    }

    int set(const std::string& file, const std::string& fieldName, const std::string& value) {
        std::filesystem::path path = pathFromUtf8(file);
        std::optional<edb::Table> table = load(path, file);
        if (!table) {
            return 1;
        }
        std::optional<Text> name = toGbk(fieldName, "field name");
        if (!name) {
            return 1;
        }
        std::optional<std::size_t> index = edb::findField(*table, *name);
        if (!index) {
            return fail(file + ": no field \"" + fieldName + "\"");
        }
        if (table->records.empty()) {
            return fail(file + ": no record to set; append one first");
        }
        const edb::Field& field = table->fields[*index];
        std::optional<edb::Value> parsed = parseValue(value, field);
        if (!parsed) {
            return 1;
        }
        if (Text* text = std::get_if<Text>(&*parsed);
            text && field.type == edb::FieldType::fixedText && text->size() > field.width) {
            err_ << "edb: the value is cut to the field's " << field.width << " bytes\n";
            text->resize(field.width);
        }
        table->records.front().values[*index] = *parsed;
        if (!files::isWritableFile(path)) {
            return fail(file + ": cannot be written");
        }
        return save(path, file, *table);
    }

    int append(const std::string& file, const std::vector<std::string>& values) {
        std::filesystem::path path = pathFromUtf8(file);
        std::optional<edb::Table> table = load(path, file);
        if (!table) {
            return 1;
        }
        std::vector<edb::Value> typed;
        for (std::size_t i = 0; i < values.size() && i < table->fields.size(); ++i) {
            std::optional<edb::Value> value = parseValue(values[i], table->fields[i]);
            if (!value) {
                return 1;
            }
            typed.push_back(std::move(*value));
        }
        if (values.size() > table->fields.size()) {
            err_ << "edb: values beyond the last field are ignored\n";
        }
        RecordDatabase database;
        if (!database.openDatabase(path, "edb") || !database.appendRecord(typed)) {
            return fail(file + ": cannot be written");
        }
        return 0;
    }

  private:
    std::ostream& out_;
    std::ostream& err_;
};

} // namespace

std::string showText(const std::string& gbk) {
    if (std::optional<std::string> utf8 = gbkToUtf8(gbk)) {
        return escapeAscii(*utf8);
    }
    // Character by character: a byte of 0x81 or above starts a two-byte character.
    std::string shown;
    for (std::size_t i = 0; i < gbk.size();) {
        auto byte = static_cast<unsigned char>(gbk[i]);
        std::size_t length = (byte >= 0x81 && i + 1 < gbk.size()) ? 2 : 1;
        std::optional<std::string> utf8 = gbkToUtf8(std::string_view(gbk).substr(i, length));
        if (utf8) {
            shown += escapeAscii(*utf8);
            i += length;
        } else {
            shown += hexByte(byte);
            i += 1;
        }
    }
    return shown;
}

int run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    Command command(out, err);
    auto usageError = [&] {
        err << usage;
        return 2;
    };
    if (arguments.size() < 2) {
        return usageError();
    }
    const std::string& verb = arguments[0];
    const std::string& file = arguments[1];
    std::vector<std::string> rest(arguments.begin() + 2, arguments.end());
    if (verb == "create" && rest.empty()) {
        return command.create(file, edb::configurationTable());
    }
    if (verb == "create-default" && rest.empty()) {
        edb::Table table = edb::configurationTable();
        table.records.push_back(edb::defaultConfigurationRecord());
        return command.create(file, table);
    }
    if (verb == "create-custom" && !rest.empty()) {
        return command.createCustom(file, rest);
    }
    if (verb == "dump" && rest.empty()) {
        return command.dump(file);
    }
    if (verb == "set" && rest.size() == 2) {
        return command.set(file, rest[0], rest[1]);
    }
    if (verb == "append") {
        return command.append(file, rest);
    }
    return usageError();
}

} // namespace rudi::edbtool
