// The page dialogs on the real browser control: the "app:" filter through
// real navigations, page buttons and their capture, the context menu, the
// control site's IDocHostShowUI face and the test automation channel.
#include <gtest/gtest.h>

#include <exdispid.h>
#include <memory>
#include <string>
#include <vector>
#include "browser/app_command.h"
#include "browser/browser_guids.h"
#include "browser/dhtm_dlg_ex.h"
#include "browser/frame_trust.h"
#include "browser/my_browser_control_site.h"
#include "browser/test_hooks.h"
#include "fake_element.h"
#include "res/ids_login.h"

using namespace kvr;
using kvrtest::FakeElement;

namespace {

void Pump() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

class PageDlg : public CDHtmDlgEx {
public:
    PageDlg() : CDHtmDlgEx(IDD_LOGIN_PAGE) {}
    void OnBeforeNavigate2(IDispatch* disp, const wchar_t* url, bool* cancel) override {
        CDHtmDlgEx::OnBeforeNavigate2(disp, url, cancel);
        urls.push_back(url ? url : L"");
        cancels.push_back(*cancel);
    }
    void OnNewWindow(const wchar_t* url) override { newWindows.push_back(url ? url : L""); }
    const ElementEvent* Map(size_t* n) { return ElementEvents(n); }
    std::vector<std::wstring> urls, newWindows;
    std::vector<bool> cancels;
};

class PlainDlg : public CDHtmlDialog {
public:
    PlainDlg() : CDHtmlDialog(IDD_LOGIN_PAGE) {}
};

class PageDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dlg.Create(nullptr));
        ::SetWindowPos(dlg.m_hWnd, nullptr, 50, 50, 400, 300, SWP_NOZORDER | SWP_SHOWWINDOW);
        Pump();
    }
    void TearDown() override {
        if (::GetCapture() == dlg.m_hWnd) ::ReleaseCapture();
        if (dlg.IsWindow()) ::DestroyWindow(dlg.m_hWnd);
        Pump();
    }
    // What the filter decided for a navigation through the real control.
    bool NavigateCancelled(const wchar_t* url) {
        const size_t before = dlg.urls.size();
        dlg.Navigate(url);
        Pump();
        EXPECT_GT(dlg.urls.size(), before) << "no BeforeNavigate2 for " << testing::PrintToString(std::wstring(url));
        if (dlg.urls.size() <= before) return false;
        EXPECT_EQ(dlg.urls[before], url);
        return dlg.cancels[before];
    }
    PageDlg dlg;
};

}  // namespace

TEST_F(PageDialogTest, AppUrlsAreCancelledOthersNavigate) {
    ASSERT_NE(dlg.Browser(), nullptr) << "the browser control was not created";
    EXPECT_TRUE(NavigateCancelled(L"app://loadgame|S1服-a-b|http://127.0.0.1:1/"));
    EXPECT_TRUE(NavigateCancelled(L"app:"));
    EXPECT_FALSE(NavigateCancelled(L"about:blank"));
    ASSERT_EQ(FramePageUrl(dlg.Browser()), L"about:blank");
    // Other schemes (the upper-case one is no command either) are cancelled
    // before the page's owner hears of them: the control stays where it was.
    for (const wchar_t* url : {L"APP://loadgame|x", L"file:///C:/windows/win.ini", L"res://ieframe.dll/x.htm"}) {
        dlg.Navigate(url);
        Pump();
        EXPECT_EQ(FramePageUrl(dlg.Browser()) + dlg.urls.back(), L"about:blankabout:blank") << dlg.urls.size();
    }
}

TEST(AppFilter, Rules) {
    bool cancel = true;
    FilterAppUrl(L"javascript:void(0)", &cancel);
    EXPECT_FALSE(cancel) << "script URLs always run";
    cancel = false;
    FilterAppUrl(L"app:", &cancel);
    EXPECT_TRUE(cancel);
    cancel = false;
    FilterAppUrl(L"App://exitgame", &cancel);
    EXPECT_FALSE(cancel);
    cancel = true;
    FilterAppUrl(L"http://x/", &cancel);
    EXPECT_TRUE(cancel) << "other URLs are left as the browser has them";

    EXPECT_EQ(AppCommandName(L"app://loadgame|a|b"), L"loadgame");
    EXPECT_EQ(AppCommandName(L"app://load"), L"");
    AppArgs args = SplitAppArgs(L"app://loadgame|acc|http://g/?a|b");
    EXPECT_TRUE(args.hasBar);
    EXPECT_EQ(args.data, L"acc");
    EXPECT_EQ(args.second, L"http://g/?a|b");
    args = SplitAppArgs(L"app://loadgame|account-without-bar");
    EXPECT_FALSE(args.hasBar);
    EXPECT_EQ(args.data, L"");
    EXPECT_TRUE(IsAllowedNavigation(L"JavaScript:void(0)") && !IsAllowedNavigation(L"httpx://x/"));
}

TEST_F(PageDialogTest, NewWindowsAreCancelledAndTheirPagesHandedOn) {
    // As the control fires them, arguments last-first: NewWindow3 (ppDisp,
    // Cancel, Flags, UrlContext, Url); NewWindow2 has its first two.
    ComPtr<CBrowserEventSink> sink;
    sink.Attach(new CBrowserEventSink(&dlg, dlg.Browser()));
    VARIANT_BOOL cancel = VARIANT_FALSE;
    const OwnedBstr url(::SysAllocString(L"http://127.0.0.1:1/popup"));
    VARIANT args[5] = {};
    args[0].vt = VT_BSTR;
    args[0].bstrVal = url.get();
    args[3].vt = VT_BYREF | VT_BOOL;
    args[3].pboolVal = &cancel;
    for (DISPPARAMS params : {DISPPARAMS{args, nullptr, 5, 0}, DISPPARAMS{&args[3], nullptr, 2, 0}}) {
        cancel = VARIANT_FALSE;
        const DISPID id = params.cArgs == 5 ? DISPID_NEWWINDOW3 : DISPID_NEWWINDOW2;
        sink->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
        EXPECT_EQ(cancel, VARIANT_TRUE) << id;
    }
    EXPECT_EQ(dlg.newWindows, std::vector<std::wstring>{L"http://127.0.0.1:1/popup"});
}

TEST_F(PageDialogTest, DisabledButtonNeverChangesOrCaptures) {
    auto e = std::make_shared<FakeElement>();
    e->disabled = true;
    dlg.ButtonOver(e);
    dlg.ButtonDown(e);
    EXPECT_TRUE(e->positions.empty());
    EXPECT_NE(::GetCapture(), dlg.m_hWnd);
    EXPECT_EQ(dlg.CapturedButton(), nullptr);
    ::SendMessageW(dlg.m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
    EXPECT_EQ(e->clicks, 0);
}

TEST_F(PageDialogTest, PressMoveOutReleaseGivesNormalAndNoClick) {
    auto e = std::make_shared<FakeElement>();  // 50 wide at (10,10)
    EXPECT_EQ(dlg.ButtonDown(e), S_FALSE);
    ASSERT_EQ(::GetCapture(), dlg.m_hWnd);
    EXPECT_EQ(e->positions.back(), -100);  // pressed: -2w
    dlg.ButtonOut(e);                      // moving out keeps the pressed look while captured
    dlg.ButtonOver(e);
    EXPECT_EQ(e->positions.size(), 1u);
    EXPECT_EQ(::SendMessageW(dlg.m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(200, 5)), 0);
    EXPECT_EQ(e->positions.back(), 0);
    EXPECT_EQ(e->clicks, 0);
    EXPECT_NE(::GetCapture(), dlg.m_hWnd);
    EXPECT_EQ(dlg.CapturedButton(), nullptr);
}

TEST_F(PageDialogTest, ReleaseInsideGivesHoverAndOneClick) {
    auto e = std::make_shared<FakeElement>();
    dlg.ButtonDown(e);
    ::SendMessageW(dlg.m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(59, 29));
    EXPECT_EQ(e->positions.back(), -50);
    EXPECT_EQ(e->clicks, 1);
    // A further release without capture is not a click.
    ::SendMessageW(dlg.m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
    EXPECT_EQ(e->clicks, 1);
    // Negative coordinates of the message are signed, not huge.
    auto left = std::make_shared<FakeElement>(RECT{-30, -30, -10, -10});
    dlg.ButtonDown(left);
    ::SendMessageW(dlg.m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(-20, -20));
    EXPECT_EQ(left->clicks, 1);
}

TEST_F(PageDialogTest, RightReleaseEndsLeftCapture) {
    auto e = std::make_shared<FakeElement>();
    dlg.ButtonDown(e);
    ASSERT_EQ(::GetCapture(), dlg.m_hWnd);
    ::SendMessageW(dlg.m_hWnd, WM_RBUTTONUP, 0, MAKELPARAM(20, 20));
    EXPECT_NE(::GetCapture(), dlg.m_hWnd);
    EXPECT_EQ(e->clicks, 1);
    EXPECT_EQ(e->positions.back(), -50);
}

TEST_F(PageDialogTest, MouseUpWithoutCaptureHoversAndClicks) {
    auto e = std::make_shared<FakeElement>();
    dlg.ButtonUp(e);
    EXPECT_EQ(e->positions, std::vector<int>{-50});
    EXPECT_EQ(e->clicks, 1);
    dlg.ButtonOut(e);
    EXPECT_EQ(e->positions.back(), 0);
}

TEST_F(PageDialogTest, ElementMapAndContextMenu) {
    EXPECT_EQ(dlg.ShowContextMenu(CONTEXT_MENU_DEFAULT, nullptr, nullptr, nullptr), S_OK);
    size_t n = 0;
    const ElementEvent* map = dlg.Map(&n);
    ASSERT_EQ(n, 16u);
    int i = FindElementEvent(map, n, L"button", L"a", kEvMouseDown);
    ASSERT_GE(i, 0);
    EXPECT_EQ(map[i].handler, static_cast<ElementHandler>(&CDHtmDlgEx::OnButtonMouseDown));
    EXPECT_EQ(FindElementEvent(map, n, L"Button", L"a", kEvMouseDown), -1) << "class names match exactly";
    EXPECT_EQ(FindElementEvent(map, n, L"button", L"a", kEvContextMenu), -1);
    for (const wchar_t* tag : {L"body", L"TD", L"Div"}) {
        i = FindElementEvent(map, n, L"", tag, kEvContextMenu);
        ASSERT_GE(i, 0) << testing::PrintToString(std::wstring(tag));
        EXPECT_EQ((dlg.*(map[i].handler))(nullptr), S_FALSE) << "the page's menu is cancelled";
    }
    EXPECT_EQ(FindElementEvent(map, n, L"", L"span", kEvMouseDown), -1);
}

TEST_F(PageDialogTest, HostSettings) {
    DOCHOSTUIINFO info{};
    info.cbSize = sizeof(info);
    ASSERT_EQ(dlg.GetHostInfo(&info), S_OK);
    EXPECT_TRUE(info.dwFlags & DOCHOSTUIFLAG_DIALOG);
    IDispatch* external = nullptr;
    EXPECT_EQ(dlg.GetExternal(&external), S_OK);
    ASSERT_NE(external, nullptr);
    external->Release();
    VARIANT_BOOL silent = VARIANT_FALSE;
    ASSERT_NE(dlg.Browser(), nullptr);
    dlg.Browser()->get_Silent(&silent);
    EXPECT_EQ(silent, VARIANT_TRUE);
}

TEST(ControlSite, ShowUiIsOneFaceWithOneCount) {
    PageDlg dlg;
    auto* site = new CMyBrowserControlSite(&dlg, &dlg);
    IDocHostUIHandler* handler = nullptr;
    ASSERT_EQ(site->QueryInterface(IID_IDocHostUIHandler, reinterpret_cast<void**>(&handler)), S_OK);
    const ULONG base = site->AddRef() - 1;
    site->Release();

    IDocHostShowUI* fromSite = nullptr;
    IDocHostShowUI* fromHandler = nullptr;
    ASSERT_EQ(static_cast<IOleClientSite*>(site)->QueryInterface(kIidDocHostShowUI,
                                                                 reinterpret_cast<void**>(&fromSite)), S_OK);
    ASSERT_EQ(handler->QueryInterface(kIidDocHostShowUI, reinterpret_cast<void**>(&fromHandler)), S_OK);
    EXPECT_EQ(fromSite, fromHandler);
    EXPECT_EQ(fromSite->AddRef(), base + 3) << "AddRef of the added face counts on the site";
    fromSite->Release();
    fromSite->Release();
    fromHandler->Release();
    EXPECT_EQ(site->AddRef(), base + 1) << "releasing balanced the references taken";
    site->Release();

    LRESULT result = 0;
    EXPECT_EQ(fromHandler->ShowMessage(nullptr, nullptr, nullptr, MB_OK, nullptr, 0, &result), S_FALSE)
        << "the browser shows the page's own alert";
    EXPECT_EQ(fromHandler->ShowHelp(nullptr, nullptr, 0, 0, POINT{}, nullptr), S_FALSE);
    handler->Release();
    site->Release();

    PlainDlg plain;
    auto* plainSite = new CMyBrowserControlSite(&plain, &plain);
    IDocHostShowUI* ui = nullptr;
    ASSERT_EQ(plainSite->QueryInterface(kIidDocHostShowUI, reinterpret_cast<void**>(&ui)), S_OK);
    EXPECT_EQ(ui->ShowMessage(nullptr, nullptr, nullptr, MB_OK, nullptr, 0, &result), S_OK);
    ui->Release();
    plainSite->Release();
}

#ifdef KVR_TEST_HOOKS
TEST_F(PageDialogTest, AutomationChannelNavigatesAndDeliversEvents) {
    ASSERT_TRUE(SendTestHook(dlg.m_hWnd, kHookDocumentComplete, L"http://127.0.0.1:1/done"));
    EXPECT_EQ(dlg.CurrentUrl(), L"") << "carried out from the loop, not inside the send";
    Pump();
    EXPECT_EQ(dlg.CurrentUrl(), L"http://127.0.0.1:1/done");
    ASSERT_TRUE(SendTestHook(dlg.m_hWnd, kHookNavigate, L"app://exitgame|"));
    Pump();
    ASSERT_FALSE(dlg.urls.empty());
    EXPECT_EQ(dlg.urls.back(), L"app://exitgame|");
    EXPECT_TRUE(dlg.cancels.back());
    // Anything else sent as copy data is not taken.
    COPYDATASTRUCT cds{};
    cds.dwData = 7;
    EXPECT_EQ(::SendMessageW(dlg.m_hWnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)), 0);
}
#endif
