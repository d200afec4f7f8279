// The road of one login, whole-program: kvr.exe "/KvrD" under Wine against the
// stand-in portal, driven from outside. Asserts what the stand-in received
// and what the windows became, not exit codes.
#include <gtest/gtest.h>
#include <windows.h>
#include <cwctype>
#include <string>
#include "base/endpoints.h"
#include "tests/e2e/road_fixture.h"

using namespace kvre2e;

namespace {

std::wstring Lower(std::wstring s) {
    for (wchar_t& c : s) c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

// A copy of the program in a download folder, beside a winmm.dll that a web
// page saved there.
std::wstring ProgramBesidePlantedWinmm() {
    wchar_t temp[MAX_PATH];
    if (!::GetTempPathW(MAX_PATH, temp)) return {};
    const std::wstring folder = std::wstring(temp) + L"kvr-download";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring planted = kvrtest::BuildPath(L"tests\\e2e\\planted_winmm.dll");
    if (!::CopyFileW(KvrExe().c_str(), (folder + L"\\kvr.exe").c_str(), FALSE) ||
        !::CopyFileW(planted.c_str(), (folder + L"\\winmm.dll").c_str(), FALSE))
        return {};
    return Lower(folder + L"\\kvr.exe");
}

// The modules of process pid that are neither the program nor the system's
// (its folder, and the side-by-side store of the manifest's common controls),
// and those of `libraries` it loaded.
std::string UnwantedModules(DWORD pid, const std::wstring& program, std::initializer_list<const wchar_t*> libraries) {
    wchar_t system[MAX_PATH], windows[MAX_PATH];
    ::GetSystemDirectoryW(system, MAX_PATH);
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring systemFolder = Lower(system) + L"\\", sideBySide = Lower(windows) + L"\\winsxs\\";
    bool listed = false;
    std::string unwanted;
    for (const std::wstring& module : ProcessModules(pid)) {
        const std::wstring path = Lower(module);
        listed = listed || path == program;
        const bool system = path.rfind(systemFolder, 0) == 0 || path.rfind(sideBySide, 0) == 0;
        bool named = false;
        for (const wchar_t* library : libraries) named = named || path == systemFolder + library;
        if ((!system && path != program) || named) unwanted += kvr::test::Utf8(module) + " ";
    }
    return listed ? unwanted : "no module list";
}

}  // namespace

TEST_F(LoginRoadTest, OneLoginFromGameShortcutToPlayTimeRecord) {
    // Started from a download folder where a web page left a winmm.dll (a
    // static import of winmm loads it, under Wine too).
    const std::wstring program = ProgramBesidePlantedWinmm();
    ASSERT_FALSE(program.empty()) << "no copy of the program in a download folder";
    const UpdateCheckedToday noUpdateCheck;
    StartGameWindow(program);
    HWND login = WaitForLoginPage(m_kvr.Id(), m_loginPages, kStartMs);
    ASSERT_NE(login, nullptr);
    // Both processes load the system's libraries and the program, nothing
    // beside it. The game window hosts no browser and checked no update; the
    // page loads nothing for updates, installs or uninstall.
    EXPECT_EQ(UnwantedModules(m_kvr.Id(), program, {L"urlmon.dll", L"mshtml.dll", L"crypt32.dll", L"rsaenh.dll"}),
              "") << "game window";
    EXPECT_EQ(UnwantedModules(ProcessOf(login), program, {L"crypt32.dll", L"rsaenh.dll"}), "") << "page process";
    // Start-up reported the start before the window.
    EXPECT_TRUE(WaitForRequest("/active.htm", "tag=kvr", kStepMs)) << PortalReceived("/active.htm").message();
    // The login window shows before the game window exists; then the game
    // window owns it, held disabled while the login lasts.
    const HWND background = ::GetWindow(login, GW_OWNER);
    EXPECT_TRUE(kvrtest::WaitUntil(
        [&] { return ::GetWindow(background, GW_OWNER) == m_game && !::IsWindowEnabled(m_game); }, kStepMs));
    // Until a page joins the game window stays a 1 x 1 window.
    RECT rc{};
    ::GetWindowRect(m_game, &rc);
    EXPECT_LE(rc.right - rc.left, 1);

    LogInAccount(L"S12", L"凤凰涅槃", L"e2eone", 1);
    ShowNewestPage(L"S12", L"e2eone");
    // The window took the tab: maximised, its page frame inside.
    EXPECT_TRUE(kvrtest::WaitUntil(
        [&] {
            ::GetWindowRect(m_game, &rc);
            return rc.right - rc.left > 400 && rc.bottom - rc.top > 300;
        },
        kStepMs))
        << "game window " << rc.right - rc.left << " x " << rc.bottom - rc.top;
    EXPECT_TRUE(::IsWindowVisible(m_game));
    kvrtest::SaveScreenShot(L"e2e_one_login_tab");
    // No play-time record while the tab is open.
    EXPECT_EQ(CountRequests("/d.php"), 0u);

    ExitAll();
    EXPECT_EQ(CountRequests("/d.php", "a=web.online&game=k&server=S12&length="), 1u)
        << PortalReceived("/d.php").message();
    EXPECT_TRUE(PortalReceived("/d.php", "cid=4224"));
    // One login, one record.
    EXPECT_EQ(CountRequests("/login.htm"), 1u);
}

TEST_F(LoginRoadTest, SecondAndThirdAccountInTheSameWindowAndTheFourthRefused) {
    StartGameWindow();
    LogInAccount(L"S12", L"凤凰涅槃", L"e2eone", 1);

    // "Other account" chosen as "in this window".
    ::PostMessageW(m_game, kvr::WM_KVR_ADD_ACCOUNT, 1, 0);
    LogInAccount(L"S3", L"【双线】》龙腾四海一区", L"e2etwo", 2);

    // The same account on the same server again is refused by the game
    // window: the page process tells the player and ends, the tabs stay.
    ::PostMessageW(m_game, kvr::WM_KVR_ADD_ACCOUNT, 1, 0);
    HWND dup = WaitForLoginPage(m_kvr.Id(), m_loginPages, kStartMs);
    ASSERT_NE(dup, nullptr);
    m_loginPages.push_back(dup);
    const DWORD dupPid = ProcessOf(dup);
    const RunningProcess dupProcess(dupPid);
    ASSERT_TRUE(dupProcess.Opened());
    ASSERT_TRUE(LogIn(dup, L"S3", L"【双线】》龙腾四海一区", L"e2etwo"));
    HWND refusal = WaitForMessageBox(dupPid, nullptr, kStepMs);
    ASSERT_NE(refusal, nullptr) << "no duplicate-login message";
    kvrtest::SaveScreenShot(L"e2e_duplicate_login");
    const std::wstring texts = MessageBoxTexts(refusal);
    EXPECT_NE(::GetDlgItem(refusal, 5000), nullptr) << "not the skinned box";
    EXPECT_NE(texts.find(L"账号 e2etwo 已在 3服 登录"), std::wstring::npos) << kvr::test::Utf8(texts);
    ASSERT_TRUE(AnswerMessageBox(refusal, true));
    EXPECT_TRUE(dupProcess.EndsWithin(kStepMs)) << "the refused page process did not end";
    EXPECT_EQ(CountRequests("/login.htm"), 2u) << PortalReceived("/login.htm").message();
    EXPECT_EQ(PageFrames(m_game).size(), 2u);
    EXPECT_TRUE(::IsWindow(m_game));

    // A third account is still welcome (index counts accepted logins).
    ::PostMessageW(m_game, kvr::WM_KVR_ADD_ACCOUNT, 1, 0);
    LogInAccount(L"S7", L"凤凰涅槃", L"e2ethree", 3);
    ShowNewestPage(L"S7", L"e2ethree");
    kvrtest::SaveScreenShot(L"e2e_three_tabs");

    // The fourth is refused by the game window itself, no process started.
    const size_t processes = KvrProcessIds().size();
    ::PostMessageW(m_game, kvr::WM_KVR_ADD_ACCOUNT, 1, 0);
    HWND full = WaitForMessageBox(m_kvr.Id(), m_game, kStepMs);
    ASSERT_NE(full, nullptr) << "no message for a fourth page";
    EXPECT_NE(::GetDlgItem(full, 5000), nullptr) << "not the skinned box";
    EXPECT_NE(MessageBoxTexts(full).find(L"当前窗体只支持3个游戏页"), std::wstring::npos);
    ASSERT_TRUE(AnswerMessageBox(full, true));
    ASSERT_TRUE(kvrtest::WaitUntil([&] { return !::IsWindow(full); }, kStepMs));
    ASSERT_TRUE(kvrtest::RoundTrip(m_game));
    EXPECT_EQ(KvrProcessIds().size(), processes);
    EXPECT_EQ(PageFrames(m_game).size(), 3u);

    ExitAll();
    // One play-time record per tab, each with its own server.
    EXPECT_EQ(CountRequests("/d.php"), 3u) << PortalReceived("/d.php").message();
    EXPECT_EQ(CountRequests("/d.php", "server=S12&"), 1u);
    EXPECT_EQ(CountRequests("/d.php", "server=S3&"), 1u);
    EXPECT_EQ(CountRequests("/d.php", "server=S7&"), 1u);
}

TEST_F(LoginRoadTest, OldFlashAskedAnsweredNoStillOpensTheGameWindow) {
    // An old Flash Player: the player is asked; "No" goes on to the game.
    ASSERT_TRUE(SetFlashVersion(L"10,0,0,1"));
    ASSERT_TRUE(m_kvr.Start(KvrExe(), L"/KvrD"));
    HWND question = WaitForMessageBox(m_kvr.Id(), nullptr, kStartMs);
    ASSERT_NE(question, nullptr) << "no Flash question";
    EXPECT_NE(::GetDlgItem(question, 5000), nullptr) << "not the skinned box";
    EXPECT_NE(MessageBoxTexts(question).find(L"Flash Player版本过低"), std::wstring::npos);
    // Nothing else yet: the game window waits for the answer.
    for (HWND w : kvrtest::FindTopWindows(L"#32770", kvr::kGameWindowTitle, m_kvr.Id(), false))
        EXPECT_EQ(w, question) << "a game window before the answer";
    kvrtest::SaveScreenShot(L"e2e_flash_question");
    // The start was reported before the question, with its statistics.
    EXPECT_TRUE(PortalReceived("/active.htm", "tag=kvr&ver=3.0.0.3&count="));
    EXPECT_TRUE(PortalReceived("/active.htm", "&apartdays="));
    EXPECT_TRUE(PortalReceived("/active.htm", "&keepdays="));
    EXPECT_TRUE(PortalReceived("/active.htm", "&weekdays="));
    ASSERT_TRUE(AnswerMessageBox(question, false));
    m_game = WaitForGameWindow(m_kvr.Id(), kStartMs);
    ASSERT_NE(m_game, nullptr) << "no game window after No";
    EXPECT_NE(WaitForLoginPage(m_kvr.Id(), {}, kStartMs), nullptr) << "no page process";
    // No login: the window closes without asking and sends no play-time record.
    ::PostMessageW(m_game, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(m_kvr.Wait(kStepMs)) << "the game window did not end";
    EXPECT_EQ(CountRequests("/d.php"), 0u);
    EXPECT_EQ(CountRequests("/login.htm"), 0u);
}

TEST_F(LoginRoadTest, KilledPageDropsItsTabAndKilledGameWindowEndsThePages) {
    StartGameWindow();
    LogInAccount(L"S12", L"凤凰涅槃", L"e2eone", 1);
    ::PostMessageW(m_game, kvr::WM_KVR_ADD_ACCOUNT, 1, 0);
    LogInAccount(L"S3", L"凤凰涅槃", L"e2etwo", 2);
    auto frames = PageFrames(m_game);
    ASSERT_EQ(frames.size(), 2u);

    // One page process dies: its tab goes without a question, its play-time
    // record is still sent, the other tab and the window stay.
    DWORD victim = 0;
    for (HWND f : frames) {
        if (kvrtest::WindowText(f).empty()) continue;
        victim = ProcessOf(f);
        break;
    }
    if (!victim) victim = ProcessOf(frames.front());
    HANDLE p = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, victim);
    ASSERT_NE(p, nullptr);
    ::TerminateProcess(p, 1);
    ::WaitForSingleObject(p, 10000);
    ::CloseHandle(p);
    EXPECT_TRUE(WaitForRequest("/d.php", "", kStepMs)) << "no play-time record for the dead page";
    EXPECT_TRUE(kvrtest::WaitUntil([&] { return PageFrames(m_game).size() == 1u; }, kStepMs));
    EXPECT_EQ(CountRequests("/d.php"), 1u);
    EXPECT_TRUE(::IsWindow(m_game));
    EXPECT_EQ(WaitForMessageBox(m_kvr.Id(), m_game, 1000), nullptr) << "asked about a dead page";

    // The game window dies: the remaining page process follows by itself
    // (it waits on the game window's process).
    m_kvr.Kill();
    const ULONGLONG killed = ::GetTickCount64();
    const bool ended = kvrtest::WaitUntil([] { return KvrProcessIds().empty(); }, kStepMs);
    std::string left;
    for (DWORD id : KvrProcessIds()) {
        left += " pid " + std::to_string(id) + " with " +
                std::to_string(kvrtest::FindTopWindows(nullptr, nullptr, id).size()) + " top-level window(s)";
        for (HWND f : frames)
            if (ProcessOf(f) == id) left += ::IsWindow(f) ? ", its frame still exists" : ", its frame is gone";
    }
    EXPECT_TRUE(ended) << "page process(es) left behind:" << left;
    // Generous for a loaded machine; a page that never looks would hit the limit.
    EXPECT_LT(::GetTickCount64() - killed, 10000u);
}

TEST_F(LoginRoadTest, CommandsFromPagesOfOtherHostsDoNothing) {
    StartGameWindow();
    HWND login = WaitForLoginPage(m_kvr.Id(), m_loginPages, kStartMs);
    ASSERT_NE(login, nullptr);
    m_loginPages.push_back(login);
    const std::wstring loginPage = kvr::ServerUrl(kvr::Server::Portal, kvr::paths::kLoginPage);
    ASSERT_TRUE(kvr::SendTestHook(login, kvr::kHookDocumentComplete, loginPage.c_str()));

    // An advertisement's frame inside the login page, and a page that a
    // hostile redirect put in the login page's place, send the commands.
    const std::wstring loadgame = LoadGameUrl(L"S12", L"凤凰涅槃", L"hostile");
    for (const wchar_t* page : {L"http://ads.example/banner.html", L"http://127.0.0.1.evil.example/zt/client/v2/"}) {
        ASSERT_TRUE(kvr::SendTestHook(login, kvr::kHookNavigateFrom, loadgame.c_str(), page));
        ASSERT_TRUE(kvr::SendTestHook(login, kvr::kHookNavigateFrom, L"app://exitgame|", page));
    }

    // The portal's own page is obeyed. The page takes commands in order: its
    // login as the first account shows that those before it did nothing (nor
    // ended the login).
    ASSERT_TRUE(LogIn(login, L"S12", L"凤凰涅槃", L"ownpage"));
    ASSERT_TRUE(WaitForRequest("/login.htm", "uid=ownpage&index=1", kStepMs)) << PortalReceived("/login.htm").message();
    ASSERT_TRUE(kvrtest::WaitUntil([&] { return PageFrames(m_game).size() == 1u; }, kStepMs));
    EXPECT_EQ(CountRequests("/login.htm"), 1u) << "a foreign page logged an account in";
    EXPECT_FALSE(m_kvr.Wait(0)) << "a foreign page ended the program";

    // Its command with a game address on another host ends that login as a
    // refused one: no record, no tab, and the open tab stays.
    ::PostMessageW(m_game, kvr::WM_KVR_ADD_ACCOUNT, 1, 0);
    HWND second = WaitForLoginPage(m_kvr.Id(), m_loginPages, kStartMs);
    ASSERT_NE(second, nullptr);
    m_loginPages.push_back(second);
    const RunningProcess secondProcess(ProcessOf(second));
    ASSERT_TRUE(secondProcess.Opened());
    ASSERT_TRUE(kvr::SendTestHook(second, kvr::kHookDocumentComplete, loginPage.c_str()));
    const std::wstring elsewhere = L"app://loadgame|S3%E6%9C%8D-a-away|http://evil.example/play.html";
    ASSERT_TRUE(kvr::SendTestHook(second, kvr::kHookNavigateFrom, elsewhere.c_str(), loginPage.c_str()));
    EXPECT_TRUE(secondProcess.EndsWithin(kStepMs)) << "the login with a foreign game address went on";
    EXPECT_EQ(CountRequests("/login.htm"), 1u) << PortalReceived("/login.htm").message();
    EXPECT_EQ(PageFrames(m_game).size(), 1u);
    ExitAll();
}
