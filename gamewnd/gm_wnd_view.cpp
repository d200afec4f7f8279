#include "gamewnd/gm_wnd_view.h"

#include <shlobj.h>
#include "base/endpoints.h"
#include "base/module_path.h"
#include "base/process.h"
#include "base/web_page.h"
#include "browser/frame_trust.h"
#include "ui/message_box.h"
#include "update/down_game_dlg.h"

namespace kvr {

namespace {

bool IsClientNameChar(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
           c == L'_' || c == L'-';
}

// name without trailing dots and blanks, then without its extension.
std::wstring FileStem(std::wstring name) {
    while (!name.empty() && (name.back() == L'.' || name.back() == L' ')) name.pop_back();
    const size_t dot = name.find(L'.');
    if (dot != std::wstring::npos) name.erase(dot);
    while (!name.empty() && name.back() == L' ') name.pop_back();
    return name;
}

std::wstring RunningProgramFileName() {
    const std::wstring path = OwnProgramPath();
    const size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool NamesProgramFile(const std::wstring& name, const std::wstring& programFileName) {
    // A short name ("STATIS~1.INI") can stand for any file of the folder.
    if (name.find(L'~') != std::wstring::npos) return true;
    const std::wstring stem = FileStem(name);
    if (stem.empty()) return true;
    for (const std::wstring& own : {FileStem(programFileName), std::wstring(L"OldKvr"), std::wstring(L"NewKvr"),
                                    std::wstring(L"ConfigKvr"), std::wstring(L"Statistic")})
        if (!own.empty() && ::lstrcmpiW(stem.c_str(), own.c_str()) == 0) return true;
    return false;
}

EnterGameCommand ParseEnterGame(const wchar_t* url) {
    EnterGameCommand cmd;
    const std::wstring u = url ? url : L"";
    const size_t prefix = sizeof(kEnterGamePrefix) / sizeof(wchar_t) - 1;
    std::wstring name = u.size() > prefix ? u.substr(prefix) : std::wstring();
    cmd.fallback = PortalRootUrl();
    const size_t bar = name.find(L'|');
    if (bar != std::wstring::npos) {
        // Only a web page: the fallback goes to the shell, which would as
        // gladly start a program.
        const std::wstring page = name.substr(bar + 1);
        if (IsOpenableWebPage(page.c_str())) cmd.fallback = page;
        name.erase(bar);
    }
    std::wstring clean;
    for (wchar_t c : name)
        if (c != L'/') clean += c;
    // The name becomes a file name in the installation folder and a path on
    // the download server: nothing but plain characters.
    if (clean.empty() || clean.size() > 32) return cmd;
    for (wchar_t c : clean)
        if (!IsClientNameChar(c)) return cmd;
    // The program itself, its update files and its settings are never started,
    // nor downloaded over, in the name of a game.
    if (NamesProgramFile(clean, RunningProgramFileName())) return cmd;
    if (clean[0] >= L'a' && clean[0] <= L'z') clean[0] = static_cast<wchar_t>(clean[0] - 32);
    cmd.name = clean;
    cmd.valid = true;
    return cmd;
}

std::wstring GameClientPath(const std::wstring& name) {
    wchar_t folder[MAX_PATH] = L"";
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, folder))) return {};
    return std::wstring(folder) + L"\\Marvole\\GameLogin\\" + name + L".exe";
}

EnterGameActions SystemEnterGameActions(HWND gameWindow) {
    EnterGameActions a;
    a.fileExists = [](const std::wstring& path) {
        return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    };
    a.startProgram = [](const std::wstring& path) { return StartProgram(path.c_str(), 0); };
    a.askDownload = [gameWindow]() {
        return ShowMessageBox(kMbOkCancel, L"Marvole游戏大厅",
                              L"下载Marvole登录器，玩游戏更加方便快捷，现在就去下载吧？",
                              gameWindow) == IDOK;
    };
    a.download = [gameWindow](const std::wstring& name) {
        ShowGameDownloadDialog(name.c_str(), gameWindow);
    };
    a.openPage = [](const std::wstring& url) { OpenWebPage(url.c_str(), SW_SHOW); };
    return a;
}

bool EnterGameHall(const wchar_t* url, const EnterGameActions& actions) {
    const EnterGameCommand cmd = ParseEnterGame(url);
    if (!cmd.valid) return false;
    const std::wstring path = GameClientPath(cmd.name);
    if (!path.empty() && actions.fileExists && actions.fileExists(path)) {
        if (actions.startProgram) actions.startProgram(path);  // a failed start stays silent
        return true;
    }
    if (actions.askDownload && actions.askDownload()) {
        if (actions.download) actions.download(cmd.name);
    } else if (actions.openPage) {
        actions.openPage(cmd.fallback);
    }
    return true;
}

CGmWndView::CGmWndView(CGmWndDoc* doc, HWND gameWindow, const wchar_t* startUrl, bool hallPage)
    : m_doc(doc),
      m_gameWindow(gameWindow),
      m_startUrl(startUrl ? startUrl : L""),
      m_hall(hallPage),
      m_actions(SystemEnterGameActions(gameWindow)) {}

CGmWndView::~CGmWndView() { m_host.Destroy(); }

LRESULT CGmWndView::OnCreate(UINT, WPARAM, LPARAM, BOOL&) {
    // No sunken edge around the page.
    ::SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE,
                        ::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE) & ~static_cast<LONG_PTR>(WS_EX_CLIENTEDGE));
    RECT rc{};
    ::GetClientRect(m_hWnd, &rc);
    return m_host.Create(this, new CBrowserControlSite(this), rc) ? 0 : -1;
}

LRESULT CGmWndView::OnSize(UINT, WPARAM, LPARAM, BOOL& handled) {
    RECT rc{};
    ::GetClientRect(m_hWnd, &rc);
    m_host.SetRect(rc);
    handled = FALSE;
    return 0;
}

LRESULT CGmWndView::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
    m_host.Destroy();
    handled = FALSE;
    return 0;
}

void CGmWndView::OnInitialUpdate() {
    if (IWebBrowser2* browser = m_host.Browser()) browser->put_Silent(VARIANT_TRUE);
    m_host.Navigate(m_startUrl.c_str());
}

BOOL CGmWndView::PreTranslateView(MSG* msg) { return m_host.TranslateAccelerator(msg); }

void CGmWndView::Refresh() {
    if (IWebBrowser2* browser = m_host.Browser()) browser->Refresh();
}

HRESULT CGmWndView::GetHostInfo(DOCHOSTUIINFO* info) {
    if (!info) return E_POINTER;
    info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    info->dwFlags = 0;
    // Game pages fill the tab without border or scroll bars; the hall keeps both.
    if (!m_hall) info->dwFlags |= DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_SCROLL_NO;
    return S_OK;
}

void CGmWndView::OnBeforeNavigate2(IDispatch* frame, const wchar_t* url, bool* cancel) {
    // The command is the URL itself, not a page that carries its text.
    if (!url || !cancel || std::wcsncmp(url, kEnterGamePrefix, std::wcslen(kEnterGamePrefix)) != 0) return;
    // Only the hall's own pages may start a program, not a frame inside an
    // advertisement on them; any other frame's command is cancelled and that
    // is all.
    if (FrameChainShowsTrustedPages(frame, m_host.Browser())) EnterGameHall(url, m_actions);
    *cancel = true;
}

// Only the page's own navigations come here (not its frames').
void CGmWndView::OnNavigateComplete2(IDispatch*, const wchar_t* url) {
    ::lstrcpynW(m_pageAddress, url ? url : L"", kPageTextChars);
    // From then on the game window places and shows the frame: a later
    // navigation of a page in the background must not bring it forward.
    if (m_placed) return;
    HWND frame = ::GetParent(m_hWnd);
    if (!frame) return;
    m_placed = true;
    RECT rc{};
    if (::GetClientRect(m_gameWindow, &rc))
        ::MoveWindow(frame, rc.left + 4, rc.top + 30, rc.right - rc.left - 8,
                     rc.bottom - rc.top - 34, TRUE);
    ::ShowWindow(frame, SW_SHOW);
}

void CGmWndView::OnTitleChange(const wchar_t* title) {
    // Frames announce their titles as well, without saying whose: the page's
    // is its document's, where one can be read.
    OwnedBstr own;
    if (const ComPtr<IHTMLDocument2> doc = m_host.Document())
        if (SUCCEEDED(doc->get_title(own.put())) && own && *own.get()) title = own.get();
    ::lstrcpynW(m_pageTitle, title ? title : L"", kPageTextChars);
}

#ifdef KVR_TEST_HOOKS
bool CGmWndView::AcceptTestHook(const COPYDATASTRUCT* cds) { return m_testHooks.Accept(m_hWnd, cds); }

LRESULT CGmWndView::OnTestHookRun(UINT, WPARAM, LPARAM, BOOL&) {
    m_testHooks.Run(this, m_host);
    return 0;
}
#endif

}  // namespace kvr
