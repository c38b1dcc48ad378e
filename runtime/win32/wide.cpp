#include "runtime/win32/wide.h"

#include <windows.h>

#include <climits>

namespace rudi::win32 {

namespace {

constexpr UINT gbkCodePage = 936;

// GBK: a lead byte 0x81 to 0xFE takes a trail byte 0x40 to 0xFE other than 0x7F.
bool isLeadByte(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}
bool isTrailByte(unsigned char c) {
    return c >= 0x40 && c <= 0xFE && c != 0x7F;
}

void appendConverted(std::wstring& wide, std::string_view gbk) {
    if (gbk.empty()) {
        return;
    }
    const int n =
        MultiByteToWideChar(gbkCodePage, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
    if (n <= 0) {
        return;
    }
    const std::size_t at = wide.size();
    wide.resize(at + static_cast<std::size_t>(n));
    MultiByteToWideChar(gbkCodePage, 0, gbk.data(), static_cast<int>(gbk.size()), wide.data() + at,
                        n);
}

} // namespace

std::wstring widen(std::string_view gbk) {
    // A text ends at its first zero byte, as the zero-terminated texts it stands for.
    gbk = gbk.substr(0, gbk.find('\0'));
    if (gbk.empty() || gbk.size() > INT_MAX) {
        return {};
    }
    // A lead byte without a trail byte is converted on its own, so that it never takes the byte
    // after it (a line break, a digit) along into its question mark.
    std::wstring wide;
    std::size_t start = 0;
    for (std::size_t i = 0; i < gbk.size();) {
        const auto c = static_cast<unsigned char>(gbk[i]);
        if (!isLeadByte(c)) {
            ++i;
        } else if (i + 1 < gbk.size() && isTrailByte(static_cast<unsigned char>(gbk[i + 1]))) {
            i += 2;
        } else {
            appendConverted(wide, gbk.substr(start, i - start));
            appendConverted(wide, gbk.substr(i, 1));
            start = ++i;
        }
    }
    appendConverted(wide, gbk.substr(start));
    return wide;
}

Text narrow(std::wstring_view wide) {
    wide = wide.substr(0, wide.find(L'\0'));
    if (wide.empty() || wide.size() > INT_MAX) {
        return {};
    }
    const int n = WideCharToMultiByte(gbkCodePage, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
    Text text(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) {
        WideCharToMultiByte(gbkCodePage, 0, wide.data(), static_cast<int>(wide.size()), text.data(),
                            n, nullptr, nullptr);
    }
    return text;
}

} // namespace rudi::win32
