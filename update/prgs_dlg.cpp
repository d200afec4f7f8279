#include "update/prgs_dlg.h"

#include <commctrl.h>
#include "base/owned.h"
#include "res/resource.h"
#include "ui/image.h"
#include "ui/monitor.h"

namespace kvr {

struct CPrgsDlg::Job {
    wchar_t url[512] = {};
    wchar_t target[MAX_PATH] = {};
    HWND window = nullptr;
    HWND bar = nullptr;
    OwnedHandle downloadThread;  // waited on by the wait thread: closed with the last reference
    DownloadSession session;     // the open transfer, closed by a cancel
    std::atomic<bool> success{false};
};

CPrgsDlg::CPrgsDlg() : CDlgEx(IDD_PRGS) {}

CPrgsDlg::~CPrgsDlg() {
    // A transfer still running is closed; its thread ends on its own.
    if (m_job) m_job->session.Cancel();
}

void CPrgsDlg::SetUrl(const wchar_t* url) { ::lstrcpynW(m_url, url ? url : L"", 512); }

void CPrgsDlg::SetTargetPath(const wchar_t* path) { ::lstrcpynW(m_target, path ? path : L"", MAX_PATH); }

bool CPrgsDlg::Succeeded() const { return m_job && m_job->success.load(); }

BOOL CPrgsDlg::OnInitDialog() {
    SetCaptionHeight(30);
    SetCaptionButtonMargin(0);
    SetCaptionButtonTop(0);
    SetCaptionButtonGap(0);
    SetBorderWidth(4);
    SetTitle(L"版本更新中...");
    SetSkin(IDB_DLG_BG, false, true, 0, 0, 0, IDB_CLOSE);

    // Centred on its monitor, above every other window.
    CentreOnMonitor(m_hWnd);
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);

    m_progress.SubclassDlgItem(m_hWnd, kBarId);
    m_progress.SetImages(LoadSkinImage(IDB_PROGRESS_BG), LoadSkinImage(IDB_PROGRESS_FILL));
    ::SendMessageW(m_progress, PBM_SETRANGE32, 0, 100);

    m_finished = false;
    m_job = std::make_shared<Job>();
    ::lstrcpynW(m_job->url, m_url, 512);
    ::lstrcpynW(m_job->target, m_target, MAX_PATH);
    m_job->window = m_hWnd;
    m_job->bar = m_progress.m_hWnd;
    // Each thread owns one reference to the job and drops it when it ends.
    auto* forDownload = new std::shared_ptr<Job>(m_job);
    m_job->downloadThread.reset(::CreateThread(nullptr, 0, DownloadThread, forDownload, 0, nullptr));
    if (!m_job->downloadThread) {
        delete forDownload;
        ::PostMessageW(m_hWnd, kMsgFinished, IDCANCEL, 0);
        return TRUE;
    }
    auto* forWait = new std::shared_ptr<Job>(m_job);
    const OwnedHandle wait(::CreateThread(nullptr, 0, WaitThread, forWait, 0, nullptr));  // never waited on
    if (!wait) {
        delete forWait;
        m_job->session.Cancel();
        ::PostMessageW(m_hWnd, kMsgFinished, IDCANCEL, 0);
    }
    return TRUE;
}

DWORD WINAPI CPrgsDlg::DownloadThread(void* param) {
    std::unique_ptr<std::shared_ptr<Job>> holder(static_cast<std::shared_ptr<Job>*>(param));
    Job& job = **holder;
    // Download asks only trusted hosts: anything else fails without a request.
    const HWND bar = job.bar;
    const bool whole = Download(
        job.url, job.target,
        [bar](int percent) { ::SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(percent), 0); },
        &job.session);
    job.success = whole && !job.session.Cancelled();
    return 0;
}

DWORD WINAPI CPrgsDlg::WaitThread(void* param) {
    std::unique_ptr<std::shared_ptr<Job>> holder(static_cast<std::shared_ptr<Job>*>(param));
    Job& job = **holder;
    ::WaitForSingleObject(job.downloadThread.get(), INFINITE);
    // The dialog belongs to its own thread: ask it to end itself (after a
    // cancel the window is gone and this goes nowhere).
    ::PostMessageW(job.window, kMsgFinished, job.success ? IDOK : IDCANCEL, 0);
    return 0;
}

LRESULT CPrgsDlg::OnFinished(UINT, WPARAM wParam, LPARAM, BOOL&) {
    Finish(wParam == IDOK && Succeeded() ? IDOK : IDCANCEL);
    return 0;
}

void CPrgsDlg::OnCancel() {
    // Closing the transfer's handles ends the download at its next read; the
    // threads are not killed, which could leave the network library's locks
    // held. Whatever was written is removed by the caller.
    if (m_job) m_job->session.Cancel();
    Finish(IDCANCEL);
}

void CPrgsDlg::Finish(INT_PTR result) {
    if (m_finished) return;
    m_finished = true;
    m_finalPosition = m_progress.GetPos();
    EndDialog(result);
}

}  // namespace kvr
