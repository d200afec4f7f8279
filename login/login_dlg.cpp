#include "login/login_dlg.h"

#include "base/endpoints.h"
#include "browser/app_command.h"
#include "browser/frame_trust.h"
#include "login/login.h"
#include "login/login_bk_dlg.h"
#include "login/login_command.h"
#include "login/qq_login.h"
#include "res/ids_login.h"
#include "ui/message_box.h"

namespace kvr {
namespace {
// How long an accepted login waits for a game window that is still being made.
constexpr DWORD kGameWindowWaitMs = 10000;
}  // namespace

CLoginDlg::CLoginDlg(CLoginBkDlg* background, HWND gameWindow, int pageCount,
                     const wchar_t* startUrl)
    : CDHtmDlgEx(IDD_LOGIN_PAGE, startUrl),
      m_background(background),
      m_gameWindow(gameWindow),
      m_pageCount(pageCount) {}

CLoginDlg::~CLoginDlg() {
    if (m_oauth) m_oauth->DestroyAll();
}

BOOL CLoginDlg::OnInitDialog() {
    // The plain DHTML dialog's initialisation: this page has its own settings.
    CDHtmlDialog::OnInitDialog();
    if (IWebBrowser2* browser = Browser()) browser->put_Silent(VARIANT_TRUE);
    LONG_PTR ex = ::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE);
    ex ^= WS_EX_LAYERED;
    ::SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, ex);
    // Magenta pixels of the page are holes through to the background picture.
    ::SetLayeredWindowAttributes(m_hWnd, RGB(255, 0, 255), 0, LWA_COLORKEY);
    ex = ::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE);
    ex = (ex & ~static_cast<LONG_PTR>(WS_EX_APPWINDOW)) | WS_EX_TOOLWINDOW;
    ::SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, ex);
    Navigate(m_startUrl.c_str());
    return FALSE;
}

void CLoginDlg::OnDocumentComplete(IDispatch* disp, const wchar_t* url) {
    CDHtmDlgEx::OnDocumentComplete(disp, url);
    ::ShowWindow(m_hWnd, SW_SHOW);
    RECT rc{};
    ::GetClientRect(m_hWnd, &rc);
    if (HWND browser = ::GetWindow(m_hWnd, GW_CHILD))
        ::MoveWindow(browser, 0, 0, rc.right, rc.bottom, TRUE);
    m_host.SetRect(rc);
}

BOOL CLoginDlg::PreTranslateMessage(MSG* msg) {
    // Escape would close the page dialog and F5 reload the login page.
    if (msg->message == WM_KEYDOWN && (msg->wParam == VK_ESCAPE || msg->wParam == VK_F5))
        return TRUE;
    return CDHtmDlgEx::PreTranslateMessage(msg);
}

const ElementEvent* CLoginDlg::ElementEvents(size_t* count) {
    using H = ElementHandler;
    static const ElementEvent kMap[] = {
        {ElementMatch::Tag, L"body", kEvMouseDown, static_cast<H>(&CLoginDlg::OnPageDragStart)},
        {ElementMatch::Tag, L"body", kEvMouseUp, static_cast<H>(&CLoginDlg::OnPageDragEnd)},
        {ElementMatch::Tag, L"body", kEvMouseMove, static_cast<H>(&CLoginDlg::OnPageDragMove)},
        {ElementMatch::Tag, L"td", kEvMouseDown, static_cast<H>(&CLoginDlg::OnPageDragStart)},
        {ElementMatch::Tag, L"td", kEvMouseUp, static_cast<H>(&CLoginDlg::OnPageDragEnd)},
        {ElementMatch::Tag, L"td", kEvMouseMove, static_cast<H>(&CLoginDlg::OnPageDragMove)},
        {ElementMatch::Tag, L"div", kEvMouseDown, static_cast<H>(&CLoginDlg::OnPageDragStart)},
        {ElementMatch::Tag, L"div", kEvMouseUp, static_cast<H>(&CLoginDlg::OnPageDragEnd)},
        {ElementMatch::Tag, L"div", kEvMouseMove, static_cast<H>(&CLoginDlg::OnPageDragMove)},
    };
    if (count) *count = sizeof(kMap) / sizeof(kMap[0]);
    return kMap;
}

bool CLoginDlg::DragBackgroundAt(UINT ncMessage, POINT client) {
    if (InDragExemptArea(client) || !m_background || !m_background->m_hWnd) return false;
    ::SendMessageW(m_background->m_hWnd, ncMessage, HTCAPTION, MAKELPARAM(client.x, client.y));
    return true;
}

void CLoginDlg::DragFromPage(UINT ncMessage) {
    POINT pt{};
    ::GetCursorPos(&pt);
    ::ScreenToClient(m_hWnd, &pt);
    DragBackgroundAt(ncMessage, pt);
}

HRESULT CLoginDlg::OnPageDragStart(IHTMLElement*) {
    DragFromPage(WM_NCLBUTTONDOWN);
    return S_FALSE;
}

HRESULT CLoginDlg::OnPageDragEnd(IHTMLElement*) {
    DragFromPage(WM_NCLBUTTONUP);
    return S_FALSE;
}

HRESULT CLoginDlg::OnPageDragMove(IHTMLElement*) {
    DragFromPage(WM_NCMOUSEMOVE);
    return S_FALSE;
}

void CLoginDlg::OnBeforeNavigate2(IDispatch* frame, const wchar_t* url, bool* cancel) {
    // A command from a frame of anywhere else, or from a frame inside one, is
    // dropped: cancelled, nothing more.
    if (cancel && IsAppUrl(url) && !FrameChainShowsTrustedPages(frame, Browser())) {
        *cancel = true;
        return;
    }
    HandleUrl(url, cancel);
}

void CLoginDlg::HandleUrl(const wchar_t* url, bool* cancel) {
    if (!url || !cancel) return;
    if (!IsAppUrl(url)) {
        const OAuthRedirect redirect = FindOAuthRedirect(url);
        if (redirect != OAuthRedirect::None) {
            OpenOAuth(url, redirect == OAuthRedirect::QQ);
            *cancel = true;
        }
        return;
    }
    const std::wstring name = AppCommandName(url);
    if (name == L"loadgame") {
        LoadGame(url);
    } else if (name == L"exitgame") {
        if (m_background) m_background->EndLogin(IDCANCEL);
    } else if (name == L"minimize") {
        switch (ChooseMinimize(m_pageCount, m_pageCount > 0 ? false : IsLuaEnabledHere())) {
        case MinimizeAction::EndLogin:
            if (m_background) m_background->EndLogin(IDCANCEL);
            break;
        case MinimizeAction::MinimizeLoginParent:
            if (m_background && m_background->m_hWnd) ::ShowWindow(m_background->m_hWnd, SW_MINIMIZE);
            break;
        case MinimizeAction::MinimizeGameWindow:
            ::ShowWindow(m_gameWindow, SW_MINIMIZE);
            break;
        }
    }
    *cancel = true;
}

bool CLoginDlg::LoadGame(const wchar_t* url) {
    const LoadGameCommand cmd = ParseLoadGame(url);
    const LoginCaption caption =
        NormalizeCaption(SplitAccountText(DecodeAccountText(cmd.accountText)));
    const std::wstring key = ComposeKey(caption);
    // A key the game window cannot keep whole is refused rather than cut: a
    // cut key could match another account's page.
    if (!KeyFits(key)) return false;
    // A game window's first login shows before the window exists, which
    // follows a moment later.
    if (!m_gameWindow && m_background) m_background->TakeGameWindow(kGameWindowWaitMs);
    if (!m_gameWindow) return false;
    // The game page opens only a page of a trusted host; anything else ends
    // the login as a refused one, before the game window hears of it.
    if (!IsTrustedPageUrl(cmd.gameUrl.c_str())) {
        if (m_background) m_background->EndLogin(IDCANCEL);
        return false;
    }

    COPYDATASTRUCT cds{};
    cds.dwData = 0;
    cds.cbData = static_cast<DWORD>((key.size() + 1) * sizeof(wchar_t));
    cds.lpData = const_cast<wchar_t*>(key.c_str());
    // The game window takes a caption only from a window of the page
    // process it waits for: this one.
    const LRESULT accepted = ::SendMessageW(m_gameWindow, WM_COPYDATA, reinterpret_cast<WPARAM>(m_hWnd),
                                            reinterpret_cast<LPARAM>(&cds));
    if (!accepted) {
        ShowMessageBox(kMbOk, kMessageTitle,
                       DuplicateLoginMessage(caption.account, caption.server).c_str(), nullptr);
        if (m_background) m_background->EndLogin(IDCANCEL);
        return false;
    }
    if (m_background) m_background->AcceptLogin(cmd.gameUrl);
    return true;
}

void CLoginDlg::OpenOAuth(const wchar_t* url, bool qq) {
    if (m_oauth) {
        m_oauth->DestroyAll();
        m_oauth.reset();
    }
    m_oauth = std::make_unique<CQQLogin>();
    m_oauth->SetStartUrl(url);
    if (!m_oauth->Create(m_hWnd)) {
        m_oauth.reset();
        return;
    }
    ::SetWindowTextW(m_oauth->m_hWnd, qq ? L"QQ账号安全登录" : L"新浪微博账号安全登录");
    ::ShowWindow(m_oauth->m_hWnd, SW_SHOW);
    m_oauth->CenterOnMonitor();
}

}  // namespace kvr
