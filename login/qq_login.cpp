#include "login/qq_login.h"

#include "res/ids_login.h"
#include "res/ids_ui.h"
#include "ui/monitor.h"

namespace kvr {

CQQLogin::CQQLogin() : CDlgEx(IDD_LOGIN_PAGE), m_page(this) {}

CQQLogin::~CQQLogin() { DestroyAll(); }

BOOL CQQLogin::OnInitDialog() {
    SetCaptionHeight(30);
    SetCaptionButtonMargin(0);
    SetCaptionButtonTop(0);
    SetCaptionButtonGap(0);
    SetBorderWidth(4);
    SetTitle(L"QQ账号安全登录");
    SetSkin(static_cast<UINT>(IDB_MAIN_BG), false, true, 0u, 0u, 0u, static_cast<UINT>(IDB_CLOSE));
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 790, 525, SWP_NOMOVE | SWP_NOZORDER);
    return TRUE;
}

LRESULT CQQLogin::OnShowWindow(UINT, WPARAM wParam, LPARAM, BOOL&) {
    DefWindowProc();
    if (!m_page.IsWindow() && m_page.Create(m_hWnd)) {
        RECT rc{};
        ::GetWindowRect(m_hWnd, &rc);
        PlacePage(rc.left, rc.top);
    }
    if (m_page.IsWindow()) ::ShowWindow(m_page.m_hWnd, wParam ? SW_SHOW : SW_HIDE);
    return 0;
}

LRESULT CQQLogin::OnWindowPosChanged(UINT, WPARAM, LPARAM lParam, BOOL& handled) {
    DefWindowProc();
    const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
    if (pos && m_page.IsWindow()) PlacePage(pos->x, pos->y);
    // The skinned base sizes its region and caption buttons on WM_SIZE, not
    // here; let it see the message too.
    handled = FALSE;
    return 0;
}

void CQQLogin::PlacePage(int x, int y) {
    RECT rc{};
    ::GetWindowRect(m_hWnd, &rc);
    // The page fills the frame below its 30-pixel caption, inside the 4-pixel
    // border.
    ::MoveWindow(m_page.m_hWnd, x + 4, y + 30, rc.right - rc.left - 8, rc.bottom - rc.top - 34, TRUE);
}

void CQQLogin::CenterOnMonitor() { CentreOnMonitor(m_hWnd); }

void CQQLogin::EndHidden() {
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                   SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CQQLogin::DestroyAll() {
    if (m_page.IsWindow()) ::DestroyWindow(m_page.m_hWnd);
    if (IsWindow()) ::DestroyWindow(m_hWnd);
}

}  // namespace kvr
