// Texts and arrays of texts, and the small text and number operations the handlers use.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace rudi {

// A text is GBK bytes; an absent text is the empty text. Every length, count and position is
// in bytes; a byte of 0x80 or above begins a two-byte character. Texts are zero-terminated in
// the program's model: every operation here reads a text only up to its first NUL byte, so
// "12\0" "34" is the text "12" (length 2, converts to 12, equals "12").
using Text = std::string;

// A one-dimensional array of texts. Callers number its members from 1 (see memberCount).
using TextArray = std::vector<Text>;

// Decimal digits, "-" before a negative value, no padding ("%d").
Text integerText(std::int32_t value);

// The first stage of textToInteger, character by character: the full-width forms A3A1..A3FE
// become the ASCII byte of their second byte minus 0x80, the ideographic space A1A1 a blank,
// A1AB "~", A1EE and A1EF "*"; other characters stay; a lead byte that ends the text is dropped.
Text foldFullWidth(std::string_view text);

// Full-width forms folded to ASCII, then leading white space, an optional sign and digits,
// accumulated in 32-bit arithmetic that wraps around. No digits gives 0.
std::int32_t textToInteger(std::string_view text);

// Truncation toward zero to a signed 64-bit integer. Values beyond the 64-bit range (and the
// infinities) saturate to its nearer end; NaN gives 0.
std::int64_t truncateToInteger(double value);

std::int32_t byteLength(std::string_view text);

// The last min(n, length) bytes; the empty text for n <= 0. Cuts by bytes.
Text rightmostBytes(std::string_view text, std::int32_t n);

Text concatTexts(std::initializer_list<std::string_view> texts);

// Splits on a delimiter without ever matching on the second byte of a two-byte character.
// A limit of 0 or below gives no members; no limit (the default) splits the whole text.
TextArray splitText(std::string_view text, std::string_view delimiter);
TextArray splitText(std::string_view text, std::string_view delimiter, std::int32_t limit);

// Byte-wise unsigned comparison: negative, zero or positive.
int compareTexts(std::string_view a, std::string_view b);

std::int32_t memberCount(const TextArray& array);

} // namespace rudi
