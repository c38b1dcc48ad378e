// write_shortcut LINK TARGET-DIRECTORY: writes the Startup shortcut with the program's own
// code, so that a Linux tool can read the file back.
#include "runtime/win32/win32_runtime.h"
#include "system/startup_shortcut.h"

#include <objbase.h>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        return 2;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        return 3;
    }
    bool saved = false;
    {
        rudi::win32::Win32Runtime rt(GetModuleHandleW(nullptr));
        saved =
            rt.createShortcut(argv[1], rudi::shortcutTarget(argv[2]), rudi::shortcutDescription);
    }
    CoUninitialize();
    return saved ? 0 : 1;
}
