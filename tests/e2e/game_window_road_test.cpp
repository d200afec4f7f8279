// The game window of a logged-in player, whole-program: the game hall, the
// boss and sound keys through the real keyboard hook, closing one tab by its
// close box, and the update from the window menu. kvr.exe under Wine against
// the stand-in portal, driven from outside.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include "base/endpoints.h"
#include "base/settings.h"
#include "gamewnd/tab_strip.h"
#include "res/resource.h"
#include "tests/e2e/road_fixture.h"
#include "tests/install/scratch.h"

using namespace kvre2e;

namespace {

// The update page the driven program reads.
const std::string kUpdatePage = kvr::test::Utf8(kvr::paths::kUpdateConfig);

// Caption buttons of the game window.
constexpr int kSoundButton = IDC_GW_SOUND, kMenuButton = IDC_GW_MENU, kHallButton = IDC_GW_HALL;

// The pixels the screen shows in rc (the window must be on top).
std::vector<DWORD> ScreenPixels(const RECT& rc) {
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    std::vector<DWORD> pixels(static_cast<size_t>(w) * h);
    HDC screen = ::GetDC(nullptr);
    HDC mem = ::CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP dib = ::CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(mem, dib);
    ::BitBlt(mem, 0, 0, w, h, screen, rc.left, rc.top, SRCCOPY);
    ::GdiFlush();
    std::memcpy(pixels.data(), bits, pixels.size() * sizeof(DWORD));
    ::SelectObject(mem, old);
    ::DeleteObject(dib);
    ::DeleteDC(mem);
    ::ReleaseDC(nullptr, screen);
    return pixels;
}

std::vector<DWORD> ButtonPixels(HWND game, int id) {
    RECT rc{};
    ::GetWindowRect(::GetDlgItem(game, id), &rc);
    return ScreenPixels(rc);
}

// Clicks in the tab strip at a client point of the game window.
void ClickStrip(HWND game, POINT at) {
    ::PostMessageW(game, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    ::PostMessageW(game, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
}

using GameWindowRoadTest = LoginRoadTest;

// The window menu's "更新": the fourth entry (the separator is skipped).
void ChooseUpdateFromTheMenu(HWND game, DWORD pid) {
    ::PostMessageW(game, WM_COMMAND, MAKEWPARAM(kMenuButton, BN_CLICKED), 0);
    HWND menu = kvrtest::WaitForWindow(L"#32768", nullptr, kStepMs, pid, true);
    ASSERT_NE(menu, nullptr) << "the window menu did not open";
    kvrtest::SaveScreenShot(L"e2e_window_menu");
    for (int i = 0; i < 4; ++i) ::PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
    ::PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
}

}  // namespace

TEST_F(GameWindowRoadTest, HallOpensInsteadOfTheTabAndTheButtonReturnsToIt) {
    StartGameWindow();
    LogInAccount(L"S12", L"凤凰涅槃", L"hallone", 1);
    ShowNewestPage(L"S12", L"hallone");
    const std::vector<HWND> pages = PageFrames(m_game);
    ASSERT_EQ(pages.size(), 1u);
    HWND tab = pages.front();
    ASSERT_TRUE(kvrtest::WaitUntil([&] { return ::IsWindowVisible(tab) != FALSE; }, kStepMs));

    // The hall button starts a hall process of its own; the tab is hidden.
    const size_t processes = KvrProcessIds().size();
    ::PostMessageW(m_game, WM_COMMAND, MAKEWPARAM(kHallButton, BN_CLICKED), 0);
    HWND hall = nullptr;
    ASSERT_TRUE(kvrtest::WaitUntil(
        [&] {
            for (HWND f : PageFrames(m_game))
                if (f != tab) hall = f;
            return hall != nullptr;
        },
        kStartMs))
        << "the hall frame did not join the game window";
    EXPECT_EQ(KvrProcessIds().size(), processes + 1);
    EXPECT_NE(ProcessOf(hall), ProcessOf(tab));
    EXPECT_TRUE(WaitForRequest(kvr::test::Utf8(kvr::paths::kGameHall), "", kStepMs))
        << PortalReceived(kvr::test::Utf8(kvr::paths::kGameHall)).message();
    // It shows itself once its page has loaded, in the page area, over no tab.
    kvr::SendTestHook(hall, kvr::kHookNavigateComplete,
                      kvr::ServerUrl(kvr::Server::ClientService, kvr::paths::kGameHall).c_str());
    EXPECT_TRUE(kvrtest::WaitUntil([&] { return ::IsWindowVisible(hall) != FALSE; }, kStepMs)) << "hall not shown";
    EXPECT_FALSE(::IsWindowVisible(tab));
    RECT client{}, area{};
    ::GetClientRect(m_game, &client);
    ::GetWindowRect(hall, &area);
    ::MapWindowPoints(nullptr, m_game, reinterpret_cast<POINT*>(&area), 2);
    EXPECT_EQ(area.left, 4);
    EXPECT_EQ(area.top, 30);
    EXPECT_EQ(area.right, client.right - 4);
    EXPECT_EQ(area.bottom, client.bottom - 4);
    kvrtest::SaveScreenShot(L"e2e_hall_shown");
    // The hall is no tab: no login record, no play-time record for it.
    EXPECT_EQ(CountRequests("/login.htm"), 1u);

    // The button again: back to the tab, the hall process stays.
    ::PostMessageW(m_game, WM_COMMAND, MAKEWPARAM(kHallButton, BN_CLICKED), 0);
    EXPECT_TRUE(kvrtest::WaitUntil([&] { return ::IsWindowVisible(tab) && !::IsWindowVisible(hall); }, kStepMs));
    // And once more: the same hall window again, no second hall process.
    ::PostMessageW(m_game, WM_COMMAND, MAKEWPARAM(kHallButton, BN_CLICKED), 0);
    EXPECT_TRUE(kvrtest::WaitUntil([&] { return ::IsWindowVisible(hall) && !::IsWindowVisible(tab); }, kStepMs));
    EXPECT_EQ(KvrProcessIds().size(), processes + 1);
    // A click on the active tab while the hall is shown returns to the tab.
    const RECT firstTab = kvr::TabRect(0);
    ClickStrip(m_game, POINT{firstTab.left + 40, firstTab.top + 10});
    EXPECT_TRUE(kvrtest::WaitUntil([&] { return ::IsWindowVisible(tab) && !::IsWindowVisible(hall); }, kStepMs));

    // Exit all ends the hall process too; one play-time record, for the tab.
    const RunningProcess hallProcess(ProcessOf(hall));
    ASSERT_TRUE(hallProcess.Opened());
    ExitAll();
    EXPECT_TRUE(hallProcess.EndsWithin(kStepMs));
    EXPECT_EQ(CountRequests("/d.php"), 1u) << PortalReceived("/d.php").message();
}

TEST_F(GameWindowRoadTest, BossKeyHidesAndRestoresAndSoundKeyFlipsTheSoundButton) {
    StartGameWindow();
    LogInAccount(L"S12", L"凤凰涅槃", L"keysone", 1);
    ShowNewestPage(L"S12", L"keysone");
    ASSERT_TRUE(kvrtest::WaitUntil([&] { return ::IsWindowVisible(m_game) != FALSE; }, kStepMs));
    ::SetForegroundWindow(m_game);
    // The caption buttons painted (the window's thread paints before it answers).
    ::RedrawWindow(m_game, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);

    // The sound key (default Ctrl+Q) mutes: the button's image switches;
    // pressed again, the first image returns.
    const std::vector<DWORD> soundOn = ButtonPixels(m_game, kSoundButton);
    kvrtest::PressKeys({VK_CONTROL, 'Q'});
    EXPECT_TRUE(kvrtest::WaitUntil([&] { return ButtonPixels(m_game, kSoundButton) != soundOn; }, 5000))
        << "the sound button did not change to muted";
    kvrtest::SaveWindowShot(m_game, L"e2e_muted");
    // Ctrl+Shift+Q is not the sound key: pressed just before the sound key,
    // the sound comes back on (had it counted, the two would cancel out).
    kvrtest::PressKeys({VK_CONTROL, VK_SHIFT, 'Q'});
    kvrtest::PressKeys({VK_CONTROL, 'Q'});
    EXPECT_TRUE(kvrtest::WaitUntil([&] { return ButtonPixels(m_game, kSoundButton) == soundOn; }, 5000))
        << "the sound button did not return to sound on";

    // The boss key (default F10) hides the window with its tabs, and brings
    // it back; the page processes keep running meanwhile.
    kvrtest::PressKeys({VK_F10});
    EXPECT_TRUE(kvrtest::WaitUntil([&] { return !::IsWindowVisible(m_game); }, 5000)) << "boss key did not hide";
    EXPECT_EQ(PageFrames(m_game).size(), 1u);
    EXPECT_EQ(KvrProcessIds().size(), 2u);
    kvrtest::PressKeys({VK_F10});
    EXPECT_TRUE(kvrtest::WaitUntil([&] { return ::IsWindowVisible(m_game) != FALSE; }, 5000))
        << "boss key did not restore";
    EXPECT_FALSE(::IsIconic(m_game));
    ExitAll();
    EXPECT_EQ(CountRequests("/d.php", "server=S12&"), 1u);
}

TEST_F(GameWindowRoadTest, ClosingOneTabByItsCloseBoxSendsItsRecordAndKeepsTheOthers) {
    StartGameWindow();
    LogInAccount(L"S12", L"凤凰涅槃", L"closeone", 1);
    ASSERT_EQ(PageFrames(m_game).size(), 1u);
    const HWND firstFrame = PageFrames(m_game).front();
    const DWORD firstPid = ProcessOf(firstFrame);
    const RunningProcess first(firstPid);
    ASSERT_TRUE(first.Opened());
    ::PostMessageW(m_game, kvr::WM_KVR_ADD_ACCOUNT, 1, 0);
    LogInAccount(L"S3", L"凤凰涅槃", L"closetwo", 2);
    ShowNewestPage(L"S3", L"closetwo");
    ASSERT_EQ(PageFrames(m_game).size(), 2u);

    // The first tab's close box, as the player clicks it: the account
    // question, answered No first: nothing changes.
    const RECT box = kvr::TabCloseBoxRect(0);
    const POINT at{box.left + 5, box.top + 5};
    ::PostMessageW(m_game, WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
    ClickStrip(m_game, at);
    HWND question = WaitForMessageBox(m_kvr.Id(), m_game, kStepMs);
    ASSERT_NE(question, nullptr) << "no question before closing the tab";
    kvrtest::SaveScreenShot(L"e2e_close_tab_question");
    ASSERT_TRUE(AnswerMessageBox(question, false));
    ASSERT_TRUE(kvrtest::WaitUntil([&] { return !::IsWindow(question); }, kStepMs));
    ASSERT_TRUE(kvrtest::RoundTrip(m_game));
    EXPECT_EQ(PageFrames(m_game).size(), 2u);
    EXPECT_EQ(CountRequests("/d.php"), 0u);

    // Yes, while the page shows a script alert (the browser's own modal box
    // over its frame): that account's play-time record, the alert goes and
    // the process ends, the other tab stays and becomes the shown one; no
    // whole-window question.
    ASSERT_TRUE(kvr::SendTestHook(firstFrame, kvr::kHookScriptAlert, L"alert()"));
    HWND alert = kvrtest::WaitForWindow(L"#32770", L"来自网页的消息", kStepMs, firstPid, true);
    ASSERT_NE(alert, nullptr) << "no alert in the page process";
    ::PostMessageW(m_game, WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
    ClickStrip(m_game, at);
    question = WaitForMessageBox(m_kvr.Id(), m_game, kStepMs);
    ASSERT_NE(question, nullptr);
    ASSERT_TRUE(AnswerMessageBox(question, true));
    EXPECT_TRUE(WaitForRequest("/d.php", "server=S12&", kStepMs)) << PortalReceived("/d.php").message();
    EXPECT_EQ(CountRequests("/d.php"), 1u);
    EXPECT_TRUE(first.EndsWithin(kStepMs)) << "the closed tab's process runs on";
    EXPECT_FALSE(::IsWindow(alert));
    ASSERT_TRUE(kvrtest::WaitUntil([&] { return PageFrames(m_game).size() == 1u; }, kStepMs));
    HWND remaining = PageFrames(m_game).front();
    EXPECT_TRUE(kvrtest::WaitUntil([&] { return ::IsWindowVisible(remaining) != FALSE; }, kStepMs));
    EXPECT_TRUE(::IsWindow(m_game));

    // The last tab's close box asks about the whole window instead.
    ClickStrip(m_game, at);
    question = WaitForMessageBox(m_kvr.Id(), m_game, kStepMs);
    ASSERT_NE(question, nullptr);
    ASSERT_TRUE(AnswerMessageBox(question, true));
    DWORD code = 0;
    EXPECT_TRUE(m_kvr.Wait(kStepMs, &code)) << "the game window did not end";
    EXPECT_TRUE(kvrtest::WaitUntil([] { return KvrProcessIds().empty(); }, kStepMs));
    EXPECT_EQ(CountRequests("/d.php"), 2u);
    EXPECT_EQ(CountRequests("/d.php", "server=S3&"), 1u);
}

TEST_F(GameWindowRoadTest, UpdateFromTheMenuInstallsTheNextBuildAndStartsIt) {
    // A copy of the program in a folder of its own inside the installation
    // folder: the update replaces it, and the new build then starts as the
    // installed copy does.
    wchar_t installFolder[MAX_PATH] = {};
    ASSERT_TRUE(kvr::InstallFolder(installFolder));
    ::SHCreateDirectoryExW(nullptr, installFolder, nullptr);
    kvrtest::ScratchDir dir{L"menuupdate", installFolder};
    const std::wstring exe = dir / L"kvr.exe";
    ASSERT_TRUE(::CopyFileW(KvrExe().c_str(), exe.c_str(), FALSE));
    const std::string before = kvrtest::ReadFileBytes(exe);
    const UpdateCheckedToday checked;
    // The newest build is this program one version higher (tests/e2e/next),
    // announced by the page the publishing tool wrote for it
    // (tools/publish_update.py, run by CTest before this test).
    const char* build = std::getenv("KVR_BUILD_DIR");
    ASSERT_NE(build, nullptr);
    const std::string next = kvrtest::ReadFileBytes(kvrtest::BuildPath(L"tests\\e2e\\next\\kvr.exe"));
    ASSERT_FALSE(next.empty());
    ASSERT_TRUE(kvr::test::PortalServeLinuxFile("/download/NewKvr.exe", std::string(build) + "/tests/e2e/next/kvr.exe"));
    // The tool names the page by the program's machine: the one this build reads.
    ASSERT_TRUE(kvr::test::PortalServeLinuxFile(kUpdatePage, std::string(build) + "/portal" + kUpdatePage.substr(7)));

    StartGameWindow(exe);
    LogInAccount(L"S12", L"凤凰涅槃", L"updone", 1);
    ShowNewestPage(L"S12", L"updone");
    EXPECT_EQ(CountRequests(kUpdatePage), 0u) << "the start-up check was not throttled";

    ChooseUpdateFromTheMenu(m_game, m_kvr.Id());

    // A newer build: the window ends at once, without the exit question,
    // sending the tab's play-time record; "/update" downloads, checks, swaps
    // and starts the new build, whose start report carries its version.
    EXPECT_TRUE(m_kvr.Wait(kStepMs)) << "the game window did not end for the update";
    EXPECT_EQ(CountRequests("/d.php", "server=S12&"), 1u) << PortalReceived("/d.php").message();
    EXPECT_TRUE(WaitForRequest("/active.htm", "tag=kvr&ver=" KVR_NEXT_VERSION "&", kStartMs))
        << "the new build did not start: " << PortalReceived("/active.htm").message();
    EXPECT_GE(CountRequests(kUpdatePage), 2u);  // the menu's check and the updater's
    EXPECT_EQ(CountRequests("/download/NewKvr.exe"), 1u);
    EXPECT_TRUE(kvrtest::ReadFileBytes(exe) == next) << "the program is not the next build";
    EXPECT_TRUE(kvrtest::ReadFileBytes(dir / L"OldKvr.exe") == before);
    EXPECT_FALSE(kvrtest::FileExists(dir / L"NewKvr.exe"));
    KillKvrProcesses();  // the new build's game window, before its folder goes
}

TEST_F(GameWindowRoadTest, HallCommandsOnlyFromTheHallsPagesAndNeverThePrograms) {
    // The program as installed, with the files it keeps beside it: a left-over
    // OldKvr.exe and installed game clients Dragon.exe and Phoenix.exe (each a
    // small program that leaves a mark named after itself when started) and
    // the player's Statistic.ini.
    wchar_t folder[MAX_PATH] = {};
    ASSERT_TRUE(kvr::InstallFolder(folder));
    ASSERT_TRUE(kvr::MakeInstallFolder(folder, false));
    const std::wstring installed = std::wstring(folder) + L"\\kvr.exe";
    const std::wstring oldKvr = std::wstring(folder) + L"\\OldKvr.exe";
    const std::wstring dragon = std::wstring(folder) + L"\\Dragon.exe";
    const std::wstring phoenix = std::wstring(folder) + L"\\Phoenix.exe";
    const std::wstring tiny = kvrtest::BuildPath(L"tests\\update\\kvr_tiny_installer.exe");
    ASSERT_TRUE(::CopyFileW(KvrExe().c_str(), installed.c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW(tiny.c_str(), oldKvr.c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW(tiny.c_str(), dragon.c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW(tiny.c_str(), phoenix.c_str(), FALSE));
    struct Cleanup {
        std::vector<std::wstring> files;
        ~Cleanup() {
            for (const auto& f : files) ::DeleteFileW(f.c_str());
        }
    } cleanup{{installed, oldKvr, dragon, phoenix}};
    const UpdateCheckedToday checked;
    for (const wchar_t* program : {L"OldKvr", L"Dragon", L"Phoenix"}) kvrtest::ForgetStarts(program);

    StartGameWindow(installed);
    ::PostMessageW(m_game, WM_COMMAND, MAKEWPARAM(kHallButton, BN_CLICKED), 0);
    HWND hall = nullptr;
    ASSERT_TRUE(kvrtest::WaitUntil(
        [&] {
            const auto frames = PageFrames(m_game);
            hall = frames.empty() ? nullptr : frames.front();
            return hall != nullptr;
        },
        kStartMs))
        << "the hall frame did not join the game window";
    const std::wstring hallPage = kvr::ServerUrl(kvr::Server::ClientService, kvr::paths::kGameHall);
    const std::wstring ini = std::wstring(folder) + L"\\Statistic.ini";
    const std::string iniBefore = kvrtest::ReadFileBytes(ini);
    const std::string exeBefore = kvrtest::ReadFileBytes(installed);
    const size_t processes = KvrProcessIds().size();

    // An advertisement's frame inside the hall asks for an installed client.
    ASSERT_TRUE(kvr::SendTestHook(hall, kvr::kHookNavigateFrom, L"app://entergame|phoenix",
                                  L"http://ads.example/banner.html"));
    // The hall's own page names the program's own files, in several spellings.
    for (const wchar_t* name : {L"kvr", L"KVR", L"oldkvr", L"newkvr", L"statistic", L"configkvr"}) {
        const std::wstring url = std::wstring(L"app://entergame|") + name;
        ASSERT_TRUE(kvr::SendTestHook(hall, kvr::kHookNavigateFrom, url.c_str(), hallPage.c_str()));
    }
    // The hall's own page starts the installed client. The page takes commands
    // in order: once that client has started, those before it were refused.
    ASSERT_TRUE(kvr::SendTestHook(hall, kvr::kHookNavigateFrom, L"app://entergame|dragon", hallPage.c_str()));
    EXPECT_TRUE(kvrtest::WaitUntil([] { return kvrtest::StartedAs(L"Dragon"); }, kStepMs)) << "Dragon.exe not started";
    EXPECT_FALSE(kvrtest::StartedAs(L"Phoenix")) << "an advertisement started a client";
    EXPECT_FALSE(kvrtest::StartedAs(L"OldKvr")) << "the program's old file was started";
    EXPECT_EQ(KvrProcessIds().size(), processes) << "the program was started again";
    EXPECT_EQ(kvrtest::FindTopWindows(nullptr, L"Marvole游戏大厅", 0, true).size(), 0u) << "a download was offered";
    EXPECT_EQ(CountRequests("/update/ConfigStatistic.htm"), 0u);
    EXPECT_EQ(CountRequests(kUpdatePage), 0u);
    EXPECT_EQ(kvrtest::ReadFileBytes(ini), iniBefore);
    EXPECT_EQ(kvrtest::ReadFileBytes(installed), exeBefore);
    EXPECT_TRUE(kvrtest::FileExists(oldKvr));
    kvrtest::ForgetStarts(L"Dragon");
    m_kvr.Kill();
}

TEST_F(GameWindowRoadTest, TheMenusUpdateCheckLeavesTheKeysAliveAndSaysWhenItFailed) {
    // The start-up's check meets a server that trickles its page one byte a
    // second: the window comes at the fetch's deadline, not the server's pace.
    ASSERT_TRUE(kvr::test::PortalServeText(kUpdatePage, std::string(3000, ';')));
    ASSERT_TRUE(kvr::test::PortalFault(kUpdatePage, "trickle", 1000, 1));
    StartGameWindow();
    LogInAccount(L"S12", L"凤凰涅槃", L"slowcheck", 1);
    ShowNewestPage(L"S12", L"slowcheck");
    ASSERT_TRUE(kvrtest::WaitUntil([&] { return ::IsWindowVisible(m_game) != FALSE; }, kStepMs));
    ::SetForegroundWindow(m_game);
    // The server keeps its answer for 15 s, then cuts the page short.
    ASSERT_TRUE(kvr::test::PortalFault(kUpdatePage, "short", 15000, 10));
    ChooseUpdateFromTheMenu(m_game, m_kvr.Id());
    ASSERT_TRUE(WaitForRequest(kUpdatePage, "", kStepMs));

    // Meanwhile the game window's keyboard hook answers: the boss key hides
    // the window and brings it back at once.
    const ULONGLONG asked = ::GetTickCount64();
    kvrtest::PressKeys({VK_F10});
    EXPECT_TRUE(kvrtest::WaitUntil([&] { return !::IsWindowVisible(m_game); }, 5000))
        << "the boss key waited for the update check";
    kvrtest::PressKeys({VK_F10});
    EXPECT_TRUE(kvrtest::WaitUntil([&] { return ::IsWindowVisible(m_game) != FALSE; }, 5000));
    // (A hook that keeps the system waiting holds every key for its time-out.)
    EXPECT_LT(::GetTickCount64() - asked, 10000u) << "the keys were answered only after the server";

    // The cut page is a failed check, not "already the newest version".
    HWND box = WaitForMessageBox(m_kvr.Id(), m_game, kStepMs);
    ASSERT_NE(box, nullptr) << "no answer to the update check";
    kvrtest::SaveScreenShot(L"e2e_update_check_failed");
    const std::wstring texts = MessageBoxTexts(box);
    EXPECT_NE(texts.find(L"检查更新失败，请稍后再试。"), std::wstring::npos) << kvr::test::Utf8(texts);
    EXPECT_EQ(texts.find(L"已经是最新版本"), std::wstring::npos);
    ASSERT_TRUE(AnswerMessageBox(box, true));
    ASSERT_TRUE(kvrtest::WaitUntil([&] { return !::IsWindow(box); }, kStepMs));
    EXPECT_EQ(CountRequests("/download/NewKvr.exe"), 0u);
    ExitAll();
}
