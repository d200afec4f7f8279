// The one way the program talks HTTP: a GET through WinINet in a fixed shape,
// either as a report whose answer is not read or as a download into a file.
#pragma once
#include <windows.h>
#include <wininet.h>
#include <atomic>
#include <functional>
#include "base/owned.h"
#include "base/url_parts.h"

namespace kvr {

// The two events the application owns for background reports.
struct ReportEvents {
    HANDLE started = nullptr;  // set by the worker once it has copied its URL
    HANDLE done = nullptr;     // set by the worker when its request is finished
};

// Sends one GET; the answer is not read. Returns 1 when sent, 0 otherwise
// (last error: the WinINet error of the failed call, else 0).
int ReportRequest(const wchar_t* url, const wchar_t* body = L"");

// Sends the report on a worker thread; returns once the worker has copied the
// URL (started event). The worker sets the done event when it has finished.
int ReportInBackground(const wchar_t* url, ReportEvents& events);

// What a download dialog keeps so that closing it can end the transfer from
// its own thread: the open WinINet handles and a cancel flag.
class DownloadSession {
public:
    DownloadSession();
    ~DownloadSession();
    DownloadSession(const DownloadSession&) = delete;
    DownloadSession& operator=(const DownloadSession&) = delete;

    void Cancel();  // any thread: closes the open handles, the next read fails
    bool Cancelled() const { return m_cancelled.load(); }
    void Reset() { m_cancelled = false; }

    // Used by Download while a transfer runs.
    void Attach(HINTERNET session, HINTERNET connect, HINTERNET request);  // takes them over
    void Release();  // closes whatever is still open

private:
    CriticalSection m_lock;
    std::atomic<bool> m_cancelled{false};
    OwnedInternet m_session, m_connect, m_request;  // closed request first
};

// Downloads url into targetFile. True only when the final answer is a 200
// whose whole announced length was received and written. The URL, and each
// of at most three redirects (followed here, never by WinINet), must pass
// IsTrustedDownloadUrl or nothing is requested from it. Any other status, too
// many redirects or an answer without a content length fails before the file
// is created; the transfer stops at the first read that fails or brings
// nothing. progress(percent of the announced length) is called after each
// read. blockSize: bytes per read (512; the game-hall download reads 1024).
bool Download(const wchar_t* url, const wchar_t* targetFile,
              const std::function<void(int percent)>& progress = {},
              DownloadSession* session = nullptr, DWORD blockSize = 512);
// The same into a file already open for writing (written from where it
// stands), so that nothing is opened again by name.
bool Download(const wchar_t* url, HANDLE target, const std::function<void(int percent)>& progress = {},
              DownloadSession* session = nullptr, DWORD blockSize = 512);

}  // namespace kvr
