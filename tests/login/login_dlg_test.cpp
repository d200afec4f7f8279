// The login window pair on the real browser control: loadgame accepted and
// refused against a window that answers the caption check, the other
// commands, keys, styles, and the QQ/Weibo redirect links.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>
#include "base/endpoints.h"
#include "login/login.h"
#include "login/login_bk_dlg.h"
#include "login/login_command.h"
#include "login/qq_login.h"
#include "login/login_picture.h"
#include "login_test_util.h"
#include "ui/gdiplus_include.h"
#include "ui/image.h"
#include "ui/window.h"

using namespace kvr;
using kvrtest::CaptionWindow;
using kvrtest::Pump;

namespace {

class LoginTest : public ::testing::Test {
protected:
    void Open(int pageCount) {
        ASSERT_TRUE(game.Make());
        bk = std::make_unique<CLoginBkDlg>(game.m_hWnd, pageCount);
        ASSERT_TRUE(bk->Create(nullptr));
        ::ShowWindow(bk->m_hWnd, SW_SHOW);
        Pump();
        ASSERT_TRUE(bk->LoginDialog().IsWindow());
        ASSERT_NE(bk->LoginDialog().Browser(), nullptr);
    }
    void TearDown() override {
        bk.reset();
        if (game.IsWindow()) ::DestroyWindow(game.m_hWnd);
        Pump();
    }
    void Navigate(const std::wstring& url) {
        bk->LoginDialog().Navigate(url.c_str());
        Pump(50);
    }
    CaptionWindow game;
    std::unique_ptr<CLoginBkDlg> bk;
};

const std::wstring kGameUrl = L"http://127.0.0.1:1/game.html?server=12";

}  // namespace

TEST_F(LoginTest, LoadGameAcceptedLeavesGameUrlAndEndsWithOk) {
    Open(0);
    const HWND bkWindow = bk->m_hWnd;
    Navigate(L"app://loadgame|S12%E6%9C%8D-area-user|" + kGameUrl);
    ASSERT_EQ(game.captions.size(), 1u);
    EXPECT_EQ(game.captions[0], L"12服-area-user");
    EXPECT_EQ(bk->LoginResult(), IDOK);
    EXPECT_EQ(bk->GameUrl(), kGameUrl);
    EXPECT_FALSE(::IsWindow(bkWindow)) << "the login ends once the event has returned";
}

TEST_F(LoginTest, DuplicateIsRefusedWithTheMessage) {
    Open(0);
    game.captions.push_back(L"12服-area-user");
    kvrtest::BoxWatcher watcher(L"MarvoleKelvara", {bk->m_hWnd, bk->LoginDialog().m_hWnd});
    Navigate(L"app://loadgame|S12服-area-user|" + kGameUrl);
    EXPECT_TRUE(watcher.seen) << "the duplicate-login message was not shown";
    EXPECT_EQ(game.messages, 1);
    EXPECT_EQ(bk->LoginResult(), IDCANCEL);
    EXPECT_EQ(bk->GameUrl(), L"") << "no game URL after a refusal";
}

TEST_F(LoginTest, OverlongAccountTextIsCutAndOverlongKeyNeverSent) {
    Open(0);
    // Without "服-" the key grows by the three characters around the parts:
    // too long for the game window, so nothing is sent and the login stays.
    Navigate(L"app://loadgame|" + std::wstring(300, L'x') + L"|" + kGameUrl);
    EXPECT_EQ(game.messages, 0);
    EXPECT_EQ(bk->LoginResult(), -1);
    // An account text past the buffer is cut, and the key that fits is sent.
    Navigate(L"app://loadgame|S1服-a-" + std::wstring(300, L'x') + L"|" + kGameUrl);
    ASSERT_EQ(game.captions.size(), 1u);
    EXPECT_EQ(game.captions[0], L"1服-a-" + std::wstring(255 - 6, L'x'));
    EXPECT_EQ(bk->LoginResult(), IDOK);
}

TEST_F(LoginTest, ExitAndMinimize) {
    Open(1);
    Navigate(L"app://minimize|");
    EXPECT_EQ(bk->LoginResult(), IDCANCEL) << "with pages open, minimize ends the login";
    bk.reset();
    ::DestroyWindow(game.m_hWnd);
    Pump();

    Open(0);
    ::ShowWindow(game.m_hWnd, SW_SHOW);
    Navigate(L"app://minimize|");
    EXPECT_EQ(bk->LoginResult(), -1);
    if (IsLuaEnabledHere())
        EXPECT_TRUE(::IsIconic(bk->m_hWnd));
    else
        EXPECT_TRUE(::IsIconic(game.m_hWnd));
    Navigate(L"app://unknown!|");
    EXPECT_EQ(bk->LoginResult(), -1);
    Navigate(L"app://exitgame|");
    EXPECT_EQ(bk->LoginResult(), IDCANCEL);
}

TEST_F(LoginTest, WindowsStylesKeysAndDocumentComplete) {
    Open(0);
    CLoginDlg& login = bk->LoginDialog();
    const LONG_PTR ex = ::GetWindowLongPtrW(login.m_hWnd, GWL_EXSTYLE);
    EXPECT_TRUE(ex & WS_EX_LAYERED);
    EXPECT_TRUE(ex & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(ex & WS_EX_APPWINDOW) << "no taskbar button of its own";
    EXPECT_TRUE(::GetWindowLongPtrW(bk->m_hWnd, GWL_STYLE) & WS_MINIMIZEBOX);
    wchar_t title[64] = L"";
    ::GetWindowTextW(bk->m_hWnd, title, 64);
    EXPECT_STREQ(title, L"MarvoleKelvara");
    const SIZE image = bk->ImageSize();
    if (image.cx > 0) {
        EXPECT_TRUE(::GetWindowLongPtrW(bk->m_hWnd, GWL_EXSTYLE) & WS_EX_LAYERED);
        RECT rc{};
        ::GetWindowRect(bk->m_hWnd, &rc);
        EXPECT_EQ(rc.right - rc.left, image.cx);
        EXPECT_EQ(rc.bottom - rc.top, image.cy);
    }

    MSG key{bk->m_hWnd, WM_KEYDOWN, VK_RETURN, 0, 0, {0, 0}};
    EXPECT_TRUE(bk->PreTranslateMessage(&key));
    key.hwnd = login.m_hWnd;
    for (WPARAM vk : {static_cast<WPARAM>(VK_ESCAPE), static_cast<WPARAM>(VK_F5)}) {
        key.wParam = vk;
        EXPECT_TRUE(login.PreTranslateMessage(&key));
    }

    // The page shows itself when its document is complete, browser filling it.
    EXPECT_FALSE(::IsWindowVisible(login.m_hWnd));
    ::SetWindowPos(bk->m_hWnd, nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    login.OnDocumentComplete(login.Browser(), L"http://127.0.0.1:1/zt/client/v2/index.html");
    EXPECT_TRUE(::IsWindowVisible(login.m_hWnd));
    RECT client{}, child{}, bkRect{}, loginRect{};
    ::GetClientRect(login.m_hWnd, &client);
    HWND browser = ::GetWindow(login.m_hWnd, GW_CHILD);
    ASSERT_NE(browser, nullptr);
    ::GetWindowRect(browser, &child);
    EXPECT_EQ(child.right - child.left, client.right);
    EXPECT_EQ(child.bottom - child.top, client.bottom);
    ::GetWindowRect(bk->m_hWnd, &bkRect);
    ::GetWindowRect(login.m_hWnd, &loginRect);
    EXPECT_EQ(loginRect.left, bkRect.left) << "the page lies exactly over the background";
    EXPECT_EQ(loginRect.top, bkRect.top);

    EXPECT_FALSE(login.DragBackgroundAt(WM_NCMOUSEMOVE, POINT{850, 100}));
    EXPECT_TRUE(login.DragBackgroundAt(WM_NCMOUSEMOVE, POINT{10, 10}));
}

TEST_F(LoginTest, QQAndWeiboLinksOpenOneFrame) {
    Open(0);
    const std::wstring ext = std::wstring(L"http://") + ServerHost(Server::ExtLogin);
    CLoginDlg& login = bk->LoginDialog();
    bool cancel = false;
    login.HandleUrl((ext + L"/qzone/redirectToAuthorize.do?client=kvr").c_str(), &cancel);
    EXPECT_TRUE(cancel);
    ASSERT_NE(login.OAuthWindow(), nullptr);
    HWND first = login.OAuthWindow()->m_hWnd;
    wchar_t title[64] = L"";
    ::GetWindowTextW(first, title, 64);
    EXPECT_STREQ(title, L"QQ账号安全登录");
    EXPECT_TRUE(::IsWindowVisible(first));
    RECT rc{};
    ::GetWindowRect(first, &rc);
    EXPECT_EQ(rc.right - rc.left, 790);
    EXPECT_EQ(rc.bottom - rc.top, 525);
    CQQHtml& page = login.OAuthWindow()->Page();
    ASSERT_TRUE(page.IsWindow());
    RECT pageRect{};
    ::GetWindowRect(page.m_hWnd, &pageRect);
    EXPECT_EQ(pageRect.left, rc.left + 4);
    EXPECT_EQ(pageRect.top, rc.top + 30);
    EXPECT_EQ(pageRect.right, rc.right - 4);
    EXPECT_EQ(pageRect.bottom, rc.bottom - 4);

    // Through the real control: the link never leaves the login page.
    Navigate(ext + L"/weibo/redirectToAuthorize.do?client=kvr");
    ASSERT_NE(login.OAuthWindow(), nullptr);
    EXPECT_FALSE(::IsWindow(first)) << "a second link replaces the first window";
    ::GetWindowTextW(login.OAuthWindow()->m_hWnd, title, 64);
    EXPECT_STREQ(title, L"新浪微博账号安全登录");

    cancel = false;
    login.HandleUrl(L"http://127.0.0.1:1/other.html", &cancel);
    EXPECT_FALSE(cancel);
}

// The picture made off the window's thread is the one drawing the resource
// onto a cleared bitmap gives: premultiplied, top row first, see-through
// where the picture is.
TEST(LoginPicture, IsTheResourceDrawnPremultipliedTopRowFirst) {
    SIZE size{};
    const OwnedBitmap made(LoginPicture::Start()->Take(&size));
    DIBSECTION dib{};
    ASSERT_TRUE(made && ::GetObjectW(made.get(), sizeof dib, &dib) == sizeof dib && dib.dsBm.bmBits);
    ASSERT_EQ(dib.dsBm.bmBitsPixel, 32);
    const ComPtr<IStream> stream = PngResourceStream(ModuleInstance(), kLoginBackgroundPng);
    const std::unique_ptr<Gdiplus::Bitmap> image(Gdiplus::Bitmap::FromStream(stream.Get()));
    ASSERT_EQ(size.cx, static_cast<LONG>(image->GetWidth()));
    ASSERT_EQ(size.cy, static_cast<LONG>(image->GetHeight()));
    std::vector<std::uint32_t> drawn(static_cast<size_t>(size.cx) * size.cy, 0);
    {
        Gdiplus::Bitmap target(size.cx, size.cy, size.cx * 4, PixelFormat32bppPARGB,
                               reinterpret_cast<BYTE*>(drawn.data()));
        Gdiplus::Graphics graphics(&target);
        graphics.SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
        graphics.DrawImage(image.get(), 0, 0, size.cx, size.cy);
    }
    const auto* pixels = static_cast<const std::uint32_t*>(dib.dsBm.bmBits);  // top-down: row 0 first
    size_t differing = 0, clear = 0;
    for (size_t i = 0; i < drawn.size(); ++i) {
        for (int shift = 0; shift < 32; shift += 8) {
            const int a = (pixels[i] >> shift) & 0xFF, b = (drawn[i] >> shift) & 0xFF;
            differing += std::abs(a - b) > 1;  // rounding apart
        }
        clear += pixels[i] >> 24 == 0;
    }
    EXPECT_EQ(differing, 0u);
    EXPECT_GT(clear, 0u) << "the picture has see-through parts";
}

// A first login, shown before its game window exists: a wake-up posted by any
// other process brings no window; only the one that came through the pipe
// counts, and the login then goes to it.
TEST_F(LoginTest, FirstLoginTakesItsGameWindowOnlyFromThePipe) {
    ASSERT_TRUE(game.Make());
    WindowHandoff handoff = CreateWindowHandoff();
    bk = std::make_unique<CLoginBkDlg>(nullptr, 0, nullptr, std::move(handoff.readEnd));
    ASSERT_TRUE(bk->Create(nullptr));
    ::PostMessageW(bk->m_hWnd, CLoginBkDlg::kGameWindowMessage, reinterpret_cast<WPARAM>(::GetDesktopWindow()), 0);
    Pump();
    EXPECT_EQ(bk->TakeGameWindow(), nullptr);
    ASSERT_TRUE(SendWindow(handoff.writeEnd.get(), game.m_hWnd));
    EXPECT_EQ(bk->TakeGameWindow(5000), game.m_hWnd);
    Navigate(L"app://loadgame|S12%E6%9C%8D-area-user|" + kGameUrl);
    EXPECT_EQ(game.captions.size(), 1u);
}
