// Narrow literals must reach the program as GBK bytes: the texts it compares, stores and shows
// are GBK. A build that lost the execution character set fails here at once.
#include <gtest/gtest.h>

#include <string>

namespace {

TEST(GbkLiterals, ChineseLiteralIsGbkBytes) {
    EXPECT_EQ(std::string("年"), std::string("\xC4\xEA"));
}

} // namespace
