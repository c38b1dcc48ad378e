#include "tests/support/fake_runtime.h"

#include "ui/program.h"

#include <stdexcept>

namespace rudi::testing {

namespace {

const char* nameOf(WindowName w) {
    return w == WindowName::main ? "main" : "rest";
}

} // namespace

FakeRuntime::FakeRuntime() = default;

void FakeRuntime::record(std::string entry) {
    log.push_back(entry);
    if (onLog) {
        onLog(entry);
    }
}
FakeRuntime::~FakeRuntime() = default;

void FakeRuntime::dispatch(const std::function<void()>& handler) {
    if (ending_) {
        return;
    }
    handler();
    while (!pendingDestroy_.empty()) {
        const WindowName w = pendingDestroy_.front();
        pendingDestroy_.erase(pendingDestroy_.begin());
        destroyNow(w, true);
    }
    endIfNoWindowLeft();
}

void FakeRuntime::start() {
    dispatch([this] { startProgram(*this); });
}

void FakeRuntime::registerExitCleanup(void (*cleanup)()) {
    exitCleanup_ = cleanup;
}

void FakeRuntime::runExitCleanup() {
    if (exitCleanup_) {
        exitCleanups++;
        exitCleanup_();
    }
}

void FakeRuntime::tick() {
    if (!windowExists(WindowName::main)) {
        return;
    }
    const auto& h = windowDesign(WindowName::main).handlers;
    dispatch([&] { h.timerElapsed(*this, "时钟2"); });
}

void FakeRuntime::click(WindowName w, std::string_view name) {
    control(w, name);
    const auto& h = windowDesign(w).handlers;
    auto& c = control(w, name);
    if (windowDesign(w).control(name)->kind == ControlKind::checkBox) {
        c.checked = !c.checked; // the click event comes after the state has changed
    }
    if (h.clicked) {
        dispatch([&] { h.clicked(*this, name); });
    }
}

void FakeRuntime::releaseLeftButton(WindowName w, std::string_view name) {
    control(w, name);
    const auto& h = windowDesign(w).handlers;
    if (h.leftButtonReleased) {
        dispatch([&] { h.leftButtonReleased(*this, name); });
    }
}

void FakeRuntime::trayEvent(std::int32_t code) {
    const auto& h = windowDesign(WindowName::main).handlers;
    if (windowExists(WindowName::main) && h.trayEvent) {
        dispatch([&] { h.trayEvent(*this, code); });
    }
}

void FakeRuntime::chooseMenuItem(std::string_view item) {
    const auto& h = windowDesign(WindowName::main).handlers;
    if (windowExists(WindowName::main) && h.menuItemSelected) {
        dispatch([&] { h.menuItemSelected(*this, item); });
    }
}

void FakeRuntime::close(WindowName w) {
    dispatch([&] { destroyNow(w, true); });
}

FakeWindow* FakeRuntime::window(WindowName w) {
    const auto it = windows_.find(w);
    return it == windows_.end() ? nullptr : &it->second;
}

FakeControl& FakeRuntime::control(WindowName w, std::string_view name) {
    if (windowDesign(w).control(name) == nullptr) {
        throw std::logic_error("no such control in the design: " + std::string(name));
    }
    FakeWindow* fw = window(w);
    if (fw == nullptr) {
        throw std::logic_error(std::string("window not loaded: ") + nameOf(w));
    }
    return fw->controls.find(name)->second;
}

void FakeRuntime::loadWindow(WindowName w) {
    if (FakeWindow* existing = window(w)) {
        existing->activations++;
        existing->visible = true;
        return;
    }
    const WindowDesign& design = windowDesign(w);
    FakeWindow fw;
    fw.topmost = design.topmost;
    for (const ControlDesign& c : design.controls) {
        FakeControl fc;
        fc.text = Text(c.text);
        fc.left = c.left;
        fc.top = c.top;
        fc.width = c.width;
        fc.height = c.height;
        if (c.kind == ControlKind::longDatePicker || c.kind == ControlKind::timePicker) {
            fc.value = currentDateTime(); // pickers show now until they are set
        }
        fw.controls.emplace(std::string(c.name), fc);
    }
    windows_.emplace(w, fw);
    events.push_back(std::string("created ") + nameOf(w));
    if (design.backgroundMusic) {
        tunePlaying = true;
        tunePlays++;
    }
    if (design.handlers.created) {
        design.handlers.created(*this);
    }
    if (FakeWindow* loaded = window(w)) {
        loaded->visible = true;
    }
}

bool FakeRuntime::windowExists(WindowName w) {
    return window(w) != nullptr;
}

void FakeRuntime::destroyWindow(WindowName w) {
    if (windowExists(w)) {
        pendingDestroy_.push_back(w);
    }
}

void FakeRuntime::destroyNow(WindowName w, bool raiseWillBeDestroyed) {
    if (!windowExists(w)) {
        return;
    }
    const WindowDesign& design = windowDesign(w);
    if (raiseWillBeDestroyed && design.handlers.willBeDestroyed) {
        design.handlers.willBeDestroyed(*this);
    }
    if (w == WindowName::main && trayIconPresent) {
        trayIconPresent = false;
        trayCalls.push_back("remove");
    }
    if (design.backgroundMusic) {
        tunePlaying = false;
    }
    windows_.erase(w);
    events.push_back(std::string(raiseWillBeDestroyed ? "destroyed " : "torn down ") + nameOf(w));
}

void FakeRuntime::endIfNoWindowLeft() {
    if (windows_.empty() && !exitCode) {
        runExitCleanup();
        exitCode = 0;
    }
}

void FakeRuntime::setWindowVisible(WindowName w, bool visible) {
    if (FakeWindow* fw = window(w)) {
        record(std::string(visible ? "show " : "hide ") + nameOf(w));
        if (visible && fw->visible) {
            fw->activations++;
        }
        fw->visible = visible;
    }
}

bool FakeRuntime::windowVisible(WindowName w) {
    const FakeWindow* fw = window(w);
    return fw != nullptr && fw->visible;
}

void FakeRuntime::setAlwaysOnTop(WindowName w, bool onTop) {
    if (FakeWindow* fw = window(w)) {
        fw->topmost = onTop;
    }
}

void FakeRuntime::enableMaximizeBox(WindowName w) {
    if (FakeWindow* fw = window(w)) {
        fw->maximizeBox = true;
    }
}

void FakeRuntime::maximizeWindow(WindowName w) {
    if (FakeWindow* fw = window(w)) {
        fw->maximized = fw->maximizeBox;
    }
}

void FakeRuntime::makeTranslucent(WindowName w, int alpha) {
    if (FakeWindow* fw = window(w)) {
        fw->alpha = alpha;
    }
}

void FakeRuntime::enableThemedLook() {
    themedLook = true;
}

Text FakeRuntime::text(WindowName w, std::string_view name) {
    return windowExists(w) ? control(w, name).text : Text{};
}

void FakeRuntime::setText(WindowName w, std::string_view name, std::string_view text) {
    if (windowExists(w)) {
        control(w, name).text = Text(text);
    }
}

std::int32_t FakeRuntime::checked(WindowName w, std::string_view name) {
    return windowExists(w) && control(w, name).checked ? 1 : 0;
}

void FakeRuntime::setChecked(WindowName w, std::string_view name, bool checked) {
    if (windowExists(w)) {
        control(w, name).checked = checked;
    }
}

DateTime FakeRuntime::dateTimeValue(WindowName w, std::string_view name) {
    return windowExists(w) ? control(w, name).value : 0;
}

void FakeRuntime::setDateTimeValue(WindowName w, std::string_view name, DateTime value) {
    if (windowExists(w)) {
        control(w, name).value = value;
    }
}

void FakeRuntime::setDateTimeFormat(WindowName w, std::string_view name, std::string_view format) {
    if (windowExists(w)) {
        control(w, name).dateTimeFormat = Text(format);
    }
}

int FakeRuntime::geometry(WindowName w, std::string_view name, Geometry which) {
    if (!windowExists(w)) {
        return 0;
    }
    const FakeControl& c = control(w, name);
    switch (which) {
    case Geometry::left:
        return c.left;
    case Geometry::top:
        return c.top;
    case Geometry::width:
        return c.width;
    case Geometry::height:
        return c.height;
    }
    return 0;
}

void FakeRuntime::setGeometry(WindowName w, std::string_view name, Geometry which, int value) {
    if (!windowExists(w)) {
        return;
    }
    FakeControl& c = control(w, name);
    switch (which) {
    case Geometry::left:
        c.left = value;
        break;
    case Geometry::top:
        c.top = value;
        break;
    case Geometry::width:
        c.width = value;
        break;
    case Geometry::height:
        c.height = value;
        break;
    }
}

void FakeRuntime::setTrayIcon(WindowName, bool present, std::string_view tip) {
    if (present) {
        trayCalls.push_back((trayIconPresent ? "modify " : "add ") + std::string(tip));
    } else if (trayIconPresent) {
        trayCalls.push_back("remove");
    }
    trayIconPresent = present;
}

void FakeRuntime::popUpTrayMenu(WindowName, std::string_view menuCaption) {
    trayCalls.push_back("menu " + std::string(menuCaption));
}

void FakeRuntime::messageBox(std::string_view text, std::string_view title) {
    const FakeWindow* rest = window(WindowName::rest);
    messageBoxes.push_back({Text(text), Text(title), rest != nullptr && rest->topmost});
    record("box " + std::string(title));
    if (whileMessageBoxOpen) {
        // The box's modal loop runs once; nested boxes do not re-enter it.
        auto nested = std::move(whileMessageBoxOpen);
        whileMessageBoxOpen = nullptr;
        nested();
    }
}

bool FakeRuntime::runCommandLine(std::string_view commandLine, bool wait) {
    commandLines.emplace_back(Text(commandLine), wait);
    record("command " + std::string(commandLine));
    return commandLinesStart;
}

void FakeRuntime::openWebAddress(std::string_view address) {
    webAddresses.emplace_back(address);
    record("web " + std::string(address));
}

std::optional<std::filesystem::path> FakeRuntime::startupFolder() {
    return startup;
}

std::filesystem::path FakeRuntime::programDirectory() {
    return programDir;
}

bool FakeRuntime::createShortcut(const std::filesystem::path& link,
                                 const std::filesystem::path& target,
                                 std::string_view description) {
    shortcuts.push_back({link, target, Text(description)});
    record("shortcut " + link.generic_string());
    return true;
}

bool FakeRuntime::deleteFile(const std::filesystem::path& path) {
    deletedFiles.push_back(path);
    record("delete " + path.generic_string());
    return true;
}

ScreenSize FakeRuntime::screenSize() {
    return screen;
}

void FakeRuntime::endProgram(int code) {
    ending_ = true;
    pendingDestroy_.clear();
    while (!windows_.empty()) {
        destroyNow(windows_.begin()->first, false);
    }
    if (trayIconPresent) {
        trayIconPresent = false;
        trayCalls.push_back("remove");
    }
    runExitCleanup();
    exitCode = code;
    throw ProgramEnded{code};
}

void FakeRuntime::reportError(std::optional<int> code, std::string_view message) {
    messageBoxes.push_back({errorReportText(code, message), Text(errorReportTitle), false});
    ending_ = true;
    exitCode = -1;
    throw ProgramEnded{-1};
}

FakeClock::FakeClock(WallClockTime start) : now_(start) {
    setClock(this);
}

FakeClock::~FakeClock() {
    setClock(nullptr);
}

WallClockTime FakeClock::localNow() {
    if (onRead) {
        onRead(now_);
    }
    return now_;
}

void FakeClock::advance(int seconds) {
    const DateTime moved =
        makeDateTime(now_.year, now_.month, now_.day, now_.hour, now_.minute, now_.second) +
        seconds / 86400.0;
    const DateTimeParts p = partsOf(moved);
    now_ = {p.year, p.month, p.day, p.hour, p.minute, p.second};
}

} // namespace rudi::testing
