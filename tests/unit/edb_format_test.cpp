#include "settings/edb_configuration.h"
#include "settings/edb_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace rudi::edb {
namespace {

// Builds .edb bytes by hand, field by field, as docs/edb-format.md lays them out.
class Bytes {
  public:
    Bytes& raw(std::string_view bytes) {
        bytes_ += bytes;
        return *this;
    }
    Bytes& u8(std::uint32_t value) { return le(value, 1); }
    Bytes& u16(std::uint32_t value) { return le(value, 2); }
    Bytes& u32(std::uint32_t value) { return le(value, 4); }
    Bytes& header(std::uint32_t fields, std::uint32_t records) {
        return raw({"RUDIEDB\x1A", 8}).u16(1).u16(fields).u32(records);
    }
    Bytes& field(std::string_view name, std::uint32_t type, std::uint32_t width) {
        return u8(static_cast<std::uint32_t>(name.size())).raw(name).u8(type).u16(width);
    }
    Bytes& text(std::string_view text) {
        return u32(static_cast<std::uint32_t>(text.size())).raw(text);
    }
    // The content so far followed by its checksum.
    std::string sealed() const {
        Bytes copy = *this;
        copy.u32(crc32(bytes_));
        return copy.bytes_;
    }

  private:
    Bytes& le(std::uint32_t value, int width) {
        for (int i = 0; i < width; ++i) {
            bytes_.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
        }
        return *this;
    }
    std::string bytes_;
};

// fixed:4 "名", text "ok", logical.
Bytes smallFile(std::uint32_t records = 1) {
    Bytes bytes;
    bytes.header(3, records).field("\xC3\xFB", 1, 4).field("t", 2, 0).field("l", 3, 0);
    return bytes;
}

TEST(EdbCrc32, MatchesTheStandardCheckValue) {
    EXPECT_EQ(crc32("123456789"), 0xCBF43926u);
    EXPECT_EQ(crc32(""), 0u);
}

TEST(EdbFormat, WritesTheDocumentedLayout) {
    Table table;
    table.fields = {{"\xC3\xFB", FieldType::fixedText, 4},
                    {"t", FieldType::text, 0},
                    {"l", FieldType::logical, 0}};
    table.records = {{false, {Text("ab"), Text("\xD6\xD0"), Logical{true}}},
                     {true, {Text(""), Text(""), Logical{false}}}};
    Bytes bytes = smallFile(2);
    bytes.u8(0).text("ab").text("\xD6\xD0").u8(1); // a live record
    bytes.u8(1).text("").text("").u8(0);           // a deleted one
    const std::string expected = bytes.sealed();
    EXPECT_EQ(serialize(table), expected);
    EXPECT_EQ(parse(expected), table);
}

TEST(EdbFormat, TheConfigurationFileRoundTrips) {
    Table table = configurationTable();
    ASSERT_EQ(table.fields.size(), 5u);
    EXPECT_EQ(table.fields[0].name, "提示频率");
    EXPECT_EQ(table.fields[4].type, FieldType::logical);
    EXPECT_GE(table.fields[2].width, 23u); // an event time text fits whole
    table.records.push_back(defaultConfigurationRecord());
    std::optional<std::string> bytes = serialize(table);
    ASSERT_TRUE(bytes);
    ParseError why = ParseError::badMagic;
    EXPECT_EQ(parse(*bytes, &why), table);
    EXPECT_EQ(why, ParseError::none);
}

// Every kind of damage is refused with its reason, the structural ones behind a valid checksum.
TEST(EdbFormat, RejectsDamagedAndInconsistentFiles) {
    const std::string valid = smallFile().u8(0).text("ab").text("").u8(0).sealed();
    std::string wrongMagic = valid;
    wrongMagic[0] = 'X';
    std::string wrongVersion = valid;
    wrongVersion[8] = 2;
    std::string flipped = valid;
    flipped[valid.size() / 2] ^= 0x40;
    const struct {
        const char* what;
        std::string bytes;
        ParseError error;
    } cases[] = {
        {"empty", "", ParseError::tooShort},
        {"magic only", valid.substr(0, 8), ParseError::tooShort},
        {"header only", valid.substr(0, 16), ParseError::tooShort},
        {"wrong magic", wrongMagic, ParseError::badMagic},
        {"wrong version", wrongVersion, ParseError::badVersion},
        {"a flipped bit", flipped, ParseError::badChecksum},
        {"checksum cut off", valid.substr(0, valid.size() - 4), ParseError::badChecksum},
        {"too large", std::string(maxFileBytes + 1, '\0'), ParseError::tooLarge},
        {"no fields", Bytes().header(0, 0).raw("xxxxx").sealed(), ParseError::badFieldCount},
        {"65 fields", Bytes().header(65, 0).field("a", 2, 0).sealed(), ParseError::badFieldCount},
        {"empty name", Bytes().header(1, 0).u8(0).u8(2).u16(0).raw("x").sealed(),
         ParseError::badFieldName},
        {"65-byte name", Bytes().header(1, 0).field(std::string(65, 'n'), 2, 0).sealed(),
         ParseError::badFieldName},
        {"zero in a name", Bytes().header(1, 0).field({"a\0b", 3}, 2, 0).sealed(),
         ParseError::badFieldName},
        {"same name twice", Bytes().header(2, 0).field("a", 2, 0).field("a", 3, 0).sealed(),
         ParseError::duplicateField},
        {"type 0", Bytes().header(1, 0).field("a", 0, 0).sealed(), ParseError::badFieldType},
        {"type 4", Bytes().header(1, 0).field("a", 4, 0).sealed(), ParseError::badFieldType},
        {"fixed width 0", Bytes().header(1, 0).field("a", 1, 0).sealed(),
         ParseError::badFieldWidth},
        {"fixed width 4097", Bytes().header(1, 0).field("a", 1, 4097).sealed(),
         ParseError::badFieldWidth},
        {"width on a text", Bytes().header(1, 0).field("a", 2, 8).sealed(),
         ParseError::badFieldWidth},
        {"field table cut", Bytes().header(2, 0).field("a", 2, 0).u8(5).raw("ab").sealed(),
         ParseError::truncated},
        {"more records than bytes", smallFile(1000).u8(0).text("ab").text("").u8(0).sealed(),
         ParseError::badRecordCount},
        {"over maxRecords", smallFile(maxRecords + 1).sealed(), ParseError::badRecordCount},
        {"mark 2", smallFile().u8(2).text("ab").text("").u8(0).sealed(), ParseError::badRecordMark},
        {"logical 2", smallFile().u8(0).text("ab").text("").u8(2).sealed(), ParseError::badLogical},
        {"5 bytes in fixed:4", smallFile().u8(0).text("abcde").text("").u8(0).sealed(),
         ParseError::badTextLength},
        {"text over maxTextBytes",
         smallFile().u8(0).text("").u32(maxTextBytes + 1).raw("xy").sealed(),
         ParseError::badTextLength},
        {"text longer than the file", smallFile().u8(0).text("").u32(200).raw("abc").sealed(),
         ParseError::truncated},
        {"zero in a text", smallFile().u8(0).text({"a\0", 2}).text("").u8(0).sealed(),
         ParseError::textHoldsZeroByte},
        {"record count too small",
         smallFile(1).u8(0).text("ab").text("").u8(0).u8(0).text("").text("").u8(0).sealed(),
         ParseError::trailingBytes},
        {"last logical missing",
         smallFile(2).u8(0).text("ab").text("").u8(0).u8(0).text("").text("").sealed(),
         ParseError::truncated},
    };
    ASSERT_TRUE(parse(valid));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ParseError why = ParseError::none;
        EXPECT_FALSE(parse(c.bytes, &why));
        EXPECT_EQ(why, c.error) << describe(why);
    }
}

TEST(EdbFormat, EveryTruncationOfAValidFileIsRefused) {
    Table table = configurationTable();
    table.records.push_back(defaultConfigurationRecord());
    const std::string valid = *serialize(table);
    for (std::size_t length = 0; length < valid.size(); ++length) {
        SCOPED_TRACE(length);
        EXPECT_FALSE(parse(std::string_view(valid).substr(0, length)));
    }
}

TEST(EdbFormat, RefusesToWriteATableThatBreaksTheRules) {
    const Table good = [] {
        Table t;
        t.fields = {{"f", FieldType::fixedText, 2}, {"l", FieldType::logical, 0}};
        t.records = {{false, {Text("ab"), Logical{true}}}};
        return t;
    }();
    ASSERT_TRUE(serialize(good));
    const struct {
        const char* what;
        void (*change)(Table&);
    } cases[] = {
        {"no fields",
         [](Table& t) {
             t.fields.clear();
             t.records.clear();
         }},
        {"duplicate names", [](Table& t) { t.fields[1].name = "f"; }},
        {"empty name", [](Table& t) { t.fields[0].name.clear(); }},
        {"width on a logical", [](Table& t) { t.fields[1].width = 1; }},
        {"text too wide", [](Table& t) { t.records[0].values[0] = Text("abc"); }},
        {"zero in a text", [](Table& t) { t.records[0].values[0] = Text("a\0", 2); }},
        {"text in a logical", [](Table& t) { t.records[0].values[1] = Text("1"); }},
        {"logical in a text", [](Table& t) { t.records[0].values[0] = Logical{true}; }},
        {"a value missing", [](Table& t) { t.records[0].values.pop_back(); }},
        {"a value too many", [](Table& t) { t.records[0].values.push_back(Logical{}); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Table bad = good;
        c.change(bad);
        EXPECT_FALSE(serialize(bad));
    }
}

} // namespace
} // namespace rudi::edb
