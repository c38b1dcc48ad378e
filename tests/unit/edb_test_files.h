// Scratch folders and plain file access for the .edb and file-layer suites. Fixtures are written
// and read back with the standard library, not with the code under test.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace rudi::testfiles {

namespace fs = std::filesystem;

// A fresh folder whose name needs Unicode ("测试 ü"), removed with its content at the end.
class ScratchFolder {
  public:
    ScratchFolder() {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string unique =
            std::string(test ? test->name() : "edb") + "-" + std::to_string(std::random_device{}());
        for (char& c : unique) {
            if (c == '/') {
                c = '-';
            }
        }
        fs::path name(u8"rudi 测试 ü-");
        name += unique; // ASCII
        path_ = fs::temp_directory_path() / name;
        fs::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code error;
        // Read-only files must become writable again before Windows lets them go.
        for (const auto& entry : fs::recursive_directory_iterator(path_, error)) {
            fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, error);
        }
        fs::remove_all(path_, error);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const fs::path& path() const { return path_; }
    fs::path operator/(const fs::path& name) const { return path_ / name; }

    // The names in the folder, for spotting left-over temporary files.
    std::vector<fs::path> entries() const {
        std::vector<fs::path> names;
        for (const auto& entry : fs::directory_iterator(path_)) {
            names.push_back(entry.path().filename());
        }
        return names;
    }

  private:
    fs::path path_;
};

inline void writeBytes(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    ASSERT_TRUE(out.is_open()) << path;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

inline std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Clears the write permission (the read-only attribute on Windows). Tells whether it binds this
// process: on Windows the attribute binds everyone; elsewhere root writes regardless.
inline bool makeReadOnly(const fs::path& path) {
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
#ifdef _WIN32
    return true;
#else
    std::ofstream probe(path, std::ios::binary | std::ios::app);
    return !probe.is_open();
#endif
}

} // namespace rudi::testfiles
