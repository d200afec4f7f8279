#include "login/login_picture.h"

#include "base/system_library.h"
#include "login/login_bk_dlg.h"
#include "ui/gdiplus_include.h"
#include "ui/image.h"
#include "ui/window.h"

namespace kvr {

std::unique_ptr<LoginPicture> LoginPicture::Start() {
    std::unique_ptr<LoginPicture> picture(new LoginPicture);
    picture->m_thread.reset(::CreateThread(nullptr, 0, Make, picture.get(), 0, nullptr));
    if (!picture->m_thread) Make(picture.get());
    return picture;
}

LoginPicture::~LoginPicture() {
    if (m_thread) ::WaitForSingleObject(m_thread.get(), INFINITE);
}

HBITMAP LoginPicture::Take(SIZE* size) {
    if (m_thread) ::WaitForSingleObject(m_thread.get(), INFINITE);
    if (size) *size = m_size;
    return m_bitmap.release();
}

DWORD WINAPI LoginPicture::Make(LPVOID param) {
    // GDI+ of its own: the picture begins before the process starts GDI+ for
    // its windows.
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (!EnsureSystemLibrary(L"gdiplus.dll") || Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok)
        return 0;
    static_cast<LoginPicture*>(param)->MakeBitmap();
    Gdiplus::GdiplusShutdown(token);
    return 0;
}

void LoginPicture::MakeBitmap() {
    const ComPtr<IStream> stream = PngResourceStream(ModuleInstance(), kLoginBackgroundPng);
    if (!stream) return;
    const std::unique_ptr<Gdiplus::Bitmap> image(Gdiplus::Bitmap::FromStream(stream.Get()));
    if (!image || image->GetLastStatus() != Gdiplus::Ok) return;
    const UINT width = image->GetWidth(), height = image->GetHeight();
    if (!width || !height) return;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = static_cast<LONG>(width);
    bi.bmiHeader.biHeight = -static_cast<LONG>(height);
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    OwnedBitmap bitmap(::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || !bits) return;
    // GDI+ writes the rows straight into the bitmap: what drawing the picture
    // at its natural size onto the cleared bitmap leaves there.
    Gdiplus::Rect whole(0, 0, static_cast<INT>(width), static_cast<INT>(height));
    Gdiplus::BitmapData rows{};
    rows.Width = width;
    rows.Height = height;
    rows.Stride = static_cast<INT>(width * 4);
    rows.PixelFormat = PixelFormat32bppPARGB;
    rows.Scan0 = bits;
    if (image->LockBits(&whole, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf,
                        PixelFormat32bppPARGB, &rows) != Gdiplus::Ok ||
        image->UnlockBits(&rows) != Gdiplus::Ok)
        return;
    ::GdiFlush();
    m_bitmap = std::move(bitmap);
    m_size = SIZE{static_cast<LONG>(width), static_cast<LONG>(height)};
}

}  // namespace kvr
