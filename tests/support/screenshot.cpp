#include "screenshot.h"

#include <objidl.h>
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

#include <cstdlib>
#include <vector>

namespace kvrtest {

namespace {

bool PngEncoder(CLSID* clsid) {
    UINT count = 0, size = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) return false;
    std::vector<BYTE> buffer(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, size, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (wcscmp(codecs[i].MimeType, L"image/png") == 0) {
            *clsid = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

void PumpPaints() {
    MSG msg;
    for (int round = 0; round < 5; ++round) {
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(30);
    }
}

}  // namespace

std::wstring ScreensDir() {
    const wchar_t* dir = _wgetenv(L"KVR_SCREENS_DIR");
    if (!dir || !*dir) return L"";
    std::wstring path = dir;
    if (path[0] == L'/') path = L"Z:" + path;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    ::CreateDirectoryW(path.c_str(), nullptr);
    return path;
}

bool SaveScreenRect(const RECT& rc, const wchar_t* name) {
    const std::wstring dir = ScreensDir();
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    if (dir.empty() || w <= 0 || h <= 0) return false;
    PumpPaints();

    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return false;
    bool saved = false;
    HDC screen = ::GetDC(nullptr);
    HDC mem = ::CreateCompatibleDC(screen);
    HBITMAP bmp = ::CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = ::SelectObject(mem, bmp);
    ::BitBlt(mem, 0, 0, w, h, screen, rc.left, rc.top, SRCCOPY | CAPTUREBLT);
    ::SelectObject(mem, old);
    {
        Gdiplus::Bitmap image(bmp, nullptr);
        CLSID png;
        const std::wstring file = dir + L"\\" + name + L".png";
        saved = PngEncoder(&png) && image.Save(file.c_str(), &png, nullptr) == Gdiplus::Ok;
    }
    ::DeleteObject(bmp);
    ::DeleteDC(mem);
    ::ReleaseDC(nullptr, screen);
    Gdiplus::GdiplusShutdown(token);
    return saved;
}

bool SaveWindowShot(HWND hwnd, const wchar_t* name) {
    RECT rc{};
    if (!::GetWindowRect(hwnd, &rc)) return false;
    return SaveScreenRect(rc, name);
}

bool SaveScreenShot(const wchar_t* name) {
    const RECT rc{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    return SaveScreenRect(rc, name);
}

}  // namespace kvrtest
