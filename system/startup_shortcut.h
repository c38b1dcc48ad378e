// Running at logon: the shortcut "rudi.lnk" in the user's Startup folder.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace rudi {

class Runtime;

inline constexpr std::string_view shortcutDescription = "快捷方式";

// The link in the Startup folder; none when the folder is unknown.
std::optional<std::filesystem::path>
startupLinkPath(const std::optional<std::filesystem::path>& startupFolder);

// "rudi.EXE" in the program directory; a bare drive such as "C:" gives that drive's root.
std::filesystem::path shortcutTarget(const std::filesystem::path& programDirectory);

// Creates the link while 选择框1 is checked, deletes it while it is not. Without a Startup
// folder nothing is written or deleted: a bare "rudi.lnk" would land in whatever folder is
// current.
void updateStartupShortcut(Runtime& rt);

} // namespace rudi
