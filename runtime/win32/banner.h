// The About page's banner: the embedded JPEG decoded with WIC into a bitmap.
#pragma once

#include <windows.h>

namespace rudi::win32 {

// A bitmap the caller owns, or null when the picture cannot be decoded.
HBITMAP loadBanner(HINSTANCE instance, SIZE& size);

} // namespace rudi::win32
