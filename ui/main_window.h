// The main window: the settings dialog with its two pages, the countdown, the tray menu.
#pragma once

#include "runtime/runtime.h"

namespace rudi {

inline constexpr std::string_view mainWindowTitle = "澄屿rudi软件v1.0 - rudi开发组作品";
inline constexpr std::string_view aboutText =
    "rudi 按时提醒您离开屏幕休息片刻，也能在约定的时间提醒事件或定时关机。";
inline constexpr std::string_view makerWebAddress = "https://rudi.example.org/";

WindowHandlers mainWindowHandlers();

} // namespace rudi
