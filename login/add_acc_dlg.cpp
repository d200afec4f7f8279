#include "login/add_acc_dlg.h"

#include "base/messages.h"
#include "res/resource.h"

namespace kvr {

CAddAccDlg::CAddAccDlg() : CDlgEx(IDD_ADD_ACCOUNT) {}

BOOL CAddAccDlg::OnInitDialog() {
    SetTitle(L"登录其他账号");
    SetCaptionHeight(30);
    SetCaptionButtonMargin(5);
    SetCaptionButtonTop(1);
    SetCaptionButtonGap(0);
    SetBorderWidth(3);
    SetSkin(IDB_ADD_ACCOUNT_BG, true, true, 0, 0, 0, 0);
    m_yes.SubclassDlgItem(m_hWnd, IDOK);
    m_yes.SetImage(IDB_BUTTON, false);
    m_no.SubclassDlgItem(m_hWnd, IDCANCEL);
    m_no.SetImage(IDB_BUTTON, false);
    m_question.SubclassDlgItem(m_hWnd, IDC_ADDACC_QUESTION);
    m_question.SetLineSpacing(5);
    return TRUE;
}

BOOL CAddAccDlg::PreTranslateMessage(MSG* msg) {
    // Esc closes the panel like a click outside it: no choice is made.
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE &&
        (msg->hwnd == m_hWnd || ::IsChild(m_hWnd, msg->hwnd))) {
        ::ShowWindow(m_hWnd, SW_HIDE);
        return TRUE;
    }
    return CDlgEx::PreTranslateMessage(msg);
}

LRESULT CAddAccDlg::OnActivate(UINT msg, WPARAM wParam, LPARAM lParam, BOOL&) {
    const LRESULT r = DefWindowProc(msg, wParam, lParam);
    if (LOWORD(wParam) == WA_INACTIVE) ::ShowWindow(m_hWnd, SW_HIDE);
    return r;
}

LRESULT CAddAccDlg::Choose(WPARAM inThisWindow) {
    ::PostMessageW(::GetParent(m_hWnd), WM_KVR_ADD_ACCOUNT, inThisWindow, 0);
    ::ShowWindow(m_hWnd, SW_HIDE);
    return 0;
}

}  // namespace kvr
