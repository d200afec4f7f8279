#include "gamewnd/pathwick3_dlg.h"

#include <algorithm>
#include "base/http_fetch.h"
#include "base/module_path.h"
#include "gamewnd/game_commands.h"
#include "gamewnd/page_text.h"
#include "gamewnd/tab_strip.h"
#include "login/add_acc_dlg.h"
#include "ui/message_box.h"

namespace kvr {

namespace {
DWORD SystemTick() { return ::GetTickCount(); }
}  // namespace

CPathwick3Dlg::CPathwick3Dlg() : CDlgEx(IDD_GAME_WINDOW), m_pageProgram(OwnProgramPath()), m_tick(SystemTick) {}

CPathwick3Dlg::~CPathwick3Dlg() = default;

HWND CPathwick3Dlg::AddAccountWindow() const { return m_addAccount ? m_addAccount->m_hWnd : nullptr; }

// ---- Initialisation --------------------------------------------------------

BOOL CPathwick3Dlg::OnInitDialog() {
    // The first page process, started before this window, learns where to
    // register now; its frame registers only once this thread reads its
    // messages again, after the set-up below.
    const bool firstPageStarted = static_cast<bool>(m_firstPage.process);
    if (firstPageStarted)
        AdoptFirstPage();
    else
        StartPageProcess();
    m_icon = static_cast<HICON>(::LoadImageW(ModuleInstance(), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                             0, 0, LR_DEFAULTSIZE | LR_SHARED));
    m_smallIcon = static_cast<HICON>(::LoadImageW(ModuleInstance(), MAKEINTRESOURCEW(IDR_MAINFRAME),
                                                  IMAGE_ICON, 16, 16, LR_SHARED));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon));

    InstallKeyboardHook(m_hWnd, kMsgHotkey);
    AllowTaskbarCreated(m_hWnd);

    m_os.dwOSVersionInfoSize = sizeof(m_os);
#if defined(_MSC_VER)
#pragma warning(suppress : 4996)
#endif
    ::GetVersionExW(&m_os);

    SetUpSkin();
    ReloadHotkeys();
    PostToPages(WM_KVR_RELOAD_KEYS);
    // That page's login window normally shows already, and keeps the focus.
    if (firstPageStarted) ::ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
    return TRUE;
}

void CPathwick3Dlg::SetUpSkin() {
    SetTitle(kGameWindowTitle);
    SetCaptionHeight(30);
    SetBorderWidth(4);
    SetTitleWeight(600);
    SetResizable(true);
    // Practically invisible until the first page registers, and so is the
    // skin: its images are decoded then (LoadSkinImages), not while the first
    // page process loads beside this one.
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 1, 1, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    m_hide.SubclassDlgItem(m_hWnd, IDC_GW_HIDE);
    m_sound.SubclassDlgItem(m_hWnd, IDC_GW_SOUND);
    m_menu.SubclassDlgItem(m_hWnd, IDC_GW_MENU);
    m_hall.SubclassDlgItem(m_hWnd, IDC_GW_HALL);
    m_otherAccount.SubclassDlgItem(m_hWnd, IDC_GW_OTHER_ACCOUNT);
    m_otherAccount.SetTextColor(RGB(255, 255, 255));
    m_otherAccount.SetHandCursor(true);

    m_strip.Create(m_hWnd);
}

void CPathwick3Dlg::LoadSkinImages() {
    if (m_skinLoaded) return;
    m_skinLoaded = true;
    SetSkin(IDB_MAIN_BG, false, true, IDB_MINIMIZE, IDB_MAXIMIZE, IDB_RESTORE, IDB_CLOSE);
    m_hide.SetImage(static_cast<UINT>(IDB_TOOL_HIDE), false);
    m_menu.SetImage(static_cast<UINT>(IDB_TOOL_MENU), false);
    m_otherAccount.SetPicture(static_cast<UINT>(IDB_LINK_PICTURE));
    m_strip.LoadImages();
    // The sound and hall buttons show their state's image.
    m_mutedShown = -1;
    m_hallShown = -1;
    UpdateToolImages();
}

// ---- Pages and tabs --------------------------------------------------------

bool CPathwick3Dlg::HallVisible() const {
    HWND hall = m_pages.Hall();
    return hall && ::IsWindow(hall) && ::IsWindowVisible(hall);
}

void CPathwick3Dlg::PlaceInPageArea(HWND window, const RECT& client) {
    const RECT area = PageArea(client);
    ::SetWindowPos(window, nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
}

void CPathwick3Dlg::ShowPage(HWND page, bool activate) {
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    for (HWND w : m_pages.Windows()) {
        if (page && w == page) {
            PlaceInPageArea(w, client);
            ::ShowWindow(w, SW_SHOW);
            if (activate) ::SetForegroundWindow(w);
            if (HallVisible()) ::ShowWindow(m_pages.Hall(), SW_HIDE);
        } else {
            ::ShowWindow(w, SW_HIDE);
        }
    }
    UpdateToolImages();
}

void CPathwick3Dlg::SwitchTab() {
    const int count = m_pages.Count();
    if (count < 1 || !::IsWindowVisible(m_hWnd) || ::IsIconic(m_hWnd)) return;
    if (count >= 2 && !HallVisible()) {
        const int old = m_pages.Active();
        m_pages.SetActive((old + 1) % count);
        m_strip.InvalidateTab(old);
        m_strip.InvalidateTab(m_pages.Active());
    }
    ShowPage(m_pages.ActiveWindow());
}

void CPathwick3Dlg::ExitAccount(int index) {
    if (!m_pages.Valid(index)) return;
    if (m_pages.Count() <= 1) {
        m_strip.ClearHover();
        CancelOperation();
        return;
    }
    HWND page = m_pages.Window(index);
    const std::wstring question = L"确定要退出账号：" + m_pages.Caption(index) + L" ?";
    const int answer = ShowMessageBox(kMbYesNo, kMessageTitle, question.c_str(), m_hWnd);
    // The list may have changed while the question was open.
    index = m_pages.IndexOf(page);
    if (answer != IDYES || index < 0) {
        m_strip.ClearHover();
        return;
    }
    ClosePage(index, true);
    m_strip.ResetHover();
}

// ---- The tab strip under the mouse -----------------------------------------

BOOL CPathwick3Dlg::OnEraseBkgnd(HDC dc, BOOL& handled) {
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    if (!Background() || client.right <= 0 || client.bottom <= 0) {
        handled = FALSE;
        return 0;
    }
    OwnedMemoryDc mem(::CreateCompatibleDC(dc));
    OwnedBitmap bmp(::CreateCompatibleBitmap(dc, client.right, client.bottom));
    SelectedObject selected(mem.get(), bmp.get());
    PaintSkin(mem.get());
    m_strip.Paint(mem.get(), m_pages);
    ::BitBlt(dc, 0, 0, client.right, client.bottom, mem.get(), 0, 0, SRCCOPY);
    return 1;
}

UINT CPathwick3Dlg::OnNcHitTest(POINT screen, BOOL& handled) {
    // The strip lies in the caption band: there the mouse belongs to the tabs,
    // not to window dragging.
    POINT pt = screen;
    ::ScreenToClient(m_hWnd, &pt);
    if (TabHitTest(pt, m_pages.Count()) >= 0) return HTCLIENT;
    handled = FALSE;
    return 0;
}

void CPathwick3Dlg::OnMouseMove(UINT keys, POINT pt, BOOL& handled) {
    handled = FALSE;
    m_strip.MouseMoved(pt, (keys & MK_LBUTTON) != 0, m_pages);
}

void CPathwick3Dlg::OnMouseLeave() { m_strip.MouseLeft(); }

void CPathwick3Dlg::OnLButtonDown(UINT, POINT pt, BOOL& handled) {
    const int tab = TabHitTest(pt, m_pages.Count());
    if (tab < 0) {
        handled = FALSE;
        return;
    }
    if (tab != m_pages.Active()) {
        const int old = m_pages.Active();
        m_pages.SetActive(tab);
        ShowPage(m_pages.ActiveWindow());
        m_strip.InvalidateTab(old);
        m_strip.InvalidateTab(tab);
    } else if (HallVisible()) {
        ShowPage(m_pages.ActiveWindow());
    }
    if (InTabCloseBox(pt, tab)) m_strip.PressClose(tab);
}

void CPathwick3Dlg::OnLButtonUp(UINT, POINT pt, BOOL& handled) {
    const int tab = TabHitTest(pt, m_pages.Count());
    if (tab < 0 || !InTabCloseBox(pt, tab)) {
        handled = FALSE;
        return;
    }
    ExitAccount(tab);
}

void CPathwick3Dlg::OnMButtonUp(UINT, POINT pt, BOOL& handled) {
    const int tab = TabHitTest(pt, m_pages.Count());
    if (tab < 0) {
        handled = FALSE;
        return;
    }
    ExitAccount(tab);
}

void CPathwick3Dlg::OnLButtonDblClk(UINT, POINT pt, BOOL& handled) {
    // Inside the strip a double click is two clicks, never a maximise.
    if (TabHitTest(pt, m_pages.Count()) < 0) handled = FALSE;
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

LRESULT CPathwick3Dlg::OnSize(UINT type, SIZE size) {
    const RECT client{0, 0, size.cx, size.cy};
    if (HallVisible())
        PlaceInPageArea(m_pages.Hall(), client);
    else if (type != SIZE_MINIMIZED && m_pages.ActiveWindow())
        PlaceInPageArea(m_pages.ActiveWindow(), client);

    // The skin lays out its caption buttons first.
    const WPARAM wParam = type;
    const LPARAM lParam = MAKELPARAM(size.cx, size.cy);
    LRESULT result = 0;
    if (!CDlgEx::ProcessWindowMessage(m_hWnd, WM_SIZE, wParam, lParam, result))
        result = DefWindowProc(WM_SIZE, wParam, lParam);

    const int width = size.cx;
    if (type != SIZE_MINIMIZED && width != m_lastWidth) {
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

void CPathwick3Dlg::OnWindowPosChanging(WINDOWPOS* pos, BOOL& handled) {
    handled = FALSE;
    const int count = m_pages.Count();
    if (count < 1 || (pos->flags & SWP_NOSIZE)) return;
    const SIZE minimum = MinimumWindowSize(count);
    pos->cx = std::max(pos->cx, static_cast<int>(minimum.cx));
    pos->cy = std::max(pos->cy, static_cast<int>(minimum.cy));
}

// ---- Close and exit --------------------------------------------------------

void CPathwick3Dlg::HandleClose(LPARAM param) {
    const bool pages = m_pages.Count() > 0;
    if (param == kSelfPostedMarker) {
        if (!pages) {
            ExitAll();
            return;
        }
        if (m_pendingChild) {  // a later login was cancelled: the pages stay
            m_pendingChild.Reset();
            return;
        }
    }
    if (pages)
        CancelOperation();
    else
        ExitAll();
}

void CPathwick3Dlg::CancelOperation() {
    BringToFront();
    if (ShowMessageBox(kMbYesNo, kMessageTitle, L"窗口即将关闭，确定要退出游戏？", m_hWnd) == IDYES) ExitAll();
}

void CPathwick3Dlg::ExitAll() {
    if (m_exiting) return;
    m_exiting = true;
    if (m_pendingChild) {
        ::TerminateProcess(m_pendingChild.Process(), 0);
        m_pendingChild.Reset();
    }
    RemoveKeyboardHook();
    if (m_timerOn) ::KillTimer(m_hWnd, kTimerHall);
    for (int i = 0; i < m_pages.Count(); ++i) {
        ReportRequest(PlayTimeUrl(m_pages.Caption(i), m_pages.StartTick(i), Now()).c_str());
        HWND page = m_pages.Window(i);
        if (!::IsWindow(page)) continue;
        ::ShowWindow(page, SW_HIDE);
        ::SetParent(page, nullptr);
        ::PostMessageW(page, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
    if (HWND hall = m_pages.Hall(); hall && ::IsWindow(hall)) {
        // Closed like the pages: left as a child, it would be destroyed with
        // this window behind its process's back and the process would stay.
        ::ShowWindow(hall, SW_HIDE);
        ::SetParent(hall, nullptr);
        ::PostMessageW(hall, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
    RemoveTray();
    ::PostQuitMessage(0);
}

void CPathwick3Dlg::OnDestroy(BOOL& handled) {
    RemoveKeyboardHookOf(m_hWnd);
    RemoveTray();
    if (m_addAccount && m_addAccount->IsWindow()) ::DestroyWindow(m_addAccount->m_hWnd);
    handled = FALSE;
}

LRESULT CPathwick3Dlg::OnSysCommand(UINT command, LPARAM param, BOOL& handled) {
    switch (command & 0xFFF0) {
    case SC_CLOSE:
        HandleClose(param);
        return 0;
    case SC_RESTORE:
        if (m_pages.Count() == 0) {
            ::ShowWindow(m_hWnd, SW_RESTORE);
            return 0;
        }
        {
            const LRESULT r = DefWindowProc(WM_SYSCOMMAND, command, param);
            InvalidateBrowser();
            return r;
        }
    default:
        handled = FALSE;
        return 0;
    }
}

void CPathwick3Dlg::InvalidateBrowser() {
    // The embedded browser and the Flash player inside it do not repaint by
    // themselves after a restore.
    static const wchar_t* const kChain[] = {L"AfxFrameOrView90su", L"Shell Embedding", L"Shell DocObject View",
                                            L"Internet Explorer_Server", L"MacromediaFlashPlayerActiveX"};
    HWND w = m_pages.ActiveWindow();
    for (size_t i = 0; w && i < ARRAYSIZE(kChain); ++i) {
        w = ::FindWindowExW(w, nullptr, kChain[i], nullptr);
        if (w && i >= 3) ::InvalidateRect(w, nullptr, TRUE);
    }
}

// ---- Hide/restore ----------------------------------------------------------

// The keyboard hook's decisions, carried out here rather than in its
// callback: hiding and showing a window with children in other processes can
// wait on a busy page.
void CPathwick3Dlg::OnHotkey(HookAction action) {
    if (m_pages.Count() < 1) return;
    if (action == HookAction::BossKey) HideOrRestore();
    if (action == HookAction::SoundKey) ToggleMute();
}

void CPathwick3Dlg::HideOrRestore() {
    if (::IsWindowVisible(m_hWnd)) {
        ::ShowWindow(m_hWnd, SW_HIDE);
        if (m_addAccount && m_addAccount->IsWindow()) ::ShowWindow(m_addAccount->m_hWnd, SW_HIDE);
        EndOpenSettingsDialog();
        return;
    }
    ::ShowWindow(m_hWnd, SW_RESTORE);
    BringToFront();
}

void CPathwick3Dlg::BringToFront() {
    const DWORD self = ::GetCurrentThreadId();
    const DWORD foreground = ::GetWindowThreadProcessId(::GetForegroundWindow(), nullptr);
    const bool attach = foreground && foreground != self && ::AttachThreadInput(self, foreground, TRUE);
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ::SetWindowPos(m_hWnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ::SetForegroundWindow(m_hWnd);
    if (attach) ::AttachThreadInput(self, foreground, FALSE);
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
    m_strip.RelayEvent(msg);
    return CDlgEx::PreTranslateMessage(msg);
}

}  // namespace kvr
