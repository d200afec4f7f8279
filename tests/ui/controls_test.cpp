// Window tests of the skinned dialog and button on the virtual display: real
// windows, real input, pixels read back from the screen. The static and the
// progress bar: label_progress_test.cpp.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/ui/skinned_dialog_fixture.h"
#include "ui/btn_ex.h"
#include "ui/image.h"

using namespace kvr;
using namespace kvrtest;

namespace {

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
        // Maximised once the clicks arrive; a fixed time shows that nothing happens.
        PumpUntil([&] { return dlg->IsMaximized(); }, resizable ? 5000 : 200);
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
    PumpUntil([&] { return !dlg->commands.empty() && dlg->commands.back() == static_cast<UINT>(IDCANCEL); });
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
    PumpUntil([&] { return At(45, 65) == kFrames[1]; });
    EXPECT_EQ(kFrames[1], At(45, 65));

    // A real click reaches the dialog as the button's command.
    ClickAt(ClientToScreenPt(*dlg, 52, 72));
    PumpUntil([&] { return std::find(dlg->commands.begin(), dlg->commands.end(), 77u) != dlg->commands.end(); });
    EXPECT_NE(dlg->commands.end(), std::find(dlg->commands.begin(), dlg->commands.end(), 77u));

    // Leaving draws frame 0 again; disabled draws frame 3.
    MoveMouse(ClientToScreenPt(*dlg, 200, 150));
    PumpUntil([&] { return At(45, 65) == kFrames[0]; });
    EXPECT_EQ(kFrames[0], At(45, 65));
    ::EnableWindow(btn, FALSE);
    PumpUntil([&] { return At(45, 65) == kFrames[3]; });
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

