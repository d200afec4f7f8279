// The QQ/Weibo page dialog: the authorisation guard while hidden, the login
// cookie check only on the recognised pages, the sweep of leftover boxes.
#include <gtest/gtest.h>

#include <windows.h>
#include <wininet.h>
#include <string>
#include <vector>
#include "base/endpoints.h"
#include "login/qq_html.h"
#include "login_test_util.h"

using namespace kvr;
using kvrtest::Pump;

namespace {

class RecordingPage : public CQQHtml {
public:
    RecordingPage() : CQQHtml(nullptr) { SetStartUrl(L"about:blank"); }
    void OnBeforeNavigate2(IDispatch* d, const wchar_t* url, bool* cancel) override {
        CQQHtml::OnBeforeNavigate2(d, url, cancel);
        urls.push_back(url ? url : L"");
        cancels.push_back(*cancel);
    }
    std::vector<std::wstring> urls;
    std::vector<bool> cancels;
};

std::wstring Ext(const wchar_t* path) {
    return std::wstring(L"http://") + ServerHost(Server::ExtLogin) + path;
}

}  // namespace

TEST(QQHtml, AuthorisationPageOnlyWhileVisible) {
    RecordingPage page;
    ASSERT_TRUE(page.Create(nullptr));
    ASSERT_NE(page.Browser(), nullptr);
    const std::wstring authorize =
        std::wstring(L"http://") + ServerHost(Server::QQAuth) + L"/oauth2.0/authorize?client_id=1";
    page.Navigate(authorize.c_str());
    Pump();
    ASSERT_FALSE(page.urls.empty());
    EXPECT_EQ(page.urls.back(), authorize);
    EXPECT_TRUE(page.cancels.back()) << "hidden: the authorisation page must not load";

    bool cancel = false;
    page.OnBeforeNavigate2(nullptr, Ext(L"/qzone/callback.do?code=1").c_str(), &cancel);
    EXPECT_FALSE(cancel) << "other pages load while hidden";

    ::ShowWindow(page.m_hWnd, SW_SHOW);
    Pump();
    EXPECT_EQ(page.urls.back(), L"about:blank") << "showing navigates to the start page";
    page.Navigate(authorize.c_str());
    Pump();
    EXPECT_EQ(page.urls.back(), authorize);
    EXPECT_FALSE(page.cancels.back());
    ::DestroyWindow(page.m_hWnd);
}

TEST(QQHtml, LoginCookieEndsOnlyOnRecognisedPages) {
    RecordingPage page;
    ASSERT_TRUE(page.Create(nullptr));
    ::ShowWindow(page.m_hWnd, SW_SHOW);
    Pump();
    // No login cookie of an earlier run.
    ::InternetSetCookieW(Ext(L"/").c_str(), L"Pauth", L"; expires=Thu, 01-Jan-1970 00:00:00 GMT");

    // A binding page without the cookie stays for the player.
    const std::wstring bind = Ext(L"/qzone/extLoginBind.do?openid=kvrtest");
    page.OnDocumentComplete(page.Browser(), bind.c_str());
    Pump();
    EXPECT_FALSE(page.Sweeping());
    EXPECT_TRUE(::IsWindowVisible(page.m_hWnd));

    // The recognised path inside another page's query is not that page.
    const std::wstring other = L"http://elsewhere.test/next?to=" + Ext(L"/qzone/callback.do?code=1");
    ASSERT_TRUE(::InternetSetCookieW(L"http://elsewhere.test/", L"Pauth", L"someone"));
    page.OnDocumentComplete(page.Browser(), other.c_str());
    Pump();
    EXPECT_FALSE(page.Sweeping());
    EXPECT_TRUE(::IsWindowVisible(page.m_hWnd));

    // The callback page with the cookie: the page closes and the sweep starts.
    const std::wstring callback = Ext(L"/weibo/callback.do?state=abc");
    ASSERT_TRUE(::InternetSetCookieW(callback.c_str(), L"Pauth", L"stand-in-1"));
    page.OnDocumentComplete(page.Browser(), callback.c_str());
    EXPECT_TRUE(page.Sweeping());
    Pump(100);
    EXPECT_FALSE(::IsWindowVisible(page.m_hWnd));
    EXPECT_TRUE(page.IsWindow()) << "hidden, not destroyed: its sweep goes on";
    ::InternetSetCookieW(callback.c_str(), L"Pauth", L"; expires=Thu, 01-Jan-1970 00:00:00 GMT");
    ::DestroyWindow(page.m_hWnd);
}

TEST(QQHtml, SweepDestroysOnlyBoxesOwnedByThePage) {
    RecordingPage page;
    ASSERT_TRUE(page.Create(nullptr));
    HWND stranger = ::CreateWindowExW(0, L"#32770", L"other", WS_POPUP, 0, 0, 50, 50, nullptr,
                                      nullptr, nullptr, nullptr);
    HWND strangersBox = ::CreateWindowExW(0, L"#32770", L"box", WS_POPUP, 0, 0, 50, 50, stranger,
                                          nullptr, nullptr, nullptr);
    HWND pagesBox = ::CreateWindowExW(0, L"#32770", L"box", WS_POPUP, 0, 0, 50, 50, page.m_hWnd,
                                      nullptr, nullptr, nullptr);
    ASSERT_TRUE(strangersBox && pagesBox);
    for (int i = 0; i < 2000 && ::IsWindow(pagesBox); ++i) page.SweepOnce();
    EXPECT_FALSE(::IsWindow(pagesBox));
    EXPECT_TRUE(::IsWindow(strangersBox));
    EXPECT_TRUE(::IsWindow(stranger));
    ::DestroyWindow(stranger);
    ::DestroyWindow(page.m_hWnd);
}
