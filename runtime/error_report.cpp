#include "runtime/runtime.h"

namespace rudi {

Text errorReportText(std::optional<int> code, std::string_view message) {
    Text text = "运行时出错!\r\n\r\n";
    if (code) {
        text += "错误代码：";
        text += integerText(*code);
        text += "\r\n\r\n";
    }
    text += "错误信息：";
    text += message;
    text += "\r\n";
    return text;
}

} // namespace rudi
