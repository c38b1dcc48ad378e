// The integer input of an edit box: what typing may enter, and the form the text takes when
// the box loses the focus.
#pragma once

#include "engine/texts.h"

#include <optional>
#include <string_view>

namespace rudi {

// Control characters (below the blank) always pass; of the rest only digits and "-".
bool integerInputAccepts(char32_t typed);

// The text read as a 64-bit decimal integer (leading white space, an optional sign, the digits
// up to the first other character; no digits gives 0), clamped to the signed 32-bit range and
// written as its integer text, "0" becoming the empty text. Empty when the text stays as it is.
std::optional<Text> normalisedIntegerText(std::string_view text);

} // namespace rudi
