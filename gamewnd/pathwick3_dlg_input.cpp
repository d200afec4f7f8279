// CPathwick3Dlg, continued: the tab strip (painting, mouse, tooltip), the
// sizing rules, the caption controls, the menus and the pre-translation.
#include "gamewnd/pathwick3_dlg.h"

#include <algorithm>
#include "base/messages.h"
#include "base/module_path.h"
#include "base/process.h"
#include "browser/cache_clear.h"
#include "gamewnd/game_commands.h"
#include "gamewnd/tab_strip.h"
#include "login/add_acc_dlg.h"
#include "res/resource.h"
#include "ui/message_box.h"
#include "update/self_update.h"

namespace kvr {

POINT CPathwick3Dlg::ClientPoint(LPARAM lParam) const {
    return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

void CPathwick3Dlg::InvalidateTab(int index) {
    if (index < 0) return;
    const RECT r = TabRect(index);
    ::InvalidateRect(m_hWnd, &r, TRUE);
}

void CPathwick3Dlg::InvalidateStrip(int count) {
    const RECT r = TabStripRect(std::max(count, 1));
    ::InvalidateRect(m_hWnd, &r, TRUE);
}

void CPathwick3Dlg::ResetHover() {
    m_hovered = -1;
    m_closeState = -1;
    ShowTooltip(-1);
}

void CPathwick3Dlg::ShowTooltip(int tab) {
    if (!m_tooltip) return;
    if (tab < 0) {
        if (m_tooltipShown) ::SendMessageW(m_tooltip, TTM_ACTIVATE, FALSE, 0);
        m_tooltipShown = false;
        return;
    }
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = m_hWnd;
    tool.uId = reinterpret_cast<UINT_PTR>(m_hWnd);
    tool.lpszText = const_cast<wchar_t*>(m_pages.Caption(tab).c_str());
    ::SendMessageW(m_tooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    ::SendMessageW(m_tooltip, TTM_ACTIVATE, TRUE, 0);
    m_tooltipShown = true;
}

// ---- Painting --------------------------------------------------------------

LRESULT CPathwick3Dlg::OnEraseBkgnd(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
    HDC dc = reinterpret_cast<HDC>(wParam);
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    if (!Background() || client.right <= 0 || client.bottom <= 0) {
        handled = FALSE;
        return 0;
    }
    HDC mem = ::CreateCompatibleDC(dc);
    HBITMAP bmp = ::CreateCompatibleBitmap(dc, client.right, client.bottom);
    HGDIOBJ oldBmp = ::SelectObject(mem, bmp);
    PaintSkin(mem);
    if (!m_tabFont) {
        LOGFONTW lf{};
        HFONT base = reinterpret_cast<HFONT>(::SendMessageW(m_hWnd, WM_GETFONT, 0, 0));
        ::GetObjectW(base ? static_cast<HGDIOBJ>(base) : ::GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
        lf.lfHeight = -12;
        m_tabFont = ::CreateFontIndirectW(&lf);
    }
    HGDIOBJ oldFont = ::SelectObject(mem, m_tabFont);
    ::SetTextColor(mem, RGB(0x1F, 0x3A, 0x5C));
    PaintTabs(mem, m_tabImages, m_closeImages, m_pages.Captions(), m_pages.Count(), m_pages.Active(),
              m_hovered, m_closeState);
    ::SelectObject(mem, oldFont);
    ::BitBlt(dc, 0, 0, client.right, client.bottom, mem, 0, 0, SRCCOPY);
    ::SelectObject(mem, oldBmp);
    ::DeleteObject(bmp);
    ::DeleteDC(mem);
    return 1;
}

// ---- Mouse on the tab strip ------------------------------------------------

LRESULT CPathwick3Dlg::OnNcHitTest(UINT, WPARAM, LPARAM lParam, BOOL& handled) {
    // The strip lies in the caption band: there the mouse belongs to the tabs,
    // not to window dragging.
    POINT pt = ClientPoint(lParam);
    ::ScreenToClient(m_hWnd, &pt);
    if (TabHitTest(pt, m_pages.Count()) >= 0) return HTCLIENT;
    handled = FALSE;
    return 0;
}

LRESULT CPathwick3Dlg::OnMouseMove(UINT, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    handled = FALSE;
    if (!m_tracking) {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, m_hWnd, 0};
        m_tracking = ::TrackMouseEvent(&track) != FALSE;
    }
    const POINT pt = ClientPoint(lParam);
    const int tab = TabHitTest(pt, m_pages.Count());
    int close = -1;
    if (tab >= 0 && InTabCloseBox(pt, tab)) close = (wParam & MK_LBUTTON) ? 2 : 1;
    if (tab != m_hovered) {
        const int old = m_hovered;
        m_hovered = tab;
        m_closeState = close;
        InvalidateTab(old);
        InvalidateTab(tab);
        ShowTooltip(close < 0 ? tab : -1);
    } else if (close != m_closeState) {
        m_closeState = close;
        InvalidateTab(tab);
        ShowTooltip(close < 0 ? tab : -1);
    }
    return 0;
}

LRESULT CPathwick3Dlg::OnMouseLeave(UINT, WPARAM, LPARAM, BOOL&) {
    m_tracking = false;
    const int old = m_hovered;
    ResetHover();
    InvalidateTab(old);
    return 0;
}

LRESULT CPathwick3Dlg::OnLButtonDown(UINT, WPARAM, LPARAM lParam, BOOL& handled) {
    const POINT pt = ClientPoint(lParam);
    const int tab = TabHitTest(pt, m_pages.Count());
    if (tab < 0) {
        handled = FALSE;
        return 0;
    }
    if (tab != m_pages.Active()) {
        const int old = m_pages.Active();
        m_pages.SetActive(tab);
        ShowPage(m_pages.ActiveWindow());
        InvalidateTab(old);
        InvalidateTab(tab);
    } else if (HallVisible()) {
        ShowPage(m_pages.ActiveWindow());
    }
    if (InTabCloseBox(pt, tab)) {
        m_hovered = tab;
        m_closeState = 2;
        InvalidateTab(tab);
    }
    return 0;
}

LRESULT CPathwick3Dlg::OnLButtonUp(UINT, WPARAM, LPARAM lParam, BOOL& handled) {
    const POINT pt = ClientPoint(lParam);
    const int tab = TabHitTest(pt, m_pages.Count());
    if (tab < 0 || !InTabCloseBox(pt, tab)) {
        handled = FALSE;
        return 0;
    }
    ExitAccount(tab);
    return 0;
}

LRESULT CPathwick3Dlg::OnMButtonUp(UINT, WPARAM, LPARAM lParam, BOOL& handled) {
    const int tab = TabHitTest(ClientPoint(lParam), m_pages.Count());
    if (tab < 0) {
        handled = FALSE;
        return 0;
    }
    ExitAccount(tab);
    return 0;
}

LRESULT CPathwick3Dlg::OnLButtonDblClk(UINT, WPARAM, LPARAM lParam, BOOL& handled) {
    // Inside the strip a double click is two clicks, never a maximise.
    if (TabHitTest(ClientPoint(lParam), m_pages.Count()) < 0) handled = FALSE;
    return 0;
}

// ---- Size ------------------------------------------------------------------

void CPathwick3Dlg::PlaceCaptionControls(int width) {
    for (const ControlPlace& place : CaptionControlPlaces(width)) {
        HWND control = GetDlgItem(place.id);
        if (!control) continue;
        ::SetWindowPos(control, nullptr, place.rect.left, place.rect.top, place.rect.right - place.rect.left,
                       place.rect.bottom - place.rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
        ::InvalidateRect(control, nullptr, TRUE);
    }
}

LRESULT CPathwick3Dlg::OnSize(UINT msg, WPARAM wParam, LPARAM lParam, BOOL&) {
    RECT client{0, 0, LOWORD(lParam), HIWORD(lParam)};
    const RECT area = PageArea(client);
    auto place = [&](HWND w) {
        ::SetWindowPos(w, nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                       SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
    };
    if (HallVisible())
        place(m_pages.Hall());
    else if (wParam != SIZE_MINIMIZED && m_pages.ActiveWindow())
        place(m_pages.ActiveWindow());

    LRESULT result = 0;
    if (!CDlgEx::ProcessWindowMessage(m_hWnd, msg, wParam, lParam, result))
        result = DefWindowProc(msg, wParam, lParam);

    const int width = LOWORD(lParam);
    if (wParam != SIZE_MINIMIZED && width != m_lastWidth) {
        const bool shrank = m_lastWidth >= 0 && width < m_lastWidth;
        PlaceCaptionControls(width);
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
        if (shrank && m_os.dwMajorVersion < 6) {
            // Earlier systems leave the old top-right corner on the desktop.
            RECT window{};
            ::GetWindowRect(m_hWnd, &window);
            RECT corner{window.right, window.top, window.right + 4, window.top + 4};
            ::RedrawWindow(::GetDesktopWindow(), &corner, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        }
        m_lastWidth = width;
    }
    return result;
}

LRESULT CPathwick3Dlg::OnWindowPosChanging(UINT, WPARAM, LPARAM lParam, BOOL& handled) {
    handled = FALSE;
    const int count = m_pages.Count();
    if (count < 1) return 0;
    auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
    if (pos->flags & SWP_NOSIZE) return 0;
    const SIZE minimum = MinimumWindowSize(count);
    pos->cx = std::max(pos->cx, static_cast<int>(minimum.cx));
    pos->cy = std::max(pos->cy, static_cast<int>(minimum.cy));
    return 0;
}

// ---- Caption controls and menus ---------------------------------------------

bool CPathwick3Dlg::FromPendingProcess(HWND frame) const {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(frame, &pid);
    // The handles are held open, so their ids cannot pass to another process.
    return pid != 0 && ((m_pendingChild && ::GetProcessId(m_pendingChild) == pid) ||
                        (m_pendingHall && ::GetProcessId(m_pendingHall) == pid));
}

LRESULT CPathwick3Dlg::OnHallButton(WORD, WORD, HWND, BOOL&) {
    HWND hall = m_pages.Hall();
    if (hall && ::IsWindow(hall)) {
        if (::IsWindowVisible(hall)) {
            ShowPage(m_pages.ActiveWindow());
        } else {
            RECT client{};
            ::GetClientRect(m_hWnd, &client);
            const RECT area = PageArea(client);
            ::SetWindowPos(hall, nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                           SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
            ::ShowWindow(hall, SW_SHOW);
            ShowPage(nullptr);
        }
        return 0;
    }
    // One hall process at a time: a second click while it starts does nothing.
    if (m_pendingHall && ::WaitForSingleObject(m_pendingHall, 0) == WAIT_TIMEOUT) return 0;
    if (m_pendingHall) ::CloseHandle(m_pendingHall);
    StartProcess(nullptr, HallCommandLine(m_pageProgram, m_hWnd), 0, &m_pendingHall);
    ShowPage(nullptr);
    return 0;
}

LRESULT CPathwick3Dlg::OnOtherAccount(WORD, WORD, HWND, BOOL&) {
    if (!m_addAccount) m_addAccount = std::make_unique<CAddAccDlg>();
    if (!m_addAccount->IsWindow() && !m_addAccount->Create(m_hWnd)) return 0;
    RECT link{}, panel{};
    ::GetWindowRect(m_otherAccount, &link);
    ::GetWindowRect(m_addAccount->m_hWnd, &panel);
    ::SetWindowPos(m_addAccount->m_hWnd, nullptr, link.right - (panel.right - panel.left), link.bottom, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER);
    ::ShowWindow(m_addAccount->m_hWnd, SW_SHOW);
    return 0;
}

LRESULT CPathwick3Dlg::OnMenuButton(WORD, WORD, HWND, BOOL&) {
    ShowMenu(false);
    return 0;
}

LRESULT CPathwick3Dlg::OnTray(UINT, WPARAM, LPARAM lParam, BOOL&) {
    if (lParam == WM_LBUTTONUP) HideOrRestore();
    if (lParam == WM_RBUTTONUP) ::PostMessageW(m_hWnd, WM_KVR_TRAY_MENU, 0, 0);
    return 0;
}

LRESULT CPathwick3Dlg::OnTrayMenu(UINT, WPARAM, LPARAM, BOOL&) {
    ShowMenu(true);
    return 0;
}

void CPathwick3Dlg::ShowMenu(bool tray) {
    HMENU menu = BuildGameMenu(tray, CurrentHotkeys().boss);
    if (!menu) return;
    UINT command = 0;
    if (tray) {
        ::SetForegroundWindow(m_hWnd);
        POINT cursor{};
        ::GetCursorPos(&cursor);
        command = static_cast<UINT>(::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_BOTTOMALIGN | TPM_RIGHTALIGN,
                                                     cursor.x, cursor.y, 0, m_hWnd, nullptr));
    } else {
        RECT button{};
        ::GetWindowRect(m_menu, &button);
        command = static_cast<UINT>(
            ::TrackPopupMenu(menu, TPM_RETURNCMD, button.left, button.bottom + 2, 0, m_hWnd, nullptr));
    }
    ::DestroyMenu(menu);
    RunMenuCommand(command);
}

void CPathwick3Dlg::RunMenuCommand(UINT command) {
    switch (command) {
    case kCmdRefresh:
        ::PostMessageW(m_hWnd, WM_KEYDOWN, VK_F5, kSelfPostedMarker);
        break;
    case kCmdHideRestore:
        HideOrRestore();
        break;
    case kCmdClearCache:
        ClearCache();  // runs on its own thread; the message does not wait for it
        ShowMessageBox(kMbOk, kMessageTitle, L"缓存清除完毕！", m_hWnd);
        break;
    case kCmdUpdate:
        // Not on this thread: it owns the keyboard hook, which must not wait
        // for a slow server (the system drops a hook that keeps it waiting).
        if (!m_updateChecking) m_updateChecking = CheckUpdateInBackground(m_hWnd, kMsgUpdateChecked);
        break;
    case kCmdSettings:
        RunSettingsDialog();
        break;
    case kCmdExit:
        ExitAll();
        break;
    default:  // the version line and a dismissed menu do nothing
        break;
    }
}

LRESULT CPathwick3Dlg::OnUpdateChecked(UINT, WPARAM wParam, LPARAM, BOOL&) {
    m_updateChecking = false;
    switch (static_cast<UpdateCheck>(wParam)) {
    case UpdateCheck::Newer:
        StartProcess(nullptr, L"\"" + OwnProgramPath() + L"\" /update", 0);
        ExitAll();
        break;
    case UpdateCheck::Current:
        ShowMessageBox(kMbOk, kMessageTitle, L"已经是最新版本，无需进行更新。", m_hWnd);
        break;
    default:  // a failed check is no news of the newest version
        ShowMessageBox(kMbOk, kMessageTitle, L"检查更新失败，请稍后再试。", m_hWnd);
        break;
    }
    return 0;
}

// ---- Pre-translation -------------------------------------------------------

BOOL CPathwick3Dlg::PreTranslateMessage(MSG* msg) {
    const UINT m = msg->message;
    if ((m == WM_KEYDOWN || m == WM_SYSKEYDOWN) && msg->lParam != kSelfPostedMarker &&
        HotKeyMatches(CurrentHotkeys().switchKey, static_cast<unsigned>(msg->wParam), CurrentModifierSet())) {
        SwitchTab();
        return TRUE;
    }
    if (m == WM_KEYDOWN && (msg->wParam == VK_ESCAPE || msg->wParam == VK_SPACE)) return TRUE;
    const bool ctrlD = m == WM_CHAR && msg->wParam == 4 &&
                       static_cast<unsigned long>(msg->lParam) - 0x200000ul < 0x10000ul;
    const bool f5 = m == WM_KEYDOWN && msg->wParam == VK_F5 && m_pages.Count() > 0;
    if (ctrlD || f5) {
        HWND active = m_pages.ActiveWindow();
        HWND target = active && ::IsWindowVisible(active) ? active : HallVisible() ? m_pages.Hall() : nullptr;
        if (target) ::PostMessageW(target, m, msg->wParam, msg->lParam);
        return TRUE;
    }
    if (m_tooltip && m >= WM_MOUSEFIRST && m <= WM_MOUSELAST)
        ::SendMessageW(m_tooltip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg));
    return CDlgEx::PreTranslateMessage(msg);
}

}  // namespace kvr
