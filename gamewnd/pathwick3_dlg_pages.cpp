// CPathwick3Dlg: the page protocol. The window starts page and hall
// processes and takes the frames they register; a page's login arrives as
// its caption (and is recorded), its play time is recorded when it closes.
// It waits on the processes it started instead of looking at them every so
// often: each one's end is posted here (kMsgProcessEnded).
#include "gamewnd/pathwick3_dlg.h"

#include <algorithm>
#include "base/process.h"
#include "base/window_handoff.h"
#include "gamewnd/game_commands.h"
#include "gamewnd/page_text.h"
#include "ui/message_box.h"

namespace kvr {

namespace {
bool WindowOfProcess(HWND window, DWORD pid) {
    DWORD owner = 0;
    return window && pid && ::GetWindowThreadProcessId(window, &owner) && owner == pid;
}
}  // namespace

void CPathwick3Dlg::StartPageProcess() {
    HANDLE process = nullptr;
    const std::wstring commandLine = PageCommandLine(m_pageProgram, m_hWnd, m_pages.Count());
    if (!StartProcess(nullptr, commandLine, IDLE_PRIORITY_CLASS, &process)) return;  // the state stays as it was
    // A caption without a frame belongs to the page process waited for until
    // now, whose frame will not be taken any more.
    m_pages.DropUnregisteredCaptions();
    m_pendingChild = ProcessWatch(OwnedHandle(process), m_hWnd, kMsgProcessEnded);
}

void CPathwick3Dlg::AdoptFirstPage() {
    // Waited for before it learns where to register; one that is gone
    // already is posted at once.
    m_pendingChild = ProcessWatch(std::move(m_firstPage.process), m_hWnd, kMsgProcessEnded);
    SendWindow(m_firstPage.windowPipe.get(), m_hWnd);
    m_firstPage.windowPipe.reset();
}

bool CPathwick3Dlg::FromPendingProcess(HWND frame) const {
    // The handles are held open, so their ids cannot pass to another process.
    return WindowOfProcess(frame, m_pendingChild.ProcessId()) || WindowOfProcess(frame, m_pendingHall.ProcessId());
}

void CPathwick3Dlg::PostToPages(UINT message) {
    for (HWND page : m_pages.Windows()) ::PostMessageW(page, message, 0, 0);
    if (m_pages.Hall()) ::PostMessageW(m_pages.Hall(), message, 0, 0);
}

// A login sends the page's caption before its frame exists: accepted once,
// it is the next tab's caption and the login record. Only a window of the
// page process this window waits for hands one over, and only one, so no
// other process can fill the captions and block the logins.
LRESULT CPathwick3Dlg::OnCopyData(HWND from, const COPYDATASTRUCT* data) {
    std::wstring caption;
    if (!WindowOfProcess(from, m_pendingChild.ProcessId()) || m_pages.CaptionCount() > m_pages.Count()) return 0;
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
        LoadSkinImages();
        if (!IsMaximized()) ToggleMaximize();
        if (!m_trayWanted) ShowTrayIcon();
    }
    if (hall) {
        m_pages.SetHall(frame);
        m_hallProcess = std::move(m_pendingHall);
        FollowHall();
        return;
    }
    for (HWND page : m_pages.Windows()) ::ShowWindow(page, SW_HIDE);
    if (m_pages.Hall() && ::IsWindow(m_pages.Hall())) ::ShowWindow(m_pages.Hall(), SW_HIDE);
    m_pages.AddWindow(frame);
    m_pageProcesses.emplace_back(frame, std::move(m_pendingChild));
    ::PostMessageW(frame, WM_KVR_MUTE, m_muted ? 1 : 0, 0);
    m_strip.InvalidateStrip(m_pages.Count());
    UpdateToolImages();
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

// One of the processes this window waits on ended; which one is looked up,
// since the message may come after its watch was let go.
void CPathwick3Dlg::OnProcessEnded() {
    if (m_exiting) return;
    if (m_pendingHall.Ended()) m_pendingHall.Reset();
    if (m_hallProcess.Ended()) m_hallProcess.Reset();
    DropDeadPages();
    FollowHall();
    UpdateToolImages();
    if (m_pendingChild.Ended()) PendingChildEnded();
}

void CPathwick3Dlg::PendingChildEnded() {
    // A page process that ended before its frame registered (a crash, its
    // own network check): its login window, which held this window disabled,
    // is gone, and so is any caption it handed over. Without pages nothing is
    // left to show: the window ends as when the first login is cancelled.
    m_pendingChild.Reset();
    m_pages.DropUnregisteredCaptions();
    ::EnableWindow(m_hWnd, TRUE);
    if (m_pages.Count() == 0) ExitAll();
}

void CPathwick3Dlg::OnTimer(UINT_PTR id, BOOL& handled) {
    if (id != kTimerHall) {
        handled = FALSE;
        return;
    }
    UpdateToolImages();
    FollowHall();
}

// The hall shows itself once its page has loaded, in its own process, and
// says nothing: until then its visibility is looked at on a timer, for the
// hall button's image. Afterwards only this window shows and hides it.
void CPathwick3Dlg::FollowHall() {
    if (HallVisible()) m_hallSeen = true;
    const bool starting = m_pendingHall || (m_pages.Hall() && m_hallProcess && !m_hallSeen);
    if (starting == m_timerOn) return;
    if (starting)
        ::SetTimer(m_hWnd, kTimerHall, kTimerPeriod, nullptr);
    else
        ::KillTimer(m_hWnd, kTimerHall);
    m_timerOn = starting;
}

void CPathwick3Dlg::ToggleMute() {
    m_muted = m_muted ? 0 : 1;
    SendMuteState();
    UpdateToolImages();
}

void CPathwick3Dlg::SendMuteState() {
    for (HWND page : m_pages.Windows()) ::PostMessageW(page, WM_KVR_MUTE, m_muted ? 1 : 0, 0);
}

void CPathwick3Dlg::DropDeadPages() {
    // A page whose process died is closed like a closed tab, without asking,
    // and without taking the focus from whatever the player uses now.
    bool dropped = false;
    for (int i = m_pages.Count() - 1; i >= 0; --i) {
        const HWND page = m_pages.Window(i);
        const auto process = PageProcessOf(page);
        if (!::IsWindow(page) || (process != m_pageProcesses.end() && process->second.Ended())) {
            ClosePage(i, false);
            dropped = true;
        }
    }
    if (dropped) m_strip.ResetHover();
}

std::vector<std::pair<HWND, ProcessWatch>>::iterator CPathwick3Dlg::PageProcessOf(HWND page) {
    return std::find_if(m_pageProcesses.begin(), m_pageProcesses.end(),
                        [page](const auto& entry) { return entry.first == page; });
}

void CPathwick3Dlg::ClosePage(int index, bool byPlayer) {
    const int oldCount = m_pages.Count();
    PageList::Removed removed;
    if (!m_pages.RemoveAt(index, &removed)) return;
    const auto process = PageProcessOf(removed.window);
    if (process != m_pageProcesses.end()) m_pageProcesses.erase(process);
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
    if (m_pendingHall && !m_pendingHall.Ended()) return;
    HANDLE process = nullptr;
    if (StartProcess(nullptr, HallCommandLine(m_pageProgram, m_hWnd), 0, &process)) {
        m_pendingHall = ProcessWatch(OwnedHandle(process), m_hWnd, kMsgProcessEnded);
        m_hallSeen = false;
    }
    ShowPage(nullptr);
    FollowHall();
}

}  // namespace kvr
