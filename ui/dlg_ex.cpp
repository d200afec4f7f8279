#include "ui/dlg_ex.h"

#include <algorithm>

#include "ui/image.h"
#include "ui/monitor.h"
#include "ui/paint_util.h"
#include "ui/skin_geometry.h"

namespace kvr {

namespace {
const wchar_t kTipClose[] = L"\u5173\u95ED";           // 关闭
const wchar_t kTipMinimize[] = L"\u6700\u5C0F\u5316";  // 最小化
const wchar_t kTipMaximize[] = L"\u6700\u5927\u5316";  // 最大化
const wchar_t kTipRestore[] = L"\u8FD8\u539F";         // 还原

SIZE WindowSize(HWND h) {
    RECT rc{};
    ::GetWindowRect(h, &rc);
    return SIZE{rc.right - rc.left, rc.bottom - rc.top};
}
}  // namespace

CDlgEx::CDlgEx(UINT templateId) : CDialogImpl(templateId) {}

CDlgEx::~CDlgEx() = default;

void CDlgEx::FreeBitmaps() {
    m_background.reset();
    m_overlay.reset();
    m_backgroundPixels.clear();
}

void CDlgEx::SetTitleWeight(int weight) {
    m_titleWeight = weight;
    m_titleFont.reset();
}

LRESULT CDlgEx::OnInitDialogMessage(UINT, WPARAM, LPARAM, BOOL&) {
    InitFrame();
    return OnInitDialog();
}

void CDlgEx::InitFrame() {
    LONG style = ::GetWindowLongW(m_hWnd, GWL_STYLE);
    style &= ~static_cast<LONG>(WS_CAPTION | DS_MODALFRAME);
    style |= WS_MINIMIZEBOX;
    ::SetWindowLongW(m_hWnd, GWL_STYLE, style);
    LONG ex = ::GetWindowLongW(m_hWnd, GWL_EXSTYLE);
    ex &= ~static_cast<LONG>(WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE);
    ::SetWindowLongW(m_hWnd, GWL_EXSTYLE, ex);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    m_restoreRect = DefaultRestoreRect(MonitorWorkArea(m_hWnd));
}

void CDlgEx::SetSkin(HBITMAP background, bool resizeToImage, bool stretch, HBITMAP minimize,
                     HBITMAP maximize, HBITMAP restore, HBITMAP close) {
    FreeBitmaps();
    // The images are ours from here on; the caption buttons copy theirs.
    OwnedBitmap minimizeImage(minimize), maximizeImage(maximize), restoreImage(restore),
        closeImage(close);
    m_stretch = stretch;
    m_background.reset(background);
    SIZE bmp{0, 0};
    m_backgroundPixels = ReadBitmapPixels(background, &bmp);

    RECT layout{};
    if (resizeToImage && background) {
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, bmp.cx, bmp.cy,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        layout = RECT{0, 0, bmp.cx, bmp.cy};
    } else {
        ::GetClientRect(m_hWnd, &layout);
    }
    UpdateRegion();

    int x = layout.right - m_buttonMargin;
    const int y = m_buttonTop;
    if (close) {
        if (m_close.IsWindow()) ::DestroyWindow(m_close);
        m_close.CreateCaptionButton(m_hWnd, kIdCaptionClose, x, y, close);
        m_close.SetTooltip(kTipClose);
        x -= m_close.FrameSize().cx + m_buttonGap;
    } else if (m_close.IsWindow()) {
        x -= m_close.FrameSize().cx + m_buttonGap;
    }
    if (maximize) {
        m_maximizeImage = std::move(maximizeImage);
        m_restoreImage = std::move(restoreImage);
        if (m_maximize.IsWindow()) ::DestroyWindow(m_maximize);
        m_maximize.CreateCaptionButton(m_hWnd, kIdCaptionMaximize, x, y, m_maximizeImage.get());
        m_maximize.SetTooltip(kTipMaximize);
        x -= m_maximize.FrameSize().cx + m_buttonGap;
    }
    if (minimize) {
        if (m_minimize.IsWindow()) ::DestroyWindow(m_minimize);
        m_minimize.CreateCaptionButton(m_hWnd, kIdCaptionMinimize, x, y, minimize);
        m_minimize.SetTooltip(kTipMinimize);
    }
    RedrawAll();
}

void CDlgEx::SetSkin(UINT backgroundId, bool resizeToImage, bool stretch, UINT minimizeId,
                     UINT maximizeId, UINT restoreId, UINT closeId) {
    auto load = [](UINT id) { return id ? LoadSkinImage(id) : nullptr; };
    SetSkin(load(backgroundId), resizeToImage, stretch, load(minimizeId), load(maximizeId),
            load(restoreId), load(closeId));
}

void CDlgEx::SetOverlay(HBITMAP overlay) {
    m_overlay.reset(overlay);
    if (m_hWnd) RedrawAll();
}

int CDlgEx::TitleX() const { return m_borderWidth + 5 + (m_iconDrawn ? 16 : 0); }

void CDlgEx::SetTitle(const wchar_t* title) {
    ::SetWindowTextW(m_hWnd, title ? title : L"");
}

LRESULT CDlgEx::OnSetText(UINT msg, WPARAM wParam, LPARAM lParam, BOOL&) {
    const LRESULT r = DefWindowProc(msg, wParam, lParam);
    if (m_background) {
        // Only the band from the title to the right edge changes.
        RECT client{};
        ::GetClientRect(m_hWnd, &client);
        const int band = m_captionHeight > 0 ? m_captionHeight : 24;
        RECT rc{TitleX(), 0, client.right, band};
        ::RedrawWindow(m_hWnd, &rc, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    }
    return r;
}

LRESULT CDlgEx::OnSetIcon(UINT msg, WPARAM wParam, LPARAM lParam, BOOL&) {
    const LRESULT r = DefWindowProc(msg, wParam, lParam);
    if (m_background) RedrawAll();
    return r;
}

void CDlgEx::UpdateRegion() {
    if (!m_background) return;
    const SIZE win = WindowSize(m_hWnd);
    const std::vector<POINT> cuts = SkinCutPixels(m_backgroundPixels, BitmapSize(m_background.get()), win);
    OwnedRegion rgn(CreateSkinRegion(cuts, win));
    if (rgn && ::SetWindowRgn(m_hWnd, rgn.get(), TRUE)) rgn.release();  // the window's now
}

void CDlgEx::RedrawAll() {
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

bool CDlgEx::PaintSkin(HDC target) {
    if (!m_background) return false;
    const SIZE win = WindowSize(m_hWnd);
    CMemoryDC mem(target, win.cx, win.cy);
    if (!mem.ok()) return false;
    HDC dc = mem.dc();

    {
        const OwnedMemoryDc src(::CreateCompatibleDC(target));
        HGDIOBJ oldSrc = ::SelectObject(src.get(), m_background.get());
        ::SetStretchBltMode(dc, COLORONCOLOR);
        for (const SkinBlit& b : SkinBlits(win, BitmapSize(m_background.get()), m_borderWidth,
                                           m_captionHeight, m_stretch)) {
            ::StretchBlt(dc, b.dst.left, b.dst.top, b.dst.right - b.dst.left, b.dst.bottom - b.dst.top,
                         src.get(), b.src.left, b.src.top, b.src.right - b.src.left,
                         b.src.bottom - b.src.top, SRCCOPY);
        }
        if (m_overlay) {
            const SIZE ov = BitmapSize(m_overlay.get());
            ::SelectObject(src.get(), m_overlay.get());
            ::BitBlt(dc, win.cx - m_buttonMargin - ov.cx, m_buttonTop, ov.cx, ov.cy, src.get(), 0, 0,
                     SRCCOPY);
        }
        ::SelectObject(src.get(), oldSrc);  // before the DC goes
    }

    m_iconDrawn = false;
    if (m_showIcon) {
        auto icon = reinterpret_cast<HICON>(::SendMessageW(m_hWnd, WM_GETICON, ICON_SMALL, 0));
        if (icon) {
            const int y = m_captionHeight == -1 ? 6 : (m_captionHeight - 15) / 2;
            ::DrawIconEx(dc, m_borderWidth, y, icon, 16, 16, 0, nullptr, DI_NORMAL);
            m_iconDrawn = true;
        }
    }
    if (m_showTitle) {
        wchar_t title[256] = L"";
        const int len = ::GetWindowTextW(m_hWnd, title, 256);
        if (len > 0) {
            if (!m_titleFont)
                m_titleFont.reset(DeriveFont(reinterpret_cast<HFONT>(::SendMessageW(m_hWnd, WM_GETFONT, 0, 0)),
                                             DEFAULT_GUI_FONT, -12, m_titleWeight, 0, false, kUiFace));
            HGDIOBJ oldFont = ::SelectObject(dc, m_titleFont.get());
            ::SetBkMode(dc, TRANSPARENT);
            ::SetTextColor(dc, m_titleColor);
            const int half = (m_captionHeight - 11) / 2;
            const int y = half < 0 ? 4 : half - 2;
            ::TextOutW(dc, TitleX(), y, title, len);
            ::SelectObject(dc, oldFont);
        }
    }
    mem.CopyTo(target);
    return true;
}

LRESULT CDlgEx::OnEraseBkgnd(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
    if (!PaintSkin(reinterpret_cast<HDC>(wParam))) {
        handled = FALSE;
        return 0;
    }
    return 1;
}

LRESULT CDlgEx::OnNcHitTest(UINT, WPARAM, LPARAM lParam, BOOL& handled) {
    handled = FALSE;
    if (m_maximized) return 0;
    POINT pt{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    ::ScreenToClient(m_hWnd, &pt);
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    const int hit = SkinHitTest(pt, SIZE{client.right, client.bottom}, m_borderWidth,
                                m_captionHeight, m_resizable);
    if (hit == HTNOWHERE) return 0;
    handled = TRUE;
    return hit;
}

LRESULT CDlgEx::OnNcLButtonDown(UINT msg, WPARAM wParam, LPARAM lParam, BOOL&) {
    if (const int edge = SizingEdge(static_cast<int>(wParam)))
        ::SendMessageW(m_hWnd, WM_SYSCOMMAND, SC_SIZE + edge, lParam);
    else
        DefWindowProc(msg, wParam, lParam);  // the caption drags the window
    if (m_hWnd && !m_maximized) ::GetWindowRect(m_hWnd, &m_restoreRect);
    return 0;
}

LRESULT CDlgEx::OnNcLButtonDblClk(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
    if (wParam != HTCAPTION) {
        handled = FALSE;
        return 0;
    }
    // Only our own maximise fits the skin: the system's never runs.
    if (m_resizable) ToggleMaximize();
    return 0;
}

LRESULT CDlgEx::OnSysCommand(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
    // F10 or Alt alone would start keyboard menu mode: a modal loop with no
    // menu to show on a skinned window, which holds the dialog until Esc
    // (F10 is the default boss key, so it reaches open dialogs too).
    if ((wParam & 0xFFF0) == SC_KEYMENU) return 0;
    handled = FALSE;
    return 0;
}

LRESULT CDlgEx::OnSize(UINT msg, WPARAM wParam, LPARAM lParam, BOOL&) {
    const LRESULT r = DefWindowProc(msg, wParam, lParam);
    if (m_background && wParam != SIZE_MINIMIZED) {
        UpdateRegion();
        PlaceCaptionButtons();
        RedrawAll();
    }
    return r;
}

void CDlgEx::PlaceCaptionButtons() {
    int x = WindowSize(m_hWnd).cx - m_buttonMargin;
    for (CBtnEx* b : {&m_close, &m_maximize, &m_minimize}) {
        if (!b->IsWindow()) continue;
        RECT rc{};
        ::GetWindowRect(*b, &rc);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
        const int w = rc.right - rc.left;
        ::SetWindowPos(*b, nullptr, x - w, rc.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        x -= w;
    }
}

LRESULT CDlgEx::OnCaptionButton(WORD, WORD id, HWND, BOOL&) {
    if (id == kIdCaptionClose) OnCloseButton();
    else if (id == kIdCaptionMinimize) OnMinimizeButton();
    else ToggleMaximize();
    return 0;
}

void CDlgEx::OnCloseButton() { ::PostMessageW(m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0); }

void CDlgEx::OnMinimizeButton() { ::PostMessageW(m_hWnd, WM_SYSCOMMAND, SC_MINIMIZE, 0); }

void CDlgEx::ToggleMaximize() {
    RECT target{};
    if (m_maximized) {
        target = m_restoreRect;
    } else {
        target = MaximizedRect(MonitorWorkArea(m_hWnd), m_maxSize);
    }
    m_maximized = !m_maximized;
    ::MoveWindow(m_hWnd, target.left, target.top, target.right - target.left,
                 target.bottom - target.top, TRUE);
    ShowMaximizeState();
    m_maximize.ResetState();
}

void CDlgEx::ShowMaximizeState() {
    if (!m_maximize.IsWindow()) return;
    HBITMAP image = (m_maximized ? m_restoreImage : m_maximizeImage).get();
    if (image) m_maximize.SetImage(image, false);
    m_maximize.SetTooltip(m_maximized ? kTipRestore : kTipMaximize);
}

}  // namespace kvr
