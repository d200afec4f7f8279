#include "update/down_game_dlg.h"

#include <commctrl.h>
#include "app/endpoints.h"
#include "install/install.h"
#include "res/resource.h"
#include "ui/image.h"
#include "update/worker_wait.h"

namespace kvr {

namespace {
constexpr UINT kImgBackground = 131;
constexpr UINT kImgClose = 132;
constexpr UINT kImgButton = 133;
constexpr UINT kImgBarEmpty = 152;
constexpr UINT kImgBarFull = 153;
constexpr DWORD kBlockSize = 1024;
constexpr DWORD kCancelGraceMs = 5000;

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    std::wstring p(path);
    const size_t slash = p.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : p.substr(0, slash);
}
}  // namespace

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

CDownGameDlg::~CDownGameDlg() { StopWorker(); }

BOOL CDownGameDlg::OnInitDialog() {
    SetCaptionHeight(30);
    SetCaptionButtonMargin(0);
    SetCaptionButtonTop(0);
    SetCaptionButtonGap(0);
    SetBorderWidth(4);
    SetSkin(kImgBackground, false, true, 0, 0, 0, kImgClose);
    SetTitle(L"游戏下载中...");

    // Without a name there is nothing to fetch: the window stays as it is.
    if (m_clientName.empty()) return TRUE;

    m_ok.SubclassDlgItem(m_hWnd, IDOK);
    m_cancel.SubclassDlgItem(m_hWnd, IDCANCEL);
    m_ok.SetImage(kImgButton, false);
    m_cancel.SetImage(kImgButton, false);
    ::EnableWindow(m_ok, FALSE);
    m_label.SubclassDlgItem(m_hWnd, IDC_DOWN_GAME_LABEL);
    m_label.SetText(L"");
    m_label.SetFontHeight(16);
    m_label.SetTextColor(RGB(72, 81, 86));
    m_progress.SubclassDlgItem(m_hWnd, IDC_DOWN_GAME_BAR);
    m_progress.SetImages(LoadSkinImage(kImgBarEmpty), LoadSkinImage(kImgBarFull));
    ::SendMessageW(m_progress, PBM_SETRANGE32, 0, 100);

    m_configUrl = ServerUrl(Server::ClientService, GameHallConfigPath(m_clientName));
    wchar_t temp[MAX_PATH] = {};
    const DWORD n = ::GetTempPathW(MAX_PATH, temp);
    const std::wstring installer = n > 0 && n < MAX_PATH ? std::wstring(temp) + m_clientName + L".exe" : L"";
    if (installer.size() < MAX_PATH) ::lstrcpynW(m_installerPath, installer.c_str(), MAX_PATH);
    const std::wstring folder = ProgramFolder();
    if (!folder.empty()) m_configFile = folder + L"\\" + m_clientName + L".ini";

    m_window = m_hWnd;
    m_running = true;
    m_worker = ::CreateThread(nullptr, 0, WorkerThread, this, 0, nullptr);
    if (!m_worker) ::PostMessageW(m_hWnd, kMsgFinished, 0, 0);
    return TRUE;
}

DWORD WINAPI CDownGameDlg::WorkerThread(void* self) { return static_cast<CDownGameDlg*>(self)->Work(); }

DWORD CDownGameDlg::Work() {
    // A name from a web page reaches file names and a URL: only plain names.
    bool started = false;
    if (IsValidClientName(m_clientName.c_str()) && !m_configFile.empty() && m_installerPath[0] &&
        m_configFile.size() < MAX_PATH) {
        const bool config = Download(m_configUrl.c_str(), m_configFile.c_str(), {}, &m_session, kBlockSize);
        if (config) {
            wchar_t address[512] = {};
            ::GetPrivateProfileStringW(L"VerKey", L"UpdAddr", L"", address, 512, m_configFile.c_str());
            m_downloadUrl = address;
        }
        ::DeleteFileW(m_configFile.c_str());
        if (config && IsTrustedDownloadUrl(m_downloadUrl.c_str())) {
            const HWND window = m_window;
            const bool whole = Download(
                m_downloadUrl.c_str(), m_installerPath,
                [window](int percent) { ::SendMessageW(window, kMsgProgress, static_cast<WPARAM>(percent), 0); },
                &m_session, kBlockSize);
            if (whole && !m_session.Cancelled()) started = StartProgram(m_installerPath);
            // A running installer keeps its file; otherwise nothing is left.
            ::DeleteFileW(m_installerPath);
        }
    }
    if (!m_session.Cancelled()) ::SendMessageW(m_window, kMsgFinished, started ? 1 : 0, 0);
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
    StopWorker();
    EndDialog(IDCANCEL);
}

void CDownGameDlg::StopWorker() {
    if (!m_worker) return;
    if (::WaitForSingleObject(m_worker, 0) == WAIT_TIMEOUT) m_session.Cancel();
    JoinWorker(m_worker, kCancelGraceMs);
    m_running = false;
}

INT_PTR ShowGameDownloadDialog(const wchar_t* clientName, HWND owner) {
    CDownGameDlg dialog(clientName, owner);
    return dialog.DoModal();
}

}  // namespace kvr
