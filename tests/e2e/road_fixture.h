// The fixture of the whole-program scenarios: kvr.exe "/KvrD" under Wine
// against the stand-in portal, with the steps every scenario shares (start
// the game window, log an account in as a tab, exit all).
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "base/crash_dump.h"
#include "base/messages.h"
#include "base/owned.h"
#include "browser/test_hooks.h"
#include "tests/e2e/road.h"
#include "tests/support/portal_client.h"
#include "tests/support/screenshot.h"
#include "tests/support/ui_driver.h"

namespace kvre2e {

using kvr::test::PortalReceived;

// The machine is shared and Wine starts slowly: generous limits throughout.
constexpr DWORD kStartMs = 90000;
constexpr DWORD kStepMs = 45000;

inline DWORD ProcessOf(HWND hwnd) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    return pid;
}

// A process opened while it surely runs: by its id alone, one that ended
// cannot be told from one that was never there.
class RunningProcess {
public:
    explicit RunningProcess(DWORD pid) : m_handle(::OpenProcess(SYNCHRONIZE, FALSE, pid)) {}
    bool Opened() const { return static_cast<bool>(m_handle); }
    bool EndsWithin(DWORD ms) const { return m_handle && ::WaitForSingleObject(m_handle.get(), ms) == WAIT_OBJECT_0; }

private:
    kvr::OwnedHandle m_handle;
};

// While it lives the update check has run today, as the program keeps it:
// the game shortcut checks for none at start-up.
class UpdateCheckedToday {
public:
    UpdateCheckedToday() {
        SYSTEMTIME now;
        ::GetSystemTime(&now);
        m_registry.WriteSetting(L"UpdTime", &now, sizeof now);
    }
    ~UpdateCheckedToday() { m_registry.DeleteSetting(L"UpdTime"); }

private:
    kvrtest::ProgramRegistry m_registry{KvrExe()};
};

// Where a crash of any process of the program leaves its dump.
inline std::wstring KvrDumpPath() {
    wchar_t path[MAX_PATH];
    return kvr::DumpPathFor(KvrExe().c_str(), path) ? path : L"";
}

class LoginRoadTest : public ::testing::Test {
protected:
    void SetUp() override {
        KillKvrProcesses();
        ::DeleteFileW(KvrDumpPath().c_str());
        ASSERT_TRUE(kvr::test::PortalReset()) << "stand-in portal not reachable";
        // A passing Flash version: no question before the game window.
        ASSERT_TRUE(SetFlashVersion(L"32,0,0,465"));
    }
    void TearDown() override {
        KillKvrProcesses();
        kvr::test::PortalReset();
        // A process that crashed unnoticed (a page at its end, say) still fails the scenario.
        EXPECT_EQ(::GetFileAttributesW(KvrDumpPath().c_str()), INVALID_FILE_ATTRIBUTES)
            << "a process of the program crashed: its dump lies beside it";
    }

    // Starts kvr.exe /KvrD (the build's, or a copy) and waits for its game window.
    void StartGameWindow(const std::wstring& exe = KvrExe()) {
        ASSERT_TRUE(m_kvr.Start(exe, L"/KvrD")) << "CreateProcess failed: " << ::GetLastError();
        m_game = WaitForGameWindow(m_kvr.Id(), kStartMs);
        ASSERT_NE(m_game, nullptr) << "no game window";
    }

    // Waits for the next login page and logs the account in; the page
    // process's frame then joins the game window as tab number `tabs`.
    void LogInAccount(const std::wstring& server, const std::wstring& area, const std::wstring& account, int index) {
        HWND login = WaitForLoginPage(m_kvr.Id(), m_loginPages, kStartMs);
        ASSERT_NE(login, nullptr) << "no login page for " << kvr::test::Utf8(account);
        m_loginPages.push_back(login);
        ASSERT_TRUE(LogIn(login, server, area, account));
        const std::string uid = "uid=" + kvr::test::Utf8(account);
        const std::string idx = "index=" + std::to_string(index);
        ASSERT_TRUE(WaitForRequest("/login.htm", idx, kStepMs)) << PortalReceived("/login.htm", idx).message();
        EXPECT_TRUE(PortalReceived("/login.htm", uid + "&" + idx));
        EXPECT_TRUE(PortalReceived("/login.htm", "tag=kvr&ver=3.0.0.3"));
        const bool joined = kvrtest::WaitUntil([&] { return static_cast<int>(PageFrames(m_game).size()) >= index; },
                                               kStepMs);
        ASSERT_TRUE(joined) << "the frame of " << kvr::test::Utf8(account) << " did not join; frames "
                            << PageFrames(m_game).size();
        // The view navigated to the game page of the login (the request
        // leaves even though Wine's control renders nothing).
        EXPECT_TRUE(WaitForRequest("/game/play.html", uid, kStepMs)) << PortalReceived("/game/play.html", uid).message();
    }

    // Shows the newest page as it shows itself once its page has loaded.
    void ShowNewestPage(const std::wstring& server, const std::wstring& account) {
        auto frames = PageFrames(m_game);
        if (frames.empty()) return;
        for (HWND f : frames)
            kvr::SendTestHook(f, kvr::kHookNavigateComplete, GameUrl(server, account).c_str());
    }

    // Exit all as the player does: close the window, answer Yes.
    void ExitAll() {
        ::PostMessageW(m_game, WM_SYSCOMMAND, SC_CLOSE, 0);
        HWND box = WaitForMessageBox(m_kvr.Id(), m_game, kStepMs);
        ASSERT_NE(box, nullptr) << "no question before closing";
        kvrtest::SaveScreenShot(L"e2e_exit_question");
        ASSERT_TRUE(AnswerMessageBox(box, true));
        DWORD code = 0;
        ASSERT_TRUE(m_kvr.Wait(kStepMs, &code)) << "the game window did not end";
        // Every page process follows.
        EXPECT_TRUE(kvrtest::WaitUntil([] { return KvrProcessIds().empty(); }, kStepMs))
            << KvrProcessIds().size() << " kvr.exe still running";
    }

    kvrtest::Process m_kvr;
    HWND m_game = nullptr;
    std::vector<HWND> m_loginPages;
};

}  // namespace kvre2e
