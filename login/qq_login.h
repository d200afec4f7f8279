// CQQLogin: the skinned frame of the QQ/Weibo login (caption, close button,
// border) around its page dialog CQQHtml, which fills it below the caption.
#pragma once
#include "login/qq_html.h"
#include "ui/dlg_ex.h"

namespace kvr {

class CQQLogin : public CDlgEx {
public:
    CQQLogin();
    ~CQQLogin() override;

    CQQHtml& Page() { return m_page; }
    // The redirect URL the page starts with (before Create).
    void SetStartUrl(const wchar_t* url) { m_page.SetStartUrl(url); }
    // Centred on the work area of the monitor it is on.
    void CenterOnMonitor();
    // The login finished: the frame goes out of sight and stays until its
    // owner destroys it (the page's sweep still runs).
    void EndHidden();
    // Destroys the page dialog's window, then the frame's.
    void DestroyAll();

    BEGIN_MSG_MAP(CQQLogin)
        MESSAGE_HANDLER(WM_SHOWWINDOW, OnShowWindow)
        MESSAGE_HANDLER(WM_WINDOWPOSCHANGED, OnWindowPosChanged)
        CHAIN_MSG_MAP(CDlgEx)
    END_MSG_MAP()

protected:
    BOOL OnInitDialog() override;
    void OnCancel() override { DestroyAll(); }

private:
    LRESULT OnShowWindow(UINT, WPARAM wParam, LPARAM, BOOL&);
    LRESULT OnWindowPosChanged(UINT, WPARAM, LPARAM lParam, BOOL&);
    void PlacePage(int x, int y);

    CQQHtml m_page;
};

}  // namespace kvr
