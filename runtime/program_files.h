// Files beside the executable.
#pragma once

#include <filesystem>

namespace rudi {

// name in the program directory, which has no trailing separator: for a bare drive such as
// "C:" that is the drive's root ("C:\name"), never the drive's current folder ("C:name").
std::filesystem::path programFile(const std::filesystem::path& programDirectory,
                                  const std::filesystem::path& name);

} // namespace rudi
