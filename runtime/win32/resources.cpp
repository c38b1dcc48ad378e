#include "runtime/win32/resources.h"

#include "resources/resource_ids.h"

namespace rudi::win32 {

const int resourceAppIcon = IDI_APP;

namespace {

std::span<const std::uint8_t> rawData(HINSTANCE instance, int id) {
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10)); // RT_RCDATA
    if (found == nullptr) {
        return {};
    }
    HGLOBAL loaded = LoadResource(instance, found);
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data == nullptr) {
        return {};
    }
    return {static_cast<const std::uint8_t*>(data), SizeofResource(instance, found)};
}

} // namespace

std::span<const std::uint8_t> bannerBytes(HINSTANCE instance) {
    return rawData(instance, IDR_BANNER);
}

std::span<const std::uint8_t> tuneBytes(HINSTANCE instance) {
    return rawData(instance, IDR_TUNE);
}

} // namespace rudi::win32
