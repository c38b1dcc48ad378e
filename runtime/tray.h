// What the notification-area icon's mouse messages mean, and where its menu opens.
#pragma once

#include <cstdint>
#include <optional>

namespace rudi {

inline constexpr std::uint32_t trayIconId = 100;
inline constexpr std::uint32_t trayCallbackMessage = 0x8000 + 100;

// The tray action code of a mouse message from the shell; none for messages without one.
constexpr std::optional<std::int32_t> trayActionCode(std::uint32_t mouseMessage) {
    switch (mouseMessage) {
    case 0x0202: // WM_LBUTTONUP
        return 1;
    case 0x0203: // WM_LBUTTONDBLCLK
        return 2;
    case 0x0205: // WM_RBUTTONUP
    case 0x007B: // WM_CONTEXTMENU
        return 3;
    default:
        return std::nullopt;
    }
}

struct Point {
    int x, y;
    friend bool operator==(const Point&, const Point&) = default;
};

// The tray menu opens right-aligned: its right edge 5 pixels left of the cursor, its top
// 5 pixels above it.
constexpr Point trayMenuAnchor(Point cursor) {
    return {cursor.x - 5, cursor.y - 5};
}

} // namespace rudi
