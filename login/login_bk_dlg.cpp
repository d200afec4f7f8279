#include "login/login_bk_dlg.h"

#include "base/endpoints.h"
#include "base/owned.h"
#include "base/system_library.h"
#include "res/ids_login.h"
#include "ui/gdiplus_include.h"
#include "ui/image.h"
#include "ui/monitor.h"

namespace kvr {

namespace {

// A GDI+ image of a "PNG" resource of this program, or nullptr.
Gdiplus::Image* LoadPngResource(UINT id) {
    const ComPtr<IStream> stream = PngResourceStream(ModuleInstance(), id);
    if (!stream || !EnsureSystemLibrary(L"gdiplus.dll")) return nullptr;
    // GDI+ keeps its own reference to the stream while the image lives.
    Gdiplus::Image* image = Gdiplus::Image::FromStream(stream.Get());
    if (image && image->GetLastStatus() != Gdiplus::Ok) {
        delete image;
        image = nullptr;
    }
    return image;
}

}  // namespace

CLoginBkDlg::CLoginBkDlg(HWND gameWindow, int pageCount)
    : CDialogImpl(IDD_LOGIN_PAGE),
      m_login(this, gameWindow, pageCount, ServerUrl(Server::Portal, paths::kLoginPage).c_str()) {}

CLoginBkDlg::~CLoginBkDlg() { delete m_image; }

LRESULT CLoginBkDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
    ::SetWindowTextW(m_hWnd, L"MarvoleKelvara");
    m_image = LoadPngResource(kLoginBackgroundPng);
    if (m_image) {
        m_width = m_image->GetWidth();
        m_height = m_image->GetHeight();
        // The layered picture is drawn at the window's top-left: put that
        // where a picture of this size stands centred on its monitor.
        const POINT at =
            CentredOnMonitor(m_hWnd, SIZE{static_cast<LONG>(m_width), static_cast<LONG>(m_height)});
        ::SetWindowPos(m_hWnd, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    PaintLayered();
    m_login.Create(m_hWnd);
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, ::GetWindowLongPtrW(m_hWnd, GWL_STYLE) | WS_MINIMIZEBOX);
    return FALSE;
}

void CLoginBkDlg::PaintLayered() {
    if (!m_image || !m_width || !m_height) return;
    const WindowDc windowDc(m_hWnd);
    const OwnedMemoryDc memDc(::CreateCompatibleDC(windowDc.get()));
    // 32 bits with alpha: the picture's transparency reaches the screen.
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = static_cast<LONG>(m_width);
    bi.bmiHeader.biHeight = -static_cast<LONG>(m_height);
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const OwnedBitmap bitmap(::CreateDIBSection(windowDc.get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (bitmap) {
        const SelectedObject selected(memDc.get(), bitmap.get());  // out again before the bitmap goes
        Gdiplus::Graphics graphics(memDc.get());
        const Gdiplus::Point points[3] = {
            Gdiplus::Point(0, 0), Gdiplus::Point(static_cast<INT>(m_width), 0),
            Gdiplus::Point(0, static_cast<INT>(m_height))};
        graphics.DrawImage(m_image, points, 3);

        const LONG_PTR ex = ::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE);
        if (!(ex & WS_EX_LAYERED)) ::SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, ex | WS_EX_LAYERED);
        RECT rc{};
        ::GetWindowRect(m_hWnd, &rc);
        POINT dst{rc.left, rc.top};
        SIZE size{static_cast<LONG>(m_width), static_cast<LONG>(m_height)};
        POINT src{0, 0};
        BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        ::UpdateLayeredWindow(m_hWnd, WindowDc(nullptr).get(), &dst, &size, memDc.get(), &src, 0xFFFFFFFF,
                              &blend, ULW_ALPHA);
    }
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
    if (pos && m_login.IsWindow()) {
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
