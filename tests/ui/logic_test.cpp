// Rules of the skinned controls that need no window: pixel conversion, frame
// geometry, wrapping, progress pieces and message-box sizes.
#include <gtest/gtest.h>

#include "ui/image.h"
#include "ui/img_progress.h"
#include "ui/message_box.h"
#include "ui/skin_geometry.h"
#include "ui/text_wrap.h"

using namespace kvr;

TEST(PixelConversion, AlphaZeroIsMaskWhateverTheColour) {
    EXPECT_EQ(0xFF00FFu, ConvertArgbPixel(0x00000000u, kMaskColor));
    EXPECT_EQ(0xFF00FFu, ConvertArgbPixel(0x0012AB34u, kMaskColor));
    EXPECT_EQ(0x0000FFu, ConvertArgbPixel(0x00FFFFFFu, RGB(0, 0, 255)));
}

TEST(PixelConversion, HalfAlphaBlendsOntoWhite) {
    EXPECT_EQ(0x7F7F7Fu, ConvertArgbPixel(0x80000000u, kMaskColor));
    // White stays white at any alpha; each channel on its own.
    EXPECT_EQ(0xFFFFFFu, ConvertArgbPixel(0x01FFFFFFu, kMaskColor));
    EXPECT_EQ((255u << 16) | (127u << 8) | 127u, ConvertArgbPixel(0x80FF0000u, kMaskColor));
}

TEST(PixelConversion, OpaqueIsCopied) {
    EXPECT_EQ(0x123456u, ConvertArgbPixel(0xFF123456u, kMaskColor));
    // Opaque magenta is magenta too: it is transparent by convention.
    EXPECT_EQ(0xFF00FFu, ConvertArgbPixel(0xFFFF00FFu, kMaskColor));
}

TEST(SkinGeometry, HitTestResizable) {
    const SIZE c{200, 100};
    EXPECT_EQ(HTTOPLEFT, SkinHitTest({1, 1}, c, 4, 30, true));
    EXPECT_EQ(HTLEFT, SkinHitTest({0, 50}, c, 4, 30, true));
    EXPECT_EQ(HTBOTTOMLEFT, SkinHitTest({3, 96}, c, 4, 30, true));
    EXPECT_EQ(HTTOPRIGHT, SkinHitTest({196, 0}, c, 4, 30, true));
    EXPECT_EQ(HTRIGHT, SkinHitTest({199, 40}, c, 4, 30, true));
    EXPECT_EQ(HTBOTTOMRIGHT, SkinHitTest({199, 99}, c, 4, 30, true));
    EXPECT_EQ(HTTOP, SkinHitTest({100, 2}, c, 4, 30, true));
    EXPECT_EQ(HTCAPTION, SkinHitTest({100, 3}, c, 4, 30, true));
    EXPECT_EQ(HTCAPTION, SkinHitTest({100, 29}, c, 4, 30, true));
    EXPECT_EQ(HTNOWHERE, SkinHitTest({100, 30}, c, 4, 30, true));
    EXPECT_EQ(HTBOTTOM, SkinHitTest({100, 96}, c, 4, 30, true));
    // No band: everything inside the borders is caption.
    EXPECT_EQ(HTCAPTION, SkinHitTest({100, 60}, c, 4, -1, true));
}

TEST(SkinGeometry, HitTestFixed) {
    const SIZE c{200, 100};
    EXPECT_EQ(HTCAPTION, SkinHitTest({0, 0}, c, 4, 30, false));  // no sizing borders
    EXPECT_EQ(HTCAPTION, SkinHitTest({100, 29}, c, 4, 30, false));
    EXPECT_EQ(HTNOWHERE, SkinHitTest({100, 30}, c, 4, 30, false));
    EXPECT_EQ(HTNOWHERE, SkinHitTest({199, 99}, c, 4, 30, false));
    EXPECT_EQ(HTCAPTION, SkinHitTest({199, 99}, c, 4, -1, false));
    EXPECT_EQ(WMSZ_BOTTOMRIGHT, SizingEdge(HTBOTTOMRIGHT));
    EXPECT_EQ(0, SizingEdge(HTCAPTION));
}

TEST(SkinGeometry, MaximiseCentresASmallerMaximum) {
    const RECT work{0, 0, 1440, 870};
    const RECT r = MaximizedRect(work, SIZE{1000, 600});
    EXPECT_EQ(220, r.left);
    EXPECT_EQ(1220, r.right);
    EXPECT_EQ(135, r.top);
    EXPECT_EQ(735, r.bottom);
    const RECT full = MaximizedRect(work, SIZE{1440, 900});
    EXPECT_EQ(0, full.left);
    EXPECT_EQ(870, full.bottom);
    const RECT restore = DefaultRestoreRect(RECT{0, 0, 1440, 900});
    EXPECT_EQ(180, restore.left);
    EXPECT_EQ(112, restore.top);
    EXPECT_EQ(1260, restore.right);
    EXPECT_EQ(788, restore.bottom);
}

TEST(SkinGeometry, NinePartsWithBand) {
    const auto blits = SkinBlits(SIZE{300, 200}, SIZE{30, 51}, 4, 30, true);
    ASSERT_EQ(9u, blits.size());
    // The band's middle is stretched across, its ends copied unscaled.
    EXPECT_EQ((RECT{0, 0, 4, 30}).right, blits[0].dst.right);
    EXPECT_EQ(296, blits[1].dst.right);
    EXPECT_EQ(26, blits[1].src.right);
    EXPECT_EQ(30, blits[1].dst.bottom);
    // The sides start below the band; the bottom corners are unscaled.
    EXPECT_EQ(30, blits[3].dst.top);
    EXPECT_EQ(196, blits[3].dst.bottom);
    EXPECT_EQ(47, blits[3].src.bottom);
    EXPECT_EQ(196, blits[8].dst.top);
    EXPECT_EQ(4, blits[8].dst.right - blits[8].dst.left);
    EXPECT_EQ(4, blits[8].src.right - blits[8].src.left);
}

TEST(SkinGeometry, UnstretchedKeepsTheBitmapAndStretchesEdges) {
    const auto blits = SkinBlits(SIZE{400, 300}, SIZE{284, 150}, 3, 30, false);
    ASSERT_FALSE(blits.empty());
    EXPECT_EQ(284, blits[0].dst.right);
    EXPECT_EQ(150, blits[0].dst.bottom);
    bool rightEdge = false, bottomEdge = false;
    for (const auto& b : blits) {
        if (b.dst.left == 397 && b.dst.bottom == 297) rightEdge = true;
        if (b.dst.top == 297 && b.dst.left == 3 && b.dst.right == 397) bottomEdge = true;
    }
    EXPECT_TRUE(rightEdge);
    EXPECT_TRUE(bottomEdge);
}

TEST(SkinGeometry, CornerPixelsMapToTheWindowsCorners) {
    // 20 x 20 bitmap: magenta at (0,0), (19,0), (0,19), (19,19) and (8,8);
    // (9,0) lies outside the examined 9 columns.
    std::vector<std::uint32_t> px(400, 0x102030);
    for (auto p : {POINT{0, 0}, POINT{19, 0}, POINT{0, 19}, POINT{19, 19}, POINT{8, 8}, POINT{9, 0}})
        px[p.y * 20 + p.x] = 0xFF00FF;
    const auto cuts = SkinCutPixels(px, SIZE{20, 20}, SIZE{100, 50});
    auto has = [&](LONG x, LONG y) {
        for (const auto& c : cuts) if (c.x == x && c.y == y) return true;
        return false;
    };
    EXPECT_TRUE(has(0, 0));
    EXPECT_TRUE(has(99, 0));
    EXPECT_TRUE(has(0, 49));
    EXPECT_TRUE(has(99, 49));
    EXPECT_TRUE(has(8, 8));
    EXPECT_FALSE(has(9, 0));
    EXPECT_EQ(5u, cuts.size());
}

namespace {
// Every character 10 wide except 'W', 50 wide.
int Measure(const std::wstring& s) {
    int w = 0;
    for (wchar_t c : s) w += c == L'W' ? 50 : 10;
    return w;
}
}  // namespace

TEST(TextWrap, WrapsAtTheRightEdge) {
    const auto lines = WrapText(L"abcdefghij", 35, Measure);
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ(L"abc", lines[0]);
    EXPECT_EQ(L"j", lines[3]);
    EXPECT_EQ(16 + 3 * (16 + 3), WrappedHeight(4, 16, 3));
}

TEST(TextWrap, CrLfBreaksOnce) {
    const auto lines = WrapText(L"ab\r\ncd\r\n\r\nef", 100, Measure);
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ(L"ab", lines[0]);
    EXPECT_EQ(L"cd", lines[1]);
    EXPECT_EQ(L"", lines[2]);
    EXPECT_EQ(L"ef", lines[3]);
    EXPECT_EQ(1u, WrapText(L"", 100, Measure).size());
}

TEST(TextWrap, GlyphWiderThanTheLineGetsALineOfItsOwn) {
    const auto lines = WrapText(L"abWcd", 30, Measure);
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ(L"ab", lines[0]);
    EXPECT_EQ(L"W", lines[1]);
    EXPECT_EQ(L"cd", lines[2]);
    EXPECT_EQ(1u, WrapText(L"W", 30, Measure).size());
    EXPECT_EQ(3u, WrapText(L"WWW", 5, Measure).size());
}

TEST(ProgressFill, HalfOf390IsTwoPiecesFromBothEnds) {
    const ProgressFill f = ComputeProgressFill(390, 0, 100, 50);
    EXPECT_EQ(195, f.length);
    EXPECT_EQ(97, f.firstWidth);
    EXPECT_EQ(98, f.secondWidth);
    EXPECT_EQ(292, f.secondSrcX);
    EXPECT_EQ(50, f.percent);
}

TEST(ProgressFill, EndsAndPercentage) {
    EXPECT_EQ(0, ComputeProgressFill(390, 0, 100, 0).length);
    const ProgressFill full = ComputeProgressFill(390, 0, 100, 100);
    EXPECT_EQ(390, full.length);
    EXPECT_EQ(195, full.firstWidth);
    EXPECT_EQ(195, full.secondSrcX);  // the picture's right half
    const ProgressFill p = ComputeProgressFill(390, 0, 100, 37);
    EXPECT_TRUE(p.hasPercent);
    EXPECT_EQ(37, p.percent);
    EXPECT_EQ(144, p.length);  // 3.9 * 37 = 144.3
    // Measured from the lower bound.
    EXPECT_EQ(50, ComputeProgressFill(390, 100, 200, 150).percent);
}

TEST(ProgressFill, EqualBoundsDrawNothing) {
    const ProgressFill f = ComputeProgressFill(390, 5, 5, 5);
    EXPECT_EQ(0, f.length);
    EXPECT_FALSE(f.hasPercent);
}

TEST(MessageBoxGeometry, WidthAndHeight) {
    EXPECT_EQ(2 * 57 + 60, MessageBoxSize(50, 16, 1, 57, 23).cx);
    EXPECT_EQ(300 + 60, MessageBoxSize(300, 16, 1, 57, 23).cx);
    EXPECT_EQ(120 + 60, MessageBoxSize(120, 16, 1, 57, 23).cx) << "a text just wider than the buttons";
    EXPECT_EQ(3 + 16 + 23 + 90, MessageBoxSize(50, 16, 1, 57, 23).cy);
    EXPECT_EQ(6 + 32 + 23 + 90, MessageBoxSize(50, 32, 2, 57, 23).cy);
    EXPECT_EQ(2, MessageLineCount(L"a\nb"));
    EXPECT_EQ(1, MessageLineCount(L""));
}

TEST(MessageBoxGeometry, Buttons) {
    RECT a{}, b{};
    MessageBoxButtons(true, 200, 150, 57, 23, &a, &b);
    EXPECT_EQ(33, a.left);
    EXPECT_EQ(90, a.right);
    EXPECT_EQ(110, b.left);
    EXPECT_EQ(167, b.right);
    EXPECT_EQ(120, a.bottom);
    EXPECT_EQ(97, a.top);
    MessageBoxButtons(false, 200, 150, 57, 23, &a, &b);
    EXPECT_EQ(71, a.left);
    EXPECT_EQ(128, a.right);
}

TEST(MessageBoxGeometry, CentredOnTheOwnerInsideItsMonitorsWorkArea) {
    const SIZE box{200, 150};
    // A monitor left of the primary one: every coordinate negative.
    const RECT leftWork{-1920, 0, 0, 1040};
    POINT p = MessageBoxPosition(RECT{-1600, 100, -800, 700}, leftWork, box);
    EXPECT_EQ(-1300, p.x);
    EXPECT_EQ(325, p.y);
    // An owner half off that monitor's left edge: the box stays on it.
    p = MessageBoxPosition(RECT{-2000, 100, -1900, 200}, leftWork, box);
    EXPECT_EQ(-1920, p.x);
    EXPECT_EQ(75, p.y);
    // A monitor above the primary one, owner at its top.
    const RECT upperWork{0, -1080, 1920, -40};
    p = MessageBoxPosition(RECT{100, -1080, 300, -1000}, upperWork, box);
    EXPECT_EQ(100, p.x);
    EXPECT_EQ(-1080, p.y);
    // At the far edges the box is pulled in, not moved to another monitor.
    p = MessageBoxPosition(RECT{1800, 950, 1920, 1040}, RECT{0, 0, 1920, 1040}, box);
    EXPECT_EQ(1720, p.x);
    EXPECT_EQ(890, p.y);
    // No owner: the middle of the work area.
    p = MessageBoxPosition(RECT{0, 0, 0, 0}, leftWork, box);
    EXPECT_EQ(-1060, p.x);
    EXPECT_EQ(445, p.y);
    // Larger than the work area: its top-left corner stays inside.
    p = MessageBoxPosition(RECT{-1600, 100, -800, 700}, leftWork, SIZE{2400, 1200});
    EXPECT_EQ(-1920, p.x);
    EXPECT_EQ(0, p.y);
}
