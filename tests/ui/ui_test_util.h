// Helpers of the skinned-control tests: synthetic bitmaps, a skinned test
// dialog, real mouse input and screen pixels.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "res/resource.h"
#include "ui/dlg_ex.h"

namespace kvrtest {

// A 32-bit top-down DIB section filled by color(x, y).
inline HBITMAP MakeBitmap(int w, int h, const std::function<COLORREF(int, int)>& color) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bmp = ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    auto* px = static_cast<DWORD*>(bits);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const COLORREF c = color(x, y);
            px[y * w + x] = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
        }
    return bmp;
}

// Runs this thread's messages for about ms milliseconds.
inline void Pump(DWORD ms) {
    const ULONGLONG end = ::GetTickCount64() + ms;
    do {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!kvr::CMessageLoop::Current().PreTranslate(&msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
        ::Sleep(10);
    } while (::GetTickCount64() < end);
}

// Runs this thread's messages until done() holds, for at most timeoutMs;
// true when it held. What real input starts comes when the system delivers
// it, not within a fixed time.
template <class Pred>
bool PumpUntil(Pred done, DWORD timeoutMs = 5000) {
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    while (!done()) {
        if (::GetTickCount64() >= end) return false;
        Pump(0);
    }
    return true;
}

// What the screen shows at a point.
inline COLORREF ScreenPixel(int x, int y) {
    HDC dc = ::GetDC(nullptr);
    const COLORREF c = ::GetPixel(dc, x, y);
    ::ReleaseDC(nullptr, dc);
    return c;
}

// What the screen shows in a rectangle, row by row (COLORREF values).
inline std::vector<COLORREF> ScreenPixels(const RECT& rc) {
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    std::vector<COLORREF> out;
    if (w <= 0 || h <= 0) return out;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = ::GetDC(nullptr);
    HBITMAP dib = ::CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC mem = ::CreateCompatibleDC(screen);
    HGDIOBJ old = ::SelectObject(mem, dib);
    ::BitBlt(mem, 0, 0, w, h, screen, rc.left, rc.top, SRCCOPY);
    ::GdiFlush();
    const auto* px = static_cast<const DWORD*>(bits);
    for (int i = 0; i < w * h; ++i)
        out.push_back(RGB((px[i] >> 16) & 0xFF, (px[i] >> 8) & 0xFF, px[i] & 0xFF));
    ::SelectObject(mem, old);
    ::DeleteDC(mem);
    ::DeleteObject(dib);
    ::ReleaseDC(nullptr, screen);
    return out;
}

// What a window of the program's skin shows on the screen (it must be on
// top): the deep-blue caption band across row 27, the light body at the
// bottom left, and at least a few dark grey pixels of text inside
// `textArea` (window coordinates). Empty when all is there, else what is
// missing.
inline std::string SkinProblems(HWND hwnd, const RECT& textArea) {
    RECT rc{};
    if (!::GetWindowRect(hwnd, &rc)) return "no window";
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    if (w < 40 || h < 40) return "window too small";
    const std::vector<COLORREF> px = ScreenPixels(rc);
    auto at = [&](int x, int y) { return px[static_cast<size_t>(y) * w + x]; };
    std::string problems;
    // The band's blue (its palette runs from (47, 117, 192) to (24, 78, 145)).
    int band = 0;
    for (int x = w / 4; x < w * 3 / 4; ++x)
        if (GetBValue(at(x, 27)) > GetRValue(at(x, 27)) + 80) ++band;
    if (band < w / 4) problems += "no caption band; ";
    const COLORREF body = at(10, h - 10);
    if (GetRValue(body) < 200 || GetGValue(body) < 200 || GetBValue(body) < 200) problems += "no light body; ";
    int dark = 0;
    for (int y = std::max(0L, textArea.top); y < std::min(static_cast<LONG>(h), textArea.bottom); ++y)
        for (int x = std::max(0L, textArea.left); x < std::min(static_cast<LONG>(w), textArea.right); ++x) {
            const COLORREF c = at(x, y);
            // Grey to black: not the blue of the band or the frame line.
            if (GetRValue(c) + GetGValue(c) + GetBValue(c) < 300 && GetBValue(c) < GetRValue(c) + 40) ++dark;
        }
    if (dark < 8) problems += "no text; ";
    return problems;
}

// The size a window's own font gives a text (DrawTextW with DT_CALCRECT).
inline RECT MeasuredText(HWND window, const wchar_t* text) {
    HDC dc = ::GetDC(window);
    HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0)));
    RECT rc{0, 0, 0, 0};
    ::DrawTextW(dc, text, -1, &rc, DT_CALCRECT);
    ::SelectObject(dc, old);
    ::ReleaseDC(window, dc);
    return rc;
}

// A point of a window's client area on the screen.
inline POINT ClientToScreenPt(HWND h, int x, int y) {
    POINT p{x, y};
    ::ClientToScreen(h, &p);
    return p;
}

inline void SendMouse(DWORD flags, int x = 0, int y = 0) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    if (flags & MOUSEEVENTF_ABSOLUTE) {
        const int sw = ::GetSystemMetrics(SM_CXSCREEN), sh = ::GetSystemMetrics(SM_CYSCREEN);
        in.mi.dx = (x * 65535 + sw / 2) / (sw - 1);
        in.mi.dy = (y * 65535 + sh / 2) / (sh - 1);
    }
    ::SendInput(1, &in, sizeof(in));
}

inline void MoveMouse(POINT p) {
    ::SetCursorPos(p.x, p.y);
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, p.x, p.y);
}

// A real left click at a screen point. Press and release are queued
// together, so a modal loop that the press starts (dragging by the caption)
// finds its release. `pump`: run this thread's messages (false when another
// thread owns the window).
inline void ClickAt(POINT p, bool pump = true) {
    MoveMouse(p);
    if (pump) Pump(50); else ::Sleep(50);
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    SendMouse(MOUSEEVENTF_LEFTUP);
    if (pump) Pump(100); else ::Sleep(100);
}

// A drag with the left button from one screen point to another.
inline void DragFromTo(POINT from, POINT to) {
    MoveMouse(from);
    Pump(50);
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, (from.x + to.x) / 2, (from.y + to.y) / 2);
    SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, to.x, to.y);
    SendMouse(MOUSEEVENTF_LEFTUP);
    Pump(200);
}

// A skinned dialog on the message box's template (an empty popup) whose
// initialisation the test supplies.
class SkinTestDlg : public kvr::CDlgEx {
public:
    std::function<void(SkinTestDlg&)> init;
    std::vector<UINT> commands;  // ids of WM_COMMAND received
    SkinTestDlg() : CDlgEx(IDD_MESSAGE_BOX) {}

    BEGIN_MSG_MAP(SkinTestDlg)
        MESSAGE_HANDLER(WM_COMMAND, OnCommand)
        CHAIN_MSG_MAP(CDlgEx)
    END_MSG_MAP()

protected:
    LRESULT OnCommand(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
        commands.push_back(LOWORD(wParam));
        handled = FALSE;
        return 0;
    }

    BOOL OnInitDialog() override {
        if (init) init(*this);
        return TRUE;
    }
};

inline void InitControls() {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&icc);
}

}  // namespace kvrtest
