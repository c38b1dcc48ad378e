#include "tests/e2e/driver/screen.h"

#include "runtime/win32/com_ptr.h"

#include <initguid.h> // the WIC class and interface identifiers are defined in this file

#include <wincodec.h>

#include <algorithm>
#include <memory>
#include <type_traits>
#include <unordered_set>

namespace e2e {

using rudi::win32::ComPtr;

namespace {

// A device context of the screen, released on destruction.
class ScreenDc {
  public:
    ScreenDc() : dc_(GetDC(nullptr)) {}
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    ~ScreenDc() {
        if (dc_ != nullptr) {
            ReleaseDC(nullptr, dc_);
        }
    }
    HDC get() const { return dc_; }

  private:
    HDC dc_;
};

// A memory device context with a top-down 32-bit DIB selected into it.
class DibCanvas {
  public:
    DibCanvas(HDC compatible, int width, int height) : dc_(CreateCompatibleDC(compatible)) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
        if (dc_ != nullptr && bitmap_ != nullptr) {
            old_ = SelectObject(dc_, bitmap_);
        }
        width_ = width;
        height_ = height;
    }
    DibCanvas(const DibCanvas&) = delete;
    DibCanvas& operator=(const DibCanvas&) = delete;
    ~DibCanvas() {
        if (old_ != nullptr) {
            SelectObject(dc_, old_);
        }
        if (bitmap_ != nullptr) {
            DeleteObject(bitmap_);
        }
        if (dc_ != nullptr) {
            DeleteDC(dc_);
        }
    }
    bool valid() const { return old_ != nullptr; }
    HDC dc() const { return dc_; }

    Image image() const {
        Image out;
        if (!valid()) {
            return out;
        }
        GdiFlush();
        out.width = width_;
        out.height = height_;
        const auto* source = static_cast<const std::uint32_t*>(bits_);
        out.pixels.assign(source, source + static_cast<std::size_t>(width_) * height_);
        for (std::uint32_t& p : out.pixels) {
            p &= 0xFFFFFF; // BGRA in memory reads as 0xAARRGGBB
        }
        return out;
    }

  private:
    HDC dc_;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    void* bits_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

RECT clipped(const Image& image, const RECT& area) {
    return {std::max<LONG>(area.left, 0), std::max<LONG>(area.top, 0),
            std::min<LONG>(area.right, image.width), std::min<LONG>(area.bottom, image.height)};
}

} // namespace

std::uint32_t fromColorRef(COLORREF colour) {
    return rgb(GetRValue(colour), GetGValue(colour), GetBValue(colour));
}

std::wstring colourName(std::uint32_t colour) {
    wchar_t name[8];
    swprintf(name, 8, L"#%06X", static_cast<unsigned>(colour & 0xFFFFFF));
    return name;
}

Image captureScreen() {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    ScreenDc screen;
    DibCanvas canvas(screen.get(), width, height);
    if (screen.get() == nullptr || !canvas.valid() ||
        !BitBlt(canvas.dc(), 0, 0, width, height, screen.get(), 0, 0, SRCCOPY)) {
        return {};
    }
    return canvas.image();
}

bool savePng(const Image& image, const std::filesystem::path& file, std::wstring& error) {
    const auto failed = [&error](const wchar_t* step, HRESULT hr) {
        wchar_t code[16];
        swprintf(code, 16, L"%08lX", static_cast<unsigned long>(hr));
        error = std::wstring(step) + L" failed (" + code + L")";
        return false;
    };
    if (image.empty()) {
        error = L"no image";
        return false;
    }
    ComPtr<IWICImagingFactory> factory;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IWICImagingFactory, factory.putVoid());
    if (FAILED(hr)) {
        return failed(L"creating the imaging factory", hr);
    }
    ComPtr<IWICStream> stream;
    if (FAILED(hr = factory->CreateStream(stream.put())) ||
        FAILED(hr = stream->InitializeFromFilename(file.c_str(), GENERIC_WRITE))) {
        return failed(L"opening the file", hr);
    }
    ComPtr<IWICBitmapEncoder> encoder;
    if (FAILED(hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put())) ||
        FAILED(hr = encoder->Initialize(stream.get(), WICBitmapEncoderNoCache))) {
        return failed(L"creating the PNG encoder", hr);
    }
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    if (FAILED(hr = encoder->CreateNewFrame(frame.put(), options.put())) ||
        FAILED(hr = frame->Initialize(options.get())) ||
        FAILED(
            hr = frame->SetSize(static_cast<UINT>(image.width), static_cast<UINT>(image.height)))) {
        return failed(L"creating the frame", hr);
    }
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    if (FAILED(hr = frame->SetPixelFormat(&format)) ||
        !IsEqualGUID(format, GUID_WICPixelFormat24bppBGR)) {
        return failed(L"choosing 24-bit pixels", hr);
    }
    const UINT stride = (static_cast<UINT>(image.width) * 3 + 3) & ~3u;
    std::vector<BYTE> rows(static_cast<std::size_t>(stride) * image.height);
    for (int y = 0; y < image.height; ++y) {
        BYTE* row = rows.data() + static_cast<std::size_t>(y) * stride;
        for (int x = 0; x < image.width; ++x) {
            const std::uint32_t p = image.at(x, y);
            row[x * 3] = static_cast<BYTE>(p);
            row[x * 3 + 1] = static_cast<BYTE>(p >> 8);
            row[x * 3 + 2] = static_cast<BYTE>(p >> 16);
        }
    }
    if (FAILED(hr = frame->WritePixels(static_cast<UINT>(image.height), stride,
                                       static_cast<UINT>(rows.size()), rows.data())) ||
        FAILED(hr = frame->Commit()) || FAILED(hr = encoder->Commit())) {
        return failed(L"writing the pixels", hr);
    }
    return true;
}

std::optional<Image> loadImage(const std::filesystem::path& file, std::wstring& error) {
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;
    UINT width = 0, height = 0;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, factory.putVoid())) ||
        FAILED(factory->CreateDecoderFromFilename(file.c_str(), nullptr, GENERIC_READ,
                                                  WICDecodeMetadataCacheOnDemand, decoder.put())) ||
        FAILED(decoder->GetFrame(0, frame.put())) ||
        FAILED(factory->CreateFormatConverter(converter.put())) ||
        FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGR,
                                     WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom)) ||
        FAILED(converter->GetSize(&width, &height)) || width == 0 || height == 0) {
        error = L"cannot decode " + file.wstring();
        return std::nullopt;
    }
    Image image;
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.pixels.resize(static_cast<std::size_t>(width) * height);
    if (FAILED(converter->CopyPixels(nullptr, width * 4, width * height * 4,
                                     reinterpret_cast<BYTE*>(image.pixels.data())))) {
        error = L"cannot read the pixels of " + file.wstring();
        return std::nullopt;
    }
    for (std::uint32_t& p : image.pixels) {
        p &= 0xFFFFFF;
    }
    return image;
}

int countColour(const Image& image, const RECT& area, std::uint32_t colour) {
    const RECT r = clipped(image, area);
    int count = 0;
    for (LONG y = r.top; y < r.bottom; ++y) {
        for (LONG x = r.left; x < r.right; ++x) {
            count += image.at(x, y) == colour ? 1 : 0;
        }
    }
    return count;
}

int countTextPixels(const Image& image, const RECT& area, std::uint32_t colour,
                    std::uint32_t background) {
    const auto channel = [](std::uint32_t c, int shift) {
        return static_cast<double>((c >> shift) & 0xFF);
    };
    double toward[3], length = 0;
    for (int k = 0; k < 3; ++k) {
        toward[k] = channel(colour, 16 - 8 * k) - channel(background, 16 - 8 * k);
        length += toward[k] * toward[k];
    }
    if (length == 0) {
        return 0;
    }
    const RECT r = clipped(image, area);
    int count = 0;
    for (LONG y = r.top; y < r.bottom; ++y) {
        for (LONG x = r.left; x < r.right; ++x) {
            double offset[3], along = 0;
            for (int k = 0; k < 3; ++k) {
                offset[k] = channel(image.at(x, y), 16 - 8 * k) - channel(background, 16 - 8 * k);
                along += offset[k] * toward[k];
            }
            along /= length; // 0 at the background, 1 at the text colour
            double away = 0; // squared distance from the line between the two
            for (int k = 0; k < 3; ++k) {
                const double d = offset[k] - std::clamp(along, 0.0, 1.0) * toward[k];
                away += d * d;
            }
            count += along >= 0.3 && away <= 24.0 * 24.0 ? 1 : 0;
        }
    }
    return count;
}

int distinctColours(const Image& image, const RECT& area) {
    const RECT r = clipped(image, area);
    std::unordered_set<std::uint32_t> seen;
    for (LONG y = r.top; y < r.bottom; ++y) {
        for (LONG x = r.left; x < r.right; ++x) {
            seen.insert(image.at(x, y));
        }
    }
    return static_cast<int>(seen.size());
}

IconPixels iconPixels(HICON icon, int size) {
    ScreenDc screen;
    DibCanvas onWhite(screen.get(), size, size);
    DibCanvas onBlack(screen.get(), size, size);
    IconPixels out;
    if (!onWhite.valid() || !onBlack.valid()) {
        return out;
    }
    const RECT all{0, 0, size, size};
    FillRect(onWhite.dc(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    FillRect(onBlack.dc(), &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    DrawIconEx(onWhite.dc(), 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    DrawIconEx(onBlack.dc(), 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    const Image white = onWhite.image();
    const Image black = onBlack.image();
    out.colours = white;
    out.opaque.resize(white.pixels.size());
    for (std::size_t i = 0; i < white.pixels.size(); ++i) {
        out.opaque[i] = white.pixels[i] == black.pixels[i];
    }
    return out;
}

IconPixels iconFilePixels(const std::filesystem::path& file, int size) {
    const std::unique_ptr<std::remove_pointer_t<HICON>, decltype(&DestroyIcon)> icon(
        static_cast<HICON>(
            LoadImageW(nullptr, file.c_str(), IMAGE_ICON, size, size, LR_LOADFROMFILE)),
        &DestroyIcon);
    if (icon == nullptr) {
        return {};
    }
    return iconPixels(icon.get(), size);
}

std::optional<POINT> findIcon(const Image& image, const RECT& area, const IconPixels& icon,
                              double share) {
    const int size = icon.colours.width;
    int opaque = 0;
    for (bool o : icon.opaque) {
        opaque += o ? 1 : 0;
    }
    if (size == 0 || opaque == 0) {
        return std::nullopt;
    }
    const int needed = static_cast<int>(share * opaque);
    const RECT r = clipped(image, area);
    for (LONG y = r.top; y + size <= r.bottom; ++y) {
        for (LONG x = r.left; x + size <= r.right; ++x) {
            int same = 0, missed = 0;
            for (int i = 0; i < size * size && missed <= opaque - needed; ++i) {
                if (!icon.opaque[static_cast<std::size_t>(i)]) {
                    continue;
                }
                const bool hit = image.at(x + i % size, y + i / size) ==
                                 icon.colours.pixels[static_cast<std::size_t>(i)];
                same += hit ? 1 : 0;
                missed += hit ? 0 : 1;
            }
            if (same >= needed) {
                return POINT{x, y};
            }
        }
    }
    return std::nullopt;
}

} // namespace e2e
