#include "engine/texts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <string_view>

namespace rudi {
namespace {

using namespace std::string_literals;

// Printable form of a text for failure messages: bytes of 0x80 and above as \xHH.
std::string shown(std::string_view text) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F) {
            out += c;
        } else {
            out += "\\x";
            out += digits[byte >> 4];
            out += digits[byte & 0xF];
        }
    }
    return out;
}

int sign(int value) {
    return (value > 0) - (value < 0);
}

TEST(IntegerText, IsPlainDecimal) {
    const struct {
        std::int32_t value;
        const char* text;
    } cases[] = {
        {0, "0"},
        {7, "7"},
        {45, "45"},
        {100, "100"},
        {-7, "-7"},
        {-100, "-100"},
        {std::numeric_limits<std::int32_t>::max(), "2147483647"},
        {std::numeric_limits<std::int32_t>::min(), "-2147483648"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(integerText(c.value), c.text);
        EXPECT_EQ(textToInteger(integerText(c.value)), c.value);
    }
}

TEST(FoldFullWidth, FoldsFullWidthFormsCharacterByCharacter) {
    const struct {
        std::string text;
        std::string folded;
    } cases[] = {
        {"", ""},
        {"45", "45"},
        {"\xA3\xB4\xA3\xB5", "45"},               // full-width 4 5
        {"\xA3\xA1", "!"},                        // first of the full-width range
        {"\xA3\xFE", "~"},                        // last of the full-width range
        {"\xA3\xAB\xA3\xAD", "+-"},               // full-width plus and minus
        {"\xA3\xC1\xA3\xE1", "Aa"},               // full-width letters
        {"\xA3\xA0\xA3\xFF", "\xA3\xA0\xA3\xFF"}, // just outside the range: kept
        {"\xA1\xA1", " "},                        // ideographic space
        {"\xA1\xAB", "~"},                        // wave dash
        {"\xA1\xEE\xA1\xEF", "**"},               // the two stars
        {"\xA1\xED\xA1\xF0", "\xA1\xED\xA1\xF0"}, // their neighbours are kept
        {"\xC4\xEA"
         "5",
         "\xC4\xEA"
         "5"},            // other characters are kept
        {"12\xA3", "12"}, // lone lead byte at the end dropped
        {"\xA3", ""},
        {"\xC4\xEA\xA3", "\xC4\xEA"},
        // Character by character: B1A3 and B4A3 are characters, so no A3B4 is seen.
        {"\xB1\xA3\xB4\xA3\xB5", "\xB1\xA3\xB4\xA3"},
        // A lead byte pairs with an ASCII byte too; the pair is kept whole.
        {"\xA3"
         "5\xA3\xB5",
         "\xA3"
         "55"},
        // The text ends at its first NUL, so the A3 before it is a lone lead byte.
        {"\xA3\0\xB4"s, ""},
        {"4\0\xA3\xB5"s, "4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(shown(c.text));
        EXPECT_EQ(shown(foldFullWidth(c.text)), shown(c.folded));
    }
}

TEST(TextToInteger, ParsesFoldedDigitsWithWrapAround) {
    const struct {
        std::string text;
        std::int32_t value;
    } cases[] = {
        {"45", 45},
        {"\xA3\xB4\xA3\xB5", 45}, // full-width digits
        {"\xA1\xA1 45", 45},      // ideographic space, blank, 45
        {"\xA1\xA1\xA1\xA1"
         "7",
         7},
        {" \t\n\v\f\r12", 12}, // every kind of white space
        {"-7abc", -7},
        {"+12", 12},
        {"\xA3\xAB"
         "12",
         12},                              // full-width plus
        {"\xA3\xAD\xA3\xB1\xA3\xB2", -12}, // full-width minus, one, two
        {"007", 7},
        {"12 34", 12},
        {"12.9", 12},
        {"0x1A", 0},
        {"abc", 0},
        {"", 0},
        {"-", 0},
        {"--5", 0},
        {"+-5", 0},
        {"- 5", 0},
        {"\xC4\xEA"
         "5",
         0}, // a character before the digits
        {"5\xC4\xEA"
         "5",
         5},
        {"1\xA3\xB2\xA3", 12},       // lone lead byte after full-width 2
        {"\xB1\xA3\xB4\xA3\xB5", 0}, // no full-width digit on a boundary
        {"\xA1\xAB"
         "5",
         0}, // "~5"
        {"2147483647", 2147483647},
        {"2147483648", std::numeric_limits<std::int32_t>::min()},
        {"-2147483648", std::numeric_limits<std::int32_t>::min()},
        {"4294967295", -1},
        {"-4294967295", 1},
        {"4294967341", 45},                   // 2^32 + 45
        {"99999999999999999999", 1661992959}, // 10^20 - 1 modulo 2^32
        {"12\0"
         "34"s,
         12}, // the text ends at the NUL
        {"\0"
         "5"s,
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(shown(c.text));
        EXPECT_EQ(textToInteger(c.text), c.value);
    }
    EXPECT_EQ(textToInteger(std::string_view{}), 0); // the absent text
}

TEST(TruncateToInteger, TruncatesTowardZeroAndSaturates) {
    constexpr auto max = std::numeric_limits<std::int64_t>::max();
    constexpr auto min = std::numeric_limits<std::int64_t>::min();
    const double infinity = std::numeric_limits<double>::infinity();
    const struct {
        double value;
        std::int64_t integer;
    } cases[] = {
        {2700.0, 2700},
        {59.9, 59},
        {-0.5, 0},
        {-59.9, -59},
        {0.0, 0},
        {-0.0, 0},
        {0.9999999999, 0},
        {-0.9999999999, 0},
        {4294967341.0, 4294967341},
        {128849018820.0, 128849018820},
        {9223372036854774784.0, 9223372036854774784}, // the largest double below 2^63
        {-9223372036854775808.0, min},                // -2^63 is exact
        {9223372036854775808.0, max},                 // 2^63 and beyond saturate
        {1e300, max},
        {infinity, max},
        {-1e300, min},
        {-infinity, min},
        {std::numeric_limits<double>::quiet_NaN(), 0},
        {-std::numeric_limits<double>::quiet_NaN(), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(truncateToInteger(c.value), c.integer);
    }
}

TEST(ByteLength, CountsBytesUpToTheFirstNul) {
    EXPECT_EQ(byteLength(""), 0);
    EXPECT_EQ(byteLength(std::string_view{}), 0);
    EXPECT_EQ(byteLength("abc"), 3);
    EXPECT_EQ(byteLength("\xC4\xEA\xD4\xC2"), 4);
    EXPECT_EQ(byteLength("ab\0cd"s), 2);
    EXPECT_EQ(byteLength("\0ab"s), 0);
}

TEST(RightmostBytes, TakesTheLastBytes) {
    const struct {
        std::string text;
        std::int32_t n;
        std::string result;
    } cases[] = {
        {"012", 2, "12"},
        {"05", 2, "05"},
        {"1234567", 8, "1234567"},
        {"1234567", 7, "1234567"},
        {"1234567", 1, "7"},
        {"1234567", std::numeric_limits<std::int32_t>::max(), "1234567"},
        {"abc", 0, ""},
        {"abc", -1, ""},
        {"abc", std::numeric_limits<std::int32_t>::min(), ""},
        {"", 3, ""},
        {"\xC4\xEA\xD4\xC2", 3, "\xEA\xD4\xC2"}, // cut by bytes, not characters
        {"abc\0def"s, 2, "bc"},
        {"abc\0def"s, 5, "abc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(shown(c.text) + " n=" + std::to_string(c.n));
        EXPECT_EQ(rightmostBytes(c.text, c.n), c.result);
    }
}

TEST(ConcatTexts, JoinsInOrder) {
    EXPECT_EQ(concatTexts({}), "");
    EXPECT_EQ(concatTexts({"", std::string_view{}}), "");
    EXPECT_EQ(concatTexts({"a"}), "a");
    EXPECT_EQ(concatTexts({"ab", "", "c", std::string_view{}, "d"}), "abcd");
    EXPECT_EQ(concatTexts({"\xC4", "\xEA"}), "\xC4\xEA");
    EXPECT_EQ(concatTexts({"ab\0x"s, "c"}), "abc");
    const std::string long1(1000, 'x'), long2(999, 'y');
    EXPECT_EQ(concatTexts({long1, long2}), long1 + long2);
}

TEST(CompareTexts, ComparesUnsignedBytes) {
    const struct {
        std::string a;
        std::string b;
        int order;
    } cases[] = {
        {"", "", 0},
        {"", "a", -1},
        {"a", "a", 0},
        {"a", "b", -1},
        {"ab", "abc", -1},
        {"abd", "abc", 1},
        {"\x80", "\x7F", 1}, // bytes compare as unsigned values
        {"\xFF", "a", 1},
        {"\xC4\xEA", "\xC4\xEB", -1},
        {"13:05:09", " 9:05:09", 1},
        {"ab\0c"s, "ab", 0}, // the text ends at the NUL
        {"ab\0c"s, "ab\0d"s, 0},
        {"\0x"s, "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(shown(c.a) + " vs " + shown(c.b));
        EXPECT_EQ(sign(compareTexts(c.a, c.b)), c.order);
        EXPECT_EQ(sign(compareTexts(c.b, c.a)), -c.order);
    }
    EXPECT_EQ(compareTexts(std::string_view{}, ""), 0); // absent and empty are equal
    EXPECT_EQ(compareTexts(std::string_view{}, std::string_view{}), 0);
    EXPECT_NE(compareTexts(std::string_view{}, "a"), 0);
}

struct SplitCase {
    std::string text;
    std::string delimiter;
    int limit; // 0x7FFFFFFF here stands for "no limit given"
    TextArray members;
};

constexpr int noLimit = std::numeric_limits<std::int32_t>::max();

TEST(SplitText, SplitsOnCharacterBoundaries) {
    const SplitCase cases[] = {
        {"2013年6月27日*13:05:09", "*", noLimit, {"2013年6月27日", "13:05:09"}},
        {"2013年6月27日* 9:05:09", "*", noLimit, {"2013年6月27日", " 9:05:09"}},
        {"", "*", noLimit, {}},
        {"abc", "*", noLimit, {"abc"}},
        {"abc*", "*", noLimit, {"abc"}},        // no empty last member
        {"*abc", "*", noLimit, {"", "abc"}},    // a leading star gives an empty first member
        {"a**b", "*", noLimit, {"a", "", "b"}}, // two stars in a row
        {"*", "*", noLimit, {""}},
        {"**", "*", noLimit, {"", ""}},
        {"a*b*c", "*", noLimit, {"a", "b", "c"}},
        {"a::b:::c", "::", noLimit, {"a", "b", ":c"}},
        {"a:", "::", noLimit, {"a:"}},
        {"2013年6月", "年", noLimit, {"2013", "6月"}},
        // A delimiter is never matched on the second byte of a two-byte character.
        {"\x81@a@b", "@", noLimit, {"\x81@a", "b"}},
        {"\xC4\xEA\xD4\xC2", "\xEA\xD4", noLimit, {"\xC4\xEA\xD4\xC2"}},
        {"\xB1*x*y", "*", noLimit, {"\xB1*x", "y"}},
        // A lead byte at the end ends the scan; it stays in the last member.
        {"a*\x81", "*", noLimit, {"a", "\x81"}},
        {"\x81", "*", noLimit, {"\x81"}},
        // An empty delimiter gives the whole text.
        {"a*b", "", noLimit, {"a*b"}},
        {"", "", noLimit, {}},
        // The text and the delimiter end at their first NUL.
        {"a*b\0*c"s, "*", noLimit, {"a", "b"}},
        {"a\x81\0*b"s, "*", noLimit, {"a\x81"}},
        {"\0a*b"s, "*", noLimit, {}},
        {"a*b"s, "\0*"s, noLimit, {"a*b"}},
        {"a*b:c"s, "*\0:"s, noLimit, {"a", "b:c"}},
        // Limits: the scan stops once that many members are made; the rest is dropped.
        {"a*b*c*d", "*", 2, {"a", "b"}},
        {"a*b*c", "*", 1, {"a"}},
        {"a*b*c", "*", 3, {"a", "b", "c"}},
        {"a*b*c", "*", 5, {"a", "b", "c"}},
        {"a*b*", "*", 2, {"a", "b"}},
        {"a*b*", "*", 3, {"a", "b"}},
        {"abc", "*", 1, {"abc"}},
        {"a*b", "*", 0, {}},
        {"a*b", "*", -1, {}},
        {"a*b", "", 0, {}},
        {"a*b", "*", std::numeric_limits<std::int32_t>::min(), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(shown(c.text) + " on " + shown(c.delimiter) + " limit " +
                     std::to_string(c.limit));
        const TextArray members = c.limit == noLimit ? splitText(c.text, c.delimiter)
                                                     : splitText(c.text, c.delimiter, c.limit);
        ASSERT_EQ(members.size(), c.members.size());
        for (std::size_t i = 0; i < members.size(); ++i) {
            EXPECT_EQ(shown(members[i]), shown(c.members[i])) << "member " << i + 1;
        }
        EXPECT_EQ(memberCount(members), static_cast<std::int32_t>(c.members.size()));
    }
}

TEST(SplitText, TheLargestLimitSplitsLikeNoLimit) {
    EXPECT_EQ(splitText("a*b**c*", "*", noLimit), splitText("a*b**c*", "*"));
}

TEST(MemberCount, CountsMembers) {
    EXPECT_EQ(memberCount(TextArray{}), 0);
    EXPECT_EQ(memberCount(TextArray{"", "", ""}), 3);
}

} // namespace
} // namespace rudi
