// Conversions between the program's GBK texts and UTF-8, for tools and diagnostics.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rudi {

// GBK (code page 936) to UTF-8; nothing when the bytes are not valid GBK.
std::optional<std::string> gbkToUtf8(std::string_view gbk);

// UTF-8 to GBK; nothing when the bytes are not valid UTF-8 or a character has no GBK form.
std::optional<std::string> utf8ToGbk(std::string_view utf8);

// Makes a console that standard output writes to show UTF-8 (Windows); elsewhere nothing to do.
void useUtf8Console();

} // namespace rudi
