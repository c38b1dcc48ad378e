#include "ui/program.h"

#include "engine/state.h"
#include "runtime/runtime.h"

namespace rudi {

void startProgram(Runtime& rt) {
    resetState();
    rt.registerExitCleanup(exitCleanup);
    rt.loadWindow(WindowName::main);
}

void exitCleanup() {
    resetState();
}

} // namespace rudi
