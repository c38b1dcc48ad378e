#include "system/tray.h"

#include "runtime/runtime.h"

namespace rudi {

void onTrayEvent(Runtime& rt, std::int32_t code) {
    if (code == 2) {
        rt.setWindowVisible(WindowName::main, true);
    } else if (code == 3) {
        rt.popUpTrayMenu(WindowName::main, trayMenuCaption);
    }
}

void onShowItem(Runtime& rt) {
    rt.setWindowVisible(WindowName::main, true);
}

void onExitItem(Runtime& rt) {
    rt.endProgram(0);
}

} // namespace rudi
