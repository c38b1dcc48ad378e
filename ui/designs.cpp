// The two window designs, pixel for pixel at 96 DPI.
#include "ui/main_window.h"
#include "ui/rest_window.h"

namespace rudi {

namespace {

constexpr Colour black{0x00, 0x00, 0x00};
constexpr Colour red{0xFF, 0x00, 0x00};
constexpr Colour navy{0x00, 0x00, 0x80};
constexpr Colour white{0xFF, 0xFF, 0xFF};
constexpr Colour silver{0xC0, 0xC0, 0xC0};

WindowDesign makeMainWindowDesign() {
    WindowDesign d{};
    d.name = WindowName::main;
    d.title = mainWindowTitle;
    d.width = 380;
    d.height = 294;
    d.frame = Frame::fixedToolWindow;
    d.taskbarButton = false;
    d.topmost = true;
    d.background = std::nullopt;
    d.backgroundMusic = false;
    // clang-format off
    d.controls = {
        // name        kind                          parent     page id    left top  w    h    text
        {"选择夹1", ControlKind::tabControl, "", -1, 1001, 4, 5, 365, 230, "提醒|关于", {}, {}, {}},
        {"分组框1", ControlKind::groupBox, "选择夹1", 0, 1002, 7, 27, 350, 80, "休息提醒", red, {}, {}},
        {"标签1", ControlKind::label, "分组框1", 0, 1003, 9, 18, 124, 24, "提示频率：      分钟", black, {}, {}},
        {"编辑框1", ControlKind::editBox, "分组框1", 0, 1004, 71, 20, 30, 20, "45", black, white, {}, integerInput},
        {"标签2", ControlKind::label, "分组框1", 0, 1005, 9, 48, 60, 24, "提示信息：    ", black, {}, {}},
        {"编辑框2", ControlKind::editBox, "分组框1", 0, 1006, 71, 51, 270, 20, "", black, white, {}},
        {"标签7", ControlKind::label, "分组框1", 0, 1007, 141, 18, 176, 24, "", red, {}, {}},
        {"分组框2", ControlKind::groupBox, "选择夹1", 0, 1008, 6, 117, 350, 102, "事件提醒", red, {}, {}},
        {"标签3", ControlKind::label, "分组框2", 0, 1009, 9, 19, 61, 24, "提示时间： ", black, {}, {}},
        {"日期框1", ControlKind::longDatePicker, "分组框2", 0, 1010, 71, 20, 112, 20, "", {}, {}, {}},
        {"日期框2", ControlKind::timePicker, "分组框2", 0, 1011, 189, 20, 74, 20, "", {}, {}, {}},
        {"选择框2", ControlKind::checkBox, "分组框2", 0, 1012, 270, 18, 72, 24, "定时关机", {}, {}, {}},
        {"标签4", ControlKind::label, "分组框2", 0, 1013, 9, 47, 60, 24, "提示信息：    ", black, {}, {}},
        {"编辑框3", ControlKind::editBox, "分组框2", 0, 1014, 71, 52, 270, 40, "", black, white, {}, multiLine},
        {"图片框1", ControlKind::pictureBox, "选择夹1", 1, 1015, 7, 27, 350, 125, "", {}, {}, {}},
        {"标签5", ControlKind::label, "选择夹1", 1, 1016, 8, 161, 164, 62, aboutText, black, {}, {}, wordWrap},
        {"标签8", ControlKind::label, "选择夹1", 1, 1017, 163, 161, 72, 12, "[澄屿软件]", red, {}, {}},
        {"标签9", ControlKind::label, "选择夹1", 1, 1018, 68, 184, 208, 14, makerWebAddress, navy, {},
         FontDesign{"", 12, 400, true}},
        {"选择框1", ControlKind::checkBox, "", -1, 1019, 8, 240, 176, 24, "登录到Windows时自动运行", {}, {}, {}},
        {"按钮1", ControlKind::pushButton, "", -1, 1020, 245, 240, 50, 24, "确定", {}, {}, {}},
        {"按钮2", ControlKind::pushButton, "", -1, 1021, 310, 240, 50, 24, "取消", {}, {}, {}},
        {"时钟2", ControlKind::timer, "", -1, 1022, 0, 0, 0, 0, "", {}, {}, {}, noFlags, 1000},
    };
    // clang-format on
    d.menu = MenuDesign{"托盘菜单", {{"显示", 2001}, {"退出", 2002}}};
    d.handlers = mainWindowHandlers();
    return d;
}

WindowDesign makeRestWindowDesign() {
    WindowDesign d{};
    d.name = WindowName::rest;
    d.title = "";
    d.width = 380;
    d.height = 250;
    d.frame = Frame::none;
    d.taskbarButton = true;
    d.topmost = true;
    d.background = silver;
    d.backgroundMusic = true;
    const FontDesign songTi{"宋体", 21, 400, false};
    // clang-format off
    d.controls = {
        {"透明标签1", ControlKind::transparentLabel, "", -1, 1001, 40, 96, 300, 24, "", red, {}, songTi},
        {"透明标签2", ControlKind::transparentLabel, "", -1, 1002, 144, 136, 184, 20, "", red, {}, songTi},
        {"按钮1", ControlKind::pushButton, "", -1, 1003, 168, 192, 70, 24, "开始工作", {}, {}, {}, initialFocus},
    };
    // clang-format on
    d.handlers = restWindowHandlers();
    return d;
}

} // namespace

const WindowDesign& windowDesign(WindowName name) {
    static const WindowDesign mainDesign = makeMainWindowDesign();
    static const WindowDesign restDesign = makeRestWindowDesign();
    return name == WindowName::main ? mainDesign : restDesign;
}

} // namespace rudi
