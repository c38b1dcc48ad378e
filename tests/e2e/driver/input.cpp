#include "tests/e2e/driver/input.h"

namespace e2e {

namespace {

bool send(INPUT* inputs, UINT count) {
    return SendInput(count, inputs, sizeof(INPUT)) == count;
}

} // namespace

bool movePointer(POINT screen) {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    INPUT move{};
    move.type = INPUT_MOUSE;
    // Absolute positions are in 0..65535 across the primary screen.
    move.mi.dx = MulDiv(screen.x, 65535, width - 1);
    move.mi.dy = MulDiv(screen.y, 65535, height - 1);
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    if (!send(&move, 1)) {
        return false;
    }
    // Another process reading the pointer right after a move has been seen to get the old
    // place under Wine: settle, and confirm the place again before going on.
    POINT now{};
    for (int i = 0; i < 20; ++i) {
        Sleep(50);
        if (GetCursorPos(&now) && now.x == screen.x && now.y == screen.y) {
            Sleep(100);
            return GetCursorPos(&now) && now.x == screen.x && now.y == screen.y;
        }
        SetCursorPos(screen.x, screen.y);
    }
    return false;
}

bool clickAt(POINT screen) {
    if (!movePointer(screen)) {
        return false;
    }
    INPUT buttons[2]{};
    buttons[0].type = INPUT_MOUSE;
    buttons[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    buttons[1].type = INPUT_MOUSE;
    buttons[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    return send(buttons, 2);
}

bool clickCentre(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return clickAt({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

bool pressKey(WORD virtualKey) {
    INPUT keys[2]{};
    keys[0].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = virtualKey;
    keys[1].type = INPUT_KEYBOARD;
    keys[1].ki.wVk = virtualKey;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    return send(keys, 2);
}

bool typeText(const std::wstring& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' || text[i] == L'\n') {
            if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') {
                ++i;
            }
            if (!pressKey(VK_RETURN)) {
                return false;
            }
            continue;
        }
        INPUT keys[2]{};
        keys[0].type = INPUT_KEYBOARD;
        keys[0].ki.wScan = text[i];
        keys[0].ki.dwFlags = KEYEVENTF_UNICODE;
        keys[1] = keys[0];
        keys[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
        if (!send(keys, 2)) {
            return false;
        }
    }
    return true;
}

} // namespace e2e
