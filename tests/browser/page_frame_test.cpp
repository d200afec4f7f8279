// The game page process's frame and view: registration with the game window,
// host flags of hall and game pages, placement on the first navigation, the
// keys it relays or handles, entergame (only from frames of trusted pages up
// to the top), following the game window.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>
#include "base/endpoints.h"
#include "browser/browser_events.h"
#include "browser/frame_trust.h"
#include "browser/test_hooks.h"
#include "gamewnd/main_frame.h"
#include "res/resource.h"

using namespace kvr;

namespace {

// The program's loop (with its pre-translation) for a while, or until a
// WM_QUIT came by (swallowed); true when one did.
bool Pump(DWORD ms = 0, bool preTranslate = true) {
    bool quit = false;
    const DWORD end = ::GetTickCount() + ms;
    do {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = true;
                continue;
            }
            if (preTranslate && CMessageLoop::Current().PreTranslate(&msg)) continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (ms) ::Sleep(10);
    } while (!quit && ::GetTickCount() < end);
    return quit;
}

// Stands in for the game window: records what the page sends it.
class GameStandIn : public CWindowImpl {
public:
    std::vector<MSG> received;
    bool Make() {
        const RECT rc{0, 0, 800, 600};
        return Create(nullptr, rc, L"game", WS_OVERLAPPEDWINDOW | WS_VISIBLE) != nullptr;
    }
    BEGIN_MSG_MAP(GameStandIn)
        MESSAGE_HANDLER(WM_KVR_FRAME_READY, Record)
        MESSAGE_HANDLER(WM_KEYDOWN, Record)
    END_MSG_MAP()

private:
    LRESULT Record(UINT msg, WPARAM wParam, LPARAM lParam, BOOL&) {
        received.push_back(MSG{m_hWnd, msg, wParam, lParam, 0, {0, 0}});
        return 0;
    }
};

struct Recorder {
    std::vector<std::wstring> started, downloaded, opened;
    bool installed = false;
    bool answerOk = false;
    int asked = 0;
    EnterGameActions Actions() {
        EnterGameActions a;
        a.fileExists = [this](const std::wstring&) { return installed; };
        a.startProgram = [this](const std::wstring& p) {
            started.push_back(p);
            return true;
        };
        a.askDownload = [this]() {
            ++asked;
            return answerOk;
        };
        a.download = [this](const std::wstring& n) { downloaded.push_back(n); };
        a.openPage = [this](const std::wstring& u) { opened.push_back(u); };
        return a;
    }
};

std::wstring HallUrl() { return ServerUrl(Server::ClientService, paths::kGameHall); }

// A frame inside the page as the control reports it (Wine makes none): the
// page it shows (LocationURL, 211) and the frame around it (Parent, 201).
struct FakeFrame final : CDispatchSink {
    FakeFrame(std::wstring page, IDispatch* parent) : CDispatchSink(nullptr), page(std::move(page)), parent(parent) {}
    const IID& EventsIid() const override { return IID_IDispatch; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* out, EXCEPINFO*, UINT*) override {
        if (id == 211) {
            out->vt = VT_BSTR;
            out->bstrVal = ::SysAllocString(page.c_str());
        } else if (id == 201 && parent) {
            out->vt = VT_DISPATCH;
            (out->pdispVal = parent)->AddRef();
        }
        return out->vt == VT_EMPTY ? DISP_E_MEMBERNOTFOUND : S_OK;
    }
    std::wstring page;
    IDispatch* parent;
};

std::wstring TempIni() {
    wchar_t tmp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, tmp);
    return std::wstring(tmp) + L"kvr_page_frame_test.ini";
}

class PageFrameTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(game.Make()); }
    void TearDown() override {
        frame.reset();
        if (game.IsWindow()) ::DestroyWindow(game.m_hWnd);
        Pump();
    }
    void MakeFrame(const std::wstring& url) {
        frame = std::make_unique<CMainFrame>(game.m_hWnd, url.c_str(), url == HallUrl());
        ASSERT_TRUE(frame->CreatePage());
        Pump();
    }
    GameStandIn game;
    std::unique_ptr<CMainFrame> frame;
};

}  // namespace

TEST(PageKeys, Rules) {
    const HotKey f5{0, VK_F5}, ctrlQ{kModCtrl, 'Q'}, f10{0, VK_F10};
    EXPECT_TRUE(F5Refreshes(0, f10, ctrlQ));
    EXPECT_FALSE(F5Refreshes(0, f5, ctrlQ)) << "F5 as boss key";
    EXPECT_FALSE(F5Refreshes(0, f10, f5)) << "F5 as sound key";
    EXPECT_TRUE(F5Refreshes(2817, f5, f5)) << "the menu's refresh";
    EXPECT_TRUE(F5Refreshes(0, HotKey{kModCtrl, VK_F5}, ctrlQ));

    const HotKey ctrlTab{kModCtrl, VK_TAB};
    MSG m{nullptr, WM_KEYDOWN, VK_TAB, 0x000F0001, 0, {0, 0}};
    EXPECT_TRUE(IsHotKeyMessage(m, ctrlTab, kModCtrl));
    EXPECT_FALSE(IsHotKeyMessage(m, ctrlTab, kModCtrl | kModShift)) << "modifiers match exactly";
    EXPECT_FALSE(IsHotKeyMessage(m, ctrlTab, 0));
    m.message = WM_SYSKEYDOWN;
    EXPECT_TRUE(IsHotKeyMessage(m, ctrlTab, kModCtrl));
    m.lParam = 2817;
    EXPECT_FALSE(IsHotKeyMessage(m, ctrlTab, kModCtrl)) << "posted by the program itself";
    m.message = WM_KEYUP;
    m.lParam = 0;
    EXPECT_FALSE(IsHotKeyMessage(m, ctrlTab, kModCtrl));
    MSG none{nullptr, WM_KEYDOWN, 0, 0, 0, {0, 0}};
    EXPECT_FALSE(IsHotKeyMessage(none, HotKey{0, 0}, 0)) << "no hotkey set";

    MSG d{nullptr, WM_CHAR, 4, 0x00200001, 0, {0, 0}};
    EXPECT_TRUE(IsCtrlDChar(d));
    d.lParam = 0x00200002;  // repeated
    EXPECT_TRUE(IsCtrlDChar(d));
    d.lParam = 0x00210001;  // another scan code
    EXPECT_FALSE(IsCtrlDChar(d));
    d.lParam = 0x00000001;
    EXPECT_FALSE(IsCtrlDChar(d));
    d.lParam = 0x00200001;
    d.wParam = 'd';
    EXPECT_FALSE(IsCtrlDChar(d));
}

TEST(EnterGame, NamesAndFallbacks) {
    EnterGameCommand c = ParseEnterGame(L"app://entergame|kvr");
    ASSERT_TRUE(c.valid);
    EXPECT_EQ(c.name, L"Kvr");
    EXPECT_EQ(c.fallback, PortalRootUrl());
    c = ParseEnterGame(L"app://entergame|dragon/|http://127.0.0.1:1/dragon?x=1|y");
    ASSERT_TRUE(c.valid);
    EXPECT_EQ(c.name, L"Dragon");
    EXPECT_EQ(c.fallback, L"http://127.0.0.1:1/dragon?x=1|y");
    c = ParseEnterGame(L"app://entergame|Big_Game-2");
    EXPECT_EQ(c.name, L"Big_Game-2");
    c = ParseEnterGame(L"app://entergame|9lives");
    EXPECT_EQ(c.name, L"9lives") << "only a lower-case letter is raised";
    // The fallback goes to the shell: only a web page.
    c = ParseEnterGame(L"app://entergame|kvr|C:\\windows\\system32\\calc.exe");
    EXPECT_EQ(c.fallback, PortalRootUrl());
    c = ParseEnterGame(L"app://entergame|kvr|file:///C:/x.exe");
    EXPECT_EQ(c.fallback, PortalRootUrl());
    // Names that could leave the installation folder or are not plain.
    for (const wchar_t* bad :
         {L"app://entergame|..\\..\\windows\\notepad", L"app://entergame|a.b", L"app://entergame|",
          L"app://entergame|/", L"app://entergame|a b", L"app://entergame|c:x",
          L"app://entergame|\x4E00\x4E8C", L"app://entergame|%2e%2e"}) {
        EXPECT_FALSE(ParseEnterGame(bad).valid) << testing::PrintToString(std::wstring(bad));
    }
    EXPECT_TRUE(ParseEnterGame((L"app://entergame|" + std::wstring(32, L'a')).c_str()).valid);
    EXPECT_FALSE(ParseEnterGame((L"app://entergame|" + std::wstring(33, L'a')).c_str()).valid);

    const std::wstring path = GameClientPath(L"Kvr");
    EXPECT_NE(path.find(L"\\Marvole\\GameLogin\\Kvr.exe"), std::wstring::npos);
}

TEST(EnterGame, NeverTheProgramsOwnFiles) {
    // Every spelling Windows takes for the same file in the folder.
    for (const wchar_t* own : {L"kvr", L"KVR", L"Kvr.exe", L"kvr.", L"kvr. . ", L"kvr.dmp", L"OldKvr", L"newkvr.EXE",
                               L"ConfigKvr.htm", L"statistic", L"Statistic.ini", L"STATIS~1", L"STATIS~1.INI", L""})
        EXPECT_TRUE(NamesProgramFile(own, L"kvr.exe")) << testing::PrintToString(std::wstring(own));
    for (const wchar_t* other : {L"Dragon", L"kvr2", L"Statistics", L"Old"})
        EXPECT_FALSE(NamesProgramFile(other, L"kvr.exe")) << testing::PrintToString(std::wstring(other));
    EXPECT_TRUE(NamesProgramFile(L"MarvoleSetup", L"marvolesetup.exe"));

    // From a page: this program (running as page_frame_tests.exe) and its files.
    Recorder r;
    r.installed = true;
    r.answerOk = true;
    for (const wchar_t* url : {L"app://entergame|page_frame_tests", L"app://entergame|statistic",
                               L"app://entergame|oldkvr", L"app://entergame|NewKvr", L"app://entergame|configkvr"}) {
        EXPECT_FALSE(ParseEnterGame(url).valid) << testing::PrintToString(std::wstring(url));
        EXPECT_FALSE(EnterGameHall(url, r.Actions()));
    }
    EXPECT_TRUE(r.started.empty());
    EXPECT_TRUE(r.downloaded.empty());
    EXPECT_EQ(r.asked, 0);
}

TEST(EnterGame, InstalledDownloadOrFallback) {
    Recorder r;
    r.installed = true;
    EXPECT_TRUE(EnterGameHall(L"app://entergame|kvr", r.Actions()));
    ASSERT_EQ(r.started.size(), 1u);
    EXPECT_EQ(r.started[0], GameClientPath(L"Kvr"));
    EXPECT_EQ(r.asked, 0);

    Recorder ok;
    ok.answerOk = true;
    EnterGameHall(L"app://entergame|kvr|http://127.0.0.1:1/f", ok.Actions());
    EXPECT_EQ(ok.downloaded, std::vector<std::wstring>{L"Kvr"});
    EXPECT_TRUE(ok.opened.empty());

    Recorder cancel;
    EnterGameHall(L"app://entergame|kvr|http://127.0.0.1:1/f", cancel.Actions());
    EXPECT_EQ(cancel.opened, std::vector<std::wstring>{L"http://127.0.0.1:1/f"});
    Recorder noPage;
    EnterGameHall(L"app://entergame|kvr", noPage.Actions());
    EXPECT_EQ(noPage.opened, std::vector<std::wstring>{PortalRootUrl()});

    Recorder refused;
    refused.installed = true;
    EXPECT_FALSE(EnterGameHall(L"app://entergame|..\\evil", refused.Actions()));
    EXPECT_TRUE(refused.started.empty());
    EXPECT_EQ(refused.asked, 0);
    EXPECT_TRUE(refused.opened.empty());
}

TEST_F(PageFrameTest, HallRegistersWithOneAndKeepsBorders) {
    MakeFrame(HallUrl());
    ASSERT_EQ(game.received.size(), 1u);
    EXPECT_EQ(game.received[0].message, static_cast<UINT>(WM_KVR_FRAME_READY));
    EXPECT_EQ(reinterpret_cast<HWND>(game.received[0].wParam), frame->m_hWnd);
    EXPECT_EQ(game.received[0].lParam, 1);
    EXPECT_EQ(::GetAncestor(frame->m_hWnd, GA_PARENT), game.m_hWnd);
    EXPECT_FALSE(::IsWindowVisible(frame->m_hWnd)) << "shown only when the page has navigated";
    const LONG_PTR style = ::GetWindowLongPtrW(frame->m_hWnd, GWL_STYLE);
    const LONG_PTR ex = ::GetWindowLongPtrW(frame->m_hWnd, GWL_EXSTYLE);
    EXPECT_FALSE(style & WS_CAPTION);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_TRUE(ex & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(ex & (WS_EX_CLIENTEDGE | WS_EX_APPWINDOW));
    DOCHOSTUIINFO info{};
    info.cbSize = sizeof(info);
    frame->View().GetHostInfo(&info);
    EXPECT_EQ(info.dwFlags & (DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_SCROLL_NO), 0u);
    // The game window reaches the page's browser through these classes.
    HWND view = ::FindWindowExW(frame->m_hWnd, nullptr, L"AfxFrameOrView90su", nullptr);
    ASSERT_NE(view, nullptr);
    EXPECT_NE(::FindWindowExW(view, nullptr, L"Shell Embedding", nullptr), nullptr);
}

TEST_F(PageFrameTest, GamePageRegistersWithZeroAndPlacesItself) {
    MakeFrame(L"http://127.0.0.1:1/game.html");
    ASSERT_EQ(game.received.size(), 1u);
    EXPECT_EQ(game.received[0].lParam, 0);
    DOCHOSTUIINFO info{};
    info.cbSize = sizeof(info);
    frame->View().GetHostInfo(&info);
    EXPECT_EQ(info.dwFlags & (DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_SCROLL_NO),
              static_cast<DWORD>(DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_SCROLL_NO));

    frame->View().OnNavigateComplete2(nullptr, L"http://127.0.0.1:1/game.html#started");
    frame->View().OnTitleChange(L"Kelvara S12");
    EXPECT_TRUE(::IsWindowVisible(frame->m_hWnd));
    EXPECT_STREQ(frame->View().PageAddress(), L"http://127.0.0.1:1/game.html#started");
    EXPECT_STREQ(frame->View().PageTitle(), L"Kelvara S12");
    RECT client{}, rc{};
    ::GetClientRect(game.m_hWnd, &client);
    ::GetWindowRect(frame->m_hWnd, &rc);
    POINT topLeft{rc.left, rc.top};
    ::ScreenToClient(game.m_hWnd, &topLeft);
    EXPECT_EQ(topLeft.x, 4);
    EXPECT_EQ(topLeft.y, 30);
    EXPECT_EQ(rc.right - rc.left, client.right - 8);
    EXPECT_EQ(rc.bottom - rc.top, client.bottom - 34);
    // Texts are cut to their buffers.
    const std::wstring longUrl = L"http://127.0.0.1/" + std::wstring(700, L'a');
    frame->View().OnTitleChange(longUrl.c_str());
    EXPECT_EQ(wcslen(frame->View().PageTitle()), 511u);
    frame->View().OnNavigateComplete2(nullptr, nullptr);
    EXPECT_STREQ(frame->View().PageAddress(), L"");
}

TEST_F(PageFrameTest, EnterGameOnlyFromTheHallsOwnFrames) {
    MakeFrame(HallUrl());
    Recorder r;
    frame->View().SetEnterGameActions(r.Actions());
    ASSERT_NE(frame->View().Browser(), nullptr);
    // The hall page itself. (Wine's control takes the address of a navigation
    // made once the frame exists; the one made while it is created leaves
    // LocationURL empty.)
    frame->View().Host().Navigate(HallUrl().c_str());
    Pump();
    ASSERT_EQ(FramePageUrl(frame->View().Browser()), HallUrl());
    // Not installed: asked about the download (declined), its page opened.
    frame->View().Host().Navigate(L"app://entergame|dragon|http://127.0.0.1:1/dragon");
    Pump();
    EXPECT_EQ(r.opened, std::vector<std::wstring>{L"http://127.0.0.1:1/dragon"});
    EXPECT_EQ(r.asked, 1);
    // No browser frame: cancelled, nothing done.
    bool cancel = false;
    frame->View().OnBeforeNavigate2(nullptr, L"app://entergame|dragon", &cancel);
    EXPECT_TRUE(cancel);
    cancel = false;
    frame->View().OnBeforeNavigate2(frame->View().Browser(), L"app://entergame|../x", &cancel);
    EXPECT_TRUE(cancel) << "a refused command does not navigate either";
    // A page whose address only carries the command's text is a page.
    cancel = false;
    frame->View().OnBeforeNavigate2(frame->View().Browser(), L"http://127.0.0.1:1/?app://entergame|dragon", &cancel);
    EXPECT_FALSE(cancel);
    EXPECT_EQ(r.asked, 1) << "only the hall's own page was obeyed";
    EXPECT_EQ(r.opened.size(), 1u);
#ifdef KVR_TEST_HOOKS
    // A frame of another host inside the hall, then the hall's own page.
    ASSERT_TRUE(SendTestHook(frame->m_hWnd, kHookNavigateFrom, L"app://entergame|dragon", L"http://ads.example/"));
    Pump();
    EXPECT_EQ(r.asked, 1) << "an advertisement's frame was obeyed";
    ASSERT_TRUE(SendTestHook(frame->m_hWnd, kHookNavigateFrom, L"app://entergame|dragon", HallUrl().c_str()));
    Pump();
    EXPECT_EQ(r.asked, 2);
#endif
    EXPECT_TRUE(r.started.empty());
    EXPECT_TRUE(r.downloaded.empty());
}

TEST_F(PageFrameTest, EnterGameOnlyFromFramesOfTrustedPagesUpToTheTop) {
    MakeFrame(HallUrl());
    Recorder r;
    frame->View().SetEnterGameActions(r.Actions());
    frame->View().Host().Navigate(HallUrl().c_str());
    Pump();
    IDispatch* top = frame->View().Browser();
    FakeFrame hall(HallUrl(), top), ad(L"http://ads.example/", &hall), inAd(HallUrl(), &ad),
        lost(HallUrl(), nullptr), loop(HallUrl(), nullptr);
    loop.parent = &loop;
    EXPECT_TRUE(FrameChainShowsTrustedPages(&hall, top));
    for (FakeFrame* f : {&ad, &inAd, &lost, &loop}) EXPECT_FALSE(FrameChainShowsTrustedPages(f, top)) << f->page;
    bool cancel = false;
    frame->View().OnBeforeNavigate2(&inAd, L"app://entergame|dragon|http://127.0.0.1:1/ad", &cancel);
    EXPECT_TRUE(cancel && r.opened.empty());
}

TEST_F(PageFrameTest, KeysFromSettings) {
    const std::wstring ini = TempIni();
    ::DeleteFileW(ini.c_str());
    ::WritePrivateProfileStringW(L"Kvr", L"ShortKey", L"0,116", ini.c_str());
    ::WritePrivateProfileStringW(L"Kvr", L"AltWndKey", L"0,118", ini.c_str());
    MakeFrame(L"http://127.0.0.1:1/game.html");
    frame->SetSettingsFile(ini.c_str());
    ::SendMessageW(frame->m_hWnd, WM_KVR_RELOAD_KEYS, 0, 0);
    EXPECT_EQ(frame->SwitchKey(), (HotKey{0, VK_F7}));

    game.received.clear();
    MSG key{frame->m_hWnd, WM_KEYDOWN, VK_F7, 0x00410001, 0, {0, 0}};
    EXPECT_TRUE(frame->PreTranslateMessage(&key)) << "the switch key goes to the game window";
    // Without the frame's filter: the stand-in game window shares its thread.
    Pump(0, false);
    ASSERT_EQ(game.received.size(), 1u);
    EXPECT_EQ(game.received[0].wParam, static_cast<WPARAM>(VK_F7));
    EXPECT_EQ(game.received[0].lParam, 0x00410001);

    MSG f5{frame->m_hWnd, WM_KEYDOWN, VK_F5, 0, 0, {0, 0}};
    EXPECT_TRUE(frame->PreTranslateMessage(&f5)) << "F5 is swallowed whether it refreshes or not";
    MSG other{frame->m_hWnd, WM_KEYDOWN, 'A', 0, 0, {0, 0}};
    EXPECT_FALSE(frame->PreTranslateMessage(&other));
    ::DeleteFileW(ini.c_str());
}

TEST_F(PageFrameTest, EndsWhenTheGameWindowIsGone) {
    MakeFrame(L"http://127.0.0.1:1/game.html");
    EXPECT_FALSE(Pump(900)) << "the game window is still there";
    // Its child, the frame goes with it and ends the page process's loop. (A
    // game window whose process is killed: the page process waits on it.)
    ::DestroyWindow(game.m_hWnd);
    EXPECT_TRUE(Pump(100)) << "the page process stays";
}

TEST_F(PageFrameTest, CtrlDOpensFavouritesWithTheTitle) {
    MakeFrame(L"http://127.0.0.1:1/game.html");
    frame->View().OnNavigateComplete2(nullptr, L"http://127.0.0.1:1/game.html?s=7");
    frame->View().OnTitleChange(L"Kelvara S7");
    std::wstring name;
    HWND owner = nullptr;
    std::atomic<bool> stop{false};
    std::thread watcher([&] {
        while (!stop) {
            HWND h = nullptr;
            while ((h = ::FindWindowExW(nullptr, h, L"#32770", nullptr)) != nullptr) {
                DWORD pid = 0;
                ::GetWindowThreadProcessId(h, &pid);
                HWND edit = ::GetDlgItem(h, IDC_FAV_NAME);
                if (pid != ::GetCurrentProcessId() || !edit) continue;
                wchar_t text[256] = L"";
                ::SendMessageW(edit, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
                name = text;
                owner = ::GetWindow(h, GW_OWNER);
                ::PostMessageW(h, WM_CLOSE, 0, 0);
                return;
            }
            ::Sleep(20);
        }
    });
    MSG ctrlD{frame->m_hWnd, WM_CHAR, 4, 0x00200001, 0, {0, 0}};
    EXPECT_TRUE(frame->PreTranslateMessage(&ctrlD));  // returns when the dialog closed
    stop = true;
    watcher.join();
    EXPECT_EQ(name, L"Kelvara S7");
    EXPECT_EQ(owner, game.m_hWnd) << "owned by the game window";
}

TEST_F(PageFrameTest, CloseWithScriptAlertOpenRemovesTheAlert) {
    MakeFrame(L"http://127.0.0.1:1/game.html");
    frame->View().OnNavigateComplete2(nullptr, L"http://127.0.0.1:1/game.html");
    const HWND frameWindow = frame->m_hWnd;
    ASSERT_TRUE(::IsWindowVisible(frameWindow));
    // The game window closes the tab while the page's alert is open: the
    // close command arrives inside the alert's own modal loop, which knows
    // nothing of the program's pre-translation.
    ::PostMessageW(frameWindow, WM_SYSCOMMAND, SC_CLOSE, 0);
    std::atomic<bool> done{false}, rescued{false};
    std::thread watchdog([&] {
        // Should the alert stay, close it so the test ends and says so.
        for (int i = 0; i < 1500 && !done; ++i) ::Sleep(20);
        if (done) return;
        rescued = true;
        if (HWND box = ::FindWindowW(L"#32770", L"来自网页的消息")) ::PostMessageW(box, WM_CLOSE, 0, 0);
    });
    ::MessageBoxW(frameWindow, L"alert()", L"来自网页的消息", MB_OK);  // as the browser runs it
    done = true;
    watchdog.join();
    EXPECT_FALSE(rescued) << "the alert stayed open after the close command";
    EXPECT_FALSE(::IsWindowVisible(frameWindow)) << "out of sight at once";
    EXPECT_TRUE(Pump(15000)) << "the frame closes and ends the loop";
    EXPECT_FALSE(::IsWindow(frameWindow));
}

#ifdef KVR_TEST_HOOKS
TEST_F(PageFrameTest, AutomationChannelReachesTheView) {
    MakeFrame(L"http://127.0.0.1:1/game.html");
    const HWND w = frame->m_hWnd;
    RECT rc{}, now{};
    ::GetWindowRect(w, &rc);
    // A frame inside the page completes first: nothing shown, moved or recorded.
    ASSERT_TRUE(SendTestHook(w, kHookFrameNavigateComplete, L"http://ads.example/banner"));
    Pump();
    EXPECT_FALSE(::IsWindowVisible(w));
    EXPECT_TRUE(::GetWindowRect(w, &now) && ::EqualRect(&now, &rc));
    EXPECT_STREQ(frame->View().PageAddress(), L"");
    ASSERT_TRUE(SendTestHook(w, kHookNavigateComplete, L"http://127.0.0.1:1/g2"));
    ASSERT_TRUE(SendTestHook(w, kHookTitleChange, L"T2"));
    Pump();
    EXPECT_TRUE(::IsWindowVisible(w));
    EXPECT_STREQ(frame->View().PageAddress(), L"http://127.0.0.1:1/g2");
    EXPECT_STREQ(frame->View().PageTitle(), L"T2");
    // Placed by the game window from then on: a page in the background stays
    // there whatever it or its frames navigate to.
    ::SetWindowPos(w, nullptr, 0, 0, 50, 50, SWP_HIDEWINDOW | SWP_NOZORDER | SWP_NOACTIVATE);
    ::GetWindowRect(w, &rc);
    ASSERT_TRUE(SendTestHook(w, kHookNavigateComplete, L"http://127.0.0.1:1/g3"));
    ASSERT_TRUE(SendTestHook(w, kHookFrameNavigateComplete, L"http://ads.example/next"));
    Pump();
    EXPECT_FALSE(::IsWindowVisible(w));
    EXPECT_TRUE(::GetWindowRect(w, &now) && ::EqualRect(&now, &rc));
    EXPECT_STREQ(frame->View().PageAddress(), L"http://127.0.0.1:1/g3");
}
#endif
