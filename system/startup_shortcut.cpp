#include "system/startup_shortcut.h"

#include "runtime/program_files.h"
#include "runtime/runtime.h"

namespace rudi {

namespace fs = std::filesystem;

std::optional<fs::path> startupLinkPath(const std::optional<fs::path>& startupFolder) {
    if (!startupFolder || startupFolder->empty()) {
        return std::nullopt;
    }
    return *startupFolder / "rudi.lnk";
}

fs::path shortcutTarget(const fs::path& programDirectory) {
    return programFile(programDirectory, "rudi.EXE");
}

void updateStartupShortcut(Runtime& rt) {
    if (rt.checked(WindowName::main, "选择框1") == 1) {
        if (const auto link = startupLinkPath(rt.startupFolder())) {
            rt.createShortcut(*link, shortcutTarget(rt.programDirectory()), shortcutDescription);
        }
    }
    if (rt.checked(WindowName::main, "选择框1") == 0) {
        if (const auto link = startupLinkPath(rt.startupFolder())) {
            rt.deleteFile(*link);
        }
    }
}

} // namespace rudi
