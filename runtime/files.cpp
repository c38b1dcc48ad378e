// The parts of the file layer that are the same on every system.
#include "runtime/files.h"

#include <array>
#include <optional>
#include <system_error>

namespace rudi::files {

SharedFileReader::SharedFileReader(SharedFileReader&& other) noexcept : handle_(other.handle_) {
    other.handle_ = closedHandle;
}

SharedFileReader& SharedFileReader::operator=(SharedFileReader&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = other.handle_;
        other.handle_ = closedHandle;
    }
    return *this;
}

SharedFileReader::~SharedFileReader() {
    close();
}

ReadResult SharedFileReader::readToEnd(std::size_t maxBytes) {
    ReadResult result;
    if (!isOpen()) {
        return result;
    }
    std::array<char, 16 * 1024> chunk;
    for (;;) {
        auto count = read(chunk);
        if (!count) {
            result.bytes.clear();
            return result;
        }
        if (*count == 0) {
            break;
        }
        if (result.bytes.size() + *count > maxBytes) {
            result.bytes.clear();
            result.status = ReadStatus::tooLarge;
            return result;
        }
        result.bytes.append(chunk.data(), *count);
    }
    result.status = ReadStatus::ok;
    return result;
}

ReadResult readWholeFile(const std::filesystem::path& path, std::size_t maxBytes) {
    ReadStatus why = ReadStatus::failed;
    SharedFileReader reader(path, &why);
    if (!reader.isOpen()) {
        return ReadResult{why, {}};
    }
    return reader.readToEnd(maxBytes);
}

namespace {

// The writer's process in a temporary file's name "<target>.<process>-<n>-<t>.tmp", if the name
// has that form.
template <typename String>
std::optional<unsigned long> temporaryFileWriter(const String& target, const String& name) {
    using Char = typename String::value_type;
    const String suffix{Char('.'), Char('t'), Char('m'), Char('p')};
    if (name.size() <= target.size() + 1 + suffix.size() ||
        name.compare(0, target.size(), target) || name[target.size()] != Char('.') ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix)) {
        return std::nullopt;
    }
    const String middle = name.substr(target.size() + 1, name.size() - target.size() - 5);
    unsigned long writer = 0;
    int part = 0;
    bool digitSeen = false;
    for (Char c : middle) {
        if (c >= Char('0') && c <= Char('9')) {
            if (part == 0) {
                if (writer > 0x7FFFFFFFUL / 10) {
                    return std::nullopt;
                }
                writer = writer * 10 + static_cast<unsigned long>(c - Char('0'));
            }
            digitSeen = true;
        } else if (c == Char('-') && digitSeen && part < 2) {
            ++part;
            digitSeen = false;
        } else {
            return std::nullopt;
        }
    }
    if (part != 2 || !digitSeen || writer == 0) {
        return std::nullopt;
    }
    return writer;
}

} // namespace

void removeLeftTemporaries(const std::filesystem::path& path) {
    const auto target = path.filename().native();
    std::error_code error;
    std::filesystem::directory_iterator entries(
        path.parent_path().empty() ? std::filesystem::path(".") : path.parent_path(), error);
    for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
        const auto writer = temporaryFileWriter(target, entries->path().filename().native());
        std::error_code ignored;
        if (writer && !processIsRunning(*writer) && entries->is_regular_file(ignored)) {
            std::filesystem::remove(entries->path(), ignored);
        }
    }
}

} // namespace rudi::files
