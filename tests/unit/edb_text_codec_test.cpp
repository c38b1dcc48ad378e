#include "runtime/text_codec.h"

#include <gtest/gtest.h>

#include <string>

namespace rudi {
namespace {

// Literal bytes on both sides, so the test does not rest on the compiler's character sets.
TEST(TextCodec, ConvertsBetweenGbkAndUtf8BothWays) {
    const struct {
        const char* what;
        std::string gbk;
        std::string utf8;
    } cases[] = {
        {"empty", "", ""},
        {"ASCII", "45 *:", "45 *:"},
        {"中文", "\xD6\xD0\xCE\xC4", "\xE4\xB8\xAD\xE6\x96\x87"},
        {"full-width comma", "\xA3\xAC", "\xEF\xBC\x8C"},
        {"u with diaeresis", "\xA8\xB9", "\xC3\xBC"},
        {"euro sign, one byte in code page 936", "\x80", "\xE2\x82\xAC"},
        {"mixed",
         "2000\xC4\xEA"
         "1\xD4\xC2",
         "2000\xE5\xB9\xB4"
         "1\xE6\x9C\x88"}, // 2000年1月
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(gbkToUtf8(c.gbk), c.utf8);
        EXPECT_EQ(utf8ToGbk(c.utf8), c.gbk);
    }
}

TEST(TextCodec, RefusesWhatHasNoFormOnTheOtherSide) {
    EXPECT_EQ(gbkToUtf8("ab\xD6"), std::nullopt);           // a lead byte without its second byte
    EXPECT_EQ(gbkToUtf8("\xD6\x20"), std::nullopt);         // a second byte out of range
    EXPECT_EQ(utf8ToGbk("\xE4\xB8"), std::nullopt);         // a cut UTF-8 sequence
    EXPECT_EQ(utf8ToGbk("\xC3\x28"), std::nullopt);         // a bad continuation byte
    EXPECT_EQ(utf8ToGbk("\xF0\x9F\x98\x80"), std::nullopt); // U+1F600, not in GBK
}

} // namespace
} // namespace rudi
