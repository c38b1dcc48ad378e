#include "settings/edb_format.h"

#include <algorithm>
#include <array>

namespace rudi::edb {

namespace {

constexpr std::string_view magic{"RUDIEDB\x1A", 8};
constexpr std::size_t headerBytes = 16; // magic, version, field count, record count
constexpr std::size_t checksumBytes = 4;
constexpr std::size_t smallestFieldBytes = 5; // name length, one name byte, type, width
constexpr std::size_t smallestFileBytes = headerBytes + smallestFieldBytes + checksumBytes;

constexpr std::array<std::uint32_t, 256> makeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int bit = 0; bit < 8; ++bit) {
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        table[n] = c;
    }
    return table;
}

constexpr auto crcTable = makeCrcTable();

std::uint32_t loadLe(std::string_view bytes, std::size_t at, std::size_t width) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < width; ++i) {
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    }
    return value;
}

void storeLe(std::string& out, std::uint32_t value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

// Reads the body (between the header's start and the checksum) front to back.
class Cursor {
  public:
    Cursor(std::string_view bytes, std::size_t at) : bytes_(bytes), at_(at) {}

    std::size_t left() const { return bytes_.size() - at_; }
    std::size_t position() const { return at_; }

    bool take(std::size_t width, std::uint32_t& value) {
        if (left() < width) {
            return false;
        }
        value = loadLe(bytes_, at_, width);
        at_ += width;
        return true;
    }

    bool takeBytes(std::size_t count, std::string_view& out) {
        if (left() < count) {
            return false;
        }
        out = bytes_.substr(at_, count);
        at_ += count;
        return true;
    }

  private:
    std::string_view bytes_;
    std::size_t at_;
};

bool isKnownType(std::uint32_t type) {
    return type == static_cast<std::uint32_t>(FieldType::fixedText) ||
           type == static_cast<std::uint32_t>(FieldType::text) ||
           type == static_cast<std::uint32_t>(FieldType::logical);
}

bool isValidName(std::string_view name) {
    return !name.empty() && name.size() <= maxFieldNameBytes &&
           name.find('\0') == std::string_view::npos;
}

bool isValidWidth(FieldType type, std::uint32_t width) {
    if (type == FieldType::fixedText) {
        return width >= 1 && width <= maxFixedWidth;
    }
    return width == 0;
}

std::size_t textLimit(const Field& field) {
    return field.type == FieldType::fixedText ? field.width : maxTextBytes;
}

// The fewest bytes a record of these fields takes.
std::size_t smallestRecordBytes(const std::vector<Field>& fields) {
    std::size_t bytes = 1;
    for (const Field& field : fields) {
        bytes += field.type == FieldType::logical ? 1 : 4;
    }
    return bytes;
}

ParseError parseBody(std::string_view bytes, Table& table) {
    Cursor cursor(bytes.substr(0, bytes.size() - checksumBytes), 10);
    std::uint32_t fieldCount = 0;
    std::uint32_t recordCount = 0;
    cursor.take(2, fieldCount);
    cursor.take(4, recordCount);
    if (fieldCount == 0 || fieldCount > maxFields) {
        return ParseError::badFieldCount;
    }
    if (recordCount > maxRecords) {
        return ParseError::badRecordCount;
    }

    for (std::uint32_t i = 0; i < fieldCount; ++i) {
        std::uint32_t nameLength = 0;
        std::string_view name;
        std::uint32_t type = 0;
        std::uint32_t width = 0;
        if (!cursor.take(1, nameLength)) {
            return ParseError::truncated;
        }
        if (nameLength == 0 || nameLength > maxFieldNameBytes) {
            return ParseError::badFieldName;
        }
        if (!cursor.takeBytes(nameLength, name) || !cursor.take(1, type) ||
            !cursor.take(2, width)) {
            return ParseError::truncated;
        }
        if (!isValidName(name)) {
            return ParseError::badFieldName;
        }
        if (!isKnownType(type)) {
            return ParseError::badFieldType;
        }
        Field field{Text(name), static_cast<FieldType>(type), static_cast<std::uint16_t>(width)};
        if (!isValidWidth(field.type, width)) {
            return ParseError::badFieldWidth;
        }
        if (findField(table, field.name)) {
            return ParseError::duplicateField;
        }
        table.fields.push_back(std::move(field));
    }

    // Checked before anything is reserved, so a forged count costs nothing.
    if (recordCount > cursor.left() / smallestRecordBytes(table.fields)) {
        return ParseError::badRecordCount;
    }
    table.records.reserve(recordCount);
    for (std::uint32_t r = 0; r < recordCount; ++r) {
        Record record;
        std::uint32_t mark = 0;
        if (!cursor.take(1, mark)) {
            return ParseError::truncated;
        }
        if (mark > 1) {
            return ParseError::badRecordMark;
        }
        record.deleted = mark == 1;
        record.values.reserve(table.fields.size());
        for (const Field& field : table.fields) {
            if (field.type == FieldType::logical) {
                std::uint32_t logical = 0;
                if (!cursor.take(1, logical)) {
                    return ParseError::truncated;
                }
                if (logical > 1) {
                    return ParseError::badLogical;
                }
                record.values.emplace_back(Logical{logical == 1});
                continue;
            }
            std::uint32_t length = 0;
            std::string_view text;
            if (!cursor.take(4, length)) {
                return ParseError::truncated;
            }
            if (length > textLimit(field)) {
                return ParseError::badTextLength;
            }
            if (!cursor.takeBytes(length, text)) {
                return ParseError::truncated;
            }
            if (text.find('\0') != std::string_view::npos) {
                return ParseError::textHoldsZeroByte;
            }
            record.values.emplace_back(Text(text));
        }
        table.records.push_back(std::move(record));
    }
    if (cursor.left() != 0) {
        return ParseError::trailingBytes;
    }
    return ParseError::none;
}

} // namespace

std::string_view describe(ParseError error) {
    switch (error) {
    case ParseError::none:
        return "valid";
    case ParseError::tooShort:
        return "too short to be an .edb file";
    case ParseError::tooLarge:
        return "larger than an .edb file may be";
    case ParseError::badMagic:
        return "not an .edb file (wrong magic)";
    case ParseError::badVersion:
        return "an .edb version this program does not know";
    case ParseError::badChecksum:
        return "damaged: the checksum does not match";
    case ParseError::badFieldCount:
        return "inconsistent: no fields or too many";
    case ParseError::badFieldName:
        return "inconsistent: a field name is empty, too long or holds a zero byte";
    case ParseError::duplicateField:
        return "inconsistent: two fields have the same name";
    case ParseError::badFieldType:
        return "inconsistent: unknown field type";
    case ParseError::badFieldWidth:
        return "inconsistent: a field width is out of range";
    case ParseError::badRecordCount:
        return "inconsistent: the record count does not fit the file";
    case ParseError::badRecordMark:
        return "inconsistent: a deleted mark is neither 0 nor 1";
    case ParseError::badLogical:
        return "inconsistent: a logical value is neither 0 nor 1";
    case ParseError::badTextLength:
        return "inconsistent: a text is longer than its field allows";
    case ParseError::textHoldsZeroByte:
        return "inconsistent: a text holds a zero byte";
    case ParseError::truncated:
        return "inconsistent: the structure ends before the file does";
    case ParseError::trailingBytes:
        return "inconsistent: bytes follow the last record";
    }
    return "unknown error";
}

std::uint32_t crc32(std::string_view bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (char byte : bytes) {
        crc = crcTable[(crc ^ static_cast<unsigned char>(byte)) & 0xFF] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFu;
}

std::optional<Table> parse(std::string_view bytes, ParseError* error) {
    auto fail = [&](ParseError why) -> std::optional<Table> {
        if (error) {
            *error = why;
        }
        return std::nullopt;
    };
    if (bytes.size() > maxFileBytes) {
        return fail(ParseError::tooLarge);
    }
    if (bytes.size() < magic.size()) {
        return fail(ParseError::tooShort);
    }
    if (bytes.substr(0, magic.size()) != magic) {
        return fail(ParseError::badMagic);
    }
    if (bytes.size() < magic.size() + 2) {
        return fail(ParseError::tooShort);
    }
    if (loadLe(bytes, magic.size(), 2) != formatVersion) {
        return fail(ParseError::badVersion);
    }
    if (bytes.size() < smallestFileBytes) {
        return fail(ParseError::tooShort);
    }
    std::size_t body = bytes.size() - checksumBytes;
    if (crc32(bytes.substr(0, body)) != loadLe(bytes, body, checksumBytes)) {
        return fail(ParseError::badChecksum);
    }
    Table table;
    ParseError why = parseBody(bytes, table);
    if (why != ParseError::none) {
        return fail(why);
    }
    if (error) {
        *error = ParseError::none;
    }
    return table;
}

std::optional<std::string> serialize(const Table& table) {
    if (table.fields.empty() || table.fields.size() > maxFields ||
        table.records.size() > maxRecords) {
        return std::nullopt;
    }
    std::string out(magic);
    storeLe(out, formatVersion, 2);
    storeLe(out, static_cast<std::uint32_t>(table.fields.size()), 2);
    storeLe(out, static_cast<std::uint32_t>(table.records.size()), 4);
    for (std::size_t i = 0; i < table.fields.size(); ++i) {
        const Field& field = table.fields[i];
        if (!isValidName(field.name) || !isKnownType(static_cast<std::uint32_t>(field.type)) ||
            !isValidWidth(field.type, field.width)) {
            return std::nullopt;
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (table.fields[j].name == field.name) {
                return std::nullopt;
            }
        }
        storeLe(out, static_cast<std::uint32_t>(field.name.size()), 1);
        out += field.name;
        storeLe(out, static_cast<std::uint32_t>(field.type), 1);
        storeLe(out, field.width, 2);
    }
    for (const Record& record : table.records) {
        if (record.values.size() != table.fields.size()) {
            return std::nullopt;
        }
        out.push_back(record.deleted ? '\1' : '\0');
        for (std::size_t i = 0; i < table.fields.size(); ++i) {
            const Field& field = table.fields[i];
            const Value& value = record.values[i];
            if (!fits(value, field.type)) {
                return std::nullopt;
            }
            if (const Logical* logical = std::get_if<Logical>(&value)) {
                out.push_back(logical->value ? '\1' : '\0');
                continue;
            }
            const Text& text = std::get<Text>(value);
            if (text.size() > textLimit(field) || text.find('\0') != Text::npos) {
                return std::nullopt;
            }
            storeLe(out, static_cast<std::uint32_t>(text.size()), 4);
            out += text;
        }
        if (out.size() + checksumBytes > maxFileBytes) {
            return std::nullopt;
        }
    }
    storeLe(out, crc32(out), 4);
    return out;
}

Value emptyValue(FieldType type) {
    if (type == FieldType::logical) {
        return Logical{false};
    }
    return Text();
}

bool fits(const Value& value, FieldType type) {
    return std::holds_alternative<Logical>(value) == (type == FieldType::logical);
}

std::optional<std::size_t> findField(const Table& table, std::string_view name) {
    auto found = std::find_if(table.fields.begin(), table.fields.end(),
                              [&](const Field& field) { return field.name == name; });
    if (found == table.fields.end()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(found - table.fields.begin());
}

} // namespace rudi::edb
