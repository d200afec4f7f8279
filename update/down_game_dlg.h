// CDownGameDlg: downloads and starts the installer of another game's client
// (the game hall's "app://entergame|<name>"). It reads the client's
// configuration page from the client-service server, downloads the
// installer named there into a folder of its own in the work folder
// (base/work_folder.h), shows the progress and starts it when the maker's
// signature on it verifies.
#pragma once
#include <atomic>
#include <memory>
#include <string>
#include "base/http_fetch.h"
#include "ui/btn_ex.h"
#include "ui/dlg_ex.h"
#include "ui/img_progress.h"
#include "ui/static_ex.h"

namespace kvr {

// A client name fit for a file name and a URL path: 1 to 64 characters of
// ASCII letters, digits, "_", "-" and "." (no "..").
bool IsValidClientName(const wchar_t* name);

// "已加载  50%": the label during the download.
std::wstring DownloadPercentText(int percent);

class CDownGameDlg : public CDlgEx {
public:
    CDownGameDlg(const wchar_t* clientName, HWND owner);
    ~CDownGameDlg() override;

    INT_PTR DoModal() { return CDlgEx::DoModal(m_owner); }
    bool Running() const { return m_running; }
    CImgProgress& ProgressBar() { return m_progress; }
    CStaticEx& Label() { return m_label; }

    static constexpr UINT kMsgProgress = WM_APP + 0x163;  // wParam: percent
    static constexpr UINT kMsgFinished = WM_APP + 0x164;  // wParam: 0 failed, 1 started

    BOOL PreTranslateMessage(MSG* msg) override;

    BEGIN_MSG_MAP(CDownGameDlg)
        MESSAGE_HANDLER(kMsgProgress, OnProgress)
        MESSAGE_HANDLER(kMsgFinished, OnFinished)
        CHAIN_MSG_MAP(CDlgEx)
    END_MSG_MAP()

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

private:
    LRESULT OnProgress(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnFinished(UINT, WPARAM, LPARAM, BOOL&);
    // What the worker shares with the dialog; it holds it as long as it
    // runs, so a cancelled transfer may end after the dialog is gone.
    struct Job;
    static DWORD WINAPI WorkerThread(void* job);

    HWND m_owner;
    std::wstring m_clientName;
    bool m_running = false;  // the OK button is disabled while this is set
    std::shared_ptr<Job> m_job;
    CBtnEx m_ok, m_cancel;
    CStaticEx m_label;
    CImgProgress m_progress;
};

// Runs the download dialog for a game-hall client, owned by owner; returns
// the dialog's result (IDOK or IDCANCEL).
INT_PTR ShowGameDownloadDialog(const wchar_t* clientName, HWND owner);

}  // namespace kvr
