// What is on the screen: a capture of the whole screen through GDI, saved as PNG with WIC, and
// the pixel counts the colour checks rest on.
#pragma once

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

// Pixels as 0xRRGGBB, rows from the top.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    bool empty() const { return pixels.empty(); }
    std::uint32_t at(int x, int y) const {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)];
    }
};

constexpr std::uint32_t rgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return (std::uint32_t{red} << 16) | (std::uint32_t{green} << 8) | blue;
}
std::uint32_t fromColorRef(COLORREF colour);
std::wstring colourName(std::uint32_t colour); // "#RRGGBB"

Image captureScreen();
// Both need COM initialised on the calling thread.
bool savePng(const Image& image, const std::filesystem::path& file, std::wstring& error);
std::optional<Image> loadImage(const std::filesystem::path& file, std::wstring& error);

// How many pixels of the screen rectangle (clipped to the image) have exactly this colour.
int countColour(const Image& image, const RECT& area, std::uint32_t colour);
// How many pixels of the rectangle are text of this colour drawn anti-aliased over the
// background: a blend of the two, at least 30% of the way from the background to the colour.
// Thin or light glyphs may have no pixel of exactly the text colour; a text of another colour
// blends along another line and is not counted.
int countTextPixels(const Image& image, const RECT& area, std::uint32_t colour,
                    std::uint32_t background);
// How many different colours the rectangle holds.
int distinctColours(const Image& image, const RECT& area);

// The pixels of an icon drawn at its natural size, with the mask telling which are opaque
// (drawn over white and over black, a pixel that comes out the same is the icon's own).
struct IconPixels {
    Image colours;
    std::vector<bool> opaque;
};
IconPixels iconPixels(HICON icon, int size);
// An icon file's image of size × size pixels.
IconPixels iconFilePixels(const std::filesystem::path& file, int size);

// Where in the area the screen shows the icon: the first place at which at least `share` of its
// opaque pixels have exactly their colour.
std::optional<POINT> findIcon(const Image& image, const RECT& area, const IconPixels& icon,
                              double share);

} // namespace e2e
