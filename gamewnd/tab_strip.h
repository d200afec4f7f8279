// Geometry of the game window's tab strip and caption controls, and the
// painting of the tabs. Client coordinates throughout.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <string>
#include <vector>

namespace kvr {

namespace tabs {
inline constexpr int kLeft = 120;        // x of the first tab
inline constexpr int kWidth = 189;       // width of a tab (and its step)
inline constexpr int kTop = 3;
inline constexpr int kHeight = 22;
inline constexpr int kCloseSize = 13;    // close box, at the tab's top right
inline constexpr int kLabelMaxWidth = 160;
inline constexpr int kLabelCutChars = 18;
}  // namespace tabs

RECT TabRect(int index);             // (120 + 189i, 3) - (309 + 189i, 25)
RECT TabCloseBoxRect(int index);     // (296 + 189i, 3) - (309 + 189i, 16)
RECT TabLabelRect(int index);        // (136 + 189i, 8) - (296 + 189i, 22)
RECT TabStripRect(int count);        // (120, 3) - (120 + 189n, 25)

// The tab under a point: y from 3 to 24, x strictly between 120 and
// 120 + 189 * count; -1 outside the strip.
int TabHitTest(POINT pt, int count);
bool InTabCloseBox(POINT pt, int index);

// The tab's label: the caption, or when it is wider than 160 pixels its first
// 18 characters and "...".
std::wstring TabLabel(const std::wstring& caption, int measuredWidth);

// Where the pages and the hall window go inside a client rectangle.
RECT PageArea(const RECT& client);

// Smallest window size with pages open.
SIZE MinimumWindowSize(int pageCount);

// The caption controls (IDC_GW_*), placed from the client width.
struct ControlPlace {
    int id;
    RECT rect;
};
std::vector<ControlPlace> CaptionControlPlaces(int clientWidth);

// Which image of the tab list a tab shows: 2 active, 1 hovered, else 0.
int TabImage(int index, int active, int hovered);

// Draws the tabs onto dc (background already drawn): each tab image, the
// hovered tab's close box (image closeState; none for -1) and the labels in
// the dc's current font.
void PaintTabs(HDC dc, HIMAGELIST tabImages, HIMAGELIST closeImages,
               const std::vector<std::wstring>& captions, int count, int active,
               int hovered, int closeState);

}  // namespace kvr
