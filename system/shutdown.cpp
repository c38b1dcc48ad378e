#include "system/shutdown.h"

#include "runtime/runtime.h"

namespace rudi {

void startShutdown(Runtime& rt) {
    rt.runCommandLine(shutdownCommandLine, false);
}

void onShutdownBoxClicked(Runtime& rt) {
    if (rt.checked(WindowName::main, "选择框2") == 0) {
        rt.runCommandLine(abortShutdownCommandLine, false);
    }
}

void onLinkReleased(Runtime& rt) {
    rt.openWebAddress(rt.text(WindowName::main, "标签9"));
}

} // namespace rudi
