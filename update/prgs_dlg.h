// CPrgsDlg: the small window shown while a new executable is downloaded. It
// downloads one URL into one file on a worker thread, shows the percentage,
// and ends with OK when the whole file arrived, with Cancel otherwise.
#pragma once
#include <atomic>
#include <memory>
#include "base/http_fetch.h"
#include "ui/dlg_ex.h"
#include "ui/img_progress.h"

namespace kvr {

class CPrgsDlg : public CDlgEx {
public:
    CPrgsDlg();
    ~CPrgsDlg() override;

    void SetUrl(const wchar_t* url);           // cut to 511 characters
    void SetTargetPath(const wchar_t* path);   // cut to 259 characters
    const wchar_t* Url() const { return m_url; }
    bool Succeeded() const;
    // The bar's position when the dialog ended.
    int FinalPosition() const { return m_finalPosition; }
    CImgProgress& ProgressBar() { return m_progress; }

    static constexpr UINT kMsgFinished = WM_APP + 0x156;  // wParam: IDOK or IDCANCEL
    static constexpr int kBarId = 1000;

    BEGIN_MSG_MAP(CPrgsDlg)
        MESSAGE_HANDLER(kMsgFinished, OnFinished)
        CHAIN_MSG_MAP(CDlgEx)
    END_MSG_MAP()

protected:
    BOOL OnInitDialog() override;
    void OnOK() override {}       // no OK button: Enter must not claim success
    void OnCancel() override;     // Esc, close button, Alt+F4: the user gives up

private:
    // What the two threads share with the dialog. They hold it as long as
    // they run, so a cancelled transfer may end after the dialog is gone.
    struct Job;
    LRESULT OnFinished(UINT, WPARAM, LPARAM, BOOL&);
    static DWORD WINAPI DownloadThread(void* job);
    static DWORD WINAPI WaitThread(void* job);
    void Finish(INT_PTR result);

    wchar_t m_url[512] = {};
    wchar_t m_target[MAX_PATH] = {};
    int m_finalPosition = 0;
    bool m_finished = false;
    CImgProgress m_progress;
    std::shared_ptr<Job> m_job;
};

}  // namespace kvr
