// The game window's keys with real input: the boss and sound keys through
// the low-level keyboard hook, the window-switch key through pre-translation
// (relayed by the page when it has the focus), and the refresh forwarding.
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>
#include "game_window_support.h"
#include "base/messages.h"
#include "gamewnd/hotkey_dispatch.h"
#include "tests/support/ui_driver.h"

namespace kvr {
namespace {

using test::GameWindowRun;
using kvrtest::PressKeys;
using test::SetNextPage;
using kvrtest::WaitUntil;

const GameHotkeys kDefaults{HotKey{0, VK_F10}, HotKey{kModCtrl, VK_TAB}, HotKey{kModCtrl, 'Q'}};

LRESULT AskPage(HWND page, UINT what) {
    DWORD_PTR result = static_cast<DWORD_PTR>(-2);
    ::SendMessageTimeoutW(page, WM_APP + what, 0, 0, SMTO_NORMAL, 2000, &result);
    return static_cast<LRESULT>(result);
}

TEST(GameWindowKeys, NothingHappensWithoutAPage) {
    SetNextPage(L"", L"wait");
    GameWindowRun run;
    ASSERT_TRUE(run.Start());
    SetCurrentHotkeys(kDefaults);
    // Settled: shown (one pixel large) while its first login is open.
    ASSERT_TRUE(WaitUntil([&] { return run.Dlg()->HasPendingChild(); }, 5000));
    ASSERT_TRUE(::IsWindowVisible(run.Window()));
    PressKeys({VK_F10});
    PressKeys({VK_CONTROL, 'Q'});
    EXPECT_TRUE(::IsWindowVisible(run.Window()));
    EXPECT_FALSE(run.Dlg()->Muted());

    // With a page the boss key works. The hook takes keys in order: once it
    // hid the window, the keys above were taken too, and did nothing.
    SetNextPage(L"1服-a-ivan");
    ::PostMessageW(run.Window(), WM_KVR_ADD_ACCOUNT, 1, 0);
    ASSERT_TRUE(run.WaitForPages(1, 15000));
    PressKeys({VK_F10});
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(run.Window()); }, 3000)) << "the boss key did nothing";
    EXPECT_FALSE(run.Dlg()->Muted());
}

TEST(GameWindowKeys, BossKeySoundKeySwitchKeyAndRefresh) {
    SetNextPage(L"1服-a-gina");
    GameWindowRun run;
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(run.WaitForPages(1, 15000));
    SetCurrentHotkeys(kDefaults);
    HWND game = run.Window();
    HWND first = run.Page(0);
    // The page is told the mute state when it joins: "sound on".
    EXPECT_TRUE(WaitUntil([&] { return AskPage(first, 1) == 0; }, 3000));

    // Boss key: hidden, and back.
    ASSERT_TRUE(::IsWindowVisible(game));
    PressKeys({VK_F10});
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(game); }, 3000));
    PressKeys({VK_F10});
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(game) != FALSE; }, 3000));

    // Sound key: muted, and the page is told.
    PressKeys({VK_CONTROL, 'Q'});
    EXPECT_TRUE(WaitUntil([&] { return run.Dlg()->Muted(); }, 3000));
    EXPECT_TRUE(WaitUntil([&] { return AskPage(first, 1) == 1; }, 3000));
    // Ctrl + Shift + Q is not the sound key "2,81": by the time the boss key
    // pressed after it hid the window, it had done nothing.
    PressKeys({VK_CONTROL, VK_SHIFT, 'Q'});
    PressKeys({VK_F10});
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(game); }, 3000));
    EXPECT_TRUE(run.Dlg()->Muted());
    PressKeys({VK_F10});
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(game) != FALSE; }, 3000));
    PressKeys({VK_CONTROL, 'Q'});
    EXPECT_TRUE(WaitUntil([&] { return !run.Dlg()->Muted(); }, 3000));
    EXPECT_TRUE(WaitUntil([&] { return AskPage(first, 1) == 0; }, 3000));

    // The menu's refresh reaches the shown page.
    ::PostMessageW(game, WM_KEYDOWN, VK_F5, kSelfPostedMarker);
    EXPECT_TRUE(WaitUntil([&] { return AskPage(first, 2) == 1; }, 3000));

    // Switch key with one page: it stays, once the window has taken the key.
    ::SetForegroundWindow(game);
    const int tabs = run.Taken(WM_KEYDOWN, VK_TAB);
    PressKeys({VK_CONTROL, VK_TAB});
    ASSERT_TRUE(run.WaitTaken(WM_KEYDOWN, tabs + 1, 3000, VK_TAB)) << "the switch key did not reach the window";
    EXPECT_EQ(run.Dlg()->Pages().Active(), 0);
    EXPECT_TRUE(::IsWindowVisible(first));

    // Two pages: the switch key cycles them.
    SetNextPage(L"2服-b-hank");
    ::PostMessageW(game, WM_KVR_ADD_ACCOUNT, 1, 0);
    ASSERT_TRUE(run.WaitForPages(2, 15000));
    HWND second = run.Page(1);
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(second) != FALSE; }, 3000));
    ::SetForegroundWindow(game);
    PressKeys({VK_CONTROL, VK_TAB});
    EXPECT_TRUE(WaitUntil([&] { return run.Dlg()->Pages().Active() == 0; }, 3000));
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(first) && !::IsWindowVisible(second); }, 3000));
    PressKeys({VK_CONTROL, VK_TAB});
    EXPECT_TRUE(WaitUntil([&] { return run.Dlg()->Pages().Active() == 1; }, 3000));

    // With the hall shown the switch key shows the active page again.
    ::PostMessageW(game, WM_COMMAND, MAKEWPARAM(IDC_GW_HALL, BN_CLICKED), 0);
    ASSERT_TRUE(WaitUntil([&] {
        HWND hall = run.Dlg()->Pages().Hall();
        return hall && ::IsWindowVisible(hall);
    }, 15000));
    HWND hall = run.Dlg()->Pages().Hall();
    EXPECT_FALSE(::IsWindowVisible(second));
    ::SetForegroundWindow(game);
    PressKeys({VK_CONTROL, VK_TAB});
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(hall) && ::IsWindowVisible(second); }, 3000));
    EXPECT_EQ(run.Dlg()->Pages().Active(), 1);
}

// The hook's callback, called as the system calls it while a page's process
// is busy: it answers at once (figures printed), and a held key acts once.
TEST(GameWindowKeys, HookOnlyPostsAndAHeldKeyActsOnce) {
    SetNextPage(L"1服-a-gina");
    GameWindowRun run;
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(run.WaitForPages(1, 15000));
    SetCurrentHotkeys(kDefaults);
    ASSERT_TRUE(::IsWindowVisible(run.Window()));
    ::PostMessageW(run.Page(0), WM_APP + 5, 3000, 0);  // the page's thread stops for 3 s
    // Typing; then F10 pressed, repeated while held, released; another key.
    std::vector<std::pair<WPARAM, DWORD>> events;
    for (DWORD i = 0; i < 498; ++i) events.insert(events.end(), {{WM_KEYDOWN, 'A' + i % 26}, {WM_KEYUP, 'A' + i % 26}});
    events.insert(events.end(), {{WM_SYSKEYDOWN, VK_F10}, {WM_SYSKEYDOWN, VK_F10}, {WM_SYSKEYUP, VK_F10}, {WM_KEYDOWN, 'A'}});
    std::vector<double> us;
    LARGE_INTEGER frequency{}, before{}, after{};
    ::QueryPerformanceFrequency(&frequency);
    for (const auto& [message, vk] : events) {
        KBDLLHOOKSTRUCT key{vk, 0, message == WM_KEYUP || message == WM_SYSKEYUP ? LLKHF_UP : 0u, 0, 0};
        ::QueryPerformanceCounter(&before);
        KeyboardHookProc(HC_ACTION, message, reinterpret_cast<LPARAM>(&key));
        ::QueryPerformanceCounter(&after);
        us.push_back(1e6 * static_cast<double>(after.QuadPart - before.QuadPart) / frequency.QuadPart);
    }
    std::sort(us.begin(), us.end());
    std::printf("keyboard hook callback, %u key events: median %.1f us, 99%% %.1f us, worst %.1f us\n",
                static_cast<unsigned>(us.size()), us[us.size() / 2], us[us.size() * 99 / 100], us.back());
    // The sound key's post comes after the boss key's: once muted, both acted.
    PressKeys({VK_CONTROL, 'Q'});
    EXPECT_TRUE(WaitUntil([&] { return run.Dlg()->Muted(); }, 10000));
    EXPECT_FALSE(::IsWindowVisible(run.Window())) << "the held boss key acts once";
}

}  // namespace
}  // namespace kvr
