#include "ui/frame_wnd.h"

namespace kvr {

HWND CFrameWnd::CreateFrame(const wchar_t* title, DWORD style, DWORD exStyle, const RECT& rc) {
    return Create(nullptr, rc, title, style & ~WS_VISIBLE, exStyle);
}

int CFrameWnd::OnCreate(CREATESTRUCTW*) {
    if (!m_view) return -1;
    RECT rc{};
    ::GetClientRect(m_hWnd, &rc);
    if (!m_view->Create(m_hWnd, rc, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                        0, 0xE900 /* the first pane of a frame */))
        return -1;
    return 0;
}

void CFrameWnd::InitialUpdate() {
    if (m_view && m_view->IsWindow()) m_view->OnInitialUpdate();
}

LRESULT CFrameWnd::OnSize(UINT, WPARAM, LPARAM, BOOL& handled) {
    if (m_view && m_view->IsWindow()) {
        RECT rc{};
        ::GetClientRect(m_hWnd, &rc);
        ::MoveWindow(m_view->m_hWnd, 0, 0, rc.right, rc.bottom, TRUE);
    }
    handled = FALSE;
    return 0;
}

LRESULT CFrameWnd::OnSetFocus(UINT, WPARAM, LPARAM, BOOL&) {
    if (m_view && m_view->IsWindow()) ::SetFocus(m_view->m_hWnd);
    return 0;
}

LRESULT CFrameWnd::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
    if (m_quitOnDestroy) ::PostQuitMessage(0);
    handled = FALSE;
    return 0;
}

}  // namespace kvr
