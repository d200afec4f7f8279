// Screenshots of the skinned controls with the program's own artwork, saved
// under the screenshot folder for a person to look at.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "../support/screenshot.h"
#include "../support/ui_driver.h"
#include "res/resource.h"
#include "ui/btn_ex.h"
#include "ui/image.h"
#include "ui/img_progress.h"
#include "ui/message_box.h"
#include "ui/static_ex.h"
#include "ui_test_util.h"

using namespace kvr;
using namespace kvrtest;

namespace {

// A child's rectangle in its parent's client coordinates.
RECT ChildRect(HWND child) {
    RECT r{};
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

bool Inside(const RECT& r, const RECT& area) {
    return r.left >= area.left && r.top >= area.top && r.right <= area.right && r.bottom <= area.bottom;
}

void ShotOfBox(int kind, const wchar_t* title, const wchar_t* text, int lines, const wchar_t* name) {
    std::thread driver([&] {
        HWND box = nullptr;
        for (int i = 0; i < 300 && !box; ++i) {
            box = ::FindWindowW(L"#32770", title);
            if (!box || !::IsWindowVisible(box)) box = nullptr, ::Sleep(20);
        }
        ASSERT_NE(box, nullptr) << "no box";
        // Sized to its text as the box's font measures it: every line and
        // button inside the frame (4-pixel border, 30-pixel caption) with room
        // to spare, each line as wide as its text, the buttons below the text.
        RECT client{};
        ::GetClientRect(box, &client);
        const RECT inner{4 + 8, 30 + 8, client.right - 4 - 8, client.bottom - 4 - 8};
        int found = 0;
        LONG textBottom = 0;
        for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
            if (_wcsicmp(ClassName(child).c_str(), L"Static") != 0) continue;
            const RECT r = ChildRect(child);
            ++found;
            EXPECT_TRUE(Inside(r, inner)) << "a line outside the frame's margins";
            EXPECT_GE(r.right - r.left, MeasuredText(box, WindowText(child).c_str()).right);
            textBottom = std::max(textBottom, r.bottom);
        }
        EXPECT_EQ(found, lines) << testing::PrintToString(std::wstring(name));
        RECT first{}, second{};
        const HWND buttons[2] = {::GetDlgItem(box, 5000), ::GetDlgItem(box, 5001)};
        ASSERT_NE(buttons[0], nullptr);
        EXPECT_EQ(buttons[1] != nullptr, kind != kMbOk);
        first = ChildRect(buttons[0]);
        if (buttons[1]) second = ChildRect(buttons[1]);
        for (const RECT& b : {first, second}) {
            if (::IsRectEmpty(&b)) continue;
            EXPECT_TRUE(Inside(b, inner)) << "a button outside the frame's margins";
            EXPECT_GE(b.top, textBottom + 4) << "a button over the text";
        }
        RECT overlap{};
        EXPECT_FALSE(::IntersectRect(&overlap, &first, &second)) << "the buttons overlap";
        ::RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        RECT rc{};
        ::GetWindowRect(box, &rc);
        EXPECT_EQ(SkinProblems(box, RECT{8, 55, rc.right - rc.left - 8, textBottom}), "");
        EXPECT_TRUE(SaveWindowShot(box, name));
        ::PostMessageW(box, WM_CLOSE, 0, 0);
    });
    ShowMessageBox(kind, title, text, nullptr);
    driver.join();
}

}  // namespace

TEST(Shots, MessageBoxes) {
    ShotOfBox(kMbOk, kMessageTitle, L"\u7F13\u5B58\u6E05\u9664\u5B8C\u6BD5\uFF01", 1, L"ui_msgbox_ok");
    ShotOfBox(kMbYesNo, kMessageTitle,
              L"\u68C0\u6D4B\u5230\u65B0\u7248\u672C\uFF0C\u662F\u5426\u7ACB\u5373\u66F4\u65B0\uFF1F\n"
              L"\u66F4\u65B0\u5B8C\u6210\u540E\u7A0B\u5E8F\u5C06\u81EA\u52A8\u91CD\u542F\u3002", 2,
              L"ui_msgbox_yesno_two_lines");
    ShotOfBox(kMbOkCancel, kMessageTitle, L"\u70ED\u952E\u51B2\u7A81\uFF0C\u8BF7\u91CD\u65B0\u8BBE\u7F6E\u4E0D\u540C\u70ED\u952E\u503C",
              1, L"ui_msgbox_okcancel");
}

TEST(Shots, Controls) {
    InitControls();
    CBtnEx ok, cancel;
    CStaticEx label, link;
    CImgProgress bars[3];
    SkinTestDlg dlg;
    dlg.init = [&](SkinTestDlg& d) {
        d.SetCaptionHeight(30);
        d.SetBorderWidth(4);
        d.SetCaptionButtonMargin(0);
        d.SetCaptionButtonTop(0);
        d.SetCaptionButtonGap(0);
        ::SetWindowPos(d, nullptr, 60, 60, 460, 300, SWP_NOZORDER);
        d.SetTitle(L"\u63A7\u4EF6\u793A\u4F8B");  // 控件示例
        d.SetSkin(IDB_DLG_BG, false, true, 0, 0, 0, IDB_CLOSE);
        label.Create(d, RECT{30, 45, 430, 61},
                     L"\u8FD9\u662F\u4E00\u6BB5\u8F83\u957F\u7684\u8BF4\u660E\u6587\u5B57\uFF0C"
                     L"\u63A7\u4EF6\u4F1A\u81EA\u5DF1\u6362\u884C\u5E76\u589E\u52A0\u9AD8\u5EA6\uFF0C"
                     L"\u4EE5\u663E\u793A\u5168\u90E8\u5185\u5BB9\u3002Skinned static text wraps by itself.", 90);
        link.Create(d, RECT{30, 95, 200, 111}, L"\u767B\u5F55\u5176\u4ED6\u8D26\u53F7", 91, SS_NOTIFY);
        link.SetTextColor(RGB(22, 96, 170));
        link.SetUnderline(true);
        for (int i = 0; i < 3; ++i) {
            HWND h = ::CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 35, 125 + 32 * i, 10, 10, d,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(100 + i)), ModuleInstance(), nullptr);
            bars[i].SubclassWindow(h);
            bars[i].SetImages(LoadSkinImage(IDB_PROGRESS_BG), LoadSkinImage(IDB_PROGRESS_FILL));
            bars[i].SetShowPercent(true);
            ::SendMessageW(h, PBM_SETRANGE32, 0, 100);
            ::SendMessageW(h, PBM_SETPOS, i == 0 ? 0 : i == 1 ? 37 : 100, 0);
        }
        ok.Create(d, RECT{250, 240, 307, 263}, L"\u786E\u5B9A", IDOK, nullptr);
        ok.SetImage(IDB_BUTTON, false);
        cancel.Create(d, RECT{320, 240, 377, 263}, L"\u53D6\u6D88", IDCANCEL, nullptr);
        cancel.SetImage(IDB_BUTTON, false);
        ::EnableWindow(cancel, FALSE);
    };
    ASSERT_NE(nullptr, dlg.Create(nullptr));
    ::ShowWindow(dlg, SW_SHOW);
    Pump(300);
    RECT rc{};
    ::GetWindowRect(dlg, &rc);
    EXPECT_EQ(rc.right - rc.left, 460);
    EXPECT_EQ(rc.bottom - rc.top, 300);
    EXPECT_EQ(SkinProblems(dlg, RECT{30, 45, 430, 61}), "") << "the label's first line";
    EXPECT_TRUE(SaveWindowShot(dlg, L"ui_controls"));
    // The hover state of the close button.
    ::GetWindowRect(dlg.GetDlgItem(kIdCaptionClose), &rc);
    MoveMouse(POINT{rc.left + 10, rc.top + 10});
    Pump(100);
    MoveMouse(POINT{rc.left + 12, rc.top + 12});
    Pump(300);
    EXPECT_TRUE(SaveWindowShot(dlg, L"ui_controls_close_hover"));
    ::DestroyWindow(dlg);
}

TEST(Shots, GameFrameSkin) {
    // The game window's pieces of the skin where that window puts them: tool
    // buttons and the add-account link on the band, and two tabs.
    CBtnEx hide, sound, menu, hall;
    CStaticEx link;
    SkinTestDlg dlg;
    const int w = 1100;
    dlg.init = [&](SkinTestDlg& d) {
        d.SetCaptionHeight(30);
        d.SetBorderWidth(4);
        d.SetCaptionButtonMargin(0);
        d.SetCaptionButtonTop(0);
        d.SetResizable(true);
        ::SetWindowPos(d, nullptr, 40, 40, w, 300, SWP_NOZORDER);
        d.SetTitle(L"");
        d.SetSkin(IDB_MAIN_BG, false, true, IDB_MINIMIZE, IDB_MAXIMIZE, IDB_RESTORE, IDB_CLOSE);
        // Right of the caption buttons' 33 + 27 + 27 pixels.
        hide.Create(d, RECT{w - 114, 0, w - 87, 27}, L"", 1001, nullptr);
        hide.SetImage(IDB_TOOL_HIDE, false);
        sound.Create(d, RECT{w - 141, 0, w - 114, 27}, L"", 1002, nullptr);
        sound.SetImage(IDB_TOOL_SOUND, false);
        menu.Create(d, RECT{w - 185, 0, w - 141, 28}, L"", 1003, nullptr);
        menu.SetImage(IDB_TOOL_MENU, false);
        hall.Create(d, RECT{w - 264, 0, w - 185, 28}, L"", 1004, nullptr);
        hall.SetImage(IDB_TOOL_HALL, false);
        link.Create(d, RECT{w - 360, 7, w - 268, 23}, L"\u767B\u5F55\u5176\u4ED6\u8D26\u53F7", 1005, SS_NOTIFY);
        link.SetPicture(IDB_LINK_PICTURE);
        link.SetTextColor(RGB(255, 255, 255));
    };
    ASSERT_NE(nullptr, dlg.Create(nullptr));
    ::ShowWindow(dlg, SW_SHOW);
    Pump(300);

    // Tabs as the game window draws them: image 2 active, 1 hovered, 0 else.
    HBITMAP tabs = LoadSkinImage(IDB_TABS);
    HBITMAP close = LoadSkinImage(IDB_TAB_CLOSE);
    HIMAGELIST tabList = MaskedImageList(tabs, 3);
    HIMAGELIST closeList = MaskedImageList(close, 3);
    HDC dc = ::GetDC(dlg);
    HFONT font = reinterpret_cast<HFONT>(::SendMessageW(dlg, WM_GETFONT, 0, 0));
    HGDIOBJ old = ::SelectObject(dc, font);
    ::SetBkMode(dc, TRANSPARENT);
    const wchar_t* captions[] = {L"\u53CC\u7EBF1\u670D-\u661F\u8FB0-player01",
                                 L"\u7535\u4FE13\u670D-\u9752\u9F99-player02"};
    for (int i = 0; i < 2; ++i) {
        ImageList_Draw(tabList, i == 0 ? 2 : 1, dc, 120 + 189 * i, 3, ILD_TRANSPARENT);
        if (i == 1) ImageList_Draw(closeList, 0, dc, 296 + 189 * i, 3, ILD_TRANSPARENT);
        RECT rc{136 + 189 * i, 8, 296 + 189 * i, 22};
        ::DrawTextW(dc, captions[i], -1, &rc, DT_SINGLELINE);
    }
    ::SelectObject(dc, old);
    ::ReleaseDC(dlg, dc);
    ImageList_Destroy(tabList);
    ImageList_Destroy(closeList);
    ::DeleteObject(tabs);
    ::DeleteObject(close);
    Pump(100);  // what was drawn reaches the screen
    RECT rc{};
    ::GetWindowRect(dlg, &rc);
    EXPECT_EQ(rc.right - rc.left, w);
    EXPECT_EQ(rc.bottom - rc.top, 300);
    // The white caption of the link on the band: light pixels among the blue.
    int light = 0;
    for (int y = 9; y < 21; ++y)
        for (int x = w - 340; x < w - 270; ++x) {
            const COLORREF c = ScreenPixel(rc.left + x, rc.top + y);
            if (GetRValue(c) > 200 && GetGValue(c) > 200 && GetBValue(c) > 200) ++light;
        }
    EXPECT_GT(light, 8) << "no link text on the band";
    EXPECT_EQ(SkinProblems(dlg, RECT{136, 8, 296, 22}), "") << "the first tab's caption";
    EXPECT_TRUE(SaveWindowShot(dlg, L"ui_frame_game_skin"));
    ::DestroyWindow(dlg);
}
