// What the main window must hold, written out here on its own rather than taken from
// ui/designs.cpp, so that a wrong design table is caught too.
#pragma once

#include "tests/e2e/driver/rudi_run.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace e2e {

enum class Kind {
    tab,
    groupBox,
    label,        // one line, vertically centred
    wrappedLabel, // words wrapped, text from the top
    editBox,
    multiLineEdit,
    longDatePicker,
    timePicker,
    checkBox,
    pushButton,
    pictureBox,
};

struct ControlSpec {
    int id;
    const wchar_t* name;
    Kind kind;
    int parent; // a control's identifier, or 0 for the window's client area
    int page;   // -1 on the window itself, 0 on "提醒", 1 on "关于"
    int left, top, width, height;
    std::optional<std::wstring> text; // the exact text at start, where it is fixed
    DWORD alsoSet = 0;                // styles this one control needs beyond its kind's
};

// Every control of the main window; the edit box and check box contents as loaded from c.
std::vector<ControlSpec> mainWindowControls(const Configuration& c);

const ControlSpec& controlSpec(const std::vector<ControlSpec>& controls, int id);

} // namespace e2e
