#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include "base/endpoints.h"
#include "tests/install/scratch.h"
#include "tests/support/portal_client.h"
#include "tests/support/screenshot.h"
#include "tests/support/ui_driver.h"
#include "tests/update/modal_script.h"
#include "update/down_game_dlg.h"

using namespace kvr;
using namespace kvr::test;
using kvrtest::ModalScript;

namespace {
std::wstring TempFile(const wchar_t* name) {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + name;
}

std::string LinuxBuildFile(const char* relative) {
    const char* build = std::getenv("KVR_BUILD_DIR");
    return std::string(build ? build : "") + "/" + relative;
}

// Runs the download dialog of a client to its end; its final title.
std::wstring RunToEnd(const wchar_t* name) {
    CDownGameDlg dlg(name, nullptr);
    std::wstring title;
    ModalScript script([&] {
        if (!dlg.IsWindow() || dlg.Running() || !title.empty()) return;
        title = kvrtest::WindowText(dlg);
        kvrtest::ClickButton(dlg, IDOK);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK) << name;
    return title;
}

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p(path);
    return p.substr(0, p.rfind(L'\\'));
}

void Settle(HWND hwnd) {
    ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    ::Sleep(150);
}
}  // namespace

TEST(ClientNames, OnlyPlainNamesReachFilesAndAddresses) {
    EXPECT_TRUE(IsValidClientName(L"dragon"));
    EXPECT_TRUE(IsValidClientName(L"Game_2-x.v1"));
    EXPECT_FALSE(IsValidClientName(L""));
    EXPECT_FALSE(IsValidClientName(L"..\\..\\evil"));
    EXPECT_FALSE(IsValidClientName(L"a/b"));
    EXPECT_FALSE(IsValidClientName(L".."));
    EXPECT_FALSE(IsValidClientName(L"a?b"));
    EXPECT_FALSE(IsValidClientName(L"游戏"));
    EXPECT_FALSE(IsValidClientName(std::wstring(65, L'a').c_str()));
    EXPECT_EQ(DownloadPercentText(50), L"已加载  50%");
}

class DownGameDlgTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(PortalReset()); }
};

TEST_F(DownGameDlgTest, HalfwayLabelEscapeIgnoredAndCancelStops) {
    // 2048 bytes in 512-byte pieces 3 s apart: the first 1024-byte read
    // ends at half, the next one 6 s later.
    ASSERT_TRUE(PortalServePattern("/download/halfway.exe", 2048));
    ASSERT_TRUE(PortalFault("/download/halfway.exe", "trickle", 3000));
    CDownGameDlg dlg(L"halfway", nullptr);
    bool sawHalf = false, aliveAfterEscape = false, okDisabled = false;
    std::wstring label;
    int step = 0;
    DWORD escapeAt = 0;
    ModalScript script([&] {
        if (!dlg.IsWindow()) return;
        if (step == 0) {
            if (::SendMessageW(dlg.ProgressBar(), PBM_GETPOS, 0, 0) != 50) return;
            sawHalf = true;
            label = kvrtest::WindowText(dlg.Label());
            okDisabled = !::IsWindowEnabled(dlg.GetDlgItem(IDOK));
            Settle(dlg);
            kvrtest::SaveWindowShot(dlg, L"game_download_half");
            // Escape as the player presses it.
            ::SetForegroundWindow(dlg);
            ::PostMessageW(dlg, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
            ::PostMessageW(dlg, WM_KEYUP, VK_ESCAPE, 0xC0010001);
            escapeAt = ::GetTickCount();
            step = 1;
        } else if (step == 1 && ::GetTickCount() - escapeAt > 400) {
            aliveAfterEscape = dlg.IsWindow() && dlg.Running();
            kvrtest::ClickButton(dlg, IDCANCEL);
            step = 2;
        }
    });
    const DWORD start = ::GetTickCount();
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_TRUE(sawHalf);
    EXPECT_EQ(label, L"已加载  50%");
    EXPECT_TRUE(okDisabled);
    EXPECT_TRUE(aliveAfterEscape);
    EXPECT_LT(::GetTickCount() - start, 7000u);
    EXPECT_TRUE(PortalReceived("/update/Confighalfway.htm"));
    // The closed transfer ends the worker at its next read; it leaves nothing.
    EXPECT_TRUE(kvrtest::WaitUntil([] { return !kvrtest::FileExists(TempFile(L"halfway.exe")); }, 15000));
}

TEST_F(DownGameDlgTest, ConfigurationWithoutAddressFails) {
    ASSERT_TRUE(PortalServeText("/update/Confignoaddr.htm", "[VerKey]\r\nKvr=1\r\n"));
    // The player's temporary folder, which any of the player's programs can
    // point anywhere, receives nothing of the download.
    kvrtest::ScratchDir playerTemp(L"playertemp");
    wchar_t temp[MAX_PATH] = {}, tmp[MAX_PATH] = {};
    ::GetEnvironmentVariableW(L"TEMP", temp, MAX_PATH);
    ::GetEnvironmentVariableW(L"TMP", tmp, MAX_PATH);
    for (const wchar_t* name : {L"TEMP", L"TMP"}) ::SetEnvironmentVariableW(name, playerTemp.path().c_str());
    const HANDLE touched = ::FindFirstChangeNotificationW(playerTemp.path().c_str(), TRUE,
                                                          FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME);
    ASSERT_NE(touched, INVALID_HANDLE_VALUE);
    CDownGameDlg dlg(L"noaddr", nullptr);
    std::wstring title;
    bool okEnabled = false, cancelDisabled = false;
    ModalScript script([&] {
        if (!dlg.IsWindow() || dlg.Running() || !title.empty()) return;
        title = kvrtest::WindowText(dlg);
        okEnabled = ::IsWindowEnabled(dlg.GetDlgItem(IDOK)) != FALSE;
        cancelDisabled = !::IsWindowEnabled(dlg.GetDlgItem(IDCANCEL));
        Settle(dlg);
        kvrtest::SaveWindowShot(dlg, L"game_download_failed");
        kvrtest::ClickButton(dlg, IDOK);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    ::SetEnvironmentVariableW(L"TEMP", temp);
    ::SetEnvironmentVariableW(L"TMP", tmp);
    EXPECT_EQ(::WaitForSingleObject(touched, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "a file came and went there";
    ::FindCloseChangeNotification(touched);
    EXPECT_EQ(title, L"下载失败");
    EXPECT_TRUE(okEnabled);
    EXPECT_TRUE(cancelDisabled);
    EXPECT_TRUE(PortalReceived("/update/Confignoaddr.htm"));
}

TEST_F(DownGameDlgTest, MissingOrFailedConfigurationAndUntrustedAddressFail) {
    ASSERT_TRUE(PortalFault("/update/Configgone.htm", "404"));
    ASSERT_TRUE(PortalServeText("/update/Configfar.htm", "[VerKey]\r\nUpdAddr=http://far.example/far.exe\r\n"));
    // A page answered with an error status, though it reads as a page and
    // names a signed installer that is there.
    ASSERT_TRUE(PortalFault("/update/Configerror.htm", "500"));
    ASSERT_TRUE(PortalServeLinuxFile("/download/error.exe", LinuxBuildFile("tests/update/kvr_tiny_installer.exe")));
    for (const wchar_t* name : {L"gone", L"far", L"..\\evil", L"error"})
        EXPECT_EQ(RunToEnd(name), L"下载失败") << name;
    EXPECT_EQ(FindRequests(PortalLog(), "/download/error.exe").size(), 0u);
}

TEST_F(DownGameDlgTest, WholeInstallerIsStarted) {
    kvrtest::ForgetStarts(L"tiny");
    ASSERT_TRUE(PortalServeLinuxFile("/download/tiny.exe", LinuxBuildFile("tests/update/kvr_tiny_installer.exe")));
    CDownGameDlg dlg(L"tiny", nullptr);
    std::wstring title;
    int percent = 0;
    ModalScript script([&] {
        if (!dlg.IsWindow() || dlg.Running() || !title.empty()) return;
        title = kvrtest::WindowText(dlg);
        percent = static_cast<int>(::SendMessageW(dlg.ProgressBar(), PBM_GETPOS, 0, 0));
        kvrtest::ClickButton(dlg, IDOK);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(title, L"下载完成");
    EXPECT_EQ(percent, 100);
    EXPECT_TRUE(kvrtest::WaitUntil([] { return kvrtest::StartedAs(L"tiny"); }, 10000));
    kvrtest::ForgetStarts(L"tiny");
    EXPECT_TRUE(PortalReceived("/update/Configtiny.htm"));
    EXPECT_TRUE(PortalReceived("/download/tiny.exe"));
    // The started installer's file goes once it has ended.
    kvrtest::WaitUntil([] { return ::DeleteFileW(TempFile(L"tiny.exe").c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND; }, 10000);
}

TEST_F(DownGameDlgTest, AnInstallerWithoutTheMakersSignatureIsNeverStarted) {
    kvrtest::ForgetStarts(L"unsigned");
    kvrtest::ForgetStarts(L"signed");
    ASSERT_TRUE(
        PortalServeLinuxFile("/download/unsigned.exe", LinuxBuildFile("tests/update/kvr_tiny_installer.exe")));
    // No signature, a real signature of other bytes, one that is not base64.
    for (const char* sig : {"none", "other", "garbage"}) {
        ASSERT_TRUE(PortalControl(std::string("config?sig=") + sig));
        EXPECT_EQ(RunToEnd(L"unsigned"), L"下载失败") << sig;
        EXPECT_FALSE(kvrtest::FileExists(TempFile(L"unsigned.exe"))) << sig << ": the refused installer stayed";
    }
    // Signed, but a build of this program (which would install itself).
    ASSERT_TRUE(PortalControl("config?sig=good"));
    ASSERT_TRUE(PortalServeLinuxFile("/download/unsigned.exe", LinuxBuildFile("tests/update/kvr_tiny_old.exe")));
    EXPECT_EQ(RunToEnd(L"unsigned"), L"下载失败");
    EXPECT_EQ(FindRequests(PortalLog(), "/download/unsigned.exe").size(), 4u);
    // A signed one after them is started: by the time it has left its mark, a
    // refused one started before would have left its own.
    ASSERT_TRUE(PortalServeLinuxFile("/download/signed.exe", LinuxBuildFile("tests/update/kvr_tiny_installer.exe")));
    EXPECT_EQ(RunToEnd(L"signed"), L"下载完成");
    EXPECT_TRUE(kvrtest::WaitUntil([] { return kvrtest::StartedAs(L"signed"); }, 10000));
    EXPECT_FALSE(kvrtest::StartedAs(L"unsigned")) << "an unsigned installer was started";
    kvrtest::ForgetStarts(L"signed");
}

TEST_F(DownGameDlgTest, OnlyFilesTheDownloadMadeAreOverwrittenOrDeleted) {
    // What a page's name could point at: a file of the program folder named
    // like the client's configuration (as the player's Statistic.ini) and a
    // file already in the temporary folder named like its installer.
    const std::wstring ini = ProgramFolder() + L"\\keep.ini";
    const std::wstring older = TempFile(L"keep.exe");
    ASSERT_TRUE(kvrtest::WriteFileBytes(ini, "[Hotkey]\r\nBoss=2,66\r\n"));
    ASSERT_TRUE(kvrtest::WriteFileBytes(older, "the player's own file"));
    kvrtest::ForgetStarts(L"keep");
    ASSERT_TRUE(PortalServeLinuxFile("/download/keep.exe", LinuxBuildFile("tests/update/kvr_tiny_installer.exe")));
    EXPECT_EQ(RunToEnd(L"keep"), L"下载完成");
    EXPECT_TRUE(kvrtest::WaitUntil([] { return kvrtest::StartedAs(L"keep"); }, 10000));
    EXPECT_EQ(kvrtest::ReadFileBytes(ini), "[Hotkey]\r\nBoss=2,66\r\n");
    EXPECT_EQ(kvrtest::ReadFileBytes(older), "the player's own file");
    // A failed download leaves those alone too.
    ASSERT_TRUE(PortalFault("/download/keep.exe", "short"));
    EXPECT_EQ(RunToEnd(L"keep"), L"下载失败");
    EXPECT_EQ(kvrtest::ReadFileBytes(ini), "[Hotkey]\r\nBoss=2,66\r\n");
    EXPECT_EQ(kvrtest::ReadFileBytes(older), "the player's own file");
    ::DeleteFileW(ini.c_str());
    ::DeleteFileW(older.c_str());
    kvrtest::ForgetStarts(L"keep");
    kvrtest::WaitUntil([] { return ::DeleteFileW(TempFile(L"keep(1).exe").c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND; }, 10000);
}
