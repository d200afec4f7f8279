// A page process of kvr.exe against a window of this test standing in for
// the game window, and the stand-in portal: the login page is requested, a
// "loadgame" sent through the automation channel reaches the game window as
// the caption, the page frame registers and joins it, and a refused caption
// ends the process with the message and the "gave up" notice.
#include <gtest/gtest.h>

#include <windows.h>
#include <wininet.h>

#include <string>
#include <vector>
#include "base/endpoints.h"
#include "base/messages.h"
#include "browser/test_hooks.h"
#include "login/qq_login.h"
#include "../support/portal_client.h"
#include "../support/ui_driver.h"
#include "login_test_util.h"

using namespace kvr;

namespace {

class GameWindow : public CWindowImpl {
public:
    std::vector<std::wstring> captions;
    std::vector<MSG> received;
    bool refuseAll = false;

    bool Make() {
        const RECT rc{0, 0, 900, 640};
        return Create(nullptr, rc, L"MarvoleKelvara", WS_OVERLAPPEDWINDOW | WS_VISIBLE) != nullptr;
    }
    bool Got(UINT msg) const {
        for (const MSG& m : received)
            if (m.message == msg) return true;
        return false;
    }

    BEGIN_MSG_MAP(GameWindow)
        MESSAGE_HANDLER(WM_COPYDATA, OnCopyData)
        MESSAGE_HANDLER(WM_KVR_FRAME_READY, Record)
        MESSAGE_HANDLER(WM_SYSCOMMAND, OnSysCommand)
    END_MSG_MAP()

private:
    LRESULT OnCopyData(UINT, WPARAM, LPARAM lParam, BOOL&) {
        const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        captions.emplace_back(static_cast<const wchar_t*>(cds->lpData));
        return refuseAll ? 0 : 1;
    }
    LRESULT Record(UINT msg, WPARAM wParam, LPARAM lParam, BOOL&) {
        received.push_back(MSG{m_hWnd, msg, wParam, lParam, 0, {0, 0}});
        return 0;
    }
    LRESULT OnSysCommand(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled) {
        received.push_back(MSG{m_hWnd, msg, wParam, lParam, 0, {0, 0}});
        handled = lParam == kSelfPostedMarker;  // never close this window
        return 0;
    }
};

// Sends the request to each dialog of the process until one takes it (the
// login page; the background window is not a page).
bool SendToPage(DWORD pid, UINT command, const std::wstring& text) {
    for (HWND h : kvrtest::FindTopWindows(L"#32770", nullptr, pid))
        if (SendTestHook(h, command, text.c_str())) return true;
    return false;
}

std::wstring Args(HWND game) {
    return L"/newgm /" + std::to_wstring(reinterpret_cast<ULONG_PTR>(game)) + L" /0";
}

}  // namespace

TEST(LoginProcess, LoadGameJoinsTheGameWindow) {
    ASSERT_TRUE(kvr::test::PortalReset());
    GameWindow game;
    ASSERT_TRUE(game.Make());
    kvrtest::Process page;
    ASSERT_TRUE(page.Start(kvrtest::BuildPath(L"kvr.exe"), Args(game.m_hWnd)));
    ASSERT_TRUE(kvrtest::WaitForWindow(L"#32770", L"MarvoleKelvara", 20000, page.Id()))
        << "no login window";
    EXPECT_TRUE(kvrtest::WaitUntil(
        [] { return !kvr::test::FindRequests(kvr::test::PortalLog(), "/zt/client/v2/index.html",
                                              "cid=4224").empty(); },
        5000))
        << "the login page was not requested";

    const std::wstring gameUrl = ServerUrl(Server::Portal, L"/game/play.html?server=12");
    bool sent = false;
    ASSERT_TRUE(kvrtest::WaitUntil(
        [&] {
            sent = sent || SendToPage(page.Id(), kHookNavigate,
                                      L"app://loadgame|S12%E6%9C%8D-area-user|" + gameUrl);
            return game.Got(WM_KVR_FRAME_READY);
        },
        20000))
        << "the page frame did not register";
    ASSERT_EQ(game.captions.size(), 1u);
    EXPECT_EQ(game.captions[0], L"12服-area-user");
    MSG ready{};
    for (const MSG& m : game.received)
        if (m.message == WM_KVR_FRAME_READY) ready = m;
    EXPECT_EQ(ready.lParam, 0) << "a game page, not the hall";
    HWND frame = reinterpret_cast<HWND>(ready.wParam);
    ASSERT_TRUE(::IsWindow(frame));
    EXPECT_TRUE(kvrtest::WaitUntil([&] { return ::GetAncestor(frame, GA_PARENT) == game.m_hWnd; }, 5000))
        << "the frame did not join the game window";
    EXPECT_TRUE(kvrtest::WaitUntil(
        [] { return !kvr::test::FindRequests(kvr::test::PortalLog(), "/game/play.html", "server=12").empty(); },
        5000))
        << "the game page was not requested";

    // The document events never come under Wine: hand the frame its first one.
    ASSERT_TRUE(SendTestHook(frame, kHookNavigateComplete, gameUrl.c_str()));
    EXPECT_TRUE(kvrtest::WaitUntil([&] { return ::IsWindowVisible(frame) != FALSE; }, 5000));

    ::PostMessageW(frame, WM_SYSCOMMAND, SC_CLOSE, 0);
    DWORD code = 1;
    EXPECT_TRUE(kvrtest::WaitUntil([&] { return page.Wait(0, &code); }, 10000)) << "the page did not end";
    ::DestroyWindow(game.m_hWnd);
}

TEST(LoginProcess, RefusedCaptionEndsThePageProcess) {
    ASSERT_TRUE(kvr::test::PortalReset());
    GameWindow game;
    game.refuseAll = true;
    ASSERT_TRUE(game.Make());
    kvrtest::Process page;
    ASSERT_TRUE(page.Start(kvrtest::BuildPath(L"kvr.exe"), Args(game.m_hWnd)));
    HWND bk = kvrtest::WaitForWindow(L"#32770", L"MarvoleKelvara", 20000, page.Id());
    ASSERT_NE(bk, nullptr);
    bool sent = false;
    ASSERT_TRUE(kvrtest::WaitUntil(
        [&] {
            sent = sent || SendToPage(page.Id(), kHookNavigate,
                                      L"app://loadgame|S12服-area-user|http://127.0.0.1:1/g");
            return !game.captions.empty();
        },
        20000));
    // The duplicate message: a further "MarvoleKelvara" dialog of the process.
    HWND box = nullptr;
    EXPECT_TRUE(kvrtest::WaitUntil(
        [&] {
            for (HWND h : kvrtest::FindTopWindows(L"#32770", L"MarvoleKelvara", page.Id(), true))
                if (h != bk) box = h;
            return box != nullptr;
        },
        10000))
        << "no duplicate-login message";
    if (box) ::PostMessageW(box, WM_CLOSE, 0, 0);
    EXPECT_TRUE(kvrtest::WaitUntil(
        [&] {
            for (const MSG& m : game.received)
                if (m.message == WM_SYSCOMMAND && m.wParam == SC_CLOSE && m.lParam == kSelfPostedMarker)
                    return true;
            return false;
        },
        10000))
        << "the game window was not told that the page gave up";
    DWORD code = 1;
    EXPECT_TRUE(kvrtest::WaitUntil([&] { return page.Wait(0, &code); }, 10000));
    EXPECT_FALSE(game.Got(WM_KVR_FRAME_READY));
    ::DestroyWindow(game.m_hWnd);
}

// The QQ login frame against the stand-in's external-login server: shown, its
// page asks for the redirect; once the callback has set the "Pauth" cookie,
// its document completion ends the login window.
TEST(QQLoginFlow, CallbackCookieEndsTheFrame) {
    ASSERT_TRUE(kvr::test::PortalReset());
    ::InternetSetCookieW((std::wstring(L"http://") + ServerHost(Server::ExtLogin) + L"/").c_str(),
                         L"Pauth", L"; expires=Thu, 01-Jan-1970 00:00:00 GMT");
    CQQLogin frame;
    const std::wstring redirect =
        std::wstring(L"http://") + ServerHost(Server::ExtLogin) + paths::kQQRedirect + L"client=kvr";
    frame.SetStartUrl(redirect.c_str());
    ASSERT_TRUE(frame.Create(nullptr));
    ::ShowWindow(frame.m_hWnd, SW_SHOW);
    EXPECT_TRUE(kvrtest::WaitUntil(
        [] { return !kvr::test::FindRequests(kvr::test::PortalLog(), "/qzone/redirectToAuthorize.do",
                                              "client=kvr").empty(); },
        5000))
        << "the page did not ask for the redirect when shown";
    // The page fills the frame below its caption, and the browser the page.
    RECT frameRect{}, pageRect{}, browserRect{};
    ::GetWindowRect(frame.m_hWnd, &frameRect);
    ::GetWindowRect(frame.Page().m_hWnd, &pageRect);
    ASSERT_NE(frame.Page().Host().Window(), nullptr);
    ::GetWindowRect(frame.Page().Host().Window(), &browserRect);
    EXPECT_EQ(pageRect.left, frameRect.left + 4);
    EXPECT_EQ(pageRect.top, frameRect.top + 30);
    EXPECT_EQ(pageRect.right - pageRect.left, 782);
    EXPECT_EQ(pageRect.bottom - pageRect.top, 491);
    EXPECT_TRUE(::EqualRect(&browserRect, &pageRect))
        << "browser " << browserRect.right - browserRect.left << " x " << browserRect.bottom - browserRect.top;

    // The provider sends the player back to the callback, which sets the cookie.
    const std::wstring callback =
        std::wstring(L"http://") + ServerHost(Server::ExtLogin) + L"/qzone/callback.do?code=stand-in&state=kvr";
    HINTERNET net = ::InternetOpenW(L"kvr-test", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    ASSERT_NE(net, nullptr);
    HINTERNET req = ::InternetOpenUrlW(net, callback.c_str(), nullptr, 0, INTERNET_FLAG_RELOAD, 0);
    ASSERT_NE(req, nullptr);
    char buf[512];
    DWORD got = 0;
    while (::InternetReadFile(req, buf, sizeof(buf), &got) && got) {}
    ::InternetCloseHandle(req);
    ::InternetCloseHandle(net);

    frame.Page().OnDocumentComplete(frame.Page().Browser(), callback.c_str());
    EXPECT_TRUE(frame.Page().Sweeping());
    kvrtest::WaitUntil([&] { return false; }, 200);
    EXPECT_FALSE(::IsWindowVisible(frame.m_hWnd)) << "the login frame goes once logged in";
    EXPECT_FALSE(::IsWindowVisible(frame.Page().m_hWnd));
    frame.DestroyAll();
}
