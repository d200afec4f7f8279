// Skin images: PNG resources of our own module turned into plain 32-bit GDI
// bitmaps. Fully transparent pixels become the mask colour (magenta), which
// every skinned control treats as transparent; half-transparent pixels are
// blended onto white, since GDI has no per-pixel alpha in these paths.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <objidl.h>
#include <cstdint>
#include <vector>
#include "base/owned.h"

namespace Gdiplus { class Bitmap; }

namespace kvr {

inline constexpr COLORREF kMaskColor = RGB(255, 0, 255);

// One pixel: 0xAARRGGBB in, 0x00RRGGBB out (the DIB's blue, green, red and a
// zero byte in memory order).
std::uint32_t ConvertArgbPixel(std::uint32_t argb, COLORREF mask);

// A 32-bit bottom-up DIB section of the decoded image, upright, converted
// pixel by pixel as above; nullptr when the DIB or the pixel lock fails.
HBITMAP PngToBitmap(Gdiplus::Bitmap* image, COLORREF mask);

// A bitmap resource of that id, else the "PNG" resource of that id turned
// into a bitmap. The caller owns the result; nullptr when neither exists or
// the image cannot be decoded. Starts GDI+ for the call.
HBITMAP LoadSkinImage(HINSTANCE module, UINT id);
// The same from this program's own module.
HBITMAP LoadSkinImage(UINT id);

// A copy of the module's "PNG" resource of that id in a stream of its own
// (the resource memory itself must not be handed to GDI+, which may keep
// reading it); empty when there is none.
ComPtr<IStream> PngResourceStream(HINSTANCE module, UINT id);

// Width and height of a bitmap; {0, 0} for none.
SIZE BitmapSize(HBITMAP bmp);

// An image list of `frames` equal images cut side by side from strip, with
// magenta transparent. The strip is left as it was. nullptr when the strip is
// too small for the frames. The caller destroys the list.
HIMAGELIST MaskedImageList(HBITMAP strip, int frames);

// The bitmap's pixels top-down as 0x00RRGGBB; empty when it cannot be read.
std::vector<std::uint32_t> ReadBitmapPixels(HBITMAP bmp, SIZE* size = nullptr);

}  // namespace kvr
