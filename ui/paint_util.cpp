#include "ui/paint_util.h"

namespace kvr {

CMemoryDC::CMemoryDC(HDC reference, int width, int height)
    : m_width(width > 0 ? width : 1), m_height(height > 0 ? height : 1) {
    m_dc.reset(::CreateCompatibleDC(reference));
    m_bitmap.reset(::CreateCompatibleBitmap(reference, m_width, m_height));
    if (m_dc && m_bitmap) m_old = ::SelectObject(m_dc.get(), m_bitmap.get());
}

CMemoryDC::~CMemoryDC() {
    // The bitmap leaves the DC before either is deleted (the members, bitmap
    // first).
    if (m_old) ::SelectObject(m_dc.get(), m_old);
}

void CMemoryDC::CopyTo(HDC target, int x, int y) const {
    if (ok()) ::BitBlt(target, x, y, m_width, m_height, m_dc.get(), 0, 0, SRCCOPY);
}

void PaintParentBackground(HWND child, HDC dc) {
    HWND parent = ::GetParent(child);
    if (!parent) return;
    RECT rcChild{}, rcParent{};
    ::GetWindowRect(child, &rcChild);
    ::GetWindowRect(parent, &rcParent);
    POINT old{};
    ::SetViewportOrgEx(dc, rcParent.left - rcChild.left, rcParent.top - rcChild.top, &old);
    ::SendMessageW(parent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    ::SetViewportOrgEx(dc, old.x, old.y, nullptr);
}

HFONT DeriveFont(HFONT font, int fallbackStock, LONG height, LONG weight, LONG width,
                 bool underline, const wchar_t* face) {
    LOGFONTW lf{};
    HGDIOBJ src = font ? static_cast<HGDIOBJ>(font) : ::GetStockObject(fallbackStock);
    if (!::GetObjectW(src, sizeof(lf), &lf)) lf = LOGFONTW{};
    lf.lfHeight = height;
    if (weight != -1) lf.lfWeight = weight;
    if (width != 0) lf.lfWidth = width;
    lf.lfUnderline = underline ? TRUE : FALSE;
    if (face) {
        size_t i = 0;
        for (; i + 1 < LF_FACESIZE && face[i]; ++i) lf.lfFaceName[i] = face[i];
        lf.lfFaceName[i] = L'\0';
    }
    return ::CreateFontIndirectW(&lf);
}

}  // namespace kvr
