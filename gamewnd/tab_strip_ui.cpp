#include "gamewnd/tab_strip_ui.h"

#include <algorithm>
#include "gamewnd/tab_strip.h"
#include "res/resource.h"
#include "ui/image.h"
#include "ui/window.h"

namespace kvr {

namespace {

HIMAGELIST LoadStrip(UINT id, int frames) {
    const OwnedBitmap bmp(LoadSkinImage(id));
    return bmp ? MaskedImageList(bmp.get(), frames) : nullptr;
}

TOOLINFOW WindowTool(HWND window, const wchar_t* text) {
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = window;
    tool.uId = reinterpret_cast<UINT_PTR>(window);
    tool.lpszText = const_cast<wchar_t*>(text);
    return tool;
}

}  // namespace

void CTabStripUi::LoadImages() {
    m_tabImages.reset(LoadStrip(IDB_TABS, 3));
    m_closeImages.reset(LoadStrip(IDB_TAB_CLOSE, 3));
}

void CTabStripUi::Create(HWND window) {
    m_window = window;

    m_tooltip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                  0, 0, 0, 0, window, nullptr, ModuleInstance(), nullptr);
    if (m_tooltip) {
        TOOLINFOW tool = WindowTool(window, L"");
        ::SendMessageW(m_tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        ::SendMessageW(m_tooltip, TTM_SETDELAYTIME, TTDT_AUTOMATIC, 500);
        ::SendMessageW(m_tooltip, TTM_ACTIVATE, FALSE, 0);
    }
}

void CTabStripUi::Paint(HDC dc, const PageList& pages) {
    if (!m_font) {
        LOGFONTW lf{};
        HFONT base = reinterpret_cast<HFONT>(::SendMessageW(m_window, WM_GETFONT, 0, 0));
        ::GetObjectW(base ? static_cast<HGDIOBJ>(base) : ::GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
        lf.lfHeight = -12;
        m_font.reset(::CreateFontIndirectW(&lf));
    }
    SelectedObject font(dc, m_font.get());
    ::SetTextColor(dc, RGB(0x1F, 0x3A, 0x5C));
    PaintTabs(dc, m_tabImages.get(), m_closeImages.get(), pages.Captions(), pages.Count(), pages.Active(),
              m_hovered, m_closeState);
}

void CTabStripUi::MouseMoved(POINT pt, bool pressed, const PageList& pages) {
    if (!m_tracking) {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, m_window, 0};
        m_tracking = ::TrackMouseEvent(&track) != FALSE;
    }
    const int tab = TabHitTest(pt, pages.Count());
    int close = -1;
    if (tab >= 0 && InTabCloseBox(pt, tab)) close = pressed ? 2 : 1;
    // The tooltip shows the caption over a tab, not over its close box.
    const wchar_t* tip = close < 0 && tab >= 0 ? pages.Caption(tab).c_str() : nullptr;
    if (tab != m_hovered) {
        const int old = m_hovered;
        m_hovered = tab;
        m_closeState = close;
        InvalidateTab(old);
        InvalidateTab(tab);
        ShowTooltip(tip);
    } else if (close != m_closeState) {
        m_closeState = close;
        InvalidateTab(tab);
        ShowTooltip(tip);
    }
}

void CTabStripUi::MouseLeft() {
    m_tracking = false;
    ClearHover();
}

void CTabStripUi::PressClose(int tab) {
    m_hovered = tab;
    m_closeState = 2;
    InvalidateTab(tab);
}

void CTabStripUi::ResetHover() {
    m_hovered = -1;
    m_closeState = -1;
    ShowTooltip(nullptr);
}

void CTabStripUi::ClearHover() {
    const int old = m_hovered;
    ResetHover();
    InvalidateTab(old);
}

void CTabStripUi::InvalidateTab(int index) const {
    if (index < 0) return;
    const RECT r = TabRect(index);
    ::InvalidateRect(m_window, &r, TRUE);
}

void CTabStripUi::InvalidateStrip(int count) const {
    const RECT r = TabStripRect(std::max(count, 1));
    ::InvalidateRect(m_window, &r, TRUE);
}

void CTabStripUi::RelayEvent(MSG* msg) const {
    if (m_tooltip && msg->message >= WM_MOUSEFIRST && msg->message <= WM_MOUSELAST)
        ::SendMessageW(m_tooltip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg));
}

void CTabStripUi::ShowTooltip(const wchar_t* caption) {
    if (!m_tooltip) return;
    if (!caption) {
        if (m_tooltipShown) ::SendMessageW(m_tooltip, TTM_ACTIVATE, FALSE, 0);
        m_tooltipShown = false;
        return;
    }
    TOOLINFOW tool = WindowTool(m_window, caption);
    ::SendMessageW(m_tooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    ::SendMessageW(m_tooltip, TTM_ACTIVATE, TRUE, 0);
    m_tooltipShown = true;
}

}  // namespace kvr
