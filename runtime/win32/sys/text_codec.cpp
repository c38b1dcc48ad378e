// GBK and UTF-8 through UTF-16 with the system's code page 936 tables.
#include "runtime/text_codec.h"

#include <windows.h>

namespace rudi {

namespace {

constexpr UINT gbkCodePage = 936;

std::optional<std::wstring> toWide(UINT codePage, std::string_view bytes) {
    if (bytes.empty()) {
        return std::wstring();
    }
    int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(),
                                     static_cast<int>(bytes.size()), nullptr, 0);
    if (length <= 0) {
        return std::nullopt;
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(),
                        static_cast<int>(bytes.size()), wide.data(), length);
    return wide;
}

std::optional<std::string> fromWide(UINT codePage, const std::wstring& wide) {
    if (wide.empty()) {
        return std::string();
    }
    // UTF-8 reports unpaired surrogates; code page 936 reports characters it lacks through the
    // default-character flag (WC_ERR_INVALID_CHARS is for UTF-8 only).
    bool utf8 = codePage == CP_UTF8;
    DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = utf8 ? nullptr : &usedDefault;
    int length = WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()),
                                     nullptr, 0, nullptr, usedDefaultOut);
    if (length <= 0 || usedDefault) {
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), bytes.data(),
                        length, nullptr, usedDefaultOut);
    if (usedDefault) {
        return std::nullopt;
    }
    return bytes;
}

} // namespace

std::optional<std::string> gbkToUtf8(std::string_view gbk) {
    auto wide = toWide(gbkCodePage, gbk);
    return wide ? fromWide(CP_UTF8, *wide) : std::nullopt;
}

std::optional<std::string> utf8ToGbk(std::string_view utf8) {
    auto wide = toWide(CP_UTF8, utf8);
    return wide ? fromWide(gbkCodePage, *wide) : std::nullopt;
}

void useUtf8Console() {
    SetConsoleOutputCP(CP_UTF8);
}

} // namespace rudi
