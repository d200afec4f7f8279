#include "ui/skin_geometry.h"

#include <algorithm>
#include "base/owned.h"

namespace kvr {

namespace {
void Add(std::vector<SkinBlit>& out, RECT dst, RECT src) {
    if (dst.right <= dst.left || dst.bottom <= dst.top) return;
    if (src.right <= src.left || src.bottom <= src.top) return;
    out.push_back(SkinBlit{dst, src});
}
}  // namespace

std::vector<SkinBlit> SkinBlits(SIZE window, SIZE bitmap, int b, int c, bool stretch) {
    std::vector<SkinBlit> out;
    const int W = window.cx, H = window.cy, w = bitmap.cx, h = bitmap.cy;
    if (W <= 0 || H <= 0 || w <= 0 || h <= 0) return out;
    if (!stretch) {
        Add(out, {0, 0, w, h}, {0, 0, w, h});
        // Right edge: top corner as it is, the rest stretched down.
        Add(out, {W - b, 0, W, b}, {w - b, 0, w, b});
        Add(out, {W - b, b, W, H - b}, {w - b, b, w, h - b});
        // Bottom edge: corners as they are, the middle stretched across.
        Add(out, {0, H - b, b, H}, {0, h - b, b, h});
        Add(out, {b, H - b, W - b, H}, {b, h - b, w - b, h});
        Add(out, {W - b, H - b, W, H}, {w - b, h - b, w, h});
        return out;
    }
    const int top = c < 0 ? b : c;  // height of the top band
    // Top band: its end pieces unscaled, the middle stretched across.
    Add(out, {0, 0, b, top}, {0, 0, b, top});
    Add(out, {b, 0, W - b, top}, {b, 0, w - b, top});
    Add(out, {W - b, 0, W, top}, {w - b, 0, w, top});
    // Sides below the band and the centre.
    Add(out, {0, top, b, H - b}, {0, top, b, h - b});
    Add(out, {b, top, W - b, H - b}, {b, top, w - b, h - b});
    Add(out, {W - b, top, W, H - b}, {w - b, top, w, h - b});
    // Bottom edge.
    Add(out, {0, H - b, b, H}, {0, h - b, b, h});
    Add(out, {b, H - b, W - b, H}, {b, h - b, w - b, h});
    Add(out, {W - b, H - b, W, H}, {w - b, h - b, w, h});
    return out;
}

std::vector<POINT> SkinCutPixels(const std::vector<std::uint32_t>& pixels, SIZE bitmap,
                                 SIZE window) {
    std::vector<POINT> cuts;
    const int w = bitmap.cx, h = bitmap.cy;
    if (w <= 0 || h <= 0 || pixels.size() < static_cast<size_t>(w) * h) return cuts;
    const int rows = std::min(9, h), cols = std::min(9, w);
    auto magenta = [&](int x, int y) { return (pixels[static_cast<size_t>(y) * w + x] & 0xFFFFFF) == 0xFF00FF; };
    auto cut = [&](int x, int y) {
        if (x >= 0 && y >= 0 && x < window.cx && y < window.cy) cuts.push_back(POINT{x, y});
    };
    for (int r = 0; r < rows; ++r) {
        for (int k = 0; k < cols; ++k) {
            const int top = r, bottom = h - 1 - r, left = k, right = w - 1 - k;
            if (magenta(left, top)) cut(k, r);
            if (magenta(right, top)) cut(window.cx - 1 - k, r);
            if (magenta(left, bottom)) cut(k, window.cy - 1 - r);
            if (magenta(right, bottom)) cut(window.cx - 1 - k, window.cy - 1 - r);
        }
    }
    // A small bitmap's corner areas overlap; each pixel once.
    std::sort(cuts.begin(), cuts.end(), [](const POINT& a, const POINT& b) {
        return a.y != b.y ? a.y < b.y : a.x < b.x;
    });
    cuts.erase(std::unique(cuts.begin(), cuts.end(),
                           [](const POINT& a, const POINT& b) { return a.x == b.x && a.y == b.y; }),
               cuts.end());
    return cuts;
}

HRGN CreateSkinRegion(const std::vector<POINT>& cuts, SIZE window) {
    HRGN rgn = ::CreateRectRgn(0, 0, window.cx, window.cy);
    if (!rgn) return nullptr;
    const OwnedRegion dot(::CreateRectRgn(0, 0, 1, 1));
    for (const POINT& p : cuts) {
        ::SetRectRgn(dot.get(), p.x, p.y, p.x + 1, p.y + 1);
        ::CombineRgn(rgn, rgn, dot.get(), RGN_DIFF);
    }
    return rgn;
}

int SkinHitTest(POINT pt, SIZE client, int b, int c, bool resizable) {
    const int x = pt.x, y = pt.y, W = client.cx, H = client.cy;
    if (!resizable) return (y < c || c == -1) ? HTCAPTION : HTNOWHERE;
    if (x < b) return y < b ? HTTOPLEFT : y >= H - b ? HTBOTTOMLEFT : HTLEFT;
    if (x >= W - b) return y < b ? HTTOPRIGHT : y >= H - b ? HTBOTTOMRIGHT : HTRIGHT;
    if (y < 3) return HTTOP;
    if (y < c || c == -1) return HTCAPTION;
    if (y >= H - b) return HTBOTTOM;
    return HTNOWHERE;
}

int SizingEdge(int hit) {
    switch (hit) {
        case HTLEFT: return WMSZ_LEFT;
        case HTRIGHT: return WMSZ_RIGHT;
        case HTTOP: return WMSZ_TOP;
        case HTTOPLEFT: return WMSZ_TOPLEFT;
        case HTTOPRIGHT: return WMSZ_TOPRIGHT;
        case HTBOTTOM: return WMSZ_BOTTOM;
        case HTBOTTOMLEFT: return WMSZ_BOTTOMLEFT;
        case HTBOTTOMRIGHT: return WMSZ_BOTTOMRIGHT;
        default: return 0;
    }
}

RECT MaximizedRect(const RECT& work, SIZE maxSize) {
    RECT r = work;
    const int ww = work.right - work.left, wh = work.bottom - work.top;
    if (maxSize.cx < ww) {
        r.left = work.left + (ww - maxSize.cx) / 2;
        r.right = r.left + maxSize.cx;
    }
    if (maxSize.cy < wh) {
        r.top = work.top + (wh - maxSize.cy) / 2;
        r.bottom = r.top + maxSize.cy;
    }
    return r;
}

RECT DefaultRestoreRect(const RECT& work) {
    const int dx = (work.right - work.left) / 8, dy = (work.bottom - work.top) / 8;
    return RECT{work.left + dx, work.top + dy, work.right - dx, work.bottom - dy};
}

}  // namespace kvr
