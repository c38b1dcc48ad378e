#include "runtime/win32/wide.h"

#include <windows.h>

#include <climits>

namespace rudi::win32 {

namespace {
constexpr UINT gbkCodePage = 936;
}

std::wstring widen(std::string_view gbk) {
    // A text ends at its first zero byte, as the zero-terminated texts it stands for.
    gbk = gbk.substr(0, gbk.find('\0'));
    if (gbk.empty() || gbk.size() > INT_MAX) {
        return {};
    }
    const int n =
        MultiByteToWideChar(gbkCodePage, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) {
        MultiByteToWideChar(gbkCodePage, 0, gbk.data(), static_cast<int>(gbk.size()), wide.data(),
                            n);
    }
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
