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

// What one kind of fetch may take. Every request also waits at most
// kCallTimeoutMs for its connection, for sending and for each receive, and
// has an overall deadline, so that a server that trickles cannot hold the
// program (and the start-up before any window shows).
struct FetchLimits {
    unsigned long long maxBytes;  // a longer answer fails before its file exists
    DWORD deadlineMs;             // the whole fetch, redirects included
};
inline constexpr DWORD kCallTimeoutMs = 10000;
// Configuration pages (the update's and the game-hall clients'); the
// start-up's update check waits for one before any window shows.
inline constexpr FetchLimits kPageLimits{64 * 1024, 10000};
// Programs: the update and the game-hall installers, under their dialogs,
// whose players may cancel.
inline constexpr FetchLimits kProgramLimits{256ull * 1024 * 1024, 60 * 60 * 1000};
// Reports and the network probe, whose answers are not read (the play-time
// records go out one by one as the game window closes).
inline constexpr DWORD kReportDeadlineMs = 10000;

// Sends one GET; the answer is not read. Returns 1 when sent, 0 otherwise
// (last error: the WinINet error of the failed call, else 0). It follows no
// redirect (which would carry the player's uid to another host), answers no
// logon request and sends no cookie.
int ReportRequest(const wchar_t* url, const wchar_t* body = L"");

// Whether the network is there though a direct connection to url failed (as
// behind a proxy): one GET of it through the system's settings answered with
// a status that no proxy gives for a host it cannot reach.
bool ProbeAnswers(const wchar_t* url);

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

    // Used while a request runs.
    void Attach(HINTERNET session, HINTERNET connect, HINTERNET request);  // takes them over
    void Release();  // closes whatever is still open (any thread)

private:
    CriticalSection m_lock;
    std::atomic<bool> m_cancelled{false};
    OwnedInternet m_session, m_connect, m_request;  // closed request first
};

// Downloads url into targetFile. True only when the final answer is a 200
// whose whole announced length, at most limits.maxBytes, was received and
// written within limits.deadlineMs. The URL, and each of at most three
// redirects (followed here, never by WinINet), must pass IsTrustedDownloadUrl
// or nothing is requested from it. Any other status, too many redirects or an
// answer without a content length fails before the file is created; the
// transfer stops at the first read that fails, brings nothing or brings more
// than announced. progress(percent of the announced length) is called after
// each read. blockSize: bytes per read (512; the game-hall download reads 1024).
bool Download(const wchar_t* url, const wchar_t* targetFile,
              const std::function<void(int percent)>& progress = {},
              DownloadSession* session = nullptr, DWORD blockSize = 512,
              const FetchLimits& limits = kProgramLimits);
// The same into a file already open for writing (written from where it
// stands), so that nothing is opened again by name.
bool Download(const wchar_t* url, HANDLE target, const std::function<void(int percent)>& progress = {},
              DownloadSession* session = nullptr, DWORD blockSize = 512,
              const FetchLimits& limits = kProgramLimits);

}  // namespace kvr
