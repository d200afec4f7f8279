// CQQHtml: the page inside the QQ/Weibo login frame. A plain DHTML dialog that
// shows the provider's and the external-login server's pages, keeps the QQ
// authorisation page from loading while hidden, closes the login as soon as
// the "Pauth" login cookie exists, and then removes a message box the page
// may have left behind.
#pragma once
#include "browser/dhtml_dialog.h"

namespace kvr {

class CQQLogin;

class CQQHtml : public CDHtmlDialog {
public:
    static constexpr UINT_PTR kSweepTimer = 1;

    explicit CQQHtml(CQQLogin* frame);

    BOOL PreTranslateMessage(MSG* msg) override;
    void OnBeforeNavigate2(IDispatch* disp, const wchar_t* url, bool* cancel) override;
    void OnDocumentComplete(IDispatch* disp, const wchar_t* url) override;
    // Whether the sweep timer runs (after the login cookie was found).
    bool Sweeping() const { return m_sweeping; }
    // One tick of the sweep of leftover message boxes.
    void SweepOnce();

    BEGIN_MSG_MAP(CQQHtml)
        MESSAGE_HANDLER(WM_SHOWWINDOW, OnShowWindow)
        MESSAGE_HANDLER(WM_TIMER, OnTimer)
        CHAIN_MSG_MAP(CDHtmlDialog)
    END_MSG_MAP()

protected:
    // Closing hides the page (its sweep timer keeps running); the frame's
    // cancel destroys it.
    void OnOK() override {}
    void OnCancel() override;

private:
    LRESULT OnShowWindow(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnTimer(UINT, WPARAM wParam, LPARAM, BOOL&);

    CQQLogin* m_frame;
    HWND m_lastBox = nullptr;
    bool m_sweeping = false;
};

}  // namespace kvr
