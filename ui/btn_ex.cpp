#include "ui/btn_ex.h"

#include "ui/image.h"
#include "ui/paint_util.h"

namespace kvr {

CBtnEx::~CBtnEx() {
    if (m_tooltip && ::IsWindow(m_tooltip)) ::DestroyWindow(m_tooltip);
}

void CBtnEx::OnFinalMessage(HWND) {
    if (m_tooltip && ::IsWindow(m_tooltip)) ::DestroyWindow(m_tooltip);
    m_tooltip = nullptr;
}

void CBtnEx::MakeOwnerDraw() {
    LONG style = ::GetWindowLongW(m_hWnd, GWL_STYLE);
    style = (style & ~static_cast<LONG>(BS_TYPEMASK)) | BS_OWNERDRAW;
    ::SetWindowLongW(m_hWnd, GWL_STYLE, style);
    ::GetWindowRect(m_hWnd, &m_windowRect);
}

BOOL CBtnEx::SubclassDlgItem(HWND dialog, int id) {
    HWND h = ::GetDlgItem(dialog, id);
    if (!h || !SubclassWindow(h)) return FALSE;
    wchar_t text[256] = L"";
    ::GetWindowTextW(h, text, 256);
    m_caption = text;
    MakeOwnerDraw();
    return TRUE;
}

HWND CBtnEx::Create(HWND parent, const RECT& rc, const wchar_t* caption, UINT id, HBITMAP image) {
    HWND h = ::CreateWindowExW(0, L"BUTTON", caption ? caption : L"",
                               WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, rc.left, rc.top,
                               rc.right - rc.left, rc.bottom - rc.top, parent,
                               reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                               ModuleInstance(), nullptr);
    if (!h || !SubclassWindow(h)) {
        if (h) ::DestroyWindow(h);
        return nullptr;
    }
    m_caption = caption ? caption : L"";
    ::SendMessageW(h, WM_SETFONT, ::SendMessageW(parent, WM_GETFONT, 0, 0), FALSE);
    MakeOwnerDraw();
    if (image) SetImage(image, false);
    return h;
}

HWND CBtnEx::CreateCaptionButton(HWND parent, UINT id, int right, int top, HBITMAP image) {
    const SIZE sz = BitmapSize(image);
    const RECT rc{right - sz.cx / 4, top, right, top + sz.cy};
    HWND h = Create(parent, rc, L"", id, image);
    // Caption buttons are for the mouse: Tab skips them.
    if (h) ::SetWindowLongW(h, GWL_STYLE, ::GetWindowLongW(h, GWL_STYLE) & ~WS_TABSTOP);
    return h;
}

bool CBtnEx::SetImage(HBITMAP strip, bool resize) {
    const SIZE sz = BitmapSize(strip);
    m_frames.reset();
    m_frameSize = SIZE{sz.cx / 4, sz.cy};
    if (m_frameSize.cx <= 0 || m_frameSize.cy <= 0) return false;
    m_frames.reset(MaskedImageList(strip, 4));
    if (!m_frames) return false;
    if (m_hWnd) {
        if (resize)
            ::SetWindowPos(m_hWnd, nullptr, 0, 0, m_frameSize.cx, m_frameSize.cy,
                           SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        ::GetWindowRect(m_hWnd, &m_windowRect);
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
    }
    return true;
}

bool CBtnEx::SetImage(UINT resourceId, bool resize) {
    const OwnedBitmap bmp(LoadSkinImage(resourceId));
    return bmp && SetImage(bmp.get(), resize);
}

void CBtnEx::SetTooltip(const wchar_t* text) {
    m_tooltipText = text ? text : L"";
    m_tooltipOn = true;
    UpdateTooltip();
}

void CBtnEx::UpdateTooltip() {
    if (!m_hWnd) return;
    if (!m_tooltip) {
        RegisterCommonControls();
        m_tooltip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                      WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                                      CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr,
                                      ModuleInstance(), nullptr);
        if (!m_tooltip) return;
        TOOLINFOW ti{};
        ti.cbSize = sizeof(ti);
        ti.uFlags = TTF_IDISHWND;
        ti.hwnd = m_hWnd;
        ti.uId = reinterpret_cast<UINT_PTR>(m_hWnd);
        ti.lpszText = LPSTR_TEXTCALLBACKW;
        ::SendMessageW(m_tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
        ::SendMessageW(m_tooltip, TTM_SETDELAYTIME, TTDT_AUTOMATIC, 660);
    }
    TOOLINFOW ti{};
    ti.cbSize = sizeof(ti);
    ti.hwnd = m_hWnd;
    ti.uId = reinterpret_cast<UINT_PTR>(m_hWnd);
    ti.lpszText = const_cast<wchar_t*>(m_tooltipText.c_str());
    ::SendMessageW(m_tooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
}

void CBtnEx::SetTextColor(COLORREF color) {
    m_textColor = color;
    if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CBtnEx::ResetState() {
    m_hover.Clear();
    m_pressedLatch = false;
    if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

int CBtnEx::CurrentFrame(bool selected) const {
    if (m_hWnd && !::IsWindowEnabled(m_hWnd)) return kFrameDisabled;
    if (selected || m_pressedLatch) return kFramePressed;
    return m_hover.Hovering() ? kFrameHover : kFrameNormal;
}

BOOL CBtnEx::PreTranslateMessage(MSG* msg) {
    if (m_tooltipOn && m_tooltip)
        ::SendMessageW(m_tooltip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg));
    return CWindowImpl::PreTranslateMessage(msg);
}

LRESULT CBtnEx::OnDrawItem(UINT, WPARAM, LPARAM lParam, BOOL&) {
    const auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    int frame;
    if (dis->itemState & (ODS_DISABLED | ODS_GRAYED)) {
        frame = kFrameDisabled;
    } else if ((dis->itemState & ODS_SELECTED) || m_pressedLatch) {
        frame = kFramePressed;
        m_pressedLatch = true;
    } else {
        frame = m_hover.Hovering() ? kFrameHover : kFrameNormal;
    }
    Draw(dis->hDC, dis->rcItem, frame);
    return TRUE;
}

void CBtnEx::Draw(HDC target, const RECT& rc, int frame) {
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    CMemoryDC mem(target, w, h);
    if (!mem.ok()) return;
    PaintParentBackground(m_hWnd, mem.dc());
    if (m_frames) {
        if (m_frameSize.cx == w && m_frameSize.cy == h) {
            ImageList_Draw(m_frames.get(), frame, mem.dc(), 0, 0, ILD_TRANSPARENT);
        } else {
            CMemoryDC tmp(target, m_frameSize.cx, m_frameSize.cy);
            if (tmp.ok()) {
                const OwnedBrush magenta(::CreateSolidBrush(kMaskColor));
                RECT all{0, 0, m_frameSize.cx, m_frameSize.cy};
                ::FillRect(tmp.dc(), &all, magenta.get());
                ImageList_Draw(m_frames.get(), frame, tmp.dc(), 0, 0, ILD_TRANSPARENT);
                ::GdiTransparentBlt(mem.dc(), 0, 0, w, h, tmp.dc(), 0, 0, m_frameSize.cx,
                                 m_frameSize.cy, kMaskColor);
            }
        }
    }
    DrawCaption(mem.dc(), RECT{0, 0, w, h}, frame);
    mem.CopyTo(target, rc.left, rc.top);
}

void CBtnEx::DrawCaption(HDC dc, const RECT& rc, int frame) {
    if (m_caption.empty()) return;
    if (!m_font)
        m_font.reset(DeriveFont(reinterpret_cast<HFONT>(::SendMessageW(m_hWnd, WM_GETFONT, 0, 0)),
                                DEFAULT_GUI_FONT, -12));
    HGDIOBJ old = ::SelectObject(dc, m_font.get());
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, frame == kFrameDisabled ? ::GetSysColor(COLOR_GRAYTEXT) : m_textColor);
    RECT r = rc;
    ::DrawTextW(dc, m_caption.c_str(), static_cast<int>(m_caption.size()), &r,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    ::SelectObject(dc, old);
}

LRESULT CBtnEx::OnMouseMove(UINT, WPARAM, LPARAM, BOOL& handled) {
    m_hover.Moved(m_hWnd);
    handled = FALSE;
    return 0;
}

LRESULT CBtnEx::OnMouseHover(UINT, WPARAM, LPARAM, BOOL&) {
    m_hover.Hovered();
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
    if (m_tooltipOn) UpdateTooltip();
    return 0;
}

LRESULT CBtnEx::OnMouseLeave(UINT, WPARAM, LPARAM, BOOL&) {
    m_hover.Left();
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
    return 0;
}

LRESULT CBtnEx::OnLButtonUp(UINT, WPARAM, LPARAM, BOOL& handled) {
    m_pressedLatch = false;
    handled = FALSE;  // the button control sends the click
    return 0;
}

LRESULT CBtnEx::OnSetCursor(UINT, WPARAM, LPARAM, BOOL&) {
    ::SetCursor(::LoadCursorW(nullptr, m_handCursor ? IDC_HAND : IDC_ARROW));
    return TRUE;
}

LRESULT CBtnEx::OnSetText(UINT msg, WPARAM wParam, LPARAM lParam, BOOL&) {
    const LRESULT r = DefWindowProc(msg, wParam, lParam);
    m_caption = lParam ? reinterpret_cast<const wchar_t*>(lParam) : L"";
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
    return r;
}

LRESULT CBtnEx::OnNotify(UINT, WPARAM, LPARAM lParam, BOOL& handled) {
    auto* hdr = reinterpret_cast<NMHDR*>(lParam);
    if (hdr->hwndFrom != m_tooltip || hdr->code != TTN_GETDISPINFOW) {
        handled = FALSE;
        return 0;
    }
    auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
    info->lpszText = const_cast<wchar_t*>(m_tooltipText.c_str());
    return 0;
}

}  // namespace kvr
