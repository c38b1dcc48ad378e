// Real input, as a user gives it: the mouse and the keyboard through SendInput, delivered by
// the system to whatever window is under the pointer or has the keyboard focus.
#pragma once

#include <windows.h>

#include <string>

namespace e2e {

// Moves the pointer to a point on the screen; false if it did not arrive there.
bool movePointer(POINT screen);
// A left click at a point on the screen.
bool clickAt(POINT screen);
// A left click in the middle of a window.
bool clickCentre(HWND window);
// Presses and releases one key.
bool pressKey(WORD virtualKey);
// Types a text as the keyboard would give it, character by character (as Unicode key
// packets, so any script goes); "\r\n" or "\n" is the Enter key.
bool typeText(const std::wstring& text);

} // namespace e2e
