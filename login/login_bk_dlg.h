// CLoginBkDlg: the login window's background, a borderless window showing a
// picture with per-pixel transparency (the frame and artwork around the login
// page). It carries the caption and the taskbar button; the login page
// (CLoginDlg) lies exactly over it.
#pragma once
#include <memory>
#include <string>
#include "base/owned.h"
#include "login/login_dlg.h"
#include "login/login_picture.h"
#include "ui/window.h"

namespace kvr {

inline constexpr UINT kLoginBackgroundPng = 129;

class CLoginBkDlg : public CDialogImpl {
public:
    // Posted to itself by a modeless background, to end after the current
    // callback (the page's navigation event) has returned.
    static constexpr UINT kEndLoginMessage = WM_APP + 57;

    // picture: the background picture begun before (made here without one).
    CLoginBkDlg(HWND gameWindow, int pageCount, std::unique_ptr<LoginPicture> picture = nullptr);
    ~CLoginBkDlg() override;

    CLoginDlg& LoginDialog() { return m_login; }
    SIZE ImageSize() const { return SIZE{static_cast<LONG>(m_width), static_cast<LONG>(m_height)}; }
    // Ends the login with IDOK or IDCANCEL (modeless: destroys the window).
    void EndLogin(INT_PTR result);
    // Ends the login with IDOK, keeping the game URL of the accepted login.
    void AcceptLogin(const std::wstring& gameUrl);
    // The result EndLogin was given; -1 before.
    INT_PTR LoginResult() const { return m_result; }
    // The game URL AcceptLogin was given; empty before.
    const std::wstring& GameUrl() const { return m_gameUrl; }

    BOOL PreTranslateMessage(MSG* msg) override;

    BEGIN_MSG_MAP(CLoginBkDlg)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MESSAGE_HANDLER(WM_LBUTTONDOWN, OnLButtonDown)
        MESSAGE_HANDLER(WM_WINDOWPOSCHANGED, OnWindowPosChanged)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        MESSAGE_HANDLER(kEndLoginMessage, OnEndLogin)
        CHAIN_MSG_MAP(CDialogImpl)
    END_MSG_MAP()

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnLButtonDown(UINT, WPARAM, LPARAM lParam, BOOL&);
    LRESULT OnWindowPosChanged(UINT, WPARAM, LPARAM lParam, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled);
    LRESULT OnEndLogin(UINT, WPARAM, LPARAM, BOOL&);
    void OnOK() override {}  // Enter never ends the login
    void OnCancel() override { EndLogin(IDCANCEL); }
    void PaintLayered();

    std::unique_ptr<LoginPicture> m_picture;  // until the window takes its bitmap
    OwnedBitmap m_bitmap;
    UINT m_width = 0;
    UINT m_height = 0;
    CLoginDlg m_login;
    INT_PTR m_result = -1;
    std::wstring m_gameUrl;
};

}  // namespace kvr
