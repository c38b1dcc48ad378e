#include "runtime/integer_input.h"

#include <cstdint>
#include <limits>

namespace rudi {

bool integerInputAccepts(char32_t typed) {
    if (typed < U' ') {
        return true;
    }
    return (typed >= U'0' && typed <= U'9') || typed == U'-';
}

std::optional<Text> normalisedIntegerText(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulate the magnitude, saturating: anything beyond the 32-bit range clamps anyway.
    constexpr std::int64_t limit = std::int64_t{1} << 40;
    std::int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (magnitude < limit) {
            magnitude = magnitude * 10 + (text[i] - '0');
        }
    }
    std::int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<std::int32_t>::max()) {
        value = std::numeric_limits<std::int32_t>::max();
    } else if (value < std::numeric_limits<std::int32_t>::min()) {
        value = std::numeric_limits<std::int32_t>::min();
    }
    Text normalised = value == 0 ? Text{} : integerText(static_cast<std::int32_t>(value));
    if (normalised == text) {
        return std::nullopt;
    }
    return normalised;
}

} // namespace rudi
