// The tray icon's handlers: a double-click or "显示" shows the main window, a right click
// opens the menu, "退出" ends the program.
#pragma once

#include <cstdint>
#include <string_view>

namespace rudi {

class Runtime;

inline constexpr std::string_view trayTip = "rudi";
inline constexpr std::string_view trayMenuCaption = "托盘菜单";

void onTrayEvent(Runtime& rt, std::int32_t code);
void onShowItem(Runtime& rt);
void onExitItem(Runtime& rt);

} // namespace rudi
