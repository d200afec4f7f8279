// The skinned frame's geometry as plain functions: where each piece of the
// background goes, which pixels the window region loses, what a point hits
// and where a maximised window goes. CDlgEx calls these.
#pragma once
#include <windows.h>
#include <cstdint>
#include <vector>

namespace kvr {

struct SkinBlit {
    RECT dst;  // in the window
    RECT src;  // in the background bitmap
};

// The pieces that paint a w x h background onto a W x H window. b = border
// width, c = caption height (-1: no band). stretch: nine parts; otherwise the
// bitmap at its own size plus stretched right and bottom edge strips.
// Pieces with an empty source or target are left out.
std::vector<SkinBlit> SkinBlits(SIZE window, SIZE bitmap, int b, int c, bool stretch);

// Window pixels to cut from the region: magenta pixels of the background's
// top and bottom 9 rows within its 9 leftmost and rightmost columns, mapped
// to the same distance from the window's corresponding edges. `pixels` is
// the bitmap top-down, 0x00RRGGBB.
std::vector<POINT> SkinCutPixels(const std::vector<std::uint32_t>& pixels, SIZE bitmap,
                                 SIZE window);

// The region of a W x H window less those pixels; the caller owns it.
HRGN CreateSkinRegion(const std::vector<POINT>& cuts, SIZE window);

// Hit test in client coordinates; returns HTNOWHERE for "default handling".
int SkinHitTest(POINT pt, SIZE client, int b, int c, bool resizable);

// SC_SIZE offset of a sizing border hit (WMSZ_*), 0 for none.
int SizingEdge(int hit);

// Where a maximised window goes: its maximum size, centred in the work area
// where smaller, else the work area itself.
RECT MaximizedRect(const RECT& workArea, SIZE maxSize);
// The default restore rectangle: the work area less 1/8 of its width and
// height on each side.
RECT DefaultRestoreRect(const RECT& workArea);

}  // namespace kvr
