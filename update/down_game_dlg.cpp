#include "update/down_game_dlg.h"

#include <commctrl.h>
#include "base/endpoints.h"
#include "base/owned.h"
#include "base/process.h"
#include "base/work_folder.h"
#include "res/resource.h"
#include "ui/image.h"
#include "update/program_image.h"
#include "update/self_update.h"
#include "update/update_signature.h"

namespace kvr {

namespace {
constexpr DWORD kBlockSize = 1024;

// Started only when it is the file the download wrote (its id, recorded
// through the handle that wrote it), the maker signed it and it is no build
// of this program (which, started without arguments, would install itself
// over the running one), checked on the file held open (no writing, renaming
// or deleting by anyone) until the process is created.
bool StartSignedInstaller(const wchar_t* path, const BY_HANDLE_FILE_INFORMATION& written,
                          const std::wstring& signature) {
    HeldFile installer(path, HeldFile::Use::Start);
    BY_HANDLE_FILE_INFORMATION held{};
    return installer.IsOpen() && ::GetFileInformationByHandle(installer.Handle(), &held) &&
           held.nFileIndexHigh == written.nFileIndexHigh && held.nFileIndexLow == written.nFileIndexLow &&
           installer.SignatureVerifies(signature.c_str()) &&
           !NamesProgram(ReadProgramImage(installer.Handle()), RunningProgramImage()) &&
           StartProgram(path, IDLE_PRIORITY_CLASS);
}

// Downloads the installer into folder\name.exe, a new file of a folder of its
// own in the work folder: the installer starts where nobody could put a
// library beside it. True when it was started.
bool DownloadAndStartInstaller(const std::wstring& folder, const std::wstring& name, const UpdateConfig& config,
                               const std::function<void(int)>& progress, DownloadSession* session) {
    const std::wstring installer = folder + L"\\" + name + L".exe";
    OwnedFile file(::CreateFileW(installer.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION written{};
    const bool whole = file && Download(config.address.c_str(), file.get(), progress, session, kBlockSize) &&
                       ::GetFileInformationByHandle(file.get(), &written);
    file.reset();
    const bool started = whole && !session->Cancelled() &&
                         StartSignedInstaller(installer.c_str(), written, config.signature);
    // A running installer keeps its file (and folder) until the next
    // restart; otherwise nothing of this download is left.
    DiscardDownload(installer.c_str());
    if (!::RemoveDirectoryW(folder.c_str())) ::MoveFileExW(folder.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return started;
}
}  // namespace

struct CDownGameDlg::Job {
    std::wstring clientName;
    std::wstring configUrl;
    HWND window = nullptr;
    DownloadSession session;
};

bool IsValidClientName(const wchar_t* name) {
    if (!name || !*name) return false;
    const std::wstring n(name);
    if (n.size() > 64 || n.find(L"..") != std::wstring::npos) return false;
    for (wchar_t c : n) {
        const bool ok = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
                        c == L'_' || c == L'-' || c == L'.';
        if (!ok) return false;
    }
    return true;
}

std::wstring DownloadPercentText(int percent) {
    wchar_t text[32] = {};
    ::wsprintfW(text, L"已加载  %d%%", percent);
    return text;
}

CDownGameDlg::CDownGameDlg(const wchar_t* clientName, HWND owner)
    : CDlgEx(IDD_DOWN_GAME), m_owner(owner), m_clientName(clientName ? clientName : L"") {}

CDownGameDlg::~CDownGameDlg() {
    if (m_job) m_job->session.Cancel();
}

BOOL CDownGameDlg::OnInitDialog() {
    SetCaptionHeight(30);
    SetCaptionButtonMargin(0);
    SetCaptionButtonTop(0);
    SetCaptionButtonGap(0);
    SetBorderWidth(4);
    SetSkin(IDB_DLG_BG, false, true, 0, 0, 0, IDB_CLOSE);
    SetTitle(L"游戏下载中...");

    // Without a name there is nothing to fetch: the window stays as it is.
    if (m_clientName.empty()) return TRUE;

    // The controls first: the worker's reports reach them through this
    // thread's messages, which are handled only after this returns.
    m_ok.SubclassDlgItem(m_hWnd, IDOK);
    m_cancel.SubclassDlgItem(m_hWnd, IDCANCEL);
    m_ok.SetImage(IDB_BUTTON, false);
    m_cancel.SetImage(IDB_BUTTON, false);
    ::EnableWindow(m_ok, FALSE);
    m_label.SubclassDlgItem(m_hWnd, IDC_DOWN_GAME_LABEL);
    m_label.SetText(L"");
    m_label.SetFontHeight(16);
    m_label.SetTextColor(RGB(72, 81, 86));
    m_progress.SubclassDlgItem(m_hWnd, IDC_DOWN_GAME_BAR);
    m_progress.SetImages(LoadSkinImage(IDB_PROGRESS_BG), LoadSkinImage(IDB_PROGRESS_FILL));
    ::SendMessageW(m_progress, PBM_SETRANGE32, 0, 100);

    m_job = std::make_shared<Job>();
    m_job->clientName = m_clientName;
    m_job->configUrl = ServerUrl(Server::ClientService, GameHallConfigPath(m_clientName));
    m_job->window = m_hWnd;

    m_running = true;
    auto* forWorker = new std::shared_ptr<Job>(m_job);
    const OwnedHandle worker(::CreateThread(nullptr, 0, WorkerThread, forWorker, 0, nullptr));  // never waited on
    if (!worker) {
        delete forWorker;
        ::PostMessageW(m_hWnd, kMsgFinished, 0, 0);
    }
    return TRUE;
}

DWORD WINAPI CDownGameDlg::WorkerThread(void* param) {
    std::unique_ptr<std::shared_ptr<Job>> holder(static_cast<std::shared_ptr<Job>*>(param));
    Job& job = **holder;
    bool started = false;
    // A name from a web page reaches a URL and a file name: only plain names.
    if (IsValidClientName(job.clientName.c_str())) {
        const CWorkFolder work;
        UpdateConfig config;
        const bool fetched = FetchUpdateConfig(job.configUrl.c_str(), &config, &job.session, kBlockSize);
        const std::wstring folder =
            fetched && !config.address.empty() ? work.CreateNewFolder(L"Hall") : std::wstring();
        if (!folder.empty()) {
            const HWND window = job.window;
            started = DownloadAndStartInstaller(
                folder, job.clientName, config,
                [window](int percent) { ::SendMessageW(window, kMsgProgress, static_cast<WPARAM>(percent), 0); },
                &job.session);
        }
    }
    if (!job.session.Cancelled()) ::SendMessageW(job.window, kMsgFinished, started ? 1 : 0, 0);
    return 0;
}

LRESULT CDownGameDlg::OnProgress(UINT, WPARAM wParam, LPARAM, BOOL&) {
    const int percent = static_cast<int>(wParam);
    ::SendMessageW(m_progress, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    m_label.SetText(DownloadPercentText(percent).c_str());
    ::UpdateWindow(m_label);
    return 0;
}

LRESULT CDownGameDlg::OnFinished(UINT, WPARAM wParam, LPARAM, BOOL&) {
    SetTitle(wParam ? L"下载完成" : L"下载失败");
    m_running = false;
    ::EnableWindow(m_ok, TRUE);
    ::EnableWindow(m_cancel, FALSE);
    return 0;
}

BOOL CDownGameDlg::PreTranslateMessage(MSG* msg) {
    // Escape never closes this window.
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE) return TRUE;
    return CDlgEx::PreTranslateMessage(msg);
}

void CDownGameDlg::OnOK() {
    if (m_running) return;  // OK is disabled while downloading
    EndDialog(IDOK);
}

void CDownGameDlg::OnCancel() {
    // Closing the transfer ends the worker at its next read; it is not
    // killed, which could leave the network library's locks held.
    if (m_running && m_job) m_job->session.Cancel();
    m_running = false;
    EndDialog(IDCANCEL);
}

INT_PTR ShowGameDownloadDialog(const wchar_t* clientName, HWND owner) {
    CDownGameDlg dialog(clientName, owner);
    return dialog.DoModal();
}

}  // namespace kvr
