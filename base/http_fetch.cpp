#include "base/http_fetch.h"

#include <process.h>
#include <shlwapi.h>
#include <cstring>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include "base/endpoints.h"
#include "base/system_library.h"

namespace kvr {
namespace {

// Sent with every request, exactly (the blank before the first CRLF included).
constexpr wchar_t kRequestHeader[] =
    L"Accept-Language: zh-cn \r\nContent-Type: application/x-www-form-urlencoded\r\n";
constexpr wchar_t kUserAgent[] = L"RTW";
constexpr int kUrlChars = 512;

// The three handles of one request while it is opened, closed request first
// (members end in reverse order).
struct Request {
    OwnedInternet session, connect, request;
};

// Every request comes from the network, never a cache; its redirects are
// ours to judge (WinINet would follow them to any host, a report's with the
// player's uid); it answers no logon request and sends no cookie.
constexpr DWORD kRequestFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_AUTH | INTERNET_FLAG_NO_COOKIES;
constexpr int kMaxRedirects = 3;
constexpr size_t kWriteChunk = 64 * 1024;

// Opens session, connection and request; false when one fails (what was
// opened stays in r).
bool OpenRequest(const UrlParts& parts, Request* r) {
    if (!EnsureSystemLibrary(L"wininet.dll")) return false;
    r->session.reset(::InternetOpenW(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!r->session) return false;
    // Inherited by the connection and the request.
    for (DWORD option :
         {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT}) {
        DWORD ms = kCallTimeoutMs;
        ::InternetSetOptionW(r->session.get(), option, &ms, sizeof ms);
    }
    r->connect.reset(::InternetConnectW(r->session.get(), parts.host, parts.port, nullptr, nullptr,
                                       INTERNET_SERVICE_HTTP, 0, 0));
    if (!r->connect) return false;
    r->request.reset(::HttpOpenRequestW(r->connect.get(), L"GET", parts.object, L"HTTP/1.1", nullptr,
                                        nullptr, kRequestFlags, 0));
    return static_cast<bool>(r->request);
}

// Closes a fetch's handles once its deadline has passed, so that no call of
// it waits beyond it (a call waiting on a closed handle fails at once).
class Deadline {
public:
    Deadline(DownloadSession& session, DWORD ms) : m_session(session), m_start(::GetTickCount()), m_ms(ms) {
        if (!::CreateTimerQueueTimer(&m_timer, nullptr, Expire, this, ms, 0, WT_EXECUTEONLYONCE)) m_timer = nullptr;
    }
    ~Deadline() {
        if (m_timer) ::DeleteTimerQueueTimer(nullptr, m_timer, INVALID_HANDLE_VALUE);  // waits for Expire
    }
    Deadline(const Deadline&) = delete;
    Deadline& operator=(const Deadline&) = delete;
    bool Passed() const { return m_passed || ::GetTickCount() - m_start >= m_ms; }

private:
    static void CALLBACK Expire(void* self, BOOLEAN) {
        auto* deadline = static_cast<Deadline*>(self);
        deadline->m_passed = true;
        deadline->m_session.Release();
    }
    DownloadSession& m_session;
    const DWORD m_start, m_ms;
    HANDLE m_timer = nullptr;
    std::atomic<bool> m_passed{false};
};

// Opens and sends one GET under session s: the request handle (s owns it),
// or nullptr with the last error set.
HINTERNET SendRequest(const UrlParts& parts, const wchar_t* body, DownloadSession& s, const Deadline& deadline) {
    Request r;
    const bool opened = OpenRequest(parts, &r);
    const DWORD openError = ::GetLastError();
    const HINTERNET request = r.request.get();
    // From here on the handles belong to the session: a cancel or the
    // deadline closes them, possibly from another thread.
    s.Attach(r.session.release(), r.connect.release(), r.request.release());
    DWORD error = !opened ? openError : s.Cancelled() ? ERROR_INTERNET_OPERATION_CANCELLED
                                      : deadline.Passed() ? ERROR_INTERNET_TIMEOUT : 0;
    // The optional data is the text itself; its length is in characters.
    const wchar_t* data = body ? body : L"";
    if (!error && !::HttpSendRequestW(request, kRequestHeader, static_cast<DWORD>(-1L), const_cast<wchar_t*>(data),
                                      static_cast<DWORD>(std::wcslen(data))))
        error = ::GetLastError();
    ::SetLastError(error);
    return error ? nullptr : request;
}

DWORD StatusCode(HINTERNET request) {
    wchar_t buffer[16] = {};  // 32 bytes
    DWORD size = sizeof buffer;
    if (!::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE, buffer, &size, nullptr)) return 0;
    return static_cast<DWORD>(std::wcstoul(buffer, nullptr, 10));
}

bool IsRedirect(DWORD status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Where a redirect answer points: an http:// address, or a path on the server
// that answered. Empty for anything else (another scheme, "//host/...", a
// relative path, a Location that does not fit).
std::wstring RedirectTarget(HINTERNET request, const UrlParts& from) {
    wchar_t location[512] = {};
    DWORD size = sizeof location - sizeof(wchar_t);
    if (!::HttpQueryInfoW(request, HTTP_QUERY_LOCATION, location, &size, nullptr)) return {};
    if (location[0] == L'/' && location[1] != L'/') {
        std::wstring url = std::wstring(L"http://") + from.host;
        if (from.port != INTERNET_DEFAULT_HTTP_PORT) url += L":" + std::to_wstring(from.port);
        return url + location;
    }
    UrlParts parts;
    return SplitUrl(location, &parts) ? std::wstring(location) : std::wstring();
}

struct ReportArgs {
    wchar_t url[kUrlChars];
    ReportEvents events;
};

unsigned __stdcall ReportThread(void* param) {
    std::unique_ptr<ReportArgs> args(static_cast<ReportArgs*>(param));
    wchar_t url[kUrlChars];
    ::lstrcpynW(url, args->url, kUrlChars);
    const ReportEvents events = args->events;
    args.reset();
    ::SetEvent(events.started);
    ReportRequest(url, L"");
    ::SetEvent(events.done);
    return 0;
}

}  // namespace

int ReportRequest(const wchar_t* url, const wchar_t* body) {
    UrlParts parts;
    if (!SplitUrl(url, &parts)) {
        ::SetLastError(ERROR_INTERNET_INVALID_URL);
        return 0;
    }
    DownloadSession s;
    const Deadline deadline(s, kReportDeadlineMs);
    const bool sent = SendRequest(parts, body, s, deadline) != nullptr;
    const DWORD error = ::GetLastError();
    s.Release();  // before the last error is set: closing may change it
    ::SetLastError(sent ? 0 : error);
    return sent ? 1 : 0;
}

bool ProbeAnswers(const wchar_t* url) {
    UrlParts parts;
    if (!SplitUrl(url, &parts)) return false;
    DownloadSession s;
    const Deadline deadline(s, kReportDeadlineMs);
    const HINTERNET request = SendRequest(parts, L"", s, deadline);
    const DWORD status = request ? StatusCode(request) : 0;
    s.Release();
    // A proxy that cannot reach the host, or will not without a logon,
    // answers 5xx or 407 itself.
    return status >= 100 && status < 500 && status != 407;
}

int ReportInBackground(const wchar_t* url, ReportEvents& events) {
    // Done belongs to this report from now on (a manual-reset event may still
    // be set by an earlier one).
    ::ResetEvent(events.done);
    auto* args = new ReportArgs{};
    ::lstrcpynW(args->url, url ? url : L"", kUrlChars);
    args->events = events;
    uintptr_t thread = ::_beginthreadex(nullptr, 0, ReportThread, args, 0, nullptr);
    if (!thread) {
        delete args;
        // No worker: nobody else will signal, and callers wait on done.
        ::SetEvent(events.done);
        return 0;
    }
    const OwnedHandle worker(reinterpret_cast<HANDLE>(thread));  // never waited on
    ::WaitForSingleObject(events.started, INFINITE);
    ::ResetEvent(events.started);
    return 1;
}

DownloadSession::DownloadSession() = default;

DownloadSession::~DownloadSession() { Release(); }

void DownloadSession::Cancel() {
    m_cancelled = true;
    Release();  // a read blocked on the request returns with a failure
}

void DownloadSession::Attach(HINTERNET session, HINTERNET connect, HINTERNET request) {
    const CriticalSectionLock lock(m_lock);
    m_session.reset(session);
    m_connect.reset(connect);
    m_request.reset(request);
}

void DownloadSession::Release() {
    const CriticalSectionLock lock(m_lock);
    m_request.reset();
    m_connect.reset();
    m_session.reset();
}

namespace {
// Where a download goes: a file created by name once the answer is known to
// be the file, or one already open.
struct DownloadTarget {
    const wchar_t* path;
    HANDLE open;
};

bool DownloadInto(const wchar_t* url, const DownloadTarget& target, const std::function<void(int percent)>& progress,
                  DownloadSession* session, DWORD blockSize, const FetchLimits& limits) {
    if (session && session->Cancelled()) return false;
    if (!url || (!target.path && target.open == INVALID_HANDLE_VALUE)) return false;
    if (blockSize == 0 || blockSize > 64 * 1024) blockSize = 512;

    // From the first request on, the open handles belong to the session
    // (closed by it, possibly from the dialog's thread) or to us.
    DownloadSession own;
    DownloadSession& s = session ? *session : own;
    const Deadline deadline(s, limits.deadlineMs);
    std::wstring address = url;
    HINTERNET request = nullptr;
    for (int redirects = 0;; ++redirects) {
        // Every hop passes the same test as the first: a redirect cannot
        // lead a download to a host that was not trusted to begin with.
        UrlParts parts;
        if (!IsTrustedDownloadUrl(address.c_str()) || !SplitUrl(address.c_str(), &parts)) {
            s.Release();
            return false;
        }
        request = SendRequest(parts, nullptr, s, deadline);
        if (!request) {
            s.Release();
            return false;
        }
        // Only a 200 answer is the file: an error page is not an executable
        // or a configuration page, whatever its length.
        const DWORD status = StatusCode(request);
        if (status == 200) break;
        std::wstring next;
        if (IsRedirect(status) && redirects < kMaxRedirects) next = RedirectTarget(request, parts);
        s.Release();
        if (next.empty()) return false;
        address = next;
    }

    // The number form wants a buffer length of exactly a DWORD (Wine refuses
    // any other; Windows accepts it); the returned size must still be 4.
    wchar_t buffer[16] = {};  // 32 bytes
    DWORD size = sizeof(DWORD);
    DWORD announced = 0;
    if (!::HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, buffer,
                          &size, nullptr) ||
        size != 4) {
        s.Release();
        return false;
    }
    std::memcpy(&announced, buffer, sizeof announced);
    if (announced > limits.maxBytes) {
        s.Release();
        return false;
    }

    OwnedFile created;
    if (target.path)
        created.reset(::CreateFileW(target.path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    const HANDLE file = target.path ? created.get() : target.open;
    if (file == INVALID_HANDLE_VALUE) {
        s.Release();
        return false;
    }
    // Read until a read fails or brings nothing: the end of the answer, a
    // connection cut short, or a cancel or the deadline that closed the
    // handles. Bytes beyond the announced length are not taken.
    // The blocks are gathered and written 64 KiB at a time: a write of each
    // block is a system call of its own, a tenth of the speed under Wine.
    const size_t capacity = blockSize > kWriteChunk ? blockSize : kWriteChunk;
    std::unique_ptr<char[]> gathered(new char[capacity]);
    size_t pending = 0;
    const auto writePending = [&] {
        DWORD written = 0;
        const bool ok = pending == 0 || (::WriteFile(file, gathered.get(), static_cast<DWORD>(pending), &written,
                                                     nullptr) &&
                                         written == pending);
        pending = 0;
        return ok;
    };
    unsigned long long total = 0;
    bool writeFailed = false;
    for (;;) {
        // Asking what is available first makes WinINet fill its own buffer
        // (8 KiB) from the socket, so the small reads below are served from
        // memory. Without it each 512-byte read is a socket receive of its
        // own, which costs ~60 us under Wine: 8 MB/s instead of ~50. Taking
        // no more than is there keeps each read from waiting for a whole
        // block: Wine's waits until it has one, and a server that trickles
        // would hold it beyond the deadline (closing the handles does not
        // end a read there as it does on Windows).
        DWORD available = 0;
        if (!::InternetQueryDataAvailable(request, &available, 0, 0)) break;
        DWORD got = 0;
        const DWORD wanted = available && available < blockSize ? available : blockSize;
        if (capacity - pending < wanted && !writePending()) {
            writeFailed = true;
            break;
        }
        if (!::InternetReadFile(request, gathered.get() + pending, wanted, &got) || got == 0) break;
        if (got > announced - total || deadline.Passed()) {
            writeFailed = true;  // not the announced file, or too late
            break;
        }
        pending += got;
        total += got;
        if (progress) {
            unsigned long long percent = announced ? total * 100 / announced : 100;
            progress(static_cast<int>(percent > 100 ? 100 : percent));
        }
    }
    if (!writePending()) writeFailed = true;  // what arrived stays, as it came
    const bool closed = !created || ::CloseHandle(created.release());
    const bool cancelled = s.Cancelled();
    s.Release();
    return !writeFailed && closed && !cancelled && total == announced;
}
}  // namespace

bool Download(const wchar_t* url, const wchar_t* targetFile, const std::function<void(int percent)>& progress,
              DownloadSession* session, DWORD blockSize, const FetchLimits& limits) {
    return targetFile && DownloadInto(url, DownloadTarget{targetFile, INVALID_HANDLE_VALUE}, progress, session,
                                      blockSize, limits);
}

bool Download(const wchar_t* url, HANDLE target, const std::function<void(int percent)>& progress,
              DownloadSession* session, DWORD blockSize, const FetchLimits& limits) {
    return DownloadInto(url, DownloadTarget{nullptr, target}, progress, session, blockSize, limits);
}

}  // namespace kvr
