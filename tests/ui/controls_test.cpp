// Window tests of the skinned dialog, button, static and progress bar on the
// virtual display: real windows, real input, pixels read back from the screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "ui/btn_ex.h"
#include "ui/image.h"
#include "ui/img_progress.h"
#include "ui/paint_util.h"
#include "ui/static_ex.h"
#include "ui/text_wrap.h"
#include "ui_test_util.h"

using namespace kvr;
using namespace kvrtest;

namespace {

const COLORREF kBand = RGB(20, 60, 140);
const COLORREF kBody = RGB(200, 220, 240);

bool CornerMagenta(int x, int y) {
    // A 3-pixel staircase in each corner of a 30 x 51 bitmap.
    auto tl = [](int cx, int cy) { return cx + cy < 2 || (cx == 0 && cy == 2); };
    return tl(x, y) || tl(29 - x, y) || tl(x, 50 - y) || tl(29 - x, 50 - y);
}

HBITMAP TestBackground() {
    return MakeBitmap(30, 51, [](int x, int y) {
        if (CornerMagenta(x, y)) return kMaskColor;
        return y < 30 ? kBand : kBody;
    });
}

// Four solid frames: red, green, blue, grey.
const COLORREF kFrames[4] = {RGB(200, 0, 0), RGB(0, 180, 0), RGB(0, 0, 220), RGB(90, 90, 90)};
HBITMAP FourFrames(int fw, int fh, bool magentaMiddle = false) {
    return MakeBitmap(fw * 4, fh, [=](int x, int y) {
        const int fx = x % fw;
        if (magentaMiddle && fx >= fw / 4 && fx < fw * 3 / 4 && y >= fh / 4 && y < fh * 3 / 4)
            return kMaskColor;
        return kFrames[x / fw];
    });
}

class SkinnedDialog : public ::testing::Test {
protected:
    void SetUp() override { InitControls(); }
    void TearDown() override {
        if (dlg && dlg->IsWindow()) ::DestroyWindow(*dlg);
        Pump(50);
    }

    // A modeless skinned dialog of the given size at (100, 100).
    void Open(int w, int h, bool resizable = false, int caption = 30,
              std::function<void(SkinTestDlg&)> more = nullptr) {
        dlg = std::make_unique<SkinTestDlg>();
        dlg->init = [=](SkinTestDlg& d) {
            d.SetCaptionHeight(caption);
            d.SetBorderWidth(4);
            d.SetResizable(resizable);
            d.SetCaptionButtonMargin(0);
            d.SetCaptionButtonTop(0);
            ::SetWindowPos(d, nullptr, 100, 100, w, h, SWP_NOZORDER);
            d.SetSkin(TestBackground(), false, true, nullptr, nullptr, nullptr, nullptr);
            if (more) more(d);
        };
        ASSERT_NE(nullptr, dlg->Create(nullptr));
        ::ShowWindow(*dlg, SW_SHOW);
        ::SetForegroundWindow(*dlg);
        Pump(150);
    }

    COLORREF At(int x, int y) {
        const POINT p = ClientToScreenPt(*dlg, x, y);
        return ScreenPixel(p.x, p.y);
    }

    std::unique_ptr<SkinTestDlg> dlg;
};

// The tip a button's tooltip window holds for it.
std::wstring TooltipText(CBtnEx& button) {
    HWND tip = button.TooltipWindow();
    if (!tip || !::IsWindow(tip)) return L"<no tooltip window>";
    wchar_t text[80] = L"";
    TOOLINFOW info{};
    info.cbSize = sizeof(info);
    info.hwnd = button.m_hWnd;
    info.uId = reinterpret_cast<UINT_PTR>(button.m_hWnd);
    info.lpszText = text;
    if (!::SendMessageW(tip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&info))) return L"<no tool>";
    return text;
}

bool InRegion(HWND h, int x, int y) {
    HRGN rgn = ::CreateRectRgn(0, 0, 0, 0);
    const int kind = ::GetWindowRgn(h, rgn);
    const bool in = kind != ERROR && ::PtInRegion(rgn, x, y);
    ::DeleteObject(rgn);
    return in;
}

}  // namespace

TEST_F(SkinnedDialog, PaintsBandAndBodyAndStripsTheFrame) {
    Open(300, 200);
    const LONG style = ::GetWindowLongW(*dlg, GWL_STYLE);
    EXPECT_FALSE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_EQ(kBand, At(150, 10));
    EXPECT_EQ(kBand, At(296, 29));
    EXPECT_EQ(kBody, At(150, 100));
    EXPECT_EQ(kBody, At(2, 195));
}

TEST_F(SkinnedDialog, MagentaCornersCutTheRegionAtAnySize) {
    Open(300, 200);
    for (SIZE sz : {SIZE{300, 200}, SIZE{333, 177}, SIZE{120, 90}}) {
        ::SetWindowPos(*dlg, nullptr, 0, 0, sz.cx, sz.cy, SWP_NOMOVE | SWP_NOZORDER);
        Pump(30);
        const int W = sz.cx, H = sz.cy;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                const bool cut = CornerMagenta(x, y);
                EXPECT_EQ(!cut, InRegion(*dlg, x, y)) << W << "x" << H << " " << x << "," << y;
                EXPECT_EQ(!cut, InRegion(*dlg, W - 1 - x, y));
                EXPECT_EQ(!cut, InRegion(*dlg, x, H - 1 - y));
                EXPECT_EQ(!cut, InRegion(*dlg, W - 1 - x, H - 1 - y));
            }
        EXPECT_TRUE(InRegion(*dlg, W / 2, H / 2));
    }
}

TEST_F(SkinnedDialog, HitTestingResizableAndFixed) {
    Open(300, 200, true);
    auto hit = [&](int x, int y) {
        const POINT p = ClientToScreenPt(*dlg, x, y);
        return static_cast<int>(::SendMessageW(*dlg, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y)));
    };
    EXPECT_EQ(HTTOPLEFT, hit(1, 1));
    EXPECT_EQ(HTRIGHT, hit(298, 100));
    EXPECT_EQ(HTBOTTOM, hit(150, 198));
    EXPECT_EQ(HTCAPTION, hit(150, 15));
    EXPECT_EQ(HTCLIENT, hit(150, 100));
    ::DestroyWindow(*dlg);
    Open(300, 200, false);
    EXPECT_EQ(HTCAPTION, hit(1, 1));
    EXPECT_EQ(HTCLIENT, hit(298, 100));
    EXPECT_EQ(HTCLIENT, hit(150, 198));
}

TEST_F(SkinnedDialog, CaptionDragsAndPressStoresTheRestoreRectangle) {
    Open(300, 200, true);
    RECT before{};
    ::GetWindowRect(*dlg, &before);
    DragFromTo(ClientToScreenPt(*dlg, 150, 15), ClientToScreenPt(*dlg, 190, 45));
    RECT after{};
    ::GetWindowRect(*dlg, &after);
    EXPECT_EQ(before.left + 40, after.left);
    EXPECT_EQ(before.top + 30, after.top);
    const RECT stored = dlg->RestoreRect();
    EXPECT_EQ(after.left, stored.left);
    EXPECT_EQ(after.bottom, stored.bottom);

    // Maximise into the work area and back to the stored rectangle.
    dlg->SetMaxSize(400, 300);
    dlg->ToggleMaximize();
    Pump(50);
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT max{};
    ::GetWindowRect(*dlg, &max);
    EXPECT_TRUE(dlg->IsMaximized());
    EXPECT_EQ(400, max.right - max.left);
    EXPECT_EQ(work.left + (work.right - work.left - 400) / 2, max.left);
    EXPECT_EQ(work.top + (work.bottom - work.top - 300) / 2, max.top);
    dlg->ToggleMaximize();
    Pump(50);
    RECT back{};
    ::GetWindowRect(*dlg, &back);
    EXPECT_FALSE(dlg->IsMaximized());
    EXPECT_TRUE(::EqualRect(&back, &after));
}

TEST_F(SkinnedDialog, CaptionDoubleClickMaximisesOnlyResizableDialogs) {
    for (bool resizable : {true, false}) {
        Open(300, 200, resizable);
        dlg->SetMaxSize(500, 400);
        const POINT p = ClientToScreenPt(*dlg, 150, 15);
        MoveMouse(p);
        Pump(50);
        for (int i = 0; i < 2; ++i) {
            SendMouse(MOUSEEVENTF_LEFTDOWN);
            SendMouse(MOUSEEVENTF_LEFTUP);
        }
        Pump(200);
        RECT rc{};
        ::GetWindowRect(*dlg, &rc);
        EXPECT_EQ(resizable, dlg->IsMaximized());
        EXPECT_EQ(resizable ? 500 : 300, rc.right - rc.left);
        EXPECT_FALSE(::IsZoomed(*dlg));
        ::DestroyWindow(*dlg);
    }
}

TEST_F(SkinnedDialog, WithoutBandTheWholeClientDrags) {
    Open(200, 120, false, -1);
    RECT before{};
    ::GetWindowRect(*dlg, &before);
    DragFromTo(ClientToScreenPt(*dlg, 100, 80), ClientToScreenPt(*dlg, 125, 90));
    RECT after{};
    ::GetWindowRect(*dlg, &after);
    EXPECT_EQ(before.left + 25, after.left);
    EXPECT_EQ(before.top + 10, after.top);
}

TEST_F(SkinnedDialog, CaptionButtonsCloseAndFollowTheRightEdge) {
    Open(300, 200, true, 30, [](SkinTestDlg& d) {
        d.SetSkin(TestBackground(), false, true, FourFrames(20, 20), FourFrames(22, 20),
                  FourFrames(22, 20), FourFrames(25, 20));
    });
    HWND close = dlg->GetDlgItem(kIdCaptionClose);
    HWND maxb = dlg->GetDlgItem(kIdCaptionMaximize);
    HWND minb = dlg->GetDlgItem(kIdCaptionMinimize);
    ASSERT_TRUE(close && maxb && minb);
    auto left = [&](HWND h) {
        RECT rc{};
        ::GetWindowRect(h, &rc);
        ::MapWindowPoints(nullptr, *dlg, reinterpret_cast<POINT*>(&rc), 2);
        return rc.left;
    };
    EXPECT_EQ(275, left(close));
    EXPECT_EQ(253, left(maxb));
    EXPECT_EQ(233, left(minb));
    ::SetWindowPos(*dlg, nullptr, 0, 0, 400, 200, SWP_NOMOVE | SWP_NOZORDER);
    Pump(30);
    EXPECT_EQ(375, left(close));
    EXPECT_EQ(353, left(maxb));
    EXPECT_EQ(333, left(minb));
    EXPECT_EQ(L"\u5173\u95ED", TooltipText(dlg->CloseButton()));     // 关闭
    EXPECT_EQ(L"\u6700\u5927\u5316", TooltipText(dlg->MaximizeButton()));  // 最大化
    // A skin set again makes the buttons again, with their tooltips.
    dlg->SetSkin(TestBackground(), false, true, FourFrames(20, 20), FourFrames(22, 20), FourFrames(22, 20),
                 FourFrames(25, 20));
    close = dlg->GetDlgItem(kIdCaptionClose);
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(L"\u5173\u95ED", TooltipText(dlg->CloseButton()));
    EXPECT_EQ(L"\u6700\u5C0F\u5316", TooltipText(dlg->MinimizeButton()));  // 最小化

    RECT rc{};
    ::GetWindowRect(close, &rc);
    ClickAt(POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2});
    Pump(100);
    // Close posts SC_CLOSE: the dialog manager turns it into IDCANCEL.
    ASSERT_FALSE(dlg->commands.empty());
    EXPECT_EQ(static_cast<UINT>(kIdCaptionClose), dlg->commands.front());
    EXPECT_EQ(static_cast<UINT>(IDCANCEL), dlg->commands.back());
}

TEST_F(SkinnedDialog, ButtonFramesStatesAndClicks) {
    CBtnEx btn;
    Open(300, 200, false, 30, [&](SkinTestDlg& d) {
        HBITMAP strip = FourFrames(25, 25);
        btn.Create(d, RECT{40, 60, 90, 100}, L"", 77, nullptr);
        EXPECT_TRUE(btn.SetImage(strip, true));
        ::DeleteObject(strip);
    });
    EXPECT_EQ(25, btn.FrameSize().cx);
    EXPECT_EQ(25, btn.FrameSize().cy);
    RECT rc{};
    ::GetWindowRect(btn, &rc);
    EXPECT_EQ(25, rc.right - rc.left);
    EXPECT_EQ(25, rc.bottom - rc.top);
    EXPECT_EQ(kFrames[0], At(52, 72));

    // Hover draws frame 1.
    MoveMouse(ClientToScreenPt(*dlg, 50, 70));
    Pump(50);
    MoveMouse(ClientToScreenPt(*dlg, 52, 72));
    Pump(150);
    EXPECT_EQ(kFrames[1], At(45, 65));

    // A real click reaches the dialog as the button's command.
    ClickAt(ClientToScreenPt(*dlg, 52, 72));
    EXPECT_NE(dlg->commands.end(), std::find(dlg->commands.begin(), dlg->commands.end(), 77u));

    // Leaving draws frame 0 again; disabled draws frame 3.
    MoveMouse(ClientToScreenPt(*dlg, 200, 150));
    Pump(150);
    EXPECT_EQ(kFrames[0], At(45, 65));
    ::EnableWindow(btn, FALSE);
    Pump(80);
    EXPECT_EQ(kFrames[3], At(45, 65));
    EXPECT_EQ(CBtnEx::kFrameDisabled, btn.CurrentFrame(false));
}

TEST_F(SkinnedDialog, StretchedButtonShowsTheSkinThroughMagenta) {
    CBtnEx btn;
    Open(300, 200, false, 30, [&](SkinTestDlg& d) {
        HBITMAP strip = FourFrames(20, 20, true);
        btn.Create(d, RECT{40, 60, 120, 140}, L"", 78, strip);
        ::DeleteObject(strip);
    });
    EXPECT_EQ(kFrames[0], At(42, 62));   // stretched frame edge
    EXPECT_EQ(kBody, At(80, 100));       // transparent middle shows the skin
    EXPECT_FALSE(btn.HasTooltip());
    EXPECT_EQ(nullptr, btn.TooltipWindow());
}

TEST_F(SkinnedDialog, DisabledButtonCaptionIsGrey) {
    CBtnEx btn;
    Open(300, 200, false, 30, [&](SkinTestDlg& d) {
        HBITMAP strip = MakeBitmap(4 * 60, 24, [](int, int) { return RGB(255, 255, 255); });
        btn.Create(d, RECT{40, 60, 100, 84}, L"\u786E\u5B9A", 79, strip);
        ::DeleteObject(strip);
        ::EnableWindow(btn, FALSE);
    });
    // Some caption pixel is the grey-text colour's hue, none is black.
    const POINT a = ClientToScreenPt(*dlg, 40, 60), b = ClientToScreenPt(*dlg, 100, 84);
    const auto px = ScreenPixels(RECT{a.x, a.y, b.x, b.y});
    EXPECT_NE(px.end(), std::find(px.begin(), px.end(), ::GetSysColor(COLOR_GRAYTEXT)));
    EXPECT_EQ(px.end(), std::find(px.begin(), px.end(), RGB(0, 0, 0)));
}

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
    Pump(150);
    EXPECT_TRUE(link.IsHovering());
    EXPECT_GT(count(hover), 0);
    ClickAt(ClientToScreenPt(*dlg, 62, 70));
    EXPECT_NE(dlg->commands.end(), std::find(dlg->commands.begin(), dlg->commands.end(), 96u));
    MoveMouse(ClientToScreenPt(*dlg, 250, 150));
    Pump(150);
    EXPECT_FALSE(link.IsHovering());
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
