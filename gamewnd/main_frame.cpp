#include "gamewnd/main_frame.h"

#include "base/endpoints.h"
#include "install/fav_dlg.h"

namespace kvr {

unsigned CurrentModifiers() {
    unsigned mods = 0;
    if (::GetKeyState(VK_CONTROL) < 0) mods |= kModCtrl;
    if (::GetKeyState(VK_SHIFT) < 0) mods |= kModShift;
    if (::GetKeyState(VK_MENU) < 0) mods |= kModAlt;
    return mods;
}

bool IsHotKeyMessage(const MSG& msg, const HotKey& key, unsigned modifiers) {
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
    if (msg.lParam == kSelfPostedMarker || key.key == 0) return false;
    return msg.wParam == key.key && modifiers == key.modifiers;
}

bool IsCtrlDChar(const MSG& msg) {
    return msg.message == WM_CHAR && msg.wParam == 4 &&
           static_cast<DWORD>(msg.lParam) - 0x200000u < 0x10000u;
}

bool F5Refreshes(LPARAM lParam, const HotKey& bossKey, const HotKey& soundKey) {
    if (lParam == kSelfPostedMarker) return true;
    const HotKey plainF5{0, VK_F5};
    return !(bossKey == plainF5) && !(soundKey == plainF5);
}

CMainFrame::CMainFrame(HWND gameWindow, const wchar_t* startUrl, bool hall)
    : CFrameWnd(&m_view),
      m_gameWindow(gameWindow),
      m_hall(hall),
      m_view(&m_doc, gameWindow, startUrl, startUrl && ServerUrl(Server::ClientService, paths::kGameHall) == startUrl) {}

CMainFrame::~CMainFrame() {
    CMessageLoop::Current().RemoveMessageFilter(this);
    if (IsWindow()) ::DestroyWindow(m_hWnd);
}

bool CMainFrame::CreatePage() {
    const RECT rc{0, 0, 10, 10};
    if (!CreateFrame(m_doc.Title().c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, WS_EX_CLIENTEDGE, rc))
        return false;
    CMessageLoop::Current().AddMessageFilter(this);
    return true;
}

int CMainFrame::OnCreate(CREATESTRUCTW* cs) {
    LONG_PTR style = ::GetWindowLongPtrW(m_hWnd, GWL_STYLE);
    style &= ~static_cast<LONG_PTR>(WS_CAPTION | WS_THICKFRAME);
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, style);
    LONG_PTR ex = ::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE);
    ex &= ~static_cast<LONG_PTR>(WS_EX_CLIENTEDGE | WS_EX_APPWINDOW);
    ex |= WS_EX_TOOLWINDOW;
    ::SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, ex);
    if (CFrameWnd::OnCreate(cs) == -1) return -1;
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (m_gameWindow && ::IsWindow(m_gameWindow)) {
        // Still hidden: re-parenting a shown window across processes hangs
        // under some window systems.
        ::PostMessageW(m_gameWindow, WM_KVR_FRAME_READY, reinterpret_cast<WPARAM>(m_hWnd),
                       m_view.IsHallPage() ? 1 : 0);
        ::SetParent(m_hWnd, m_gameWindow);
    }
    ReadHotKeys();
    return 0;
}

void CMainFrame::ReadHotKeys() {
    const wchar_t* ini = m_iniPath.empty() ? nullptr : m_iniPath.c_str();
    m_bossKey = ReadBossKey(ini);
    m_switchKey = ReadSwitchKey(ini);
    m_soundKey = ReadSoundKey(ini);
}

LRESULT CMainFrame::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
    switch (wParam) {
    case kAlertTimer:
        ::KillTimer(m_hWnd, kAlertTimer);
        DestroyScriptAlert();
        if (m_closePending) ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
        break;
    case kRaiseTimer:
        ::KillTimer(m_hWnd, kRaiseTimer);
        RaiseGameWindow();
        break;
    default:
        handled = FALSE;
        break;
    }
    return 0;
}

namespace {
struct AlertSearch {
    const wchar_t* title;
    HWND found;
};

BOOL CALLBACK FindAlert(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<AlertSearch*>(param);
    wchar_t cls[16] = L"", title[64] = L"";
    ::GetClassNameW(hwnd, cls, 16);
    ::GetWindowTextW(hwnd, title, 64);
    if (::lstrcmpW(cls, L"#32770") != 0 || ::lstrcmpW(title, search->title) != 0) return TRUE;
    search->found = hwnd;
    return FALSE;
}
}  // namespace

void CMainFrame::DestroyScriptAlert() {
    // A script alert of the page would keep the closing page process alive.
    // Only this thread's own boxes: a window of another thread cannot be
    // destroyed from here, and another page's alert is none of ours.
    for (const wchar_t* title :
         {L"来自网页的消息", L"Windows Internet Explorer", L"Microsoft Internet Explorer"}) {
        AlertSearch search{title, nullptr};
        ::EnumThreadWindows(::GetCurrentThreadId(), FindAlert, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            ::DestroyWindow(search.found);
            return;
        }
    }
}

void CMainFrame::RaiseGameWindow() {
    const DWORD gameThread = ::GetWindowThreadProcessId(m_gameWindow, nullptr);
    const DWORD foregroundThread = ::GetWindowThreadProcessId(::GetForegroundWindow(), nullptr);
    const bool attached = gameThread && foregroundThread && gameThread != foregroundThread &&
                          ::AttachThreadInput(gameThread, foregroundThread, TRUE);
    const UINT flags = SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE;
    ::SetWindowPos(m_gameWindow, HWND_TOPMOST, 0, 0, 0, 0, flags);
    ::SetWindowPos(m_gameWindow, HWND_NOTOPMOST, 0, 0, 0, 0, flags);
    if (attached) ::AttachThreadInput(gameThread, foregroundThread, FALSE);
}

LRESULT CMainFrame::OnMouseActivate(UINT, WPARAM, LPARAM, BOOL&) {
    ::SetTimer(m_hWnd, kRaiseTimer, 10, nullptr);
    return DefWindowProc();
}

LRESULT CMainFrame::OnMute(UINT, WPARAM wParam, LPARAM, BOOL&) {
    if (m_mute.Receive(wParam)) ApplyMute(wParam != 0);
    return 0;
}

LRESULT CMainFrame::OnSysCommand(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
    if ((wParam & 0xFFF0) == SC_CLOSE) {
        // The alert timer starts here, where the command arrives: while a
        // script alert is open the browser's own modal loop dispatches it,
        // and our pre-translation never sees it.
        ::SetTimer(m_hWnd, kAlertTimer, 130, nullptr);
        // Closing also while that alert holds the frame disabled (the default
        // processing ignores commands of a disabled window).
        ::SendMessageW(m_hWnd, WM_CLOSE, 0, 0);
        return 0;
    }
    handled = FALSE;
    return 0;
}

LRESULT CMainFrame::OnClose(UINT, WPARAM, LPARAM, BOOL& handled) {
    // A script alert of the page holds the frame disabled in its own modal
    // loop: out of sight now, and closed once the alert timer removed it.
    if (!::IsWindowEnabled(m_hWnd) && !m_closePending) {
        m_closePending = true;
        ::ShowWindow(m_hWnd, SW_HIDE);
        return 0;
    }
    handled = FALSE;
    return 0;
}

LRESULT CMainFrame::OnReloadKeys(UINT, WPARAM, LPARAM, BOOL&) {
    ReadHotKeys();
    return 0;
}

BOOL CMainFrame::PreTranslateMessage(MSG* msg) {
    if (IsHotKeyMessage(*msg, m_switchKey, CurrentModifiers())) {
        ::PostMessageW(m_gameWindow, msg->message, msg->wParam, msg->lParam);
        return TRUE;
    }
    if (IsCtrlDChar(*msg)) {
        CFavDlg favourite(m_view.PageTitle(), m_view.PageAddress());
        favourite.DoModal(m_gameWindow);
        return TRUE;
    }
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_F5) {
        if (F5Refreshes(msg->lParam, m_bossKey, m_soundKey)) m_view.Refresh();
        return TRUE;
    }
    return m_view.PreTranslateView(msg);
}

#ifdef KVR_TEST_HOOKS
LRESULT CMainFrame::OnTestHookData(UINT, WPARAM, LPARAM lParam, BOOL& handled) {
    if (m_view.AcceptTestHook(reinterpret_cast<const COPYDATASTRUCT*>(lParam))) return 1;
    handled = FALSE;
    return 0;
}
#endif

}  // namespace kvr
