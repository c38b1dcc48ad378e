// The .edb file format: a table of named, typed fields and its records, in memory and as bytes.
// docs/edb-format.md describes the bytes.
#pragma once

#include "engine/texts.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace rudi::edb {

enum class FieldType : std::uint8_t {
    fixedText = 1, // a text of at most `width` bytes
    text = 2,      // a text of unbounded length (up to maxTextBytes)
    logical = 3,   // true or false
};

// A logical value; reads as 1 for true and 0 for false.
struct Logical {
    bool value = false;
    bool operator==(const Logical&) const = default;
};

// A value carries its type: a text (for both kinds of text field) or a logical.
using Value = std::variant<Text, Logical>;

struct Field {
    Text name; // GBK bytes, compared byte for byte
    FieldType type = FieldType::text;
    std::uint16_t width = 0; // bytes of a fixedText field; 0 for the other types
    bool operator==(const Field&) const = default;
};

struct Record {
    bool deleted = false;
    std::vector<Value> values; // one per field, in field order, each of its field's type
    bool operator==(const Record&) const = default;
};

struct Table {
    std::vector<Field> fields;
    std::vector<Record> records;
    bool operator==(const Table&) const = default;
};

// Limits every reader checks and no writer exceeds.
inline constexpr std::uint16_t formatVersion = 1;
inline constexpr std::size_t maxFileBytes = 16 * 1024 * 1024;
inline constexpr std::size_t maxFields = 64;
inline constexpr std::size_t maxFieldNameBytes = 64;
inline constexpr std::uint16_t maxFixedWidth = 4096;
inline constexpr std::size_t maxTextBytes = 1024 * 1024;
inline constexpr std::size_t maxRecords = 1000000;

enum class ParseError {
    none,
    tooShort,          // shorter than the smallest valid file
    tooLarge,          // longer than maxFileBytes
    badMagic,          // not an .edb file
    badVersion,        // a version this reader does not know
    badChecksum,       // the content does not match its checksum
    badFieldCount,     // no fields, or more than maxFields
    badFieldName,      // empty, too long, or holding a zero byte
    duplicateField,    // two fields of the same name
    badFieldType,      // an unknown type byte
    badFieldWidth,     // a fixed width out of range, or a width on another type
    badRecordCount,    // more records than maxRecords or than the bytes can hold
    badRecordMark,     // a deleted mark other than 0 or 1
    badLogical,        // a logical byte other than 0 or 1
    badTextLength,     // longer than its field's width or than maxTextBytes
    textHoldsZeroByte, // texts end at a zero byte, so none is stored inside one
    truncated,         // the bytes end inside the structure
    trailingBytes,     // bytes left between the last record and the checksum
};

// A short English description, for diagnostics.
std::string_view describe(ParseError error);

// CRC-32 (the reflected polynomial EDB88320, initial and final value FFFFFFFF).
std::uint32_t crc32(std::string_view bytes);

// The table held by bytes, or nothing (and *error says why) when they are not a valid file.
std::optional<Table> parse(std::string_view bytes, ParseError* error = nullptr);

// The bytes of a table, or nothing when the table breaks a rule of the format: a limit, a
// value count or type that does not match the fields, a text too long for its field or holding
// a zero byte. parse(serialize(t)) == t, and serialize(parse(b)) == b for every valid file b.
std::optional<std::string> serialize(const Table& table);

// The value of a field of this type that holds nothing: the empty text, or false.
Value emptyValue(FieldType type);

// Whether a value may go into a field of this type (a text into either kind of text field).
bool fits(const Value& value, FieldType type);

// The index of the field with this name, if any.
std::optional<std::size_t> findField(const Table& table, std::string_view name);

} // namespace rudi::edb
