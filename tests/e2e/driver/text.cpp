#include "tests/e2e/driver/text.h"

#include <windows.h>

namespace e2e {

namespace {

std::string narrowed(UINT codePage, const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

} // namespace

std::string utf8(const std::wstring& text) {
    return narrowed(CP_UTF8, text);
}

std::string gbk(const std::wstring& text) {
    return narrowed(936, text);
}

namespace {

std::wstring widened(UINT codePage, const std::string& text) {
    if (text.empty()) {
        return {};
    }
    const int size =
        MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

} // namespace

std::wstring fromUtf8(const std::string& text) {
    return widened(CP_UTF8, text);
}

std::wstring fromGbk(const std::string& text) {
    return widened(936, text);
}

std::filesystem::path windowsPath(std::wstring path) {
    if (!path.empty() && path[0] == L'/') {
        for (wchar_t& c : path) {
            if (c == L'/') {
                c = L'\\';
            }
        }
        path.insert(0, L"Z:");
    }
    return std::filesystem::path(path);
}

std::wstring linuxPath(const std::filesystem::path& path) {
    using UnixFileName = char*(CDECL*)(const wchar_t*);
    const auto unixFileName = reinterpret_cast<UnixFileName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* name = unixFileName != nullptr ? unixFileName(path.c_str()) : nullptr;
    if (name == nullptr) {
        return std::wstring();
    }
    const std::wstring shown = fromUtf8(name);
    HeapFree(GetProcessHeap(), 0, name);
    return shown;
}

std::wstring hex(unsigned long long value) {
    wchar_t buffer[24];
    swprintf(buffer, 24, L"0x%llX", value);
    return buffer;
}

} // namespace e2e
