// Rules of the game window that need no window: caption views, the two
// records' URLs, the WM_COPYDATA check, tab geometry, the page list and
// hotkey matching.
#include <gtest/gtest.h>
#include <windows.h>
#include "base/endpoints.h"
#include "base/messages.h"
#include "gamewnd/game_commands.h"
#include "gamewnd/hotkey_dispatch.h"
#include "gamewnd/page_list.h"
#include "gamewnd/page_text.h"
#include "gamewnd/tab_strip.h"
#include "res/resource.h"

namespace kvr {
namespace {

std::wstring ClientService(const std::wstring& path) { return ServerUrl(Server::ClientService, path); }

TEST(CaptionViews, ServerAndUid) {
    EXPECT_EQ(CaptionServer(L"12服-风云再起-alice"), L"12");
    EXPECT_EQ(CaptionUid(L"12服-风云再起-alice"), L"alice");
    // The server ends at the first "服-", the uid starts after the last "-".
    EXPECT_EQ(CaptionServer(L"3服-a服-b-c-d"), L"3");
    EXPECT_EQ(CaptionUid(L"3服-a-b-c-d"), L"d");
    EXPECT_EQ(CaptionServer(L"no server here"), L"");
    EXPECT_EQ(CaptionUid(L"wholecaption"), L"wholecaption");
    EXPECT_EQ(CaptionUid(L"ends with dash-"), L"");
}

TEST(LoginRecord, IndexAndEncodedUid) {
    EXPECT_EQ(LoginRecordUrl(L"12服-area-alice", 1),
              ClientService(L"/login.htm?tag=kvr&ver=3.0.0.3&uid=alice&index=1"));
    EXPECT_EQ(LoginRecordUrl(L"wholecaption", 2),
              ClientService(L"/login.htm?tag=kvr&ver=3.0.0.3&uid=wholecaption&index=2"));
    // A uid cannot add or replace query fields.
    EXPECT_EQ(LoginRecordUrl(L"1服-x-bob&index=9 =", 3),
              ClientService(L"/login.htm?tag=kvr&ver=3.0.0.3&uid=bob%26index%3D9%20%3D&index=3"));
    // UTF-8 of Chinese text; "%s" in a uid stays text.
    EXPECT_EQ(LoginRecordUrl(L"1服-x-玩家%s", 1),
              ClientService(L"/login.htm?tag=kvr&ver=3.0.0.3&uid=%E7%8E%A9%E5%AE%B6%25s&index=1"));
}

TEST(LoginRecord, LongUidIsCutAtTheBuffer) {
    const std::wstring url = LoginRecordUrl(std::wstring(255, L'中'), 1);
    EXPECT_EQ(url.size(), 511u);
}

TEST(EncodeQueryValue, KeepsUnreservedOnly) {
    EXPECT_EQ(EncodeQueryValue(L"Az09-_.~"), L"Az09-_.~");
    EXPECT_EQ(EncodeQueryValue(L"a/b?c#d+e"), L"a%2Fb%3Fc%23d%2Be");
    EXPECT_EQ(EncodeQueryValue(L""), L"");
}

TEST(PlayTime, LengthAndServer) {
    const std::wstring playTime = ServerUrl(Server::PlayTime, L"");
    EXPECT_EQ(PlayTimeUrl(L"12服-area-alice", 1000, 1000 + 59900),
              playTime + L"/d.php?a=web.online&game=k&server=S12&length=59&cid=4224");
    // No "服-": nothing after the S.
    EXPECT_EQ(PlayTimeUrl(L"area-alice", 0, 2000),
              playTime + L"/d.php?a=web.online&game=k&server=S&length=2&cid=4224");
    EXPECT_EQ(PlayTimeUrl(L"a&b服-x-y", 0, 0),
              playTime + L"/d.php?a=web.online&game=k&server=Sa%26b&length=0&cid=4224");
}

TEST(PlayTime, TickCounterWrap) {
    // Started 10 s before the 32-bit tick counter wrapped, ended 50 s after.
    EXPECT_EQ(PlaySeconds(0xFFFFFFFFu - 9999u, 50000u), 60ul);
    EXPECT_EQ(PlaySeconds(5000u, 5999u), 0ul);
    EXPECT_EQ(PlaySeconds(0u, 0xFFFFFFFFu), 4294967ul);
}

COPYDATASTRUCT Cds(const void* data, DWORD bytes) {
    COPYDATASTRUCT c{};
    c.lpData = const_cast<void*>(data);
    c.cbData = bytes;
    return c;
}

TEST(CopyDataCaption, AcceptsWellFormedText) {
    const wchar_t text[] = L"1服-a-b";
    COPYDATASTRUCT c = Cds(text, sizeof(text));
    std::wstring caption;
    ASSERT_TRUE(ReadCopyDataCaption(&c, &caption));
    EXPECT_EQ(caption, L"1服-a-b");
    // A terminator before the end: the text up to it.
    const wchar_t early[] = L"ab\0cd";
    c = Cds(early, sizeof(early));
    ASSERT_TRUE(ReadCopyDataCaption(&c, &caption));
    EXPECT_EQ(caption, L"ab");
}

TEST(CopyDataCaption, RefusesMalformedData) {
    const wchar_t text[] = L"abc";
    std::wstring caption = L"unchanged";
    COPYDATASTRUCT odd = Cds(text, sizeof(text) - 1);
    EXPECT_FALSE(ReadCopyDataCaption(&odd, &caption));
    COPYDATASTRUCT unterminated = Cds(text, 3 * sizeof(wchar_t));
    EXPECT_FALSE(ReadCopyDataCaption(&unterminated, &caption));
    COPYDATASTRUCT empty = Cds(text, 0);
    EXPECT_FALSE(ReadCopyDataCaption(&empty, &caption));
    COPYDATASTRUCT null = Cds(nullptr, 8);
    EXPECT_FALSE(ReadCopyDataCaption(&null, &caption));
    std::wstring longText(kMaxCaption, L'x');  // kMaxCaption characters + terminator
    COPYDATASTRUCT tooLong = Cds(longText.c_str(), (kMaxCaption + 1) * sizeof(wchar_t));
    EXPECT_FALSE(ReadCopyDataCaption(&tooLong, &caption));
    EXPECT_EQ(caption, L"unchanged");
    std::wstring longest(kMaxCaption - 1, L'x');
    COPYDATASTRUCT atBound = Cds(longest.c_str(), kMaxCaption * sizeof(wchar_t));
    EXPECT_TRUE(ReadCopyDataCaption(&atBound, &caption));
    EXPECT_EQ(caption.size(), static_cast<size_t>(kMaxCaption - 1));
}

TEST(TabStrip, Geometry) {
    const RECT second = TabRect(1);
    EXPECT_EQ(second.left, 309);
    EXPECT_EQ(second.right, 498);
    EXPECT_EQ(second.top, 3);
    EXPECT_EQ(second.bottom, 25);
    const RECT box = TabCloseBoxRect(2);
    EXPECT_EQ(box.left, 296 + 378);
    EXPECT_EQ(box.right, 309 + 378);
    EXPECT_EQ(box.bottom, 16);
    const RECT strip = TabStripRect(3);
    EXPECT_EQ(strip.right, 120 + 3 * 189);
}

TEST(TabStrip, HitTestBounds) {
    EXPECT_EQ(TabHitTest(POINT{120, 10}, 3), -1);  // strictly after 120
    EXPECT_EQ(TabHitTest(POINT{121, 10}, 3), 0);
    EXPECT_EQ(TabHitTest(POINT{308, 10}, 3), 0);
    EXPECT_EQ(TabHitTest(POINT{309, 10}, 3), 1);
    EXPECT_EQ(TabHitTest(POINT{686, 24}, 3), 2);
    EXPECT_EQ(TabHitTest(POINT{687, 10}, 3), -1);
    EXPECT_EQ(TabHitTest(POINT{400, 25}, 3), -1);
    EXPECT_EQ(TabHitTest(POINT{400, 2}, 3), -1);
    EXPECT_EQ(TabHitTest(POINT{400, 10}, 1), -1);  // beyond the only tab
    EXPECT_EQ(TabHitTest(POINT{200, 10}, 0), -1);
    EXPECT_TRUE(InTabCloseBox(POINT{297, 5}, 0));
    EXPECT_FALSE(InTabCloseBox(POINT{295, 5}, 0));
    EXPECT_FALSE(InTabCloseBox(POINT{300, 17}, 0));
    EXPECT_TRUE(InTabCloseBox(POINT{296 + 189, 3}, 1));
}

TEST(TabStrip, LabelCut) {
    const std::wstring caption = L"123服-一二三四五六七八九十-account";
    EXPECT_EQ(TabLabel(caption, 160), caption);
    EXPECT_EQ(TabLabel(caption, 161), caption.substr(0, 18) + L"...");
    EXPECT_EQ(TabLabel(L"short", 400), L"short...");
}

TEST(TabStrip, SizesAndPlaces) {
    EXPECT_EQ(MinimumWindowSize(1).cx, 672);
    EXPECT_EQ(MinimumWindowSize(3).cx, 483 + 567);
    EXPECT_EQ(MinimumWindowSize(2).cy, 260);
    const RECT area = PageArea(RECT{0, 0, 800, 600});
    EXPECT_EQ(area.left, 4);
    EXPECT_EQ(area.top, 30);
    EXPECT_EQ(area.right, 796);
    EXPECT_EQ(area.bottom, 596);
    const auto places = CaptionControlPlaces(1000);
    ASSERT_EQ(places.size(), 5u);
    for (const auto& p : places) {
        if (p.id == IDC_GW_HALL) {
            EXPECT_EQ(p.rect.left, 736);
            EXPECT_EQ(p.rect.right - p.rect.left, 79);
            EXPECT_EQ(p.rect.bottom, 28);
        }
        if (p.id == IDC_GW_OTHER_ACCOUNT) {
            EXPECT_EQ(p.rect.left, 640);
            EXPECT_EQ(p.rect.top, 7);
            EXPECT_EQ(p.rect.bottom - p.rect.top, 16);
        }
    }
    EXPECT_EQ(TabImage(1, 1, 1), 2);
    EXPECT_EQ(TabImage(0, 1, 0), 1);
    EXPECT_EQ(TabImage(2, 1, 0), 0);
}

HWND W(int n) { return reinterpret_cast<HWND>(static_cast<INT_PTR>(n)); }

TEST(PageList, DuplicateCaptionsAndRegistration) {
    PageList pages;
    EXPECT_TRUE(pages.AcceptCaption(L"1服-a-x", 100));
    EXPECT_FALSE(pages.AcceptCaption(L"1服-a-x", 200));
    EXPECT_TRUE(pages.AcceptCaption(L"1服-a-X", 300));  // case matters
    EXPECT_EQ(pages.CaptionCount(), 2);
    EXPECT_EQ(pages.Count(), 0);
    pages.AddWindow(W(10));
    pages.AddWindow(W(20));
    EXPECT_EQ(pages.Active(), 1);
    EXPECT_EQ(pages.StartTick(1), 300u);
    EXPECT_EQ(pages.IndexOf(W(20)), 1);
}

TEST(PageList, NewActiveTabAfterClosing) {
    PageList pages;
    for (int i = 0; i < 3; ++i) {
        pages.AcceptCaption(std::to_wstring(i), static_cast<DWORD>(i));
        pages.AddWindow(W(i + 1));
    }
    PageList::Removed removed;
    ASSERT_TRUE(pages.RemoveAt(1, &removed));  // the middle one
    EXPECT_EQ(removed.window, W(2));
    EXPECT_EQ(removed.caption, L"1");
    EXPECT_EQ(pages.Active(), 1);
    EXPECT_EQ(pages.ActiveWindow(), W(3));     // the former third
    EXPECT_EQ(pages.Caption(1), L"2");
    ASSERT_TRUE(pages.RemoveAt(1, &removed));  // now the last
    EXPECT_EQ(pages.Active(), 0);
    EXPECT_FALSE(pages.RemoveAt(1, &removed)); // out of range: ignored
    EXPECT_FALSE(pages.RemoveAt(-1, &removed));
    ASSERT_TRUE(pages.RemoveAt(0, &removed));
    EXPECT_EQ(pages.Count(), 0);
    EXPECT_EQ(pages.CaptionCount(), 0);
}

TEST(PageList, ClosingTheLastOfThreeActivatesTheSecond) {
    PageList pages;
    for (int i = 0; i < 3; ++i) {
        pages.AcceptCaption(std::to_wstring(i), 0);
        pages.AddWindow(W(i + 1));
    }
    pages.SetActive(0);
    ASSERT_TRUE(pages.RemoveAt(2, nullptr));
    EXPECT_EQ(pages.Active(), 1);
}

TEST(PageList, UnregisteredCaptionsAreDropped) {
    PageList pages;
    pages.AcceptCaption(L"a", 0);
    pages.AddWindow(W(1));
    pages.AcceptCaption(L"b", 0);  // its page process died before registering
    EXPECT_EQ(pages.DropUnregisteredCaptions(), 1);
    EXPECT_TRUE(pages.AcceptCaption(L"b", 5));
    pages.AddWindow(W(2));
    EXPECT_EQ(pages.StartTick(1), 5u);
}

TEST(HotkeyMatching, ExactModifierSet) {
    const GameHotkeys keys{HotKey{0, 121}, HotKey{2, 9}, HotKey{2, 81}};
    EXPECT_EQ(ClassifyHookEvent(keys, WM_KEYDOWN, 121, 0), HookAction::BossKey);
    EXPECT_EQ(ClassifyHookEvent(keys, WM_SYSKEYDOWN, 81, kModCtrl), HookAction::SoundKey);
    EXPECT_EQ(ClassifyHookEvent(keys, WM_KEYDOWN, 81, kModCtrl | kModShift), HookAction::None);
    EXPECT_EQ(ClassifyHookEvent(keys, WM_KEYDOWN, 121, kModAlt), HookAction::None);
    EXPECT_EQ(ClassifyHookEvent(keys, WM_KEYUP, 121, 0), HookAction::None);
    const GameHotkeys same{HotKey{2, 81}, HotKey{2, 9}, HotKey{2, 81}};
    EXPECT_EQ(ClassifyHookEvent(same, WM_KEYDOWN, 81, kModCtrl), HookAction::BossKey);
    CHeldKeyFilter held;  // a held key repeats until released or until another key is pressed
    EXPECT_TRUE(held.FirstPress(WM_SYSKEYDOWN, 121) && !held.FirstPress(WM_SYSKEYDOWN, 121));
    EXPECT_TRUE(held.FirstPress(WM_KEYDOWN, 'A') && held.FirstPress(WM_SYSKEYDOWN, 121));
}

}  // namespace
}  // namespace kvr

namespace kvr {
namespace {

std::wstring MenuText(HMENU menu, int pos) {
    wchar_t text[128] = {};
    ::GetMenuStringW(menu, static_cast<UINT>(pos), text, 128, MF_BYPOSITION);
    return text;
}

TEST(GameMenus, EntriesInOrderWithTheCurrentBossKey) {
    HMENU menu = BuildGameMenu(false, HotKey{0, VK_F10});
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(::GetMenuItemCount(menu), 7);
    const UINT ids[] = {1, 2, 3, 0, 4, 5, 0xFFFFFFFFu};
    for (int i = 0; i < 7; ++i) {
        if (i != 3) {
            EXPECT_EQ(::GetMenuItemID(menu, i), ids[i]) << i;
        }
    }
    EXPECT_EQ(MenuText(menu, 0), L"刷新 (F5)");
    EXPECT_EQ(MenuText(menu, 1), L"隐藏/恢复(" + FormatHotKey(VK_F10, 0) + L")");
    EXPECT_EQ(MenuText(menu, 2), L"清除缓存");
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE;
    ::GetMenuItemInfoW(menu, 3, TRUE, &info);
    EXPECT_TRUE(info.fType & MFT_SEPARATOR);
    EXPECT_EQ(MenuText(menu, 4), L"更新");
    EXPECT_EQ(MenuText(menu, 5), L"设置...");
    EXPECT_EQ(MenuText(menu, 6), L"版本号: 3.0.0.3");
    ::DestroyMenu(menu);

    menu = BuildGameMenu(true, HotKey{kModCtrl | kModShift, VK_F5});
    ASSERT_EQ(::GetMenuItemCount(menu), 7);
    EXPECT_EQ(::GetMenuItemID(menu, 6), 6u);
    EXPECT_EQ(MenuText(menu, 6), L"退出");
    EXPECT_EQ(MenuText(menu, 1), L"隐藏/恢复(" + FormatHotKey(VK_F5, kModCtrl | kModShift) + L")");
    ::DestroyMenu(menu);
}

TEST(GameCommands, CommandLinesOfStartedProcesses) {
    HWND game = reinterpret_cast<HWND>(static_cast<INT_PTR>(132456));
    EXPECT_EQ(PageCommandLine(L"C:\\Program Files\\k\\kvr.exe", game, 2),
              L"\"C:\\Program Files\\k\\kvr.exe\" /newgm /132456 /2");
    EXPECT_EQ(HallCommandLine(L"C:\\k.exe", game), L"\"C:\\k.exe\" /gmhall /132456");
}

}  // namespace
}  // namespace kvr
