// The timed shutdown and its abort, and the About page's web link.
#pragma once

#include <string_view>

namespace rudi {

class Runtime;

inline constexpr std::string_view shutdownCommandLine = "Shutdown -s";
inline constexpr std::string_view abortShutdownCommandLine = "Shutdown -a";

// The event path of the tick with timed shutdown chosen.
void startShutdown(Runtime& rt);

// 选择框2 clicked: unchecking it aborts a pending shutdown, every time; checking runs nothing.
void onShutdownBoxClicked(Runtime& rt);

// 标签9 released: opens the address that is its caption.
void onLinkReleased(Runtime& rt);

} // namespace rudi
