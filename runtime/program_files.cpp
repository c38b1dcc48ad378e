#include "runtime/program_files.h"

namespace rudi {

namespace fs = std::filesystem;

fs::path programFile(const fs::path& programDirectory, const fs::path& name) {
    fs::path directory = programDirectory;
    if (directory.has_root_name() && !directory.has_root_directory() &&
        directory.relative_path().empty()) {
        directory += fs::path::preferred_separator;
    }
    return directory / name;
}

} // namespace rudi
