// Texts cross into Windows as UTF-16, converted from GBK with code page 936 explicitly, so the
// program shows the same on a Windows of any language.
#pragma once

#include "engine/texts.h"

#include <string>
#include <string_view>

namespace rudi::win32 {

std::wstring widen(std::string_view gbk);
Text narrow(std::wstring_view wide);

} // namespace rudi::win32
