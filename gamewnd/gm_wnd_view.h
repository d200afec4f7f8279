// CGmWndView: the view of a game page process, hosting the browser control
// that shows the game (or the game hall). It reports the page's address and
// title, places and shows its frame when the first navigation completes, and
// runs the hall page's "app://entergame|" command.
#pragma once
#include <functional>
#include <string>
#include "browser/browser_host.h"
#include "browser/test_hooks.h"
#include "gamewnd/gm_wnd_doc.h"
#include "ui/frame_wnd.h"

namespace kvr {

// "app://entergame|" + client name [+ "|" + fallback page]. The name is
// accepted only as 1 to 32 ASCII letters, digits, "_" and "-" once every "/"
// is removed, and never as the name of one of the program's own files; its
// first letter is upper-cased. The fallback is the portal's root page unless
// an http(s) page is given.
struct EnterGameCommand {
    bool valid = false;
    std::wstring name;
    std::wstring fallback;
};
inline constexpr wchar_t kEnterGamePrefix[] = L"app://entergame|";
EnterGameCommand ParseEnterGame(const wchar_t* url);
// True when name, as Windows would take it for a file in the installation
// folder (case ignored, trailing dots and blanks dropped, with or without an
// extension, or a short "~" alias), could be one of the program's own files:
// the executable programFileName ("kvr.exe"), the update's "OldKvr" and
// "NewKvr", "ConfigKvr", "Statistic" or the crash dump.
bool NamesProgramFile(const std::wstring& name, const std::wstring& programFileName);
// The installed client: common application data + "\Marvole\GameLogin\" +
// name + ".exe".
std::wstring GameClientPath(const std::wstring& name);

// What entering a client does in the world; tests give their own.
struct EnterGameActions {
    std::function<bool(const std::wstring& path)> fileExists;
    std::function<bool(const std::wstring& path)> startProgram;
    std::function<bool()> askDownload;  // true: the player chose OK
    std::function<void(const std::wstring& name)> download;
    std::function<void(const std::wstring& url)> openPage;
};
EnterGameActions SystemEnterGameActions(HWND gameWindow);
// Runs an entergame URL: the installed client, else the download offer, else
// the fallback page. False when the command was refused (nothing done).
bool EnterGameHall(const wchar_t* url, const EnterGameActions& actions);

class CGmWndView : public CViewWnd, public CBrowserOwner {
public:
    static constexpr int kPageTextChars = 512;

    CGmWndView(CGmWndDoc* doc, HWND gameWindow, const wchar_t* startUrl, bool hallPage);
    ~CGmWndView() override;

    CGmWndDoc* Document() const { return m_doc; }
    CBrowserHost& Host() { return m_host; }
    IWebBrowser2* Browser() const { return m_host.Browser(); }
    const std::wstring& StartUrl() const { return m_startUrl; }
    bool IsHallPage() const { return m_hall; }
    // Title and address of the page shown (cut to 511 characters), for the
    // favourites dialog.
    const wchar_t* PageTitle() const { return m_pageTitle; }
    const wchar_t* PageAddress() const { return m_pageAddress; }
    void SetEnterGameActions(const EnterGameActions& actions) { m_actions = actions; }
    void Refresh();

    void OnInitialUpdate() override;
    BOOL PreTranslateView(MSG* msg) override;

    HWND BrowserParentWindow() override { return m_hWnd; }
    void OnBeforeNavigate2(IDispatch* disp, const wchar_t* url, bool* cancel) override;
    void OnNavigateComplete2(IDispatch* disp, const wchar_t* url) override;
    void OnTitleChange(const wchar_t* title) override;
    HRESULT GetHostInfo(DOCHOSTUIINFO* info) override;

#ifdef KVR_TEST_HOOKS
    // The frame hands the automation channel's messages on.
    bool AcceptTestHook(const COPYDATASTRUCT* cds);
#endif

    BEGIN_MSG_MAP(CGmWndView)
        MESSAGE_HANDLER(WM_CREATE, OnCreate)
        MESSAGE_HANDLER(WM_SIZE, OnSize)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
#ifdef KVR_TEST_HOOKS
        MESSAGE_HANDLER(CTestHookReceiver::RunMessage(), OnTestHookRun)
#endif
        CHAIN_MSG_MAP(CViewWnd)
    END_MSG_MAP()

protected:
    // The game window finds a page's browser by the chain of window classes
    // under the page frame, starting with this one.
    LPCWSTR WindowClassName() const override { return L"AfxFrameOrView90su"; }

private:
    LRESULT OnCreate(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSize(UINT, WPARAM, LPARAM, BOOL& handled);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled);
#ifdef KVR_TEST_HOOKS
    LRESULT OnTestHookRun(UINT, WPARAM, LPARAM, BOOL&);
    CTestHookReceiver m_testHooks;
#endif

    CGmWndDoc* m_doc;
    HWND m_gameWindow;
    std::wstring m_startUrl;
    bool m_hall;
    CBrowserHost m_host;
    EnterGameActions m_actions;
    bool m_placed = false;  // the first navigation placed and showed the frame
    wchar_t m_pageTitle[kPageTextChars] = {};
    wchar_t m_pageAddress[kPageTextChars] = {};
};

}  // namespace kvr
