// The exact text of the run-time error report.
#include "runtime/runtime.h"

#include <gtest/gtest.h>

namespace rudi {
namespace {

TEST(ErrorReport, TextWithAndWithoutCode) {
    EXPECT_EQ(errorReportText(1, "数组成员引用下标超出定义范围"),
              "运行时出错!\r\n\r\n错误代码：1\r\n\r\n错误信息：数组成员引用下标超出定义范围\r\n");
    EXPECT_EQ(errorReportText(std::nullopt, "指定字段不存在"),
              "运行时出错!\r\n\r\n错误信息：指定字段不存在\r\n");
    EXPECT_EQ(errorReportTitle, "错误");
}

} // namespace
} // namespace rudi
