// The program's start and its exit clean-up, shared by the Windows entry point and the tests.
#pragma once

namespace rudi {

class Runtime;

// The state gets its initial values, the exit clean-up is registered and the main window is
// loaded (its creation handler loads the settings). The message loop is the caller's.
void startProgram(Runtime& rt);

// Releases the state; runs once on either ordinary end.
void exitCleanup();

} // namespace rudi
