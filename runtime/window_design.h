// A window's design as data: its settings, its controls and the handlers bound to its events.
// The Windows run time builds any design generically; the fake run time of the tests keeps the
// same design as property maps.
#pragma once

#include "engine/texts.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace rudi {

class Runtime;

enum class WindowName { main, rest };

struct Colour {
    std::uint8_t red, green, blue;
    friend bool operator==(const Colour&, const Colour&) = default;
};

struct FontDesign {
    std::string_view face; // empty: the system's default face
    int height;            // character height in pixels
    int weight;            // 400 normal, 700 bold
    bool underline;
};

enum class ControlKind {
    tabControl,       // pages from the text, separated by "|"
    groupBox,         // a frame with a caption
    label,            // paints its rectangle in its background colour, then its text
    transparentLabel, // paints only its text over what lies beneath
    editBox,
    longDatePicker, // the long date format with a drop-down calendar
    timePicker,     // spin buttons instead of a calendar
    checkBox,
    pushButton,
    pictureBox, // draws the banner picture unscaled from its top-left corner, clipped
    timer,
};

// Style flags of a control.
enum ControlFlag : unsigned {
    noFlags = 0,
    multiLine = 1u << 0,    // edit box: wraps at its width, Enter starts a new line
    wordWrap = 1u << 1,     // label: words wrap at its width, text starts at the top
    integerInput = 1u << 2, // edit box: typed characters limited to digits and "-"
    initialFocus = 1u << 3, // takes the focus when its window is shown
};

struct ControlDesign {
    std::string_view name;
    ControlKind kind;
    std::string_view parent; // empty: the window itself
    int page;                // page of the parent tab control, or -1
    int id;                  // control identifier, unique in its window
    int left, top, width, height;
    std::string_view text;
    std::optional<Colour> textColour;
    std::optional<Colour> backColour; // empty: the kind's own (labels: the 3D face colour)
    std::optional<FontDesign> font;   // empty: the system's default GUI font
    unsigned flags = noFlags;
    int timerPeriod = 0; // timers: milliseconds
};

struct MenuItemDesign {
    std::string_view caption;
    int id;
};

struct MenuDesign {
    std::string_view caption; // the top-level item, hidden: it never shows in a menu bar
    std::vector<MenuItemDesign> items;
};

// Event handlers: any of them may be empty. They address windows and controls by name through
// the run time each time; none keeps a window or control.
struct WindowHandlers {
    void (*created)(Runtime&) = nullptr;
    void (*willBeDestroyed)(Runtime&) = nullptr;
    void (*trayEvent)(Runtime&, std::int32_t code) = nullptr;
    void (*clicked)(Runtime&, std::string_view control) = nullptr;
    void (*leftButtonReleased)(Runtime&, std::string_view control) = nullptr;
    void (*menuItemSelected)(Runtime&, std::string_view item) = nullptr;
    void (*timerElapsed)(Runtime&, std::string_view timer) = nullptr;
};

enum class Frame { fixedToolWindow, none };

struct WindowDesign {
    WindowName name;
    std::string_view title;
    int width, height; // outer size, centred on the screen when loaded
    Frame frame;
    bool taskbarButton;
    bool topmost;
    std::optional<Colour> background; // empty: the system's 3D face colour
    bool backgroundMusic;             // the tune, looped from creation to destruction
    std::vector<ControlDesign> controls;
    std::optional<MenuDesign> menu;
    WindowHandlers handlers;

    const ControlDesign* control(std::string_view controlName) const {
        for (const ControlDesign& c : controls) {
            if (c.name == controlName) {
                return &c;
            }
        }
        return nullptr;
    }
};

// The design of a window by name; the program defines both.
const WindowDesign& windowDesign(WindowName name);

} // namespace rudi
