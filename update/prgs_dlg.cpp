#include "update/prgs_dlg.h"

#include <commctrl.h>
#include "app/endpoints.h"
#include "res/resource.h"
#include "ui/image.h"
#include "update/worker_wait.h"

namespace kvr {

namespace {
// Skin images shared by the small download windows.
constexpr UINT kImgBackground = 131;
constexpr UINT kImgClose = 132;
constexpr UINT kImgBarEmpty = 152;
constexpr UINT kImgBarFull = 153;
constexpr DWORD kCancelGraceMs = 5000;
}  // namespace

CPrgsDlg::CPrgsDlg() : CDlgEx(IDD_PRGS) {}

CPrgsDlg::~CPrgsDlg() { StopThreads(); }

void CPrgsDlg::SetUrl(const wchar_t* url) { ::lstrcpynW(m_url, url ? url : L"", 512); }

void CPrgsDlg::SetTargetPath(const wchar_t* path) { ::lstrcpynW(m_target, path ? path : L"", MAX_PATH); }

BOOL CPrgsDlg::OnInitDialog() {
    SetCaptionHeight(30);
    SetCaptionButtonMargin(0);
    SetCaptionButtonTop(0);
    SetCaptionButtonGap(0);
    SetBorderWidth(4);
    SetTitle(L"版本更新中...");
    SetSkin(kImgBackground, false, true, 0, 0, 0, kImgClose);

    // Centred on the desktop, above every other window.
    RECT rc;
    ::GetWindowRect(m_hWnd, &rc);
    RECT desk;
    ::GetWindowRect(::GetDesktopWindow(), &desk);
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    ::SetWindowPos(m_hWnd, nullptr, desk.left + (desk.right - desk.left - w) / 2,
                   desk.top + (desk.bottom - desk.top - h) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);

    m_progress.SubclassDlgItem(m_hWnd, kBarId);
    m_progress.SetImages(LoadSkinImage(kImgBarEmpty), LoadSkinImage(kImgBarFull));
    m_bar = m_progress.m_hWnd;
    ::SendMessageW(m_bar, PBM_SETRANGE32, 0, 100);

    m_window = m_hWnd;
    m_success = false;
    m_closing = false;
    m_session.Reset();
    m_downloadThread = ::CreateThread(nullptr, 0, DownloadThread, this, 0, nullptr);
    m_waitThread = ::CreateThread(nullptr, 0, WaitThread, this, 0, nullptr);
    if (!m_downloadThread || !m_waitThread) {
        StopThreads();
        ::PostMessageW(m_hWnd, kMsgFinished, IDCANCEL, 0);
    }
    return TRUE;
}

DWORD WINAPI CPrgsDlg::DownloadThread(void* param) {
    auto* self = static_cast<CPrgsDlg*>(param);
    // Only the trusted download hosts: anything else fails without a request.
    if (!IsTrustedDownloadUrl(self->m_url)) return 0;
    const HWND bar = self->m_bar;
    const bool whole = Download(
        self->m_url, self->m_target,
        [bar](int percent) { ::SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(percent), 0); },
        &self->m_session);
    self->m_success = whole && !self->m_session.Cancelled();
    return 0;
}

DWORD WINAPI CPrgsDlg::WaitThread(void* param) {
    auto* self = static_cast<CPrgsDlg*>(param);
    ::WaitForSingleObject(self->m_downloadThread, INFINITE);
    // The dialog belongs to its own thread: ask it to end itself.
    ::PostMessageW(self->m_window, kMsgFinished, self->m_success ? IDOK : IDCANCEL, 0);
    return 0;
}

LRESULT CPrgsDlg::OnFinished(UINT, WPARAM wParam, LPARAM, BOOL&) {
    if (m_closing) return 0;  // the user's cancel already decided
    StopThreads();            // both have ended or are just ending
    m_finalPosition = m_progress.GetPos();
    EndDialog(wParam == IDOK && m_success ? IDOK : IDCANCEL);
    return 0;
}

void CPrgsDlg::OnCancel() {
    if (m_closing) return;
    m_closing = true;
    StopThreads();
    m_finalPosition = m_progress.GetPos();
    EndDialog(IDCANCEL);
}

void CPrgsDlg::StopThreads() {
    // The transfer's handles are closed first so that the worker ends at its
    // next read rather than being killed while it holds the file.
    if (m_downloadThread && ::WaitForSingleObject(m_downloadThread, 0) == WAIT_TIMEOUT) m_session.Cancel();
    // The download thread ends first (the wait thread waits on its handle,
    // which therefore stays open until the wait thread has ended too).
    if (m_downloadThread && !WaitAnsweringSentMessages(m_downloadThread, kCancelGraceMs)) {
        ::TerminateThread(m_downloadThread, 2);
        ::WaitForSingleObject(m_downloadThread, 1000);
    }
    JoinWorker(m_waitThread, kCancelGraceMs);
    JoinWorker(m_downloadThread, 0);
}

}  // namespace kvr
