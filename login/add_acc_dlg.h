// CAddAccDlg: the drop-down panel under the link "登录其他账号" asking where
// the next account logs in. It answers its parent (the game window) with
// WM_KVR_ADD_ACCOUNT: wParam 1 = a new tab here, 0 = a new window, and hides
// itself after a choice or when it loses activation. The game window keeps
// it between uses.
#pragma once
#include "ui/btn_ex.h"
#include "ui/dlg_ex.h"
#include "ui/static_ex.h"

namespace kvr {

class CAddAccDlg : public CDlgEx {
public:
    CAddAccDlg();

    BOOL PreTranslateMessage(MSG* msg) override;

    BEGIN_MSG_MAP(CAddAccDlg)
        MESSAGE_HANDLER(WM_ACTIVATE, OnActivate)
        MESSAGE_HANDLER(WM_NCHITTEST, OnNcHitTest)
        COMMAND_ID_HANDLER(IDOK, OnYes)
        COMMAND_ID_HANDLER(IDCANCEL, OnNo)
        CHAIN_MSG_MAP(CDlgEx)
    END_MSG_MAP()

protected:
    BOOL OnInitDialog() override;

private:
    LRESULT OnActivate(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnNcHitTest(UINT, WPARAM, LPARAM, BOOL&) { return HTCLIENT; }
    LRESULT OnYes(WORD, WORD, HWND, BOOL&) { return Choose(1); }
    LRESULT OnNo(WORD, WORD, HWND, BOOL&) { return Choose(0); }
    LRESULT Choose(WPARAM inThisWindow);

    CStaticEx m_question;
    CBtnEx m_yes, m_no;
};

}  // namespace kvr
