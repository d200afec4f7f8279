#include "ui/image.h"

#include "base/owned.h"
#include "base/system_library.h"
#include "ui/gdiplus_include.h"
#include "ui/window.h"

namespace kvr {

std::uint32_t ConvertArgbPixel(std::uint32_t argb, COLORREF mask) {
    const std::uint32_t a = argb >> 24;
    if (a == 0)
        return (std::uint32_t(GetRValue(mask)) << 16) | (std::uint32_t(GetGValue(mask)) << 8) |
               GetBValue(mask);
    if (a == 255) return argb & 0x00FFFFFFu;
    // The colour blended over white.
    auto blend = [a](std::uint32_t c) { return (65025u - a * (255u - c)) / 255u; };
    const std::uint32_t r = blend((argb >> 16) & 0xFF);
    const std::uint32_t g = blend((argb >> 8) & 0xFF);
    const std::uint32_t b = blend(argb & 0xFF);
    return (r << 16) | (g << 8) | b;
}

HBITMAP PngToBitmap(Gdiplus::Bitmap* image, COLORREF mask) {
    if (!image) return nullptr;
    const UINT w = image->GetWidth(), h = image->GetHeight();
    if (w == 0 || h == 0) return nullptr;

    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = static_cast<LONG>(w);
    bi.bmiHeader.biHeight = static_cast<LONG>(h);  // bottom-up
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    OwnedBitmap dib;
    {
        const WindowDc screen(nullptr);
        dib.reset(::CreateDIBSection(screen.get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    }
    if (!dib || !bits) return nullptr;

    Gdiplus::Rect rc(0, 0, static_cast<INT>(w), static_cast<INT>(h));
    Gdiplus::BitmapData data{};
    if (image->LockBits(&rc, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) !=
        Gdiplus::Ok)
        return nullptr;
    auto* out = static_cast<std::uint32_t*>(bits);
    for (UINT i = 0; i < h; ++i) {
        const auto* src = reinterpret_cast<const std::uint32_t*>(
            static_cast<const BYTE*>(data.Scan0) + static_cast<INT_PTR>(i) * data.Stride);
        std::uint32_t* dst = out + static_cast<size_t>(h - 1 - i) * w;  // keep it upright
        for (UINT x = 0; x < w; ++x) dst[x] = ConvertArgbPixel(src[x], mask);
    }
    image->UnlockBits(&data);
    ::GdiFlush();
    return dib.release();
}

namespace {

// GDI+ for the duration of one load.
class GdiplusSession {
public:
    GdiplusSession() {
        Gdiplus::GdiplusStartupInput input;
        m_ok = EnsureSystemLibrary(L"gdiplus.dll") &&
               Gdiplus::GdiplusStartup(&m_token, &input, nullptr) == Gdiplus::Ok;
    }
    ~GdiplusSession() {
        if (m_ok) Gdiplus::GdiplusShutdown(m_token);
    }
    bool ok() const { return m_ok; }

private:
    ULONG_PTR m_token = 0;
    bool m_ok = false;
};

}  // namespace

ComPtr<IStream> PngResourceStream(HINSTANCE module, UINT id) {
    HRSRC res = ::FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
    if (!res) return nullptr;
    const DWORD size = ::SizeofResource(module, res);
    HGLOBAL loaded = ::LoadResource(module, res);
    const void* src = loaded ? ::LockResource(loaded) : nullptr;
    if (!src || size == 0) return nullptr;
    OwnedGlobal mem(::GlobalAlloc(GMEM_MOVEABLE, size));
    if (!mem) return nullptr;
    void* dst = ::GlobalLock(mem.get());
    if (!dst) return nullptr;
    memcpy(dst, src, size);
    ::GlobalUnlock(mem.get());
    ComPtr<IStream> stream;
    if (FAILED(::CreateStreamOnHGlobal(mem.get(), TRUE, stream.GetAddressOf()))) return nullptr;
    mem.release();  // the stream's now
    return stream;
}

HBITMAP LoadSkinImage(HINSTANCE module, UINT id) {
    GdiplusSession gdiplus;
    if (HBITMAP plain = ::LoadBitmapW(module, MAKEINTRESOURCEW(id))) return plain;
    if (!gdiplus.ok()) return nullptr;
    const ComPtr<IStream> stream = PngResourceStream(module, id);
    if (!stream) return nullptr;
    HBITMAP result = nullptr;
    if (Gdiplus::Bitmap* image = Gdiplus::Bitmap::FromStream(stream.Get())) {
        if (image->GetLastStatus() == Gdiplus::Ok) {
            result = PngToBitmap(image, kMaskColor);
            if (!result) image->GetHBITMAP(Gdiplus::Color(0xFFFF00FF), &result);
        }
        delete image;
    }
    return result;
}

HBITMAP LoadSkinImage(UINT id) { return LoadSkinImage(ModuleInstance(), id); }

SIZE BitmapSize(HBITMAP bmp) {
    BITMAP bm{};
    if (!bmp || !::GetObjectW(bmp, sizeof(bm), &bm)) return SIZE{0, 0};
    return SIZE{bm.bmWidth, bm.bmHeight};
}

HIMAGELIST MaskedImageList(HBITMAP strip, int frames) {
    const SIZE size = BitmapSize(strip);
    if (frames <= 0 || size.cx / frames <= 0 || size.cy <= 0) return nullptr;
    HIMAGELIST list = ImageList_Create(size.cx / frames, size.cy, ILC_COLOR24 | ILC_MASK, frames, 0);
    if (!list) return nullptr;
    // Adding with a mask colour blackens those pixels of the source: add a copy.
    const OwnedBitmap copy(static_cast<HBITMAP>(::CopyImage(strip, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    ImageList_AddMasked(list, copy ? copy.get() : strip, kMaskColor);
    return list;
}

std::vector<std::uint32_t> ReadBitmapPixels(HBITMAP bmp, SIZE* size) {
    const SIZE sz = BitmapSize(bmp);
    if (size) *size = sz;
    std::vector<std::uint32_t> pixels;
    if (sz.cx <= 0 || sz.cy <= 0) return pixels;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = sz.cx;
    bi.bmiHeader.biHeight = -sz.cy;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    pixels.resize(static_cast<size_t>(sz.cx) * sz.cy);
    int rows = 0;
    {
        const WindowDc screen(nullptr);
        rows = ::GetDIBits(screen.get(), bmp, 0, static_cast<UINT>(sz.cy), pixels.data(), &bi, DIB_RGB_COLORS);
    }
    if (rows != sz.cy) pixels.clear();
    for (auto& p : pixels) p &= 0x00FFFFFFu;
    return pixels;
}

}  // namespace kvr
