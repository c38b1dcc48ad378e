// rudi.exe: the start sequence and the message loop.
#include "runtime/win32/win32_runtime.h"
#include "ui/program.h"

#include <objbase.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // Later DLL loads come from the system folder only.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // COM, single-threaded, for the shell link and the picture decoder.
    if (FAILED(OleInitialize(nullptr))) {
        return -1;
    }
    int exitCode = 0;
    {
        rudi::win32::Win32Runtime runtime(instance);
        rudi::startProgram(runtime);
        exitCode = runtime.runMessageLoop();
    }
    OleUninitialize();
    return exitCode;
}
