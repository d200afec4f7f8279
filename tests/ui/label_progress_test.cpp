// Window tests of the skinned static (wrapped text, link with picture) and the
// progress bar on the virtual display: pixels read back from the screen.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/ui/skinned_dialog_fixture.h"
#include "ui/img_progress.h"
#include "ui/paint_util.h"
#include "ui/static_ex.h"
#include "ui/text_wrap.h"

using namespace kvr;
using namespace kvrtest;

namespace {
int SampleLineHeight(HWND dlg) {
    HFONT font = DeriveFont(reinterpret_cast<HFONT>(::SendMessageW(dlg, WM_GETFONT, 0, 0)),
                            SYSTEM_FONT, -12, -1, 0, false, kUiFace);
    HDC dc = ::GetDC(dlg);
    HGDIOBJ old = ::SelectObject(dc, font);
    RECT rc{0, 0, 0, 0};
    ::DrawTextW(dc, L"\u6D4B\u8BD5\u7528\u6C49\u5B57\u6765\u83B7\u53D6\u5BBD\u5EA6", 11, &rc, DT_CALCRECT);
    ::SelectObject(dc, old);
    ::ReleaseDC(dlg, dc);
    ::DeleteObject(font);
    return rc.bottom;
}
}  // namespace

TEST_F(SkinnedDialog, StaticWrapsAndGrowsToTheNeededHeight) {
    CStaticEx label;
    Open(300, 200, false, 30, [&](SkinTestDlg& d) {
        label.Create(d, RECT{20, 40, 140, 56},
                     L"\u8FD9\u662F\u4E00\u6BB5\u5F88\u957F\u7684\u6587\u5B57\uFF0C\u6CA1\u6709"
                     L"\u6362\u884C\u7B26\uFF0C\u5E94\u8BE5\u5728\u53F3\u8FB9\u6362\u884C", 90);
    });
    Pump(100);
    const int lh = SampleLineHeight(*dlg);
    ASSERT_GT(lh, 0);
    EXPECT_GE(label.LastLineCount(), 2);
    RECT rc{};
    ::GetWindowRect(label, &rc);
    EXPECT_EQ(WrappedHeight(label.LastLineCount(), lh, 3), rc.bottom - rc.top);
    EXPECT_EQ(120, rc.right - rc.left);
    // Text pixels (dark) inside, the skin around them.
    const POINT a = ClientToScreenPt(*dlg, 20, 40), b = ClientToScreenPt(*dlg, 140, 40 + lh);
    const auto px = ScreenPixels(RECT{a.x, a.y, b.x, b.y});
    EXPECT_TRUE(std::any_of(px.begin(), px.end(), [](COLORREF c) { return GetRValue(c) < 100; }));
}

TEST_F(SkinnedDialog, StaticBreaksOncePerCrLfAndHandlesNarrowRectangles) {
    CStaticEx lines, narrow, glyphs;
    Open(300, 200, false, 30, [&](SkinTestDlg& d) {
        lines.Create(d, RECT{20, 40, 200, 60}, L"\u4E00\r\n\u4E8C\r\n\u4E09", 91);
        narrow.Create(d, RECT{220, 40, 224, 60}, L"\u4E00\u4E8C", 92);
        glyphs.Create(d, RECT{240, 40, 240 + 1, 60}, L"\u4E00\u4E8C\u4E09", 93);
    });
    Pump(100);
    EXPECT_EQ(3, lines.LastLineCount());
    // Narrower than an average character: no text, no growth.
    EXPECT_EQ(0, narrow.LastLineCount());
    RECT rc{};
    ::GetWindowRect(narrow, &rc);
    EXPECT_EQ(20, rc.bottom - rc.top);

    // Wider than the average character but narrower than a glyph: that
    // glyph gets a line of its own, and painting finishes.
    HDC dc = ::GetDC(*dlg);
    HFONT font = DeriveFont(reinterpret_cast<HFONT>(::SendMessageW(*dlg, WM_GETFONT, 0, 0)),
                            SYSTEM_FONT, -12, -1, 0, false, kUiFace);
    HGDIOBJ old = ::SelectObject(dc, font);
    RECT sample{0, 0, 0, 0};
    ::DrawTextW(dc, L"\u6D4B\u8BD5\u7528\u6C49\u5B57\u6765\u83B7\u53D6\u5BBD\u5EA6", 11, &sample, DT_CALCRECT);
    const int avg = sample.right / 11;
    // The first glyph of the face wider than that average.
    std::vector<INT> widths(0x10000 - 0x20);
    ::GetCharWidth32W(dc, 0x20, 0xFFFF, widths.data());
    wchar_t wideChar = 0;
    for (size_t i = 0; i < widths.size() && !wideChar; ++i) {
        const unsigned c = static_cast<unsigned>(i) + 0x20;
        if ((c < 0xD800 || c > 0xDFFF) && widths[i] > avg + 1) wideChar = static_cast<wchar_t>(c);
    }
    ::SelectObject(dc, old);
    ::DeleteObject(font);
    ::ReleaseDC(*dlg, dc);
    if (!wideChar) GTEST_SKIP() << "no glyph of the face is wider than its average";
    const wchar_t wide[2] = {wideChar, 0};
    const std::wstring text = std::wstring(wide) + L"." + wide;
    ::SetWindowTextW(glyphs, text.c_str());
    ::SetWindowPos(glyphs, nullptr, 0, 0, avg + 1, 20, SWP_NOMOVE | SWP_NOZORDER);
    ::InvalidateRect(glyphs, nullptr, FALSE);
    Pump(100);
    EXPECT_EQ(3, glyphs.LastLineCount());
}

TEST_F(SkinnedDialog, LinkShowsPictureHoverColourAndClicks) {
    CStaticEx link;
    const COLORREF normal = RGB(0, 0, 255), hover = RGB(255, 0, 0);
    Open(300, 200, false, 30, [&](SkinTestDlg& d) {
        link.Create(d, RECT{20, 60, 180, 80}, L"\u767B\u5F55\u5176\u4ED6\u8D26\u53F7", 96, SS_NOTIFY);
        HBITMAP pic = MakeBitmap(14, 16, [](int x, int) { return x < 7 ? RGB(0, 160, 0) : kMaskColor; });
        link.SetPicture(pic);
        ::DeleteObject(pic);
        link.SetTextColor(normal);
        link.SetHoverColor(hover);
        link.SetHandCursor(true);
    });
    // The picture at x = 3, vertically centred; its magenta half shows the skin.
    EXPECT_EQ(RGB(0, 160, 0), At(20 + 3, 60 + 10));
    EXPECT_EQ(kBody, At(20 + 3 + 10, 60 + 10));
    auto count = [&](COLORREF c) {
        const POINT a = ClientToScreenPt(*dlg, 40, 60), b = ClientToScreenPt(*dlg, 180, 80);
        const auto px = ScreenPixels(RECT{a.x, a.y, b.x, b.y});
        return static_cast<int>(std::count(px.begin(), px.end(), c));
    };
    EXPECT_GT(count(normal), 0);
    EXPECT_EQ(0, count(hover));
    MoveMouse(ClientToScreenPt(*dlg, 60, 68));
    Pump(50);
    MoveMouse(ClientToScreenPt(*dlg, 62, 70));
    EXPECT_TRUE(PumpUntil([&] { return link.IsHovering(); }));
    EXPECT_TRUE(PumpUntil([&] { return count(hover) > 0; })) << "not drawn in the hover colour";
    ClickAt(ClientToScreenPt(*dlg, 62, 70));
    PumpUntil([&] { return std::find(dlg->commands.begin(), dlg->commands.end(), 96u) != dlg->commands.end(); });
    EXPECT_NE(dlg->commands.end(), std::find(dlg->commands.begin(), dlg->commands.end(), 96u));
    MoveMouse(ClientToScreenPt(*dlg, 250, 150));
    EXPECT_TRUE(PumpUntil([&] { return !link.IsHovering(); })) << "still hovering after the mouse left";
}

TEST_F(SkinnedDialog, ProgressDrawsTwoPiecesAndSurvivesEqualBounds) {
    CImgProgress bar;
    const COLORREF bg = RGB(30, 30, 30);
    Open(500, 200, false, 30, [&](SkinTestDlg& d) {
        HWND h = ::CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 20, 60, 100, 10,
                                   d, reinterpret_cast<HMENU>(95), ModuleInstance(), nullptr);
        ASSERT_TRUE(bar.SubclassWindow(h));
        // Fill: each column its own colour, so pieces can be traced back.
        bar.SetImages(MakeBitmap(390, 21, [=](int, int) { return bg; }),
                      MakeBitmap(390, 21, [](int x, int) { return RGB(x % 256, x / 256 * 100 + 50, 200); }));
        ::SendMessageW(h, PBM_SETRANGE32, 0, 100);
        ::SendMessageW(h, PBM_SETPOS, 50, 0);
    });
    RECT rc{};
    ::GetWindowRect(bar, &rc);
    EXPECT_EQ(390, rc.right - rc.left);
    EXPECT_EQ(21, rc.bottom - rc.top);
    ::InvalidateRect(bar, nullptr, FALSE);
    Pump(100);
    auto src = [](int x) { return RGB(x % 256, x / 256 * 100 + 50, 200); };
    EXPECT_EQ(src(0), At(20, 70));
    EXPECT_EQ(src(96), At(20 + 96, 70));
    EXPECT_EQ(src(292), At(20 + 97, 70));    // the second piece starts
    EXPECT_EQ(src(389), At(20 + 194, 70));
    EXPECT_EQ(bg, At(20 + 195, 70));

    ::SendMessageW(bar, PBM_SETPOS, 0, 0);
    ::InvalidateRect(bar, nullptr, FALSE);
    Pump(80);
    EXPECT_EQ(bg, At(20, 70));

    // Equal bounds: no fill, no percentage, and painting goes on.
    bar.SetShowPercent(true);
    ::SendMessageW(bar, PBM_SETRANGE32, 5, 5);
    ::SendMessageW(bar, PBM_SETPOS, 5, 0);
    ::InvalidateRect(bar, nullptr, FALSE);
    Pump(80);
    for (int x = 0; x < 390; x += 13) EXPECT_EQ(bg, At(20 + x, 70)) << x;
    EXPECT_TRUE(::IsWindow(bar));
}
