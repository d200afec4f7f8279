// Screenshots of the game window on the virtual display: three tabs with
// one hovered (its close box lit), the window menu open, the add-account
// choice under its link.
#include <gtest/gtest.h>
#include <windows.h>
#include "game_window_support.h"
#include "base/messages.h"
#include "gamewnd/tab_strip.h"
#include "tests/support/screenshot.h"
#include "tests/support/ui_driver.h"

namespace kvr {
namespace {

using test::GameWindowRun;
using test::SetNextPage;
using kvrtest::WaitUntil;

TEST(GameWindowShots, TabsMenuAndAddAccount) {
    SetNextPage(L"12服-风云再起-alice");
    GameWindowRun run;
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(run.WaitForPages(1, 15000));
    HWND game = run.Window();
    SetNextPage(L"7服-龙腾四海-bob_the_long_account_name");
    ::PostMessageW(game, WM_KVR_ADD_ACCOUNT, 1, 0);
    ASSERT_TRUE(run.WaitForPages(2, 15000));
    SetNextPage(L"3服-凤舞九天-carol");
    ::PostMessageW(game, WM_KVR_ADD_ACCOUNT, 1, 0);
    ASSERT_TRUE(run.WaitForPages(3, 15000));
    ::Sleep(1000);  // the pages show themselves

    const RECT box = TabCloseBoxRect(1);
    ::PostMessageW(game, WM_MOUSEMOVE, 0, MAKELPARAM(box.left + 4, box.top + 4));
    ASSERT_TRUE(WaitUntil([&] { return run.Dlg()->HoveredTab() == 1 && run.Dlg()->CloseBoxState() == 1; }, 3000));
    ::Sleep(300);
    EXPECT_TRUE(kvrtest::SaveWindowShot(game, L"gamewnd_three_tabs"));

    ::PostMessageW(game, WM_COMMAND, MAKEWPARAM(IDC_GW_MENU, BN_CLICKED), 0);
    ::Sleep(1200);
    EXPECT_TRUE(kvrtest::SaveScreenShot(L"gamewnd_menu"));
    ::PostMessageW(game, WM_CANCELMODE, 0, 0);
    kvrtest::PressKeys({VK_ESCAPE});
    ::Sleep(500);

    ::PostMessageW(game, WM_COMMAND, MAKEWPARAM(IDC_GW_OTHER_ACCOUNT, STN_CLICKED), 0);
    ASSERT_TRUE(WaitUntil([&] {
        HWND panel = run.Dlg()->AddAccountWindow();
        return panel && ::IsWindowVisible(panel);
    }, 5000));
    ::Sleep(500);
    HWND panel = run.Dlg()->AddAccountWindow();
    RECT link{}, rc{};
    ::GetWindowRect(::GetDlgItem(game, IDC_GW_OTHER_ACCOUNT), &link);
    ::GetWindowRect(panel, &rc);
    EXPECT_EQ(rc.right, link.right);
    EXPECT_EQ(rc.top, link.bottom);
    EXPECT_TRUE(kvrtest::SaveScreenShot(L"gamewnd_add_account"));
}

}  // namespace
}  // namespace kvr
