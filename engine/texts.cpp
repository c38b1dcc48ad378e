#include "engine/texts.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

namespace rudi {

namespace {

// A text ends at its first NUL byte, as the zero-terminated texts of the program do.
std::string_view upToNul(std::string_view text) {
    const auto end = text.find('\0');
    return end == std::string_view::npos ? text : text.substr(0, end);
}

bool isLeadByte(char byte) {
    return static_cast<unsigned char>(byte) >= 0x80;
}

bool isBlank(char byte) {
    return byte == ' ' || byte == '\t' || byte == '\n' || byte == '\v' || byte == '\f' ||
           byte == '\r';
}

std::int32_t clampToInt32(std::size_t size) {
    constexpr auto max = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());
    return static_cast<std::int32_t>(size < max ? size : max);
}

TextArray split(std::string_view text, std::string_view delimiter,
                std::optional<std::int32_t> limit) {
    text = upToNul(text);
    delimiter = upToNul(delimiter);
    TextArray members;
    if (text.empty() || (limit && *limit <= 0)) {
        return members;
    }
    if (delimiter.empty()) {
        members.emplace_back(text);
        return members;
    }
    std::size_t memberStart = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        if (text.substr(at, delimiter.size()) == delimiter) {
            members.emplace_back(text.substr(memberStart, at - memberStart));
            at += delimiter.size();
            memberStart = at;
            if (limit && members.size() == static_cast<std::size_t>(*limit)) {
                return members;
            }
            continue;
        }
        if (isLeadByte(text[at])) {
            if (at + 1 == text.size()) {
                break;
            }
            at += 2;
        } else {
            at += 1;
        }
    }
    if (memberStart < text.size()) {
        members.emplace_back(text.substr(memberStart));
    }
    return members;
}

} // namespace

// Full-width ASCII forms (A3A1..A3FE), the ideographic space, the wave dash and the two stars
// become their one-byte counterparts; a lead byte with nothing after it is dropped.
Text foldFullWidth(std::string_view text) {
    text = upToNul(text);
    Text folded;
    folded.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            folded += text[i];
            i += 1;
            continue;
        }
        if (i + 1 == text.size()) {
            break;
        }
        const auto trail = static_cast<unsigned char>(text[i + 1]);
        if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
            folded += static_cast<char>(trail - 0x80);
        } else if (lead == 0xA1 && trail == 0xA1) {
            folded += ' ';
        } else if (lead == 0xA1 && trail == 0xAB) {
            folded += '~';
        } else if (lead == 0xA1 && (trail == 0xEE || trail == 0xEF)) {
            folded += '*';
        } else {
            folded += text.substr(i, 2);
        }
        i += 2;
    }
    return folded;
}

Text integerText(std::int32_t value) {
    char digits[16];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    return Text(digits, result.ptr);
}

std::int32_t textToInteger(std::string_view text) {
    const Text folded = foldFullWidth(text);
    std::size_t at = 0;
    while (at < folded.size() && isBlank(folded[at])) {
        ++at;
    }
    bool negative = false;
    if (at < folded.size() && (folded[at] == '+' || folded[at] == '-')) {
        negative = folded[at] == '-';
        ++at;
    }
    std::uint32_t value = 0;
    for (; at < folded.size() && folded[at] >= '0' && folded[at] <= '9'; ++at) {
        value = value * 10u + static_cast<std::uint32_t>(folded[at] - '0');
    }
    if (negative) {
        value = 0u - value;
    }
    return static_cast<std::int32_t>(value);
}

std::int64_t truncateToInteger(double value) {
    // 2^63 is exact in a double; every double below it and at or above -2^63 converts safely.
    constexpr double limit = 9223372036854775808.0;
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= limit) {
        return std::numeric_limits<std::int64_t>::max();
    }
    if (value < -limit) {
        return std::numeric_limits<std::int64_t>::min();
    }
    return static_cast<std::int64_t>(value);
}

std::int32_t byteLength(std::string_view text) {
    return clampToInt32(upToNul(text).size());
}

Text rightmostBytes(std::string_view text, std::int32_t n) {
    text = upToNul(text);
    if (n <= 0) {
        return Text();
    }
    const auto count = static_cast<std::size_t>(n);
    return Text(count >= text.size() ? text : text.substr(text.size() - count));
}

Text concatTexts(std::initializer_list<std::string_view> texts) {
    std::size_t total = 0;
    for (const auto text : texts) {
        total += upToNul(text).size();
    }
    Text joined;
    joined.reserve(total);
    for (const auto text : texts) {
        joined += upToNul(text);
    }
    return joined;
}

TextArray splitText(std::string_view text, std::string_view delimiter) {
    return split(text, delimiter, std::nullopt);
}

TextArray splitText(std::string_view text, std::string_view delimiter, std::int32_t limit) {
    return split(text, delimiter, limit);
}

int compareTexts(std::string_view a, std::string_view b) {
    a = upToNul(a);
    b = upToNul(b);
    const std::size_t common = a.size() < b.size() ? a.size() : b.size();
    // memcmp compares as unsigned char, so bytes of 0x80 and above sort after ASCII.
    const int order = common == 0 ? 0 : std::memcmp(a.data(), b.data(), common);
    if (order != 0) {
        return order < 0 ? -1 : 1;
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

std::int32_t memberCount(const TextArray& array) {
    return clampToInt32(array.size());
}

} // namespace rudi
