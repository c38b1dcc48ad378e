// The main window as it is painted: the colours of captions, texts and backgrounds, and the
// banner picture on the About page, read from captures of the screen.
#include "tests/e2e/driver/checks.h"
#include "tests/e2e/driver/inspect.h"
#include "tests/e2e/driver/screen.h"
#include "tests/e2e/driver/steps.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <utility>
#include <vector>

namespace e2e {

namespace {

// A part of a control on the screen. Left and top count from the control's left and top edges,
// or from its right and bottom edges when negative; right and bottom count from its left and
// top edges when positive, from its right and bottom edges otherwise.
RECT screenPart(HWND control, int left, int top, int right, int bottom) {
    const RECT r = windowRect(control);
    return {left >= 0 ? r.left + left : r.right + left, top >= 0 ? r.top + top : r.bottom + top,
            right > 0 ? r.left + right : r.right + right,
            bottom > 0 ? r.top + bottom : r.bottom + bottom};
}

// The most frequent colours of an area other than the background, for a failure message.
std::wstring commonColours(const Image& image, const RECT& area, std::uint32_t background) {
    std::map<std::uint32_t, int> counts;
    for (LONG y = std::max<LONG>(area.top, 0); y < std::min<LONG>(area.bottom, image.height); ++y) {
        for (LONG x = std::max<LONG>(area.left, 0); x < std::min<LONG>(area.right, image.width);
             ++x) {
            if (image.at(x, y) != background) {
                ++counts[image.at(x, y)];
            }
        }
    }
    std::vector<std::pair<int, std::uint32_t>> sorted;
    for (const auto& [colour, n] : counts) {
        sorted.emplace_back(n, colour);
    }
    std::sort(sorted.rbegin(), sorted.rend());
    std::wstring shown;
    for (std::size_t i = 0; i < sorted.size() && i < 4; ++i) {
        shown += (i ? L", " : L"") + colourName(sorted[i].second) + L" ×" +
                 std::to_wstring(sorted[i].first);
    }
    return shown.empty() ? L"only the background" : shown;
}

// What one capture of the screen must show: empty when it does, else what is wrong.
using ScreenExpectation = std::function<std::wstring(const Image&)>;

// Text of this colour over this background (anti-aliased, so mostly blends of the two).
ScreenExpectation textColour(const std::wstring& what, const RECT& area, std::uint32_t colour,
                             std::uint32_t background) {
    return [=](const Image& image) {
        const int n = countTextPixels(image, area, colour, background);
        return n >= 8 ? std::wstring{}
                      : what + L": " + std::to_wstring(n) + L" pixels of text in " +
                            colourName(colour) + L" on " + colourName(background) +
                            L" (its colours: " + commonColours(image, area, background) + L")";
    };
}

ScreenExpectation filled(const std::wstring& what, const RECT& area, std::uint32_t colour) {
    return [=](const Image& image) {
        const int all = static_cast<int>((area.right - area.left) * (area.bottom - area.top));
        const int n = countColour(image, area, colour);
        return all > 0 && n == all
                   ? std::wstring{}
                   : what + L": " + std::to_wstring(n) + L" of " + std::to_wstring(all) +
                         L" pixels are " + colourName(colour) + L" (others: " +
                         commonColours(image, area, colour) + L")";
    };
}

// The picture drawn unscaled from the area's top-left corner and clipped to the area.
ScreenExpectation showsPicture(const std::wstring& what, const RECT& area, const Image& picture) {
    return [=](const Image& image) {
        const int width = std::min<int>(area.right - area.left, picture.width);
        const int height = std::min<int>(area.bottom - area.top, picture.height);
        long long close = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                if (area.left + x >= image.width || area.top + y >= image.height) {
                    continue;
                }
                const std::uint32_t a = image.at(area.left + x, area.top + y);
                const std::uint32_t b = picture.at(x, y);
                bool similar = true;
                for (int shift : {0, 8, 16}) {
                    similar = similar && std::abs(static_cast<int>((a >> shift) & 0xFF) -
                                                  static_cast<int>((b >> shift) & 0xFF)) <= 8;
                }
                close += similar ? 1 : 0;
            }
        }
        const long long all = static_cast<long long>(width) * height;
        return all > 0 && close * 100 >= all * 95
                   ? std::wstring{}
                   : what + L" matches the picture at " + std::to_wstring(close) + L" of " +
                         std::to_wstring(all) +
                         L" pixels (95% wanted: drawn unscaled from the top-left corner)";
    };
}

// Captures the screen until every expectation holds or timeoutMs have passed (what changed may
// still be painting), then fails the check with what the last capture missed.
void expectOnScreen(Check& check, const std::vector<ScreenExpectation>& expectations,
                    DWORD timeoutMs) {
    std::vector<std::wstring> misses;
    waitUntil(
        [&] {
            misses.clear();
            const Image shot = captureScreen();
            if (shot.empty()) {
                misses.push_back(L"the screen could not be captured");
                return false;
            }
            for (const ScreenExpectation& e : expectations) {
                if (std::wstring miss = e(shot); !miss.empty()) {
                    misses.push_back(miss);
                }
            }
            return misses.empty();
        },
        timeoutMs, 100);
    for (std::wstring& miss : misses) {
        check.fail(std::move(miss));
    }
}

} // namespace

void checkPaintedColours(Check& check, const Setup& setup) {
    RudiRun rudi(check, setup, L"colours", Configuration{});
    rudi.start();
    HWND main = rudi.waitForMainWindow();
    const std::uint32_t face = fromColorRef(GetSysColor(COLOR_BTNFACE));
    constexpr std::uint32_t red = rgb(0xFF, 0x00, 0x00);
    constexpr std::uint32_t black = rgb(0x00, 0x00, 0x00);
    constexpr std::uint32_t navy = rgb(0x00, 0x00, 0x80);
    constexpr std::uint32_t white = rgb(0xFF, 0xFF, 0xFF);
    const auto rect = [&](int id) { return windowRect(rudi.control(id)); };

    HWND countdown = rudi.control(ids::countdownLabel);
    waitUntil([&] { return !windowText(countdown).empty(); }, 3000);
    std::vector<ScreenExpectation> reminder = {
        // The group boxes' captions, in the top strip where they interrupt the frame.
        textColour(L"分组框1 caption", screenPart(rudi.control(ids::restGroup), 0, 0, 100, 14), red,
                   face),
        textColour(L"分组框2 caption", screenPart(rudi.control(ids::eventGroup), 0, 0, 100, 14),
                   red, face),
        // 标签1 left of 编辑框1, which covers the middle of it.
        textColour(L"标签1 text", screenPart(rudi.control(ids::intervalLabel), 0, 0, 60, 0), black,
                   face),
        textColour(L"标签2 text", rect(ids::restMessageLabel), black, face),
        textColour(L"标签3 text", rect(ids::eventTimeLabel), black, face),
        textColour(L"标签4 text", rect(ids::eventMessageLabel), black, face),
        textColour(L"标签7 countdown text", rect(ids::countdownLabel), red, face),
        filled(L"标签7 background right of its text", screenPart(countdown, -12, 0, 0, 0), face),
    };
    for (const auto& [id, name] : {std::pair{ids::restMessageEdit, L"编辑框2"},
                                   std::pair{ids::eventMessageEdit, L"编辑框3"}}) {
        // Inside the sunken border, whose grey lines would count as black.
        reminder.push_back(textColour(std::wstring(name) + L" text",
                                      screenPart(rudi.control(id), 3, 3, -3, -3), black, white));
        // The inside of the sunken border, right of and below any text.
        reminder.push_back(filled(std::wstring(name) + L" background",
                                  screenPart(rudi.control(id), -20, -7, -4, -3), white));
    }
    // Between the tab control's bottom (y 235) and the buttons (y 240).
    POINT client{0, 0};
    ClientToScreen(main, &client);
    reminder.push_back(filled(L"window background below the tab control",
                              {client.x + 190, client.y + 236, client.x + 240, client.y + 240},
                              face));
    expectOnScreen(check, reminder, 3000);

    if (!clickPage(check, rudi, 1)) {
        return;
    }
    std::vector<ScreenExpectation> about = {
        textColour(L"标签5 text", rect(ids::aboutLabel), black, face),
        textColour(L"标签8 text", rect(ids::makerLabel), red, face),
        // Underlined, so a solid run of its colour.
        textColour(L"标签9 text", rect(ids::linkLabel), navy, face),
    };
    if (setup.banner.empty()) {
        check.note(L"no --banner given: the picture is not compared");
    } else {
        std::wstring error;
        if (const std::optional<Image> picture = loadImage(setup.banner, error)) {
            about.push_back(showsPicture(L"图片框1", rect(ids::banner), *picture));
        } else {
            check.fail(error);
        }
    }
    expectOnScreen(check, about, 3000);
}

} // namespace e2e
