#include "login/qq_html.h"

#include "login/oauth_pages.h"
#include "login/qq_login.h"
#include "res/ids_login.h"

namespace kvr {

CQQHtml::CQQHtml(CQQLogin* frame) : CDHtmlDialog(IDD_LOGIN_PAGE), m_frame(frame) {}

BOOL CQQHtml::PreTranslateMessage(MSG* msg) {
    if (msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE))
        return TRUE;
    return CDHtmlDialog::PreTranslateMessage(msg);
}

LRESULT CQQHtml::OnShowWindow(UINT, WPARAM, LPARAM, BOOL&) {
    DefWindowProc();
    Navigate(m_startUrl.c_str());
    return 0;
}

void CQQHtml::OnBeforeNavigate2(IDispatch*, const wchar_t* url, bool* cancel) {
    // The QQ authorisation page only while the player can see it.
    if (cancel && IsQQAuthorizePage(url) && !::IsWindowVisible(m_hWnd)) *cancel = true;
}

void CQQHtml::OnDocumentComplete(IDispatch* disp, const wchar_t* url) {
    if (IsExternalLoginResultPage(url)) {
        if (!ReadLoginCookie(url).empty()) {
            // Logged in: the login page, which shares the cookies, goes on.
            ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
            if (m_frame) m_frame->EndHidden();
            m_lastBox = nullptr;
            m_sweeping = true;
            ::SetTimer(m_hWnd, kSweepTimer, 10, nullptr);
            return;
        }
    }
    CDHtmlDialog::OnDocumentComplete(disp, url);
}

void CQQHtml::OnCancel() {
    // Hidden without WM_SHOWWINDOW, which would navigate again.
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                   SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CQQHtml::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL&) {
    DefWindowProc();
    if (wParam == kSweepTimer) SweepOnce();
    return 0;
}

void CQQHtml::SweepOnce() {
    m_lastBox = ::FindWindowExW(nullptr, m_lastBox, L"#32770", nullptr);
    if (m_lastBox && ::GetParent(m_lastBox) == m_hWnd) {
        ::KillTimer(m_hWnd, kSweepTimer);
        m_sweeping = false;
        ::DestroyWindow(m_lastBox);
        m_lastBox = nullptr;
    }
}

}  // namespace kvr
