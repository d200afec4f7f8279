#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <cstdlib>
#include "base/endpoints.h"
#include "tests/install/scratch.h"
#include "tests/support/portal_client.h"
#include "tests/support/screenshot.h"
#include "tests/support/ui_driver.h"
#include "tests/update/modal_script.h"
#include "update/prgs_dlg.h"

using namespace kvr;
using namespace kvr::test;
using kvrtest::ModalScript;
using kvrtest::ScratchDir;

namespace {
std::wstring Url(const wchar_t* path) { return ServerUrl(Server::ClientService, path); }

std::string PatternString(size_t n) {
    const auto bytes = PatternBytes(n);
    return std::string(bytes.begin(), bytes.end());
}
}  // namespace

class PrgsDlgTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(PortalReset()); }
    ScratchDir dir{L"prgs"};
};

TEST_F(PrgsDlgTest, UntrustedAddressCancelsAtOnceWithoutARequest) {
    // "127.1" reaches the stand-in too, but is not a trusted host name.
    std::wstring url = Url(L"/download/untrusted.exe");
    url.replace(url.find(L"127.0.0.1"), 9, L"127.1");
    ASSERT_TRUE(PortalServePattern("/download/untrusted.exe", 1000));
    CPrgsDlg dlg;
    dlg.SetUrl(url.c_str());
    const std::wstring target = dir / L"NewKvr.exe";
    dlg.SetTargetPath(target.c_str());
    const DWORD start = ::GetTickCount();
    EXPECT_EQ(dlg.DoModal(nullptr), IDCANCEL);
    EXPECT_LT(::GetTickCount() - start, 3000u);
    EXPECT_FALSE(kvrtest::FileExists(target));
    EXPECT_TRUE(FindRequests(PortalLog(), "/download/untrusted.exe").empty());

    CPrgsDlg empty;  // no update address at all
    empty.SetTargetPath(target.c_str());
    EXPECT_EQ(empty.DoModal(nullptr), IDCANCEL);
}

TEST_F(PrgsDlgTest, ShortTransferStopsAtHalfAndCancels) {
    ASSERT_TRUE(PortalServePattern("/download/short.exe", 1000));
    ASSERT_TRUE(PortalFault("/download/short.exe", "short", 0, 500));
    CPrgsDlg dlg;
    dlg.SetUrl(Url(L"/download/short.exe").c_str());
    const std::wstring target = dir / L"NewKvr.exe";
    dlg.SetTargetPath(target.c_str());
    EXPECT_EQ(dlg.DoModal(nullptr), IDCANCEL);
    EXPECT_EQ(dlg.FinalPosition(), 50);
    EXPECT_FALSE(dlg.Succeeded());
}

TEST_F(PrgsDlgTest, WholeFileEndsWithOkAndAFullBar) {
    ASSERT_TRUE(PortalServePattern("/download/whole.exe", 3000));
    CPrgsDlg dlg;
    dlg.SetUrl(Url(L"/download/whole.exe").c_str());
    const std::wstring target = dir / L"NewKvr.exe";
    dlg.SetTargetPath(target.c_str());
    EXPECT_EQ(dlg.DoModal(nullptr), IDOK);
    EXPECT_EQ(dlg.FinalPosition(), 100);
    EXPECT_EQ(kvrtest::ReadFileBytes(target), PatternString(3000));
    EXPECT_TRUE(PortalReceived("/download/whole.exe"));
}

TEST_F(PrgsDlgTest, HalfwayWindowAndTheUsersCancel) {
    // 512 of 1024 bytes, then a long pause.
    ASSERT_TRUE(PortalServePattern("/download/slow.exe", 1024));
    ASSERT_TRUE(PortalFault("/download/slow.exe", "trickle", 8000));
    CPrgsDlg dlg;
    dlg.SetUrl(Url(L"/download/slow.exe").c_str());
    const std::wstring target = dir / L"NewKvr.exe";
    dlg.SetTargetPath(target.c_str());
    bool sawHalf = false, centred = false;
    std::wstring title;
    DWORD cancelAt = 0;
    ModalScript script([&] {
        if (!dlg.IsWindow() || sawHalf) return;
        if (::SendMessageW(dlg.ProgressBar(), PBM_GETPOS, 0, 0) != 50) return;
        sawHalf = true;
        // (Topmost is not checked: Wine keeps no WS_EX_TOPMOST without a window manager.)
        RECT rc;
        ::GetWindowRect(dlg, &rc);
        const int cx = ::GetSystemMetrics(SM_CXSCREEN), cy = ::GetSystemMetrics(SM_CYSCREEN);
        centred = std::abs((rc.left + rc.right) / 2 - cx / 2) <= 2 && std::abs((rc.top + rc.bottom) / 2 - cy / 2) <= 2;
        title = kvrtest::WindowText(dlg);
        ::Sleep(200);
        ::RedrawWindow(dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        kvrtest::SaveWindowShot(dlg, L"update_progress_half");
        cancelAt = ::GetTickCount();
        ::PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
    });
    const DWORD start = ::GetTickCount();
    EXPECT_EQ(dlg.DoModal(nullptr), IDCANCEL);
    EXPECT_TRUE(sawHalf);
    EXPECT_TRUE(centred);
    EXPECT_EQ(title, L"版本更新中...");
    // The cancel does not wait for the server's pause.
    EXPECT_LT(::GetTickCount() - start, 7000u);
    if (cancelAt) {
        EXPECT_LT(::GetTickCount() - cancelAt, 6000u);
    }
}
