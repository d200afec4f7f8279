#include "login/login_bk_dlg.h"

#include "base/endpoints.h"
#include "base/owned.h"
#include "res/ids_login.h"
#include "ui/image.h"
#include "ui/monitor.h"

namespace kvr {

CLoginBkDlg::CLoginBkDlg(HWND gameWindow, int pageCount, std::unique_ptr<LoginPicture> picture,
                         OwnedHandle windowPipe)
    : CDialogImpl(IDD_LOGIN_PAGE),
      m_gameWindow(gameWindow),
      m_windowPipe(std::move(windowPipe)),
      m_picture(std::move(picture)),
      m_login(this, gameWindow, pageCount, ServerUrl(Server::Portal, paths::kLoginPage).c_str()) {}

CLoginBkDlg::~CLoginBkDlg() = default;

LRESULT CLoginBkDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
    ::SetWindowTextW(m_hWnd, L"MarvoleKelvara");
    if (!m_picture) m_picture = LoginPicture::Start();
    SIZE size{0, 0};
    m_bitmap.reset(m_picture->Take(&size));
    m_picture.reset();
    if (m_bitmap) {
        m_width = static_cast<UINT>(size.cx);
        m_height = static_cast<UINT>(size.cy);
        // The layered picture is drawn at the window's top-left: put that
        // where a picture of this size stands centred on its monitor.
        const POINT at =
            CentredOnMonitor(m_hWnd, SIZE{static_cast<LONG>(m_width), static_cast<LONG>(m_height)});
        ::SetWindowPos(m_hWnd, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    PaintLayered();
    m_login.Create(m_hWnd);
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, ::GetWindowLongPtrW(m_hWnd, GWL_STYLE) | WS_MINIMIZEBOX);
    if (m_windowPipe) {
        m_arrival = WindowArrival::Start(std::move(m_windowPipe), m_hWnd, kGameWindowMessage);
        if (!m_arrival) EndLogin(IDCANCEL);
    }
    return FALSE;
}

HWND CLoginBkDlg::TakeGameWindow(DWORD timeoutMs) {
    if (!m_arrival || !m_arrival->Wait(timeoutMs)) return m_gameWindow;
    const HWND window = m_arrival->Window();
    m_arrival.reset();
    // No window will come (it could not be made): nobody to log in to.
    if (!window) {
        EndLogin(IDCANCEL);
        return nullptr;
    }
    m_gameWindow = window;
    m_login.SetGameWindow(window);
    AdoptModalOwner(window);
    return window;
}

LRESULT CLoginBkDlg::OnGameWindow(UINT, WPARAM, LPARAM, BOOL&) {
    TakeGameWindow();
    return 0;
}

void CLoginBkDlg::PaintLayered() {
    if (!m_bitmap || !m_width || !m_height) return;
    const WindowDc screen(nullptr);
    const OwnedMemoryDc memDc(::CreateCompatibleDC(screen.get()));
    const SelectedObject selected(memDc.get(), m_bitmap.get());  // out again before the DC goes
    // 32 bits with alpha: the picture's transparency reaches the screen.
    const LONG_PTR ex = ::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE);
    if (!(ex & WS_EX_LAYERED)) ::SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, ex | WS_EX_LAYERED);
    RECT rc{};
    ::GetWindowRect(m_hWnd, &rc);
    POINT dst{rc.left, rc.top};
    SIZE size{static_cast<LONG>(m_width), static_cast<LONG>(m_height)};
    POINT src{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ::UpdateLayeredWindow(m_hWnd, screen.get(), &dst, &size, memDc.get(), &src, 0xFFFFFFFF, &blend, ULW_ALPHA);
}

LRESULT CLoginBkDlg::OnLButtonDown(UINT, WPARAM, LPARAM lParam, BOOL&) {
    DefWindowProc();
    // A press on the picture drags the window.
    ::SendMessageW(m_hWnd, WM_NCLBUTTONDOWN, HTCAPTION, lParam);
    return 0;
}

LRESULT CLoginBkDlg::OnWindowPosChanged(UINT, WPARAM, LPARAM lParam, BOOL&) {
    DefWindowProc();
    const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
    // Showing, hiding and the Z order leave the login page where it is:
    // moving a layered window costs a repaint of it.
    const UINT unmoved = SWP_NOMOVE | SWP_NOSIZE;
    if (pos && (pos->flags & unmoved) != unmoved && m_login.IsWindow()) {
        RECT rc{};
        ::GetWindowRect(m_hWnd, &rc);
        ::MoveWindow(m_login.m_hWnd, pos->x, pos->y, rc.right - rc.left, rc.bottom - rc.top, TRUE);
    }
    return 0;
}

LRESULT CLoginBkDlg::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
    if (m_login.IsWindow()) ::DestroyWindow(m_login.m_hWnd);
    handled = FALSE;
    return 0;
}

BOOL CLoginBkDlg::PreTranslateMessage(MSG* msg) {
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN) return TRUE;
    return CDialogImpl::PreTranslateMessage(msg);
}

void CLoginBkDlg::EndLogin(INT_PTR result) {
    m_result = result;
    if (IsModal())
        EndDialog(result);
    else if (m_hWnd)
        ::PostMessageW(m_hWnd, kEndLoginMessage, 0, 0);
}

void CLoginBkDlg::AcceptLogin(const std::wstring& gameUrl) {
    m_gameUrl = gameUrl;
    EndLogin(IDOK);
}

LRESULT CLoginBkDlg::OnEndLogin(UINT, WPARAM, LPARAM, BOOL&) {
    ::DestroyWindow(m_hWnd);
    return 0;
}

}  // namespace kvr
