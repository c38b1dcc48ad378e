#include "ui/main_window.h"

#include "engine/tick.h"
#include "settings/settings_store.h"
#include "system/shutdown.h"
#include "system/tray.h"

namespace rudi {

namespace {

constexpr WindowName main = WindowName::main;

void onMainWindowCreated(Runtime& rt) {
    rt.enableThemedLook();
    rt.setTrayIcon(main, true, trayTip);
    rt.setDateTimeFormat(main, "日期框2", "HH:mm:ss");
    loadSettings(rt);
}

void onMainWindowClicked(Runtime& rt, std::string_view control) {
    if (control == "按钮1") {
        applySettings(rt);
    } else if (control == "按钮2") {
        rt.setWindowVisible(main, false);
    } else if (control == "选择框2") {
        onShutdownBoxClicked(rt);
    }
}

void onMainWindowButtonReleased(Runtime& rt, std::string_view control) {
    if (control == "标签9") {
        onLinkReleased(rt);
    }
}

void onMainWindowMenuItem(Runtime& rt, std::string_view item) {
    if (item == "显示") {
        onShowItem(rt);
    } else if (item == "退出") {
        onExitItem(rt);
    }
}

void onMainWindowTimer(Runtime& rt, std::string_view timer) {
    if (timer == "时钟2") {
        oneSecondTick(rt);
    }
}

} // namespace

WindowHandlers mainWindowHandlers() {
    WindowHandlers h;
    h.created = onMainWindowCreated;
    h.trayEvent = onTrayEvent;
    h.clicked = onMainWindowClicked;
    h.leftButtonReleased = onMainWindowButtonReleased;
    h.menuItemSelected = onMainWindowMenuItem;
    h.timerElapsed = onMainWindowTimer;
    return h;
}

} // namespace rudi
