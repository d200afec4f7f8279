// CLoginBkDlg: the login window's background, a borderless window showing a
// picture with per-pixel transparency (the frame and artwork around the login
// page). It carries the caption and the taskbar button; the login page
// (CLoginDlg) lies exactly over it.
#pragma once
#include <memory>
#include <string>
#include "base/owned.h"
#include "base/window_handoff.h"
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

    // Posted by the thread that reads the game window's handle.
    static constexpr UINT kGameWindowMessage = WM_APP + 58;

    // picture: the background picture begun before (made here without one).
    // windowPipe: for a game window's first page, started before the window
    // existed (gameWindow is null), the handle's pipe: the window shows
    // meanwhile and the game window takes it once it comes.
    CLoginBkDlg(HWND gameWindow, int pageCount, std::unique_ptr<LoginPicture> picture = nullptr,
                OwnedHandle windowPipe = {});
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
    // The game window: given, or come through the pipe (waiting up to
    // timeoutMs for it); null before, or when none came, which ends the login.
    HWND TakeGameWindow(DWORD timeoutMs = 0);

    BOOL PreTranslateMessage(MSG* msg) override;

    BEGIN_MSG_MAP(CLoginBkDlg)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MESSAGE_HANDLER(WM_LBUTTONDOWN, OnLButtonDown)
        MESSAGE_HANDLER(WM_WINDOWPOSCHANGED, OnWindowPosChanged)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        MESSAGE_HANDLER(kEndLoginMessage, OnEndLogin)
        MESSAGE_HANDLER(kGameWindowMessage, OnGameWindow)
        CHAIN_MSG_MAP(CDialogImpl)
    END_MSG_MAP()

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnLButtonDown(UINT, WPARAM, LPARAM lParam, BOOL&);
    LRESULT OnWindowPosChanged(UINT, WPARAM, LPARAM lParam, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled);
    LRESULT OnEndLogin(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnGameWindow(UINT, WPARAM, LPARAM, BOOL&);
    void OnOK() override {}  // Enter never ends the login
    void OnCancel() override { EndLogin(IDCANCEL); }
    void PaintLayered();

    HWND m_gameWindow;
    OwnedHandle m_windowPipe;                  // until its reader starts
    std::shared_ptr<WindowArrival> m_arrival;  // while the game window is awaited
    std::unique_ptr<LoginPicture> m_picture;   // until the window takes its bitmap
    OwnedBitmap m_bitmap;
    UINT m_width = 0;
    UINT m_height = 0;
    CLoginDlg m_login;
    INT_PTR m_result = -1;
    std::wstring m_gameUrl;
};

}  // namespace kvr
