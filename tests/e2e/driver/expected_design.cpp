#include "tests/e2e/driver/expected_design.h"

#include <stdexcept>

namespace e2e {

std::vector<ControlSpec> mainWindowControls(const Configuration& c) {
    using K = Kind;
    // clang-format off
    return {
        // id                    name        kind               parent          page left top  w    h    text
        {ids::tab,               L"选择夹1", K::tab,            0,              -1,  4,   5,   365, 230, std::nullopt},
        {ids::restGroup,         L"分组框1", K::groupBox,       ids::tab,       0,   7,   27,  350, 80,  L"休息提醒"},
        {ids::intervalLabel,     L"标签1",   K::label,          ids::restGroup, 0,   9,   18,  124, 24,  L"提示频率：      分钟"},
        {ids::intervalEdit,      L"编辑框1", K::editBox,        ids::restGroup, 0,   71,  20,  30,  20,  c.interval},
        {ids::restMessageLabel,  L"标签2",   K::label,          ids::restGroup, 0,   9,   48,  60,  24,  L"提示信息：    "},
        {ids::restMessageEdit,   L"编辑框2", K::editBox,        ids::restGroup, 0,   71,  51,  270, 20,  c.restMessage, ES_AUTOHSCROLL},
        {ids::countdownLabel,    L"标签7",   K::label,          ids::restGroup, 0,   141, 18,  176, 24,  std::nullopt},
        {ids::eventGroup,        L"分组框2", K::groupBox,       ids::tab,       0,   6,   117, 350, 102, L"事件提醒"},
        {ids::eventTimeLabel,    L"标签3",   K::label,          ids::eventGroup, 0,  9,   19,  61,  24,  L"提示时间： "},
        {ids::datePicker,        L"日期框1", K::longDatePicker, ids::eventGroup, 0,  71,  20,  112, 20,  std::nullopt},
        {ids::timePicker,        L"日期框2", K::timePicker,     ids::eventGroup, 0,  189, 20,  74,  20,  std::nullopt},
        {ids::shutdownBox,       L"选择框2", K::checkBox,       ids::eventGroup, 0,  270, 18,  72,  24,  L"定时关机"},
        {ids::eventMessageLabel, L"标签4",   K::label,          ids::eventGroup, 0,  9,   47,  60,  24,  L"提示信息：    "},
        {ids::eventMessageEdit,  L"编辑框3", K::multiLineEdit,  ids::eventGroup, 0,  71,  52,  270, 40,  c.eventMessage},
        {ids::banner,            L"图片框1", K::pictureBox,     ids::tab,       1,   7,   27,  350, 125, std::nullopt},
        {ids::aboutLabel,        L"标签5",   K::wrappedLabel,   ids::tab,       1,   8,   161, 164, 62,  std::nullopt},
        {ids::makerLabel,        L"标签8",   K::label,          ids::tab,       1,   163, 161, 72,  12,  L"[澄屿软件]"},
        {ids::linkLabel,         L"标签9",   K::label,          ids::tab,       1,   68,  184, 208, 14,  std::nullopt},
        {ids::autoRunBox,        L"选择框1", K::checkBox,       0,              -1,  8,   240, 176, 24,  L"登录到Windows时自动运行"},
        {ids::okButton,          L"按钮1",   K::pushButton,     0,              -1,  245, 240, 50,  24,  L"确定"},
        {ids::cancelButton,      L"按钮2",   K::pushButton,     0,              -1,  310, 240, 50,  24,  L"取消"},
    };
    // clang-format on
}

const ControlSpec& controlSpec(const std::vector<ControlSpec>& controls, int id) {
    for (const ControlSpec& c : controls) {
        if (c.id == id) {
            return c;
        }
    }
    throw std::logic_error("no such control in the expected design");
}

} // namespace e2e
