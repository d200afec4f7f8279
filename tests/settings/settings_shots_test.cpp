// Screenshot of the hotkey settings dialog with the defaults.
#include <gtest/gtest.h>

#include "../support/screenshot.h"
#include "../ui/ui_test_util.h"
#include "settings/setting_dlg.h"

using namespace kvr;
using namespace kvrtest;

TEST(Shots, SettingsDialog) {
    wchar_t dir[MAX_PATH];
    ::GetTempPathW(MAX_PATH, dir);
    const std::wstring ini = std::wstring(dir) + L"kvr_settings_shot.ini";
    ::DeleteFileW(ini.c_str());
    CSettingDlg dlg(ini.c_str());
    ASSERT_NE(nullptr, dlg.Create(nullptr));
    ::ShowWindow(dlg, SW_SHOW);
    Pump(300);
    // The template's size: its client area in its modal frame.
    RECT rc{}, expected{0, 0, 206, 233};
    ::GetWindowRect(dlg, &rc);
    ::MapDialogRect(dlg, &expected);
    ::AdjustWindowRectEx(&expected, WS_POPUP, FALSE, WS_EX_DLGMODALFRAME);
    ::OffsetRect(&expected, -expected.left, -expected.top);
    EXPECT_EQ(rc.right - rc.left, expected.right);
    EXPECT_EQ(rc.bottom - rc.top, expected.bottom);
    EXPECT_EQ(SkinProblems(dlg, RECT{0, 35, rc.right - rc.left, rc.bottom - rc.top - 20}), "");
    EXPECT_TRUE(SaveWindowShot(dlg, L"settings_dialog"));
    ::DestroyWindow(dlg);
}
