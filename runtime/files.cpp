// The parts of the file layer that are the same on every system.
#include "runtime/files.h"

#include <array>

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

} // namespace rudi::files
