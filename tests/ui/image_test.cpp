// Images: decoding into bitmaps and the artwork of the resource table.
#include <gtest/gtest.h>

#include "res/resource.h"
#include "ui/gdiplus_include.h"
#include "ui/image.h"

using namespace kvr;

TEST(SkinImage, PngToBitmapIsUprightAndConverted) {
    // 2 x 3: the top row red and transparent, the middle row half-transparent
    // black, the bottom row opaque blue.
    Gdiplus::Bitmap image(2, 3, PixelFormat32bppARGB);
    image.SetPixel(0, 0, Gdiplus::Color(255, 255, 0, 0));
    image.SetPixel(1, 0, Gdiplus::Color(0, 10, 20, 30));
    image.SetPixel(0, 1, Gdiplus::Color(128, 0, 0, 0));
    image.SetPixel(1, 1, Gdiplus::Color(128, 0, 0, 0));
    image.SetPixel(0, 2, Gdiplus::Color(255, 0, 0, 255));
    image.SetPixel(1, 2, Gdiplus::Color(255, 0, 0, 255));
    HBITMAP bmp = PngToBitmap(&image, kMaskColor);
    ASSERT_NE(nullptr, bmp);

    DIBSECTION ds{};
    ASSERT_EQ(static_cast<int>(sizeof(ds)), ::GetObjectW(bmp, sizeof(ds), &ds));
    EXPECT_EQ(32, ds.dsBm.bmBitsPixel);
    EXPECT_EQ(1, ds.dsBm.bmPlanes);
    EXPECT_GT(ds.dsBmih.biHeight, 0);  // bottom-up rows

    SIZE sz{};
    const auto px = ReadBitmapPixels(bmp, &sz);
    ASSERT_EQ(6u, px.size());
    EXPECT_EQ(0xFF0000u, px[0]);  // top row stays on top
    EXPECT_EQ(0xFF00FFu, px[1]);
    EXPECT_EQ(0x7F7F7Fu, px[2]);
    EXPECT_EQ(0x0000FFu, px[4]);
    // The fourth byte of every pixel is zero.
    const auto* raw = static_cast<const std::uint32_t*>(ds.dsBm.bmBits);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(0u, raw[i] >> 24);
    ::DeleteObject(bmp);
}

TEST(SkinImage, EveryImageHasItsSizeAndFrames) {
    struct Entry { UINT id; int w, h; };
    const Entry table[] = {
        {129, 890, 528}, {131, 30, 51}, {132, 132, 28}, {133, 228, 23}, {134, 30, 51},
        {135, 108, 28}, {136, 108, 28}, {137, 108, 28}, {138, 108, 27}, {149, 108, 27},
        {139, 176, 28}, {150, 316, 28}, {140, 567, 22}, {141, 39, 13}, {142, 14, 16},
        {148, 108, 27}, {151, 316, 28}, {152, 390, 21}, {153, 390, 21}, {162, 284, 150},
    };
    for (const Entry& e : table) {
        HBITMAP bmp = LoadSkinImage(e.id);
        ASSERT_NE(nullptr, bmp) << e.id;
        const SIZE sz = BitmapSize(bmp);
        EXPECT_EQ(e.w, sz.cx) << e.id;
        EXPECT_EQ(e.h, sz.cy) << e.id;
        ::DeleteObject(bmp);
    }
}

TEST(SkinImage, BackgroundsCutTheirCornersAndButtonsDiffer) {
    for (UINT id : {IDB_DLG_BG, IDB_MAIN_BG, IDB_ADD_ACCOUNT_BG}) {
        HBITMAP bmp = LoadSkinImage(id);
        SIZE sz{};
        const auto px = ReadBitmapPixels(bmp, &sz);
        ASSERT_FALSE(px.empty());
        // The outermost corner pixels are transparent, the band is not.
        EXPECT_EQ(0xFF00FFu, px[0]) << id;
        EXPECT_EQ(0xFF00FFu, px[sz.cx - 1]) << id;
        EXPECT_EQ(0xFF00FFu, px[(sz.cy - 1) * sz.cx]) << id;
        EXPECT_NE(0xFF00FFu, px[10 * sz.cx + sz.cx / 2]) << id;
        ::DeleteObject(bmp);
    }
    // Four states that can be told apart.
    HBITMAP bmp = LoadSkinImage(IDB_BUTTON);
    SIZE sz{};
    const auto px = ReadBitmapPixels(bmp, &sz);
    const int fw = sz.cx / 4;
    for (int a = 0; a < 4; ++a)
        for (int b = a + 1; b < 4; ++b)
            EXPECT_NE(px[12 * sz.cx + a * fw + fw / 2], px[12 * sz.cx + b * fw + fw / 2]) << a << b;
    ::DeleteObject(bmp);
}

TEST(SkinImage, UnknownIdYieldsNone) {
    EXPECT_EQ(nullptr, LoadSkinImage(4242));
    EXPECT_EQ(0, BitmapSize(nullptr).cx);
}
