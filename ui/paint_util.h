// Small GDI helpers the skinned controls share.
#pragma once
#include <windows.h>
#include "base/owned.h"

namespace kvr {

// An off-screen bitmap compatible with a device context: controls draw into
// it and copy it to the screen in one BitBlt, so nothing flickers.
class CMemoryDC {
public:
    CMemoryDC(HDC reference, int width, int height);
    ~CMemoryDC();
    CMemoryDC(const CMemoryDC&) = delete;
    CMemoryDC& operator=(const CMemoryDC&) = delete;

    HDC dc() const { return m_dc.get(); }
    bool ok() const { return m_dc && m_bitmap; }
    void CopyTo(HDC target, int x = 0, int y = 0) const;

private:
    OwnedMemoryDc m_dc;
    OwnedBitmap m_bitmap;
    HGDIOBJ m_old = nullptr;
    int m_width = 0, m_height = 0;
};

// Asks the parent to paint its background into `dc` as it lies behind
// `child` (WM_ERASEBKGND with the origin moved by the child's offset inside
// the parent's window), so transparent parts of a control show the skin.
void PaintParentBackground(HWND child, HDC dc);

// A copy of `font` (or of `fallback` stock font when none) with the given
// height, weight (-1 keeps it), width (0 keeps it), underline and face
// (nullptr keeps it). The caller deletes it.
HFONT DeriveFont(HFONT font, int fallbackStock, LONG height, LONG weight = -1, LONG width = 0,
                 bool underline = false, const wchar_t* face = nullptr);

// The interface face of the skin.
inline constexpr wchar_t kUiFace[] = L"\u5FAE\u8F6F\u96C5\u9ED1";  // 微软雅黑

}  // namespace kvr
