// The game window with real page processes (the stand-in page program) and
// the stand-in portal: tabs, the page protocol, the records, closing, the
// hotkeys through the real keyboard hook.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>
#include <cwchar>
#include <string>
#include "game_window_support.h"
#include "base/messages.h"
#include "gamewnd/tab_strip.h"
#include "tests/support/portal_client.h"
#include "tests/support/ui_driver.h"

namespace kvr {
namespace {

using test::GameWindowRun;
using test::SetNextPage;
using kvrtest::WaitUntil;

size_t Count(const std::string& path, const std::string& query) {
    return test::FindRequests(test::PortalLog(), path, query).size();
}

POINT TabCentre(int i) {
    const RECT r = TabRect(i);
    return POINT{(r.left + r.right) / 2 - 20, (r.top + r.bottom) / 2};
}

// Asks for another page as the add-account choice does; returns once the
// window has taken the request.
void RequestPage(GameWindowRun& run, const std::wstring& caption, const std::wstring& mode = L"") {
    const int asked = run.Taken(WM_KVR_ADD_ACCOUNT);
    SetNextPage(caption, mode);
    ::PostMessageW(run.Window(), WM_KVR_ADD_ACCOUNT, 1, 0);
    EXPECT_TRUE(run.WaitTaken(WM_KVR_ADD_ACCOUNT, asked + 1, 5000));
}

// The login window of a page process in the "wait" mode, once it shows.
HWND WaitForLogin() {
    HWND login = nullptr;
    WaitUntil([&] { return (login = ::FindWindowW(L"KvrFakeLogin", nullptr)) != nullptr; }, 15000);
    return login;
}

// Its process ends as in a crash.
bool KillLogin() {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(WaitForLogin(), &pid);
    HANDLE process = pid ? ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid) : nullptr;
    if (!process) return false;
    const bool ended = ::TerminateProcess(process, 9) && ::WaitForSingleObject(process, 5000) == WAIT_OBJECT_0;
    ::CloseHandle(process);
    return ended;
}

TEST(GameWindow, PagesRecordsLimitAndClosing) {
    ASSERT_TRUE(test::PortalReset());
    SetNextPage(L"12服-风云-alice");
    GameWindowRun run;
    ASSERT_TRUE(run.Start());
    HWND game = run.Window();
    ASSERT_TRUE(run.WaitForPages(1, 15000));
    // The first page maximises the window and adds the tray icon.
    EXPECT_TRUE(run.Dlg()->IsMaximized());
    EXPECT_TRUE(run.Dlg()->TrayIconShown());
    // Explorer made its taskbar anew: the icon is added again (read back by
    // changing it), and one still there counts as shown.
    const UINT taskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");
    NOTIFYICONDATAW icon{};
    icon.cbSize = sizeof(icon);
    icon.hWnd = game;
    icon.uID = 1;
    ::SendMessageW(game, taskbarCreated, 0, 0);
    EXPECT_TRUE(run.Dlg()->TrayIconShown());
    ASSERT_TRUE(::Shell_NotifyIconW(NIM_DELETE, &icon));
    EXPECT_FALSE(::Shell_NotifyIconW(NIM_MODIFY, &icon));
    ::SendMessageW(game, taskbarCreated, 0, 0);
    EXPECT_TRUE(::Shell_NotifyIconW(NIM_MODIFY, &icon));
    EXPECT_TRUE(WaitUntil([] { return Count("/login.htm", "uid=alice&index=1") == 1; }, 5000))
        << test::PortalReceived("/login.htm");

    RequestPage(run, L"7服-area-bob");
    ASSERT_TRUE(run.WaitForPages(2, 15000));
    EXPECT_TRUE(WaitUntil([] { return Count("/login.htm", "uid=bob&index=2") == 1; }, 5000));

    // The same caption again: refused, no tab, no login record. Its process
    // ends, and no longer pending, it registered nothing.
    RequestPage(run, L"12服-风云-alice");
    EXPECT_TRUE(run.Dlg()->HasPendingChild());
    EXPECT_TRUE(WaitUntil([&] { return !run.Dlg()->HasPendingChild(); }, 15000));
    EXPECT_EQ(run.PageCount(), 2);
    EXPECT_EQ(Count("/login.htm", "uid=alice"), 1u);

    // No "-": the whole caption is the uid; Chinese text percent-encoded.
    RequestPage(run, L"单机");
    ASSERT_TRUE(run.WaitForPages(3, 15000));
    EXPECT_TRUE(WaitUntil([] { return Count("/login.htm", "uid=%E5%8D%95%E6%9C%BA&index=3") == 1; }, 5000))
        << test::PortalReceived("/login.htm");
    EXPECT_EQ(run.Dlg()->Pages().Active(), 2);

    // A fourth page: refused, and no process started.
    RequestPage(run, L"9服-x-carol");
    HWND box = run.WaitForMessageBox(5000);
    ASSERT_NE(box, nullptr);
    EXPECT_FALSE(run.Dlg()->HasPendingChild());
    GameWindowRun::Answer(box, true);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(box); }, 5000));
    EXPECT_EQ(run.PageCount(), 3);
    EXPECT_EQ(Count("/login.htm", "uid=carol"), 0u);

    // With three pages the window keeps its minimum size.
    ::SetWindowPos(game, nullptr, 0, 0, 300, 100, SWP_NOZORDER | SWP_NOMOVE);
    RECT rc{};
    ::GetWindowRect(game, &rc);
    EXPECT_GE(rc.right - rc.left, 483 + 189 * 3);
    EXPECT_GE(rc.bottom - rc.top, 260);

    // Closing the middle tab (middle click, then Yes) makes the former third active.
    HWND third = run.Page(2);
    // Opened while it surely runs: once it ended its id may name nothing.
    HANDLE bob = ::OpenProcess(SYNCHRONIZE, FALSE, run.PageProcessId(1));
    ASSERT_NE(bob, nullptr) << ::GetLastError();
    const POINT middle = TabCentre(1);
    ::PostMessageW(game, WM_MBUTTONUP, 0, MAKELPARAM(middle.x, middle.y));
    box = run.WaitForMessageBox(5000);
    ASSERT_NE(box, nullptr);
    GameWindowRun::Answer(box, true);
    ASSERT_TRUE(run.WaitForPages(2, 5000));
    EXPECT_EQ(run.Dlg()->Pages().Active(), 1);
    EXPECT_EQ(run.Dlg()->Pages().ActiveWindow(), third);
    EXPECT_TRUE(WaitUntil([] { return Count("/d.php", "server=S7&length=") == 1; }, 5000))
        << test::PortalReceived("/d.php");
    EXPECT_EQ(::WaitForSingleObject(bob, 5000), WAIT_OBJECT_0) << "the closed tab's process runs on";
    ::CloseHandle(bob);

    // Answering No leaves the tab.
    ::PostMessageW(game, WM_MBUTTONUP, 0, MAKELPARAM(middle.x, middle.y));
    box = run.WaitForMessageBox(5000);
    ASSERT_NE(box, nullptr);
    GameWindowRun::Answer(box, false);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(box); }, 5000));
    EXPECT_EQ(run.PageCount(), 2);

    // Closing the last tab makes the one before it active; a page without
    // "服-" reports "server=S" with nothing after it.
    ::PostMessageW(game, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(TabCentre(0).x, TabCentre(0).y));
    ::PostMessageW(game, WM_LBUTTONUP, 0, MAKELPARAM(TabCentre(0).x, TabCentre(0).y));
    EXPECT_TRUE(WaitUntil([&] { return run.Dlg()->Pages().Active() == 0; }, 3000));
    const RECT closeBox = TabCloseBoxRect(1);
    ::PostMessageW(game, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(closeBox.left + 5, closeBox.top + 5));
    ::PostMessageW(game, WM_LBUTTONUP, 0, MAKELPARAM(closeBox.left + 5, closeBox.top + 5));
    box = run.WaitForMessageBox(5000);
    ASSERT_NE(box, nullptr);
    GameWindowRun::Answer(box, true);
    ASSERT_TRUE(run.WaitForPages(1, 5000));
    EXPECT_EQ(run.Dlg()->Pages().Active(), 0);
    EXPECT_TRUE(WaitUntil([] { return Count("/d.php", "server=S&length=") == 1; }, 5000))
        << test::PortalReceived("/d.php");

    // One page left: its close box asks about the whole window; Yes ends it
    // and sends the last record.
    const RECT firstBox = TabCloseBoxRect(0);
    ::PostMessageW(game, WM_LBUTTONUP, 0, MAKELPARAM(firstBox.left + 5, firstBox.top + 5));
    box = run.WaitForMessageBox(5000);
    ASSERT_NE(box, nullptr);
    GameWindowRun::Answer(box, true);
    EXPECT_TRUE(run.WaitEnded(10000));
    EXPECT_EQ(Count("/d.php", "server=S12&length="), 1u) << test::PortalReceived("/d.php");
}

TEST(GameWindow, CancellingTheFirstLoginEndsTheWindow) {
    SetNextPage(L"", L"cancel");
    GameWindowRun run;
    ASSERT_TRUE(run.Start());
    EXPECT_TRUE(run.WaitEnded(15000));

    // A first login process that dies before its frame registers (a crash)
    // leaves nothing to show either.
    SetNextPage(L"", L"wait");
    GameWindowRun lost;
    ASSERT_TRUE(lost.Start());
    ASSERT_TRUE(KillLogin());
    EXPECT_TRUE(lost.WaitEnded(15000)) << "an invisible game window stays";
}

TEST(GameWindow, CancellingALaterLoginLeavesThePages) {
    SetNextPage(L"3服-a-dave");
    GameWindowRun run;
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(run.WaitForPages(1, 15000));
    HWND page = run.Page(0);
    RequestPage(run, L"", L"cancel");
    // No longer pending: the ended process was seen, after its close request.
    ASSERT_TRUE(WaitUntil([&] { return !run.Dlg()->HasPendingChild(); }, 10000));
    EXPECT_FALSE(run.WaitEnded(0));
    EXPECT_EQ(run.PageCount(), 1);
    EXPECT_EQ(run.Page(0), page);
    EXPECT_TRUE(::IsWindow(page));

    // A later login process that dies: the window it held disabled works
    // again, and the pages stay.
    RequestPage(run, L"", L"wait");
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindowEnabled(run.Window()); }, 15000));
    ASSERT_TRUE(KillLogin());
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(run.Window()) && !run.Dlg()->HasPendingChild(); }, 5000));
    EXPECT_FALSE(run.WaitEnded(0));
    EXPECT_EQ(run.Page(0), page);
}

TEST(GameWindow, HallRegisteredFirstAddsNoTab) {
    SetNextPage(L"", L"wait");  // the first login window stays open
    GameWindowRun run;
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(WaitUntil([&] { return run.Dlg()->HasPendingChild(); }, 5000));
    EXPECT_FALSE(run.Dlg()->TrayIconShown());
    ::PostMessageW(run.Window(), WM_COMMAND, MAKEWPARAM(IDC_GW_HALL, BN_CLICKED), 0);
    ASSERT_TRUE(WaitUntil([&] { return run.Dlg()->Pages().Hall() != nullptr; }, 15000));
    EXPECT_EQ(run.PageCount(), 0);
    EXPECT_TRUE(run.Dlg()->IsMaximized());
    EXPECT_TRUE(run.Dlg()->TrayIconShown());
}

TEST(GameWindow, DeadPageIsDroppedWithItsRecord) {
    ASSERT_TRUE(test::PortalReset());
    SetNextPage(L"5服-a-erin");
    GameWindowRun run;
    ASSERT_TRUE(run.Start());
    ASSERT_TRUE(run.WaitForPages(1, 15000));
    // On Windows the page left over would bring its game window forward;
    // under Wine only a window of its own can take the foreground.
    RequestPage(run, L"6服-b-frank", L"toplevel");
    ASSERT_TRUE(run.WaitForPages(2, 15000));
    HWND erin = run.Page(0);
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(run.Page(1)) != FALSE; }, 5000));
    // The player works in another window meanwhile.
    HWND other = ::CreateWindowExW(0, L"STATIC", L"another program", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100,
                                   nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    ::SetForegroundWindow(other);
    ASSERT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == other; }, 2000));
    HANDLE process = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, run.PageProcessId(0));
    ASSERT_NE(process, nullptr);
    ::TerminateProcess(process, 9);
    ::WaitForSingleObject(process, 5000);
    ::CloseHandle(process);
    // Dropped when the window learnt of the process's end; asked after that,
    // the window has done all it does for it.
    ASSERT_TRUE(run.WaitForPages(1, 5000));
    EXPECT_EQ(::GetForegroundWindow(), other) << "the dropped page took the focus";
    ::DestroyWindow(other);
    EXPECT_NE(run.Page(0), erin);
    EXPECT_TRUE(WaitUntil([] { return Count("/d.php", "server=S5&length=") == 1; }, 5000))
        << test::PortalReceived("/d.php");
    EXPECT_EQ(run.WaitForMessageBox(300), nullptr);  // nothing asked
}

TEST(GameWindow, MalformedCopyDataIsRefused) {
    SetNextPage(L"", L"wait");
    GameWindowRun run;
    ASSERT_TRUE(run.Start());
    // In the name of the login window of the page process the window waits for.
    const WPARAM login = reinterpret_cast<WPARAM>(WaitForLogin());
    ASSERT_NE(login, 0u);
    const wchar_t text[] = L"1服-a-b";
    COPYDATASTRUCT cds{0, 3 * sizeof(wchar_t), const_cast<wchar_t*>(text)};  // no terminator inside
    EXPECT_EQ(::SendMessageW(run.Window(), WM_COPYDATA, login, reinterpret_cast<LPARAM>(&cds)), 0);
    cds.cbData = sizeof(text) - 1;  // odd
    EXPECT_EQ(::SendMessageW(run.Window(), WM_COPYDATA, login, reinterpret_cast<LPARAM>(&cds)), 0);
    EXPECT_EQ(run.Dlg()->Pages().CaptionCount(), 0);
    cds.cbData = sizeof(text);
    EXPECT_EQ(::SendMessageW(run.Window(), WM_COPYDATA, login, reinterpret_cast<LPARAM>(&cds)), 1);
    EXPECT_EQ(run.Dlg()->Pages().CaptionCount(), 1);
    // One caption a login: a second one would wait for a frame never coming.
    const wchar_t second[] = L"2服-a-c";
    cds = COPYDATASTRUCT{0, sizeof(second), const_cast<wchar_t*>(second)};
    EXPECT_EQ(::SendMessageW(run.Window(), WM_COPYDATA, login, reinterpret_cast<LPARAM>(&cds)), 0);
    EXPECT_EQ(run.Dlg()->Pages().CaptionCount(), 1);
}

TEST(GameWindow, FramesOfProcessesItDidNotStartNeverJoin) {
    SetNextPage(L"", L"wait");  // the window's own first page stays at its login
    GameWindowRun run;
    ASSERT_TRUE(run.Start());
    ASSERT_NE(WaitForLogin(), nullptr);  // started before the next page's settings
    // Another process speaks the page protocol with the window's handle: its
    // frame is neither a tab nor the hall, however it registers.
    const std::wstring handle = std::to_wstring(reinterpret_cast<UINT_PTR>(run.Window()));
    SetNextPage(L"8服-x-mallory", L"foreign");
    kvrtest::Process page, hall;
    ASSERT_TRUE(page.Start(test::FakePagePath(), L"/newgm /" + handle + L" /0"));
    ASSERT_TRUE(hall.Start(test::FakePagePath(), L"/gmhall /" + handle));
    ASSERT_TRUE(run.WaitTaken(WM_KVR_FRAME_READY, 2, 15000)) << "the frames did not register";
    EXPECT_EQ(run.PageCount(), 0);
    EXPECT_EQ(run.Dlg()->Pages().Hall(), nullptr);
    EXPECT_FALSE(run.Dlg()->TrayIconShown()) << "a foreign frame counted as the first page";

    // Nor are the captions of windows of other processes kept: they would
    // fill the captions and block the logins.
    EXPECT_EQ(run.Dlg()->Pages().CaptionCount(), 0);
    for (const wchar_t* caption : {L"9服-y-a", L"9服-y-b", L"9服-y-c"}) {
        COPYDATASTRUCT cds{0, static_cast<DWORD>((wcslen(caption) + 1) * sizeof(wchar_t)),
                           const_cast<wchar_t*>(caption)};
        ::SendMessageW(run.Window(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds));
    }
    EXPECT_EQ(run.Dlg()->Pages().CaptionCount(), 0);
}

}  // namespace
}  // namespace kvr
