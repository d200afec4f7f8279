#include "ui/img_progress.h"

#include <commctrl.h>
#include <cwchar>

#include "ui/image.h"
#include "ui/paint_util.h"

namespace kvr {

ProgressFill ComputeProgressFill(int fillWidth, int lower, int upper, int pos) {
    ProgressFill f;
    if (upper == lower || fillWidth <= 0) return f;  // nothing to divide by
    const double range = static_cast<double>(upper) - lower;
    // Measured from the lower bound; a position outside the range is held
    // to its ends (the standard control does the same).
    double done = static_cast<double>(pos) - lower;
    if (done < 0) done = 0;
    if (done > range) done = range;
    f.length = static_cast<int>(fillWidth / range * done);
    if (f.length > fillWidth) f.length = fillWidth;
    f.firstWidth = f.length / 2;
    f.secondWidth = f.length - f.firstWidth;
    f.secondSrcX = fillWidth - f.secondWidth;
    f.hasPercent = true;
    f.percent = static_cast<int>(done * 100 / range);
    return f;
}

CImgProgress::~CImgProgress() = default;

BOOL CImgProgress::SubclassDlgItem(HWND dialog, int id) {
    HWND h = ::GetDlgItem(dialog, id);
    return h && SubclassWindow(h);
}

void CImgProgress::SetImages(HBITMAP background, HBITMAP fill) {
    // The same bitmap given again stays.
    if (background != m_background.get()) m_background.reset(background);
    if (fill != m_fill.get()) m_fill.reset(fill);
    const SIZE bg = BitmapSize(background), fl = BitmapSize(fill);
    if (m_hWnd)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, bg.cx, bg.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The bar is the background's size (set anew, so a second call does
    // not grow it twice).
    m_barRect = RECT{0, 0, bg.cx, bg.cy};
    const int dx = (m_barRect.right - m_barRect.left - fl.cx) / 2;
    const int dy = (m_barRect.bottom - m_barRect.top - fl.cy) / 2;
    m_fillRect = RECT{m_barRect.left + dx, m_barRect.top + dy, m_barRect.left + dx + fl.cx,
                      m_barRect.top + dy + fl.cy};
    if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CImgProgress::SetShowPercent(bool on) {
    m_showPercent = on;
    if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CImgProgress::SetTextColor(COLORREF color) {
    m_textColor = color;
    if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

int CImgProgress::GetPos() const {
    return static_cast<int>(::SendMessageW(m_hWnd, PBM_GETPOS, 0, 0));
}

void CImgProgress::GetRange(int* lower, int* upper) const {
    PBRANGE range{0, 0};
    ::SendMessageW(m_hWnd, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
    if (lower) *lower = range.iLow;
    if (upper) *upper = range.iHigh;
}

LRESULT CImgProgress::OnPaint(UINT, WPARAM, LPARAM, BOOL&) {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    Draw(dc);
    ::EndPaint(m_hWnd, &ps);
    return 0;
}

void CImgProgress::Draw(HDC target) {
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    const int w = m_background ? m_barRect.right - m_barRect.left : client.right;
    const int h = m_background ? m_barRect.bottom - m_barRect.top : client.bottom;
    CMemoryDC mem(target, w, h);
    if (!mem.ok()) return;
    HDC dc = mem.dc();
    PaintParentBackground(m_hWnd, dc);

    int lower = 0, upper = 0;
    GetRange(&lower, &upper);
    const SIZE fl = BitmapSize(m_fill.get());
    const ProgressFill f = ComputeProgressFill(fl.cx, lower, upper, GetPos());
    {
        const OwnedMemoryDc src(::CreateCompatibleDC(target));
        HGDIOBJ old = nullptr;
        if (m_background) {
            const SIZE bg = BitmapSize(m_background.get());
            old = ::SelectObject(src.get(), m_background.get());
            ::GdiTransparentBlt(dc, 0, 0, w, h, src.get(), 0, 0, bg.cx, bg.cy, kMaskColor);
        }
        if (m_fill && f.length > 0) {
            HGDIOBJ prev = ::SelectObject(src.get(), m_fill.get());
            if (!old) old = prev;
            const int x = m_fillRect.left, y = m_fillRect.top;
            if (f.firstWidth > 0)
                ::GdiTransparentBlt(dc, x, y, f.firstWidth, fl.cy, src.get(), 0, 0, f.firstWidth, fl.cy,
                                 kMaskColor);
            if (f.secondWidth > 0)
                ::GdiTransparentBlt(dc, x + f.firstWidth, y, f.secondWidth, fl.cy, src.get(), f.secondSrcX, 0,
                                 f.secondWidth, fl.cy, kMaskColor);
        }
        if (old) ::SelectObject(src.get(), old);  // before the DC goes
    }

    if (m_showPercent && f.hasPercent) {
        wchar_t text[8];
        swprintf(text, 8, L"%d%%", f.percent);
        HFONT font = reinterpret_cast<HFONT>(::SendMessageW(m_hWnd, WM_GETFONT, 0, 0));
        if (!font) font = reinterpret_cast<HFONT>(::SendMessageW(::GetParent(m_hWnd), WM_GETFONT, 0, 0));
        HGDIOBJ oldFont = ::SelectObject(dc, font ? static_cast<HGDIOBJ>(font) : ::GetStockObject(DEFAULT_GUI_FONT));
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, m_textColor);
        RECT rc{0, 0, w, h};
        ::DrawTextW(dc, text, -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        ::SelectObject(dc, oldFont);
    }
    mem.CopyTo(target);
}

}  // namespace kvr
