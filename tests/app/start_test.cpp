// kvr.exe itself under Wine against the stand-in portal: what start-up does
// before any later window exists.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include "base/endpoints.h"
#include "tests/support/portal_client.h"
#include "tests/support/ui_driver.h"

using namespace kvr::test;

namespace {

constexpr wchar_t kTitle[] = L"MarvoleKelvara";

std::wstring KvrExe() { return kvrtest::BuildPath(L"kvr.exe"); }

// Closes the message box as the player would with its close button.
void CloseBox(HWND box) { ::PostMessageW(box, WM_CLOSE, 0, 0); }

class StartTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(PortalReset()) << "stand-in portal not reachable"; }
    void TearDown() override { PortalReset(); }
};

}  // namespace

TEST_F(StartTest, WithoutNetworkOnlyTheMessageAppearsAndNothingIsSent) {
    // The connectivity probe is the client-service server: take it away.
    ASSERT_TRUE(PortalSetRole("client-service", false));
    kvrtest::Process kvr;
    ASSERT_TRUE(kvr.Start(KvrExe())) << "CreateProcess of kvr.exe failed: " << ::GetLastError();
    HWND box = kvrtest::WaitForWindow(nullptr, kTitle, 30000, kvr.Id(), true);
    ASSERT_NE(box, nullptr) << "no window titled MarvoleKelvara";
    EXPECT_EQ(kvrtest::WindowText(box), kTitle);
    EXPECT_EQ(::GetParent(box), nullptr);
    EXPECT_NE(::GetDlgItem(box, 5000), nullptr) << "not the skinned box";
    EXPECT_NE(kvrtest::AllTexts(box).find(L"当前网络不可用，请检查网络连接是否正常！"), std::wstring::npos);
    // It waits for the player: only this one window.
    EXPECT_FALSE(kvr.Wait(500));
    EXPECT_EQ(kvrtest::FindTopWindows(nullptr, nullptr, kvr.Id(), true).size(), 1u);
    CloseBox(box);
    DWORD code = 0;
    EXPECT_TRUE(kvr.Wait(20000, &code)) << "kvr.exe did not end after the message";
    const auto log = PortalLog();
    EXPECT_TRUE(log.empty()) << log.size() << " requests, first " << log[0].path;

    // Behind a proxy (the system's settings; under Wine, http_proxy) the
    // direct connection fails but a GET of the probe is answered: the start
    // goes on, here to the uninstall question.
    ::SetEnvironmentVariableW(L"http_proxy", (L"http://" + std::wstring(kvr::ServerHost(kvr::Server::Portal))).c_str());
    kvrtest::Process behind;
    ASSERT_TRUE(behind.Start(KvrExe(), L"/uninst"));
    ::SetEnvironmentVariableW(L"http_proxy", nullptr);
    HWND question = kvrtest::WaitForWindow(nullptr, kTitle, 30000, behind.Id(), true);
    ASSERT_NE(question, nullptr);
    EXPECT_NE(kvrtest::AllTexts(question).find(L"确定要移除"), std::wstring::npos);
    CloseBox(question);
    EXPECT_TRUE(behind.Wait(20000));
    EXPECT_EQ(RequestsOf(PortalLog(), "portal").size(), 1u) << "the probe did not go through the proxy";
}

TEST_F(StartTest, UninstallNotConfirmedEndsWithNothingSent) {
    kvrtest::Process kvr;
    ASSERT_TRUE(kvr.Start(KvrExe(), L"/UNINST"));
    HWND box = kvrtest::WaitForWindow(nullptr, kTitle, 30000, kvr.Id(), true);
    ASSERT_NE(box, nullptr);
    EXPECT_NE(::GetDlgItem(box, 5000), nullptr) << "not the skinned box";
    EXPECT_NE(kvrtest::AllTexts(box).find(L"确定要移除 MarvoleKelvara极速登录器吗？"), std::wstring::npos);
    CloseBox(box);  // answers Cancel: not Yes
    EXPECT_TRUE(kvr.Wait(20000));
    EXPECT_TRUE(FindRequests(PortalLog(), "/uninstall.htm").empty());
}

namespace {

struct ParentLog {
    bool gaveUp = false;
    LPARAM lParam = 0;
};
ParentLog g_parent;

LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE) {
        g_parent.gaveUp = true;
        g_parent.lParam = lParam;
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

TEST_F(StartTest, PageProcessWhoseLoginIsCancelledTellsTheGameWindowAndEnds) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ParentProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KvrTestGameWindow";
    ::RegisterClassW(&wc);
    HWND parent = ::CreateWindowW(wc.lpszClassName, L"stand-in game window", WS_OVERLAPPEDWINDOW, 0, 0, 100,
                                  100, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(parent, nullptr);
    g_parent = {};
    kvrtest::Process kvr;
    const std::wstring args =
        L"/newgm /" + std::to_wstring(static_cast<long long>(reinterpret_cast<INT_PTR>(parent))) + L" /0";
    ASSERT_TRUE(kvr.Start(KvrExe(), args));
    // The player gives up: every window the page process shows is closed.
    const bool told = kvrtest::WaitUntil(
        [&] {
            for (HWND w : kvrtest::FindTopWindows(nullptr, nullptr, kvr.Id(), true))
                ::PostMessageW(w, WM_CLOSE, 0, 0);
            return g_parent.gaveUp;
        },
        40000);
    EXPECT_TRUE(told) << "the game window was not told";
    EXPECT_EQ(g_parent.lParam, 2817);
    EXPECT_TRUE(kvr.Wait(20000)) << "the page process did not end";
    EXPECT_TRUE(::IsWindow(parent));  // only the page process ends
    ::DestroyWindow(parent);
}
