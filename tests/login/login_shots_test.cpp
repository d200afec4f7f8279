// Screenshots of the login window (background picture with the login page
// over it) and of the QQ login frame, on the virtual display.
#include <gtest/gtest.h>

#include "base/endpoints.h"
#include "login/login_bk_dlg.h"
#include "login/qq_login.h"
#include "login_test_util.h"
#include "../support/screenshot.h"

using namespace kvr;
using kvrtest::Pump;

TEST(LoginShots, LoginWindowAndQQFrame) {
    kvrtest::CaptionWindow game;
    ASSERT_TRUE(game.Make());
    CLoginBkDlg bk(game.m_hWnd, 0);
    ASSERT_TRUE(bk.Create(nullptr));
    ::SetWindowPos(bk.m_hWnd, HWND_TOP, 120, 80, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    Pump(400);
    RECT rc{};
    ::GetWindowRect(bk.m_hWnd, &rc);
    EXPECT_EQ(rc.right - rc.left, bk.ImageSize().cx) << "the window has the picture's size";
    // The background alone: the page stays hidden until its document completes.
    EXPECT_TRUE(kvrtest::SaveScreenRect(rc, L"login_background"));
    // Under Wine the page never completes by itself: hand the dialog its event.
    bk.LoginDialog().OnDocumentComplete(bk.LoginDialog().Browser(),
                                        ServerUrl(Server::Portal, paths::kLoginPage).c_str());
    Pump(400);
    // The page over it (blank here: no HTML engine under Wine).
    EXPECT_TRUE(kvrtest::SaveScreenRect(rc, L"login_window"));

    bool cancel = false;
    const std::wstring qq = std::wstring(L"http://") + ServerHost(Server::ExtLogin) + paths::kQQRedirect +
                            L"client=kvr";
    bk.LoginDialog().HandleUrl(qq.c_str(), &cancel);
    ASSERT_NE(bk.LoginDialog().OAuthWindow(), nullptr);
    HWND frame = bk.LoginDialog().OAuthWindow()->m_hWnd;
    ::SetWindowPos(frame, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    Pump(400);
    EXPECT_TRUE(kvrtest::SaveWindowShot(frame, L"qq_login"));
    ::DestroyWindow(bk.m_hWnd);
    ::DestroyWindow(game.m_hWnd);
    Pump();
}
