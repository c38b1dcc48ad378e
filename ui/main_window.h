// The main window: the settings dialog with its two pages, the countdown, the tray menu.
#pragma once

#include "runtime/runtime.h"

namespace rudi {

inline constexpr std::string_view mainWindowTitle = "澄屿rudi软件v1.0 - rudi开发组作品";
inline constexpr std::string_view aboutText = "休息提醒小工具，出品：";
inline constexpr std::string_view makerWebAddress = "https://rudi.example.org/";

WindowHandlers mainWindowHandlers();

} // namespace rudi
