// CPathwick3Dlg: the page protocol. The window starts page and hall
// processes and takes the frames they register; a page's login arrives as
// its caption (and is recorded), its play time is recorded when it closes.
#include "gamewnd/pathwick3_dlg.h"

#include "base/process.h"
#include "gamewnd/game_commands.h"
#include "gamewnd/page_text.h"
#include "ui/message_box.h"

namespace kvr {

void CPathwick3Dlg::StartPageProcess() {
    HANDLE process = nullptr;
    const std::wstring commandLine = PageCommandLine(m_pageProgram, m_hWnd, m_pages.Count());
    if (!StartProcess(nullptr, commandLine, IDLE_PRIORITY_CLASS, &process)) return;  // the state stays as it was
    m_pendingChild.reset(process);
}

bool CPathwick3Dlg::FromPendingProcess(HWND frame) const {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(frame, &pid);
    // The handles are held open, so their ids cannot pass to another process.
    return pid != 0 && ((m_pendingChild && ::GetProcessId(m_pendingChild.get()) == pid) ||
                        (m_pendingHall && ::GetProcessId(m_pendingHall.get()) == pid));
}

void CPathwick3Dlg::PostToPages(UINT message) {
    for (HWND page : m_pages.Windows()) ::PostMessageW(page, message, 0, 0);
    if (m_pages.Hall()) ::PostMessageW(m_pages.Hall(), message, 0, 0);
}

// A login sends the page's caption before its frame exists: accepted once,
// it is the next tab's caption and the login record.
LRESULT CPathwick3Dlg::OnCopyData(HWND, const COPYDATASTRUCT* data) {
    std::wstring caption;
    if (!ReadCopyDataCaption(data, &caption)) return 0;
    if (!m_pages.AcceptCaption(caption, Now())) return 0;
    ReportOnWorkerThread(LoginRecordUrl(caption, m_pages.CaptionCount()));
    return 1;
}

void CPathwick3Dlg::OnFrameReady(HWND frame, bool hall) {
    // Any process can post this: take only a live window that is not known yet,
    // of a process this window started and waits for, and never more pages
    // than the window holds.
    if (!::IsWindow(frame) || frame == m_hWnd || m_pages.IndexOf(frame) >= 0 || frame == m_pages.Hall() ||
        !FromPendingProcess(frame))
        return;
    if (!hall && m_pages.Count() >= kMaxPages) return;

    if (m_pages.Count() == 0) {
        if (!IsMaximized()) ToggleMaximize();
        if (!m_trayShown) m_trayShown = AddTrayIcon(m_hWnd, m_smallIcon ? m_smallIcon : m_icon);
        ::SetTimer(m_hWnd, kTimerPages, kTimerPeriod, nullptr);
        m_timerOn = true;
    }
    if (hall) {
        m_pages.SetHall(frame);
        m_pendingHall.reset();
        return;
    }
    for (HWND page : m_pages.Windows()) ::ShowWindow(page, SW_HIDE);
    if (m_pages.Hall() && ::IsWindow(m_pages.Hall())) ::ShowWindow(m_pages.Hall(), SW_HIDE);
    m_pages.AddWindow(frame);
    m_pendingChild.reset();
    m_strip.InvalidateStrip(m_pages.Count());
}

void CPathwick3Dlg::OnAddAccount(bool inThisWindow) {
    if (!inThisWindow) {
        StartProgram(m_pageProgram.c_str(), 0);  // a new, independent game window
    } else if (m_pages.Count() < kMaxPages) {
        StartPageProcess();
    } else {
        ShowMessageBox(kMbOk, kMessageTitle, L"当前窗体只支持3个游戏页", m_hWnd);
    }
}

void CPathwick3Dlg::OnTimer(UINT_PTR id, BOOL& handled) {
    if (id != kTimerPages) {
        handled = FALSE;
        return;
    }
    DropDeadPages();
    SendMuteState();
    UpdateToolImages();
    // A page process that ended before registering leaves its caption
    // behind; it would misalign the next page and block that account.
    if (m_pendingChild && ::WaitForSingleObject(m_pendingChild.get(), 0) == WAIT_OBJECT_0) {
        m_pendingChild.reset();
        m_pages.DropUnregisteredCaptions();
    }
}

void CPathwick3Dlg::SendMuteState() {
    for (HWND page : m_pages.Windows()) ::PostMessageW(page, WM_KVR_MUTE, m_muted ? 1 : 0, 0);
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
    if (dropped) m_strip.ResetHover();
}

void CPathwick3Dlg::ClosePage(int index, bool byPlayer) {
    const int oldCount = m_pages.Count();
    PageList::Removed removed;
    if (!m_pages.RemoveAt(index, &removed)) return;
    ReportOnWorkerThread(PlayTimeUrl(removed.caption, removed.startTick, Now()));
    ShowPage(m_pages.ActiveWindow(), byPlayer);
    m_strip.InvalidateStrip(oldCount);
    if (::IsWindow(removed.window)) {
        // Hidden before it is detached: re-parenting a visible window of
        // another process can hang both processes.
        ::ShowWindow(removed.window, SW_HIDE);
        ::SetParent(removed.window, nullptr);
        ::PostMessageW(removed.window, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
}

// The hall button shows or hides the hall, or starts its process.
void CPathwick3Dlg::OnHallButton(HWND) {
    HWND hall = m_pages.Hall();
    if (hall && ::IsWindow(hall)) {
        if (::IsWindowVisible(hall)) {
            ShowPage(m_pages.ActiveWindow());
        } else {
            RECT client{};
            ::GetClientRect(m_hWnd, &client);
            PlaceInPageArea(hall, client);
            ::ShowWindow(hall, SW_SHOW);
            ShowPage(nullptr);
        }
        return;
    }
    // One hall process at a time: a second click while it starts does nothing.
    if (m_pendingHall && ::WaitForSingleObject(m_pendingHall.get(), 0) == WAIT_TIMEOUT) return;
    StartProcess(nullptr, HallCommandLine(m_pageProgram, m_hWnd), 0, m_pendingHall.put());
    ShowPage(nullptr);
}

}  // namespace kvr
