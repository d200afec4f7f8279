// CLoginDlg: the portal's login page, over the background window. Magenta is
// transparent so the background shows through; it has no taskbar button of
// its own. The page talks to the program through "app:" URLs (loadgame,
// exitgame, minimize) and the QQ/Weibo redirect links.
#pragma once
#include <memory>
#include "browser/dhtm_dlg_ex.h"

namespace kvr {

class CLoginBkDlg;
class CQQLogin;

class CLoginDlg : public CDHtmDlgEx {
public:
    CLoginDlg(CLoginBkDlg* background, HWND gameWindow, int pageCount, const wchar_t* startUrl);
    ~CLoginDlg() override;

    // The game window, when it comes to exist after this window showed.
    void SetGameWindow(HWND window) { m_gameWindow = window; }
    // The open QQ/Weibo window, or nullptr.
    CQQLogin* OAuthWindow() const { return m_oauth.get(); }

    BOOL PreTranslateMessage(MSG* msg) override;
    void OnBeforeNavigate2(IDispatch* disp, const wchar_t* url, bool* cancel) override;
    void OnDocumentComplete(IDispatch* disp, const wchar_t* url) override;

    // The command handler: cancel is set for every "app:" URL and redirect.
    void HandleUrl(const wchar_t* url, bool* cancel);
    // "loadgame" with its URL; false when the key was refused or too long.
    bool LoadGame(const wchar_t* url);

    // Page background drag forwarded to the background window (not inside
    // the exempt areas).
    HRESULT OnPageDragStart(IHTMLElement* e);
    HRESULT OnPageDragEnd(IHTMLElement* e);
    HRESULT OnPageDragMove(IHTMLElement* e);
    // Forwards a drag at a point of this dialog's client area; false inside
    // the exempt areas.
    bool DragBackgroundAt(UINT ncMessage, POINT client);

    BEGIN_MSG_MAP(CLoginDlg)
        CHAIN_MSG_MAP(CDHtmDlgEx)
    END_MSG_MAP()

protected:
    BOOL OnInitDialog() override;
    const ElementEvent* ElementEvents(size_t* count) override;
    void OnCancel() override {}  // Escape is swallowed; the page ends the login

private:
    void OpenOAuth(const wchar_t* url, bool qq);
    void DragFromPage(UINT ncMessage);

    CLoginBkDlg* m_background;
    HWND m_gameWindow;
    int m_pageCount;
    std::unique_ptr<CQQLogin> m_oauth;
};

}  // namespace kvr
