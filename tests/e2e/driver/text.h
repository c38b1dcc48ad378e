// Conversions at the driver's edges: UTF-8 for its output, GBK for the configuration file,
// Windows paths for the file names it is given.
#pragma once

#include <filesystem>
#include <string>

namespace e2e {

std::string utf8(const std::wstring& text);
std::wstring fromUtf8(const std::string& text);

// The text in code page 936, as the configuration database stores it, and back.
std::string gbk(const std::wstring& text);
std::wstring fromGbk(const std::string& text);

// A path given on the command line: a Linux path (beginning with '/') is reached through
// drive Z:, anything else is taken as a Windows path.
std::filesystem::path windowsPath(std::wstring path);
// The Linux path of a Windows path, as Wine maps it (its wine_get_unix_file_name); empty when
// Wine does not know one.
std::wstring linuxPath(const std::filesystem::path& path);

std::wstring hex(unsigned long long value);

} // namespace e2e
