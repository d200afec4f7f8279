// Screenshots of the skinned controls with the program's own artwork, saved
// under the screenshot folder for a person to look at.
#include <gtest/gtest.h>

#include <thread>

#include "../support/screenshot.h"
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

void ShotOfBox(int kind, const wchar_t* title, const wchar_t* text, const wchar_t* name) {
    std::thread driver([&] {
        HWND box = nullptr;
        for (int i = 0; i < 300 && !box; ++i) {
            box = ::FindWindowW(L"#32770", title);
            if (!box || !::IsWindowVisible(box)) box = nullptr, ::Sleep(20);
        }
        if (!box) return;
        ::Sleep(300);
        EXPECT_TRUE(SaveWindowShot(box, name));
        ::PostMessageW(box, WM_CLOSE, 0, 0);
    });
    ShowMessageBox(kind, title, text, nullptr);
    driver.join();
}

}  // namespace

TEST(Shots, MessageBoxes) {
    ShotOfBox(kMbOk, kMessageTitle, L"\u7F13\u5B58\u6E05\u9664\u5B8C\u6BD5\uFF01", L"ui_msgbox_ok");
    ShotOfBox(kMbYesNo, kMessageTitle,
              L"\u68C0\u6D4B\u5230\u65B0\u7248\u672C\uFF0C\u662F\u5426\u7ACB\u5373\u66F4\u65B0\uFF1F\n"
              L"\u66F4\u65B0\u5B8C\u6210\u540E\u7A0B\u5E8F\u5C06\u81EA\u52A8\u91CD\u542F\u3002",
              L"ui_msgbox_yesno_two_lines");
    ShotOfBox(kMbOkCancel, kMessageTitle, L"\u70ED\u952E\u51B2\u7A81\uFF0C\u8BF7\u91CD\u65B0\u8BBE\u7F6E\u4E0D\u540C\u70ED\u952E\u503C",
              L"ui_msgbox_okcancel");
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
    EXPECT_TRUE(SaveWindowShot(dlg, L"ui_controls"));
    // The hover state of the close button.
    RECT rc{};
    ::GetWindowRect(dlg.GetDlgItem(kIdCaptionClose), &rc);
    MoveMouse(POINT{rc.left + 10, rc.top + 10});
    Pump(100);
    MoveMouse(POINT{rc.left + 12, rc.top + 12});
    Pump(300);
    EXPECT_TRUE(SaveWindowShot(dlg, L"ui_controls_close_hover"));
    ::DestroyWindow(dlg);
}

TEST(Shots, GameFrameSkin) {
    SkinTestDlg dlg;
    dlg.init = [](SkinTestDlg& d) {
        d.SetCaptionHeight(30);
        d.SetBorderWidth(4);
        d.SetCaptionButtonMargin(0);
        d.SetCaptionButtonTop(0);
        d.SetResizable(true);
        ::SetWindowPos(d, nullptr, 40, 40, 640, 400, SWP_NOZORDER);
        d.SetTitle(L"MarvoleKelvara");
        d.SetSkin(IDB_MAIN_BG, false, true, IDB_MINIMIZE, IDB_MAXIMIZE, IDB_RESTORE, IDB_CLOSE);
    };
    ASSERT_NE(nullptr, dlg.Create(nullptr));
    ::ShowWindow(dlg, SW_SHOW);
    Pump(300);
    EXPECT_TRUE(SaveWindowShot(dlg, L"ui_frame_resizable"));
    ::DestroyWindow(dlg);
}
