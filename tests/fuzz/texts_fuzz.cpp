// Any bytes, cut into texts, numbers and a date-time, through the text and date-time operations:
// no crash, no undefined behaviour, and the relations between the operations hold. The checks
// use no literal's bytes, since this build keeps its literals in UTF-8.
#include "engine/date_time.h"
#include "engine/texts.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace rudi;

void check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

int sign(int value) {
    return (value > 0) - (value < 0);
}

// The text a zero-terminated string holds.
std::string_view upToNul(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

bool isLead(char byte) {
    return static_cast<unsigned char>(byte) >= 0x80;
}

// Whether the delimiter starts at a character boundary of the text, walking it as GBK.
bool foundAtBoundary(std::string_view text, std::string_view delimiter) {
    for (std::size_t at = 0; at < text.size();) {
        if (text.substr(at, delimiter.size()) == delimiter) {
            return true;
        }
        if (isLead(text[at])) {
            if (at + 1 == text.size()) {
                return false;
            }
            at += 2;
        } else {
            at += 1;
        }
    }
    return false;
}

// Whether walking the text as GBK ends on its last byte rather than on a lone lead byte.
bool walksCleanly(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size()) {
        at += isLead(text[at]) ? 2 : 1;
    }
    return at == text.size();
}

std::string joined(const TextArray& members, std::string_view delimiter) {
    std::string text;
    for (std::size_t i = 0; i < members.size(); ++i) {
        if (i > 0) {
            text += delimiter;
        }
        text += members[i];
    }
    return text;
}

// An ASCII text without NULs, and the same text written with full-width forms and ideographic
// spaces where they exist.
std::string asciiOf(std::string_view text) {
    std::string ascii;
    for (const char c : upToNul(text)) {
        const char low = static_cast<char>(c & 0x7F);
        ascii += low == '\0' ? 'x' : low;
    }
    return ascii;
}

std::string widened(std::string_view ascii) {
    std::string wide;
    for (const char c : ascii) {
        if (c == ' ') {
            wide += "\xA1\xA1";
        } else if (c > ' ' && c < 0x7F) {
            wide += '\xA3';
            wide += static_cast<char>(c + 0x80);
        } else {
            wide += c;
        }
    }
    return wide;
}

void checkIntegers(const std::string& text, std::int32_t number) {
    const std::int32_t value = textToInteger(text);
    // Nothing after the first character that is not part of the number matters, and a lone
    // lead byte at the end is dropped rather than read on.
    check(textToInteger(text + "x") == value);
    check(textToInteger(std::string(text) + '\0' + "9") == value);
    const std::string folded = foldFullWidth(text);
    check(folded.size() <= upToNul(text).size());
    check(foldFullWidth(folded) == folded);
    check(walksCleanly(folded));
    check(textToInteger(folded) == value);
    const std::string ascii = asciiOf(text);
    check(foldFullWidth(widened(ascii)) == ascii);
    check(textToInteger(widened(ascii)) == textToInteger(ascii));
    check(textToInteger(integerText(number)) == number);
}

void checkSplit(const std::string& text, const std::string& delimiter, std::int32_t limit) {
    const std::string_view t = upToNul(text);
    const std::string_view d = upToNul(delimiter);
    const TextArray members = splitText(text, delimiter);
    check(memberCount(members) == static_cast<std::int32_t>(members.size()));
    check(splitText(text, delimiter, std::numeric_limits<std::int32_t>::max()) == members);
    if (t.empty()) {
        check(members.empty());
    } else if (d.empty()) {
        check(members.size() == 1 && members[0] == t);
    } else {
        check(!members.empty());
        // Without a limit the whole text is split: joined again it is the text, less one
        // trailing delimiter that made no empty last member.
        const std::string again = joined(members, d);
        check(t == again || t == again + std::string(d));
        // No member holds the delimiter at a character boundary, and every delimiter that
        // ended a member stood at a character boundary of the text.
        std::size_t bytes = 0;
        for (std::size_t i = 0; i < members.size(); ++i) {
            check(!foundAtBoundary(members[i], d));
            if (i + 1 < members.size() || t.size() > again.size()) {
                check(walksCleanly(members[i]));
            }
            bytes += members[i].size();
        }
        check(bytes + (members.size() - 1) * d.size() <= t.size());
    }
    const TextArray limited = splitText(text, delimiter, limit);
    if (limit <= 0) {
        check(limited.empty());
    } else {
        const std::size_t kept = std::min(members.size(), static_cast<std::size_t>(limit));
        check(limited == TextArray(members.begin(), members.begin() + kept));
    }
}

void checkBytes(const std::string& text, const std::string& other, std::int32_t n) {
    const std::string_view t = upToNul(text);
    const std::string_view o = upToNul(other);
    check(byteLength(text) == static_cast<std::int32_t>(t.size()));

    const Text right = rightmostBytes(text, n);
    const std::size_t expected = n <= 0 ? 0 : std::min(t.size(), static_cast<std::size_t>(n));
    check(right.size() == expected);
    check(right == t.substr(t.size() - expected));

    check(concatTexts({text, other, text}) == std::string(t) + std::string(o) + std::string(t));

    const int order = compareTexts(text, other);
    check(sign(order) == -sign(compareTexts(other, text)));
    check((order == 0) == (t == o));
    const bool less =
        std::lexicographical_compare(t.begin(), t.end(), o.begin(), o.end(), [](char a, char b) {
            return static_cast<unsigned char>(a) < static_cast<unsigned char>(b);
        });
    check((order < 0) == less);
    check(compareTexts(text, text) == 0);
    check(compareTexts(text, std::string(text) + '\0' + other) == 0);
}

int daysIn(int year, int month) {
    static const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : lengths[month - 1];
}

bool sameParts(const DateTimeParts& a, const DateTimeParts& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
           a.minute == b.minute && a.second == b.second;
}

// Reads an unpadded decimal number of 1 to 4 digits followed by the unit, moving on past both;
// -1 when there is none.
int readNumber(std::string_view text, std::size_t& at, std::string_view unit) {
    std::size_t end = at;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') {
        ++end;
    }
    if (end == at || end - at > 4 || (text[at] == '0' && end - at > 1) ||
        text.substr(end, unit.size()) != unit) {
        return -1;
    }
    int number = 0;
    for (std::size_t i = at; i < end; ++i) {
        number = number * 10 + (text[i] - '0');
    }
    at = end + unit.size();
    return number;
}

std::string paddedClock(int hour, int minute, int second) {
    char text[16];
    std::snprintf(text, sizeof text, "%2d:%02d:%02d", hour, minute, second);
    return text;
}

void checkDateTime(DateTime value, DateTime other, const WallClockTime& wall) {
    const DateTimeParts p = partsOf(value);
    check(p.year >= 100 && p.year <= 9999 && p.month >= 1 && p.month <= 12);
    check(p.day >= 1 && p.day <= daysIn(p.year, p.month));
    check(p.hour >= 0 && p.hour <= 23 && p.minute >= 0 && p.minute <= 59 && p.second >= 0 &&
          p.second <= 59);
    check(hourOf(value) == p.hour && minuteOf(value) == p.minute && secondOf(value) == p.second);
    if (!(value >= earliestDateTime)) {
        check(std::isnan(value) || sameParts(p, partsOf(earliestDateTime)));
    }
    if (value > latestDateTime) {
        check(sameParts(p, partsOf(latestDateTime)));
    }

    const DateTime rebuilt = makeDateTime(p.year, p.month, p.day, p.hour, p.minute, p.second);
    check(rebuilt >= earliestDateTime && rebuilt <= latestDateTime);
    check(sameParts(partsOf(rebuilt), p));

    const DateTime date = dateOnly(value);
    check(sameParts(partsOf(date), {p.year, p.month, p.day, 0, 0, 0}));
    check(dateOnly(date) == date);
    const DateTime time = timeOfDay(value);
    check(std::trunc(time) == 36526.0);
    check(sameParts(partsOf(time), {2000, 1, 1, p.hour, p.minute, p.second}));

    // The date text: the year, month and day unpadded, each followed by its character, then a
    // time part by the first rule that applies.
    const Text text = dateText(value);
    const Text dayText = dateText(date);
    std::size_t at = 0;
    check(readNumber(text, at, "年") == p.year);
    check(readNumber(text, at, "月") == p.month);
    check(readNumber(text, at, "日") == p.day);
    check(dayText == std::string_view(text).substr(0, at));
    if (p.second != 0) {
        check(readNumber(text, at, "时") == p.hour);
        check(readNumber(text, at, "分") == p.minute);
        check(readNumber(text, at, "秒") == p.second);
    } else if (p.minute != 0) {
        check(readNumber(text, at, "时") == p.hour);
        check(readNumber(text, at, "分") == p.minute);
    } else if (p.hour != 0) {
        check(readNumber(text, at, "时") == p.hour);
    }
    check(at == text.size());
    check(textToInteger(text) == p.year);

    const Text stored = storedTimeText(value);
    check(stored == paddedClock(p.hour, p.minute, p.second));
    check(stored == clockText(p.hour, p.minute, p.second));

    // Splitting it again on "*" is left to the unit tests: in this build the characters of the
    // date text are UTF-8 and a GBK walk may step over the star.
    check(buildEventTimeText(value, other) == dayText + "*" + storedTimeText(other));

    // Any components build a finite value that reads within the range.
    const DateTime built =
        makeDateTime(wall.year, wall.month, wall.day, wall.hour, wall.minute, wall.second);
    check(std::isfinite(built));
    const DateTimeParts q = partsOf(built);
    check(q.year >= 100 && q.year <= 9999 && q.day >= 1 && q.day <= daysIn(q.year, q.month));
    // Every clock text is 8 bytes, whatever its components.
    check(clockText(wall.hour, wall.minute, wall.second).size() == 8);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string text = input.ConsumeRandomLengthString(512);
    const std::string delimiter = input.ConsumeRandomLengthString(8);
    const std::string other = input.ConsumeRandomLengthString(512);
    double value = 0.0, second = 0.0;
    std::vector<std::uint8_t> bytes = input.ConsumeBytes<std::uint8_t>(16);
    bytes.resize(16);
    std::memcpy(&value, bytes.data(), sizeof value);
    std::memcpy(&second, bytes.data() + 8, sizeof second);
    const auto limit = input.ConsumeIntegral<std::int8_t>();
    const auto n = input.ConsumeIntegral<std::int32_t>();
    WallClockTime wall;
    wall.year = input.ConsumeIntegral<int>();
    wall.month = input.ConsumeIntegral<int>();
    wall.day = input.ConsumeIntegral<int>();
    wall.hour = input.ConsumeIntegral<int>();
    wall.minute = input.ConsumeIntegral<int>();
    wall.second = input.ConsumeIntegral<int>();

    checkIntegers(text, n);
    checkSplit(text, delimiter, limit);
    checkBytes(text, other, n);
    checkDateTime(value, second, wall);
    return 0;
}
