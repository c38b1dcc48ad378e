// The pictures and the tune carried inside the executable.
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>

namespace rudi::win32 {

// Resource identifiers, shared with the resource script.
extern const int resourceAppIcon;

std::span<const std::uint8_t> bannerBytes(HINSTANCE instance);
std::span<const std::uint8_t> tuneBytes(HINSTANCE instance);

} // namespace rudi::win32
