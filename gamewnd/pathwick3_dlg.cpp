#include "gamewnd/pathwick3_dlg.h"

#include "base/http_fetch.h"
#include "base/module_path.h"
#include "base/process.h"
#include "browser/cache_clear.h"
#include "gamewnd/game_commands.h"
#include "gamewnd/page_text.h"
#include "gamewnd/tab_strip.h"
#include "login/add_acc_dlg.h"
#include "res/resource.h"
#include "settings/setting_dlg.h"
#include "ui/image.h"
#include "ui/message_box.h"
#include "update/self_update.h"

namespace kvr {

namespace {

constexpr UINT_PTR kTimerPages = 3;
constexpr UINT kTimerPeriod = 400;
CPathwick3Dlg* g_gameWindow = nullptr;

DWORD SystemTick() { return ::GetTickCount(); }

HIMAGELIST LoadStrip(UINT id, int frames) {
    HBITMAP bmp = LoadSkinImage(id);
    if (!bmp) return nullptr;
    HIMAGELIST list = MaskedImageList(bmp, frames);
    ::DeleteObject(bmp);
    return list;
}

}  // namespace

CPathwick3Dlg::CPathwick3Dlg() : CDlgEx(IDD_GAME_WINDOW), m_pageProgram(OwnProgramPath()), m_tick(SystemTick) {
    g_gameWindow = this;
}

CPathwick3Dlg::~CPathwick3Dlg() {
    if (g_gameWindow == this) {
        RemoveKeyboardHook();
        g_gameWindow = nullptr;
    }
    if (m_pendingChild) ::CloseHandle(m_pendingChild);
    if (m_pendingHall) ::CloseHandle(m_pendingHall);
    if (m_tabImages) ImageList_Destroy(m_tabImages);
    if (m_closeImages) ImageList_Destroy(m_closeImages);
    if (m_tabFont) ::DeleteObject(m_tabFont);
}

CPathwick3Dlg* CPathwick3Dlg::Instance() { return g_gameWindow; }

HWND CPathwick3Dlg::AddAccountWindow() const { return m_addAccount ? m_addAccount->m_hWnd : nullptr; }

// ---- Initialisation --------------------------------------------------------

BOOL CPathwick3Dlg::OnInitDialog() {
    m_icon = static_cast<HICON>(::LoadImageW(ModuleInstance(), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                             0, 0, LR_DEFAULTSIZE | LR_SHARED));
    m_smallIcon = static_cast<HICON>(::LoadImageW(ModuleInstance(), MAKEINTRESOURCEW(IDR_MAINFRAME),
                                                  IMAGE_ICON, 16, 16, LR_SHARED));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon));

    InstallKeyboardHook(this);

    m_os.dwOSVersionInfoSize = sizeof(m_os);
#if defined(_MSC_VER)
#pragma warning(suppress : 4996)
#endif
    ::GetVersionExW(&m_os);

    SetUpSkin();
    StartPageProcess();
    ReloadHotkeys();
    for (HWND page : m_pages.Windows()) ::PostMessageW(page, WM_KVR_RELOAD_KEYS, 0, 0);
    if (m_pages.Hall()) ::PostMessageW(m_pages.Hall(), WM_KVR_RELOAD_KEYS, 0, 0);
    return TRUE;
}

void CPathwick3Dlg::SetUpSkin() {
    SetTitle(kGameWindowTitle);
    SetCaptionHeight(30);
    SetBorderWidth(4);
    SetResizable(true);
    SetSkin(IDB_MAIN_BG, false, true, IDB_MINIMIZE, IDB_MAXIMIZE, IDB_RESTORE, IDB_CLOSE);
    // Practically invisible until the first page registers.
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 1, 1, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    m_hide.SubclassDlgItem(m_hWnd, 1001);
    m_hide.SetImage(static_cast<UINT>(IDB_TOOL_HIDE), false);
    m_sound.SubclassDlgItem(m_hWnd, 1002);
    m_sound.SetImage(static_cast<UINT>(IDB_TOOL_SOUND), false);
    m_menu.SubclassDlgItem(m_hWnd, 1003);
    m_menu.SetImage(static_cast<UINT>(IDB_TOOL_MENU), false);
    m_hall.SubclassDlgItem(m_hWnd, 1004);
    m_hall.SetImage(static_cast<UINT>(IDB_TOOL_HALL), false);
    m_otherAccount.SubclassDlgItem(m_hWnd, 1005);
    m_otherAccount.SetTextColor(RGB(255, 255, 255));
    m_otherAccount.SetHandCursor(true);
    m_otherAccount.SetPicture(static_cast<UINT>(IDB_LINK_PICTURE));

    m_tabImages = LoadStrip(IDB_TABS, 3);
    m_closeImages = LoadStrip(IDB_TAB_CLOSE, 3);

    m_tooltip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                  0, 0, 0, 0, m_hWnd, nullptr, ModuleInstance(), nullptr);
    if (m_tooltip) {
        TOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.uFlags = TTF_IDISHWND;
        tool.hwnd = m_hWnd;
        tool.uId = reinterpret_cast<UINT_PTR>(m_hWnd);
        tool.lpszText = const_cast<wchar_t*>(L"");
        ::SendMessageW(m_tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        ::SendMessageW(m_tooltip, TTM_SETDELAYTIME, TTDT_AUTOMATIC, 500);
        ::SendMessageW(m_tooltip, TTM_ACTIVATE, FALSE, 0);
    }
}

void CPathwick3Dlg::StartPageProcess() {
    HANDLE process = nullptr;
    const std::wstring commandLine = PageCommandLine(m_pageProgram, m_hWnd, m_pages.Count());
    if (!StartProcess(nullptr, commandLine, IDLE_PRIORITY_CLASS, &process)) return;  // the state stays as it was
    if (m_pendingChild) ::CloseHandle(m_pendingChild);
    m_pendingChild = process;
}

// ---- The page protocol -----------------------------------------------------

LRESULT CPathwick3Dlg::OnCopyData(UINT, WPARAM, LPARAM lParam, BOOL&) {
    std::wstring caption;
    if (!ReadCopyDataCaption(reinterpret_cast<const COPYDATASTRUCT*>(lParam), &caption)) return 0;
    if (!m_pages.AcceptCaption(caption, Now())) return 0;
    ReportOnWorkerThread(LoginRecordUrl(caption, m_pages.CaptionCount()));
    return 1;
}

LRESULT CPathwick3Dlg::OnFrameReady(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
    HWND frame = reinterpret_cast<HWND>(wParam);
    // Any process can post this: take only a live window that is not known yet,
    // of a process this window started and waits for, and never more pages
    // than the window holds.
    if (!::IsWindow(frame) || frame == m_hWnd || m_pages.IndexOf(frame) >= 0 || frame == m_pages.Hall() ||
        !FromPendingProcess(frame))
        return 0;
    if (!lParam && m_pages.Count() >= kMaxPages) return 0;

    if (m_pages.Count() == 0) {
        if (!IsMaximized()) ToggleMaximize();
        if (!m_trayShown) m_trayShown = AddTrayIcon(m_hWnd, m_smallIcon ? m_smallIcon : m_icon);
        ::SetTimer(m_hWnd, kTimerPages, kTimerPeriod, nullptr);
        m_timerOn = true;
    }
    if (lParam) {
        m_pages.SetHall(frame);
        if (m_pendingHall) {
            ::CloseHandle(m_pendingHall);
            m_pendingHall = nullptr;
        }
        return 0;
    }
    for (HWND page : m_pages.Windows()) ::ShowWindow(page, SW_HIDE);
    if (m_pages.Hall() && ::IsWindow(m_pages.Hall())) ::ShowWindow(m_pages.Hall(), SW_HIDE);
    m_pages.AddWindow(frame);
    if (m_pendingChild) {
        ::CloseHandle(m_pendingChild);
        m_pendingChild = nullptr;
    }
    InvalidateStrip(m_pages.Count());
    return 0;
}

LRESULT CPathwick3Dlg::OnAddAccount(UINT, WPARAM wParam, LPARAM, BOOL&) {
    if (wParam == 1) {
        if (m_pages.Count() < kMaxPages)
            StartPageProcess();
        else
            ShowMessageBox(kMbOk, kMessageTitle, L"当前窗体只支持3个游戏页", m_hWnd);
    } else {
        StartProgram(m_pageProgram.c_str(), 0);  // a new, independent game window
    }
    return 0;
}

LRESULT CPathwick3Dlg::OnHotkeysChanged(UINT, WPARAM, LPARAM, BOOL&) {
    ReloadHotkeys();
    for (HWND page : m_pages.Windows()) ::PostMessageW(page, WM_KVR_RELOAD_KEYS, 0, 0);
    if (m_pages.Hall()) ::PostMessageW(m_pages.Hall(), WM_KVR_RELOAD_KEYS, 0, 0);
    return 0;
}

LRESULT CPathwick3Dlg::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
    if (wParam != kTimerPages) {
        handled = FALSE;
        return 0;
    }
    DropDeadPages();
    SendMuteState();
    UpdateToolImages();
    // A page process that ended before registering leaves its caption
    // behind; it would misalign the next page and block that account.
    if (m_pendingChild && ::WaitForSingleObject(m_pendingChild, 0) == WAIT_OBJECT_0) {
        ::CloseHandle(m_pendingChild);
        m_pendingChild = nullptr;
        m_pages.DropUnregisteredCaptions();
    }
    return 0;
}

void CPathwick3Dlg::SendMuteState() {
    for (HWND page : m_pages.Windows()) ::PostMessageW(page, WM_KVR_MUTE, m_muted ? 1 : 0, 0);
}

void CPathwick3Dlg::UpdateToolImages() {
    const LONG muted = m_muted ? 1 : 0;
    if (muted != m_mutedShown) {
        m_mutedShown = muted;
        m_sound.SetImage(static_cast<UINT>(muted ? IDB_TOOL_MUTED : IDB_TOOL_SOUND), false);
        ::InvalidateRect(m_sound, nullptr, TRUE);
    }
    const LONG hall = HallVisible() ? 1 : 0;
    if (hall != m_hallShown) {
        m_hallShown = hall;
        m_hall.SetImage(static_cast<UINT>(hall ? IDB_TOOL_HALL_SHOWN : IDB_TOOL_HALL), false);
        ::InvalidateRect(m_hall, nullptr, TRUE);
    }
}

void CPathwick3Dlg::DropDeadPages() {
    // A page whose process died is closed like a closed tab, without asking,
    // and without taking the focus from whatever the player uses now.
    bool dropped = false;
    for (int i = m_pages.Count() - 1; i >= 0; --i)
        if (!::IsWindow(m_pages.Window(i))) {
            ClosePage(i, false);
            dropped = true;
        }
    if (dropped) ResetHover();
}

// ---- Pages and tabs --------------------------------------------------------

bool CPathwick3Dlg::HallVisible() const {
    HWND hall = m_pages.Hall();
    return hall && ::IsWindow(hall) && ::IsWindowVisible(hall);
}

void CPathwick3Dlg::ShowPage(HWND page, bool activate) {
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    const RECT area = PageArea(client);
    for (HWND w : m_pages.Windows()) {
        if (page && w == page) {
            ::SetWindowPos(w, nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                           SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
            ::ShowWindow(w, SW_SHOW);
            if (activate) ::SetForegroundWindow(w);
            if (HallVisible()) ::ShowWindow(m_pages.Hall(), SW_HIDE);
        } else {
            ::ShowWindow(w, SW_HIDE);
        }
    }
}

void CPathwick3Dlg::SwitchTab() {
    const int count = m_pages.Count();
    if (count < 1 || !::IsWindowVisible(m_hWnd) || ::IsIconic(m_hWnd)) return;
    if (count >= 2 && !HallVisible()) {
        const int old = m_pages.Active();
        m_pages.SetActive((old + 1) % count);
        InvalidateTab(old);
        InvalidateTab(m_pages.Active());
    }
    ShowPage(m_pages.ActiveWindow());
}

void CPathwick3Dlg::ExitAccount(int index) {
    if (!m_pages.Valid(index)) return;
    if (m_pages.Count() <= 1) {
        const int old = m_hovered;
        ResetHover();
        InvalidateTab(old);
        CancelOperation();
        return;
    }
    HWND page = m_pages.Window(index);
    const std::wstring question = L"确定要退出账号：" + m_pages.Caption(index) + L" ?";
    const int answer = ShowMessageBox(kMbYesNo, kMessageTitle, question.c_str(), m_hWnd);
    // The list may have changed while the question was open.
    index = m_pages.IndexOf(page);
    if (answer != IDYES || index < 0) {
        const int old = m_hovered;
        ResetHover();
        InvalidateTab(old);
        return;
    }
    ClosePage(index, true);
    ResetHover();
}

void CPathwick3Dlg::ClosePage(int index, bool byPlayer) {
    const int oldCount = m_pages.Count();
    PageList::Removed removed;
    if (!m_pages.RemoveAt(index, &removed)) return;
    ReportOnWorkerThread(PlayTimeUrl(removed.caption, removed.startTick, Now()));
    ShowPage(m_pages.ActiveWindow(), byPlayer);
    InvalidateStrip(oldCount);
    if (::IsWindow(removed.window)) {
        // Hidden before it is detached: re-parenting a visible window of
        // another process can hang both processes.
        ::ShowWindow(removed.window, SW_HIDE);
        ::SetParent(removed.window, nullptr);
        ::PostMessageW(removed.window, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
}

// ---- Close and exit --------------------------------------------------------

void CPathwick3Dlg::HandleClose(LPARAM lParam) {
    const bool pages = m_pages.Count() > 0;
    if (lParam == kSelfPostedMarker) {
        if (!pages) {
            ExitAll();
            return;
        }
        if (m_pendingChild) {  // a later login was cancelled: the pages stay
            ::CloseHandle(m_pendingChild);
            m_pendingChild = nullptr;
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
        ::TerminateProcess(m_pendingChild, 0);
        ::CloseHandle(m_pendingChild);
        m_pendingChild = nullptr;
    }
    RemoveKeyboardHook();
    if (m_timerOn) ::KillTimer(m_hWnd, kTimerPages);
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
    if (m_trayShown) RemoveTrayIcon(m_hWnd);
    m_trayShown = false;
    ::PostQuitMessage(0);
}

LRESULT CPathwick3Dlg::OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
    if (m_trayShown) RemoveTrayIcon(m_hWnd);
    m_trayShown = false;
    if (m_addAccount && m_addAccount->IsWindow()) ::DestroyWindow(m_addAccount->m_hWnd);
    handled = FALSE;
    return 0;
}

LRESULT CPathwick3Dlg::OnSysCommand(UINT msg, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    const UINT command = static_cast<UINT>(wParam & 0xFFF0);
    if (command == SC_CLOSE) {
        HandleClose(lParam);
        return 0;
    }
    if (command == SC_RESTORE) {
        if (m_pages.Count() == 0) {
            ::ShowWindow(m_hWnd, SW_RESTORE);
            return 0;
        }
        const LRESULT r = DefWindowProc(msg, wParam, lParam);
        InvalidateBrowser();
        return r;
    }
    handled = FALSE;
    return 0;
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

void CPathwick3Dlg::RunSettingsDialog() {
    if (m_settings) return;
    CSettingDlg dialog;
    m_settings = &dialog;  // hide/restore ends it while it is open
    dialog.DoModal(m_hWnd);
    m_settings = nullptr;
}

void CPathwick3Dlg::EndOpenSettingsDialog() {
    if (m_settings && m_settings->IsWindow() && ::IsWindowVisible(m_settings->m_hWnd)) m_settings->EndDialog(2);
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

}  // namespace kvr
