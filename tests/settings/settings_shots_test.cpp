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
    EXPECT_TRUE(SaveWindowShot(dlg, L"settings_dialog"));
    ::DestroyWindow(dlg);
}
