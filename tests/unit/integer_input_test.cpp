// What 编辑框1 lets the user type, and the form its text takes on leaving it.
#include "runtime/integer_input.h"

#include <gtest/gtest.h>

namespace rudi {
namespace {

TEST(IntegerInput, TypingAcceptsDigitsMinusAndControlKeysOnly) {
    for (char32_t c : {U'0', U'5', U'9', U'-', U'\b', U'\r', U'\x16', U'\x03'}) {
        EXPECT_TRUE(integerInputAccepts(c)) << static_cast<int>(c);
    }
    for (char32_t c : {U' ', U'a', U'Z', U'+', U'.', U'~', U'\x7f', U'４', U'分'}) {
        EXPECT_FALSE(integerInputAccepts(c)) << static_cast<int>(c);
    }
}

TEST(IntegerInput, LeavingTheBoxNormalisesItsText) {
    struct Case {
        const char* typed;
        std::optional<Text> becomes; // empty: left as it is
    };
    for (const Case& c :
         {Case{"007", "7"}, Case{"0", ""}, Case{"-0", ""}, Case{"00", ""},
          Case{"99999999999", "2147483647"}, Case{"-99999999999", "-2147483648"},
          Case{"2147483648", "2147483647"}, Case{"-2147483648", std::nullopt},
          Case{"99999999999999999999999999", "2147483647"}, Case{"12-3", "12"}, Case{"--5", ""},
          Case{"  42", "42"}, Case{"+8", "8"}, Case{"abc", ""}, Case{"", std::nullopt},
          Case{"45", std::nullopt}, Case{"-7", std::nullopt}}) {
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(normalisedIntegerText(c.typed), c.becomes);
    }
}

} // namespace
} // namespace rudi
