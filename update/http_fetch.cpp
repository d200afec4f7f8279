#include "update/http_fetch.h"

#include <process.h>
#include <shlwapi.h>
#include <cstring>
#include <cstdio>
#include <cwchar>
#include <memory>

namespace kvr {
namespace {

// Sent with every request, exactly (the blank before the first CRLF included).
constexpr wchar_t kRequestHeader[] =
    L"Accept-Language: zh-cn \r\nContent-Type: application/x-www-form-urlencoded\r\n";
constexpr wchar_t kUserAgent[] = L"RTW";
constexpr int kUrlChars = 512;

// The three handles of one request, closed request first.
struct Request {
    HINTERNET session = nullptr, connect = nullptr, request = nullptr;
    void Close() {
        if (request) ::InternetCloseHandle(request);
        if (connect) ::InternetCloseHandle(connect);
        if (session) ::InternetCloseHandle(session);
        request = connect = session = nullptr;
    }
};

// Opens session, connection and request; false with the handles so far
// left for the caller to close.
bool OpenRequest(const UrlParts& parts, Request* r) {
    r->session = ::InternetOpenW(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!r->session) return false;
    r->connect = ::InternetConnectW(r->session, parts.host, parts.port, nullptr, nullptr,
                                    INTERNET_SERVICE_HTTP, 0, 0);
    if (!r->connect) return false;
    r->request = ::HttpOpenRequestW(r->connect, L"GET", parts.object, L"HTTP/1.1", nullptr,
                                    nullptr, INTERNET_FLAG_RELOAD, 0);
    return r->request != nullptr;
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

bool SplitUrl(const wchar_t* url, bool requireScheme, UrlParts* out) {
    *out = UrlParts{};
    if (!url) return false;
    if (requireScheme) {
        if (_wcsnicmp(url, L"http://", 7) != 0) return false;  // stops at the terminator
    } else if (std::wcslen(url) < 7) {
        return false;
    }
    const wchar_t* rest = url + 7;
    const wchar_t* slash = std::wcschr(rest, L'/');
    const size_t hostLen = slash ? static_cast<size_t>(slash - rest) : std::wcslen(rest);
    // A host or object that does not fit is refused, not cut: a cut name
    // would reach a different server or file.
    if (hostLen == 0 || hostLen >= 260) return false;
    std::wmemcpy(out->host, rest, hostLen);
    out->host[hostLen] = 0;
    if (slash) {
        if (std::wcslen(slash + 1) >= 512) return false;
        ::lstrcpynW(out->object, slash + 1, 512);
    }
    wchar_t* colon = std::wcschr(out->host, L':');
    if (colon) {
        *colon = 0;
        long port = std::wcstol(colon + 1, nullptr, 10);
        if (port <= 0 || port > 65535) return false;
        out->port = static_cast<INTERNET_PORT>(port);
    } else {
        out->port = INTERNET_DEFAULT_HTTP_PORT;
    }
    return out->host[0] != 0;
}

int ReportRequest(const wchar_t* url, const wchar_t* body) {
    UrlParts parts;
    if (!SplitUrl(url, true, &parts)) {
        ::SetLastError(ERROR_INTERNET_INVALID_URL);
        return 0;
    }
    Request r;
    int sent = 0;
    DWORD error = 0;
    if (OpenRequest(parts, &r)) {
        const wchar_t* data = body ? body : L"";
        const DWORD dataLen = static_cast<DWORD>(std::wcslen(data));
        // The optional data is the text itself; its length is in characters.
        if (::HttpSendRequestW(r.request, kRequestHeader, static_cast<DWORD>(-1L),
                               const_cast<wchar_t*>(data), dataLen))
            sent = 1;
        else
            error = ::GetLastError();
    } else {
        error = ::GetLastError();
    }
    r.Close();
    ::SetLastError(sent ? 0 : error);
    return sent;
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
    ::CloseHandle(reinterpret_cast<HANDLE>(thread));
    ::WaitForSingleObject(events.started, INFINITE);
    ::ResetEvent(events.started);
    return 1;
}

DownloadSession::DownloadSession() { ::InitializeCriticalSection(&m_lock); }

DownloadSession::~DownloadSession() {
    Release();
    ::DeleteCriticalSection(&m_lock);
}

void DownloadSession::Cancel() {
    m_cancelled = true;
    Release();  // a read blocked on the request returns with a failure
}

void DownloadSession::Attach(HINTERNET session, HINTERNET connect, HINTERNET request) {
    ::EnterCriticalSection(&m_lock);
    m_session = session;
    m_connect = connect;
    m_request = request;
    ::LeaveCriticalSection(&m_lock);
}

void DownloadSession::Release() {
    ::EnterCriticalSection(&m_lock);
    if (m_request) ::InternetCloseHandle(m_request);
    if (m_connect) ::InternetCloseHandle(m_connect);
    if (m_session) ::InternetCloseHandle(m_session);
    m_request = m_connect = m_session = nullptr;
    ::LeaveCriticalSection(&m_lock);
}

bool Download(const wchar_t* url, const wchar_t* targetFile,
              const std::function<void(int percent)>& progress, DownloadSession* session,
              DWORD blockSize) {
    if (session && session->Cancelled()) return false;
    UrlParts parts;
    if (!url || !targetFile || !SplitUrl(url, false, &parts)) return false;
    if (blockSize == 0 || blockSize > 64 * 1024) blockSize = 512;

    Request r;
    bool opened = OpenRequest(parts, &r);
    // From here on the handles belong to the session (closed by it, possibly
    // from the dialog's thread) or to us.
    DownloadSession own;
    DownloadSession& s = session ? *session : own;
    s.Attach(r.session, r.connect, r.request);
    HINTERNET request = r.request;
    r = Request{};
    if (!opened || s.Cancelled() ||
        !::HttpSendRequestW(request, kRequestHeader, static_cast<DWORD>(-1L), nullptr, 0)) {
        s.Release();
        return false;
    }

    // Status (not 404) and an announced length, or no file at all.
    wchar_t buffer[16] = {};  // 32 bytes
    DWORD size = sizeof buffer;
    if (!::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE, buffer, &size, nullptr) ||
        std::wcstol(buffer, nullptr, 10) == 404) {
        s.Release();
        return false;
    }
    DWORD announced = 0;
    // The number form wants a buffer length of exactly a DWORD (Wine refuses
    // any other; Windows accepts it); the returned size must still be 4.
    size = sizeof(DWORD);
    std::memset(buffer, 0, sizeof buffer);
    if (!::HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, buffer,
                          &size, nullptr) ||
        size != 4) {
        s.Release();
        return false;
    }
    std::memcpy(&announced, buffer, sizeof announced);

    FILE* file = ::_wfopen(targetFile, L"wb");
    if (!file) {
        s.Release();
        return false;
    }
    // Read until a read fails or brings nothing: the end of the answer, a
    // connection cut short, or a cancel that closed the handles.
    std::unique_ptr<char[]> block(new char[blockSize]);
    unsigned long long total = 0;
    bool writeFailed = false;
    for (;;) {
        // Asking what is available first makes WinINet fill its own buffer
        // (8 KiB) from the socket, so the small reads below are served from
        // memory. Without it each 512-byte read is a socket receive of its
        // own, which costs ~60 us under Wine: 8 MB/s instead of ~50.
        DWORD available = 0;
        if (!::InternetQueryDataAvailable(request, &available, 0, 0)) break;
        DWORD got = 0;
        if (!::InternetReadFile(request, block.get(), blockSize, &got) || got == 0) break;
        if (std::fwrite(block.get(), 1, got, file) != got) {
            writeFailed = true;
            break;
        }
        total += got;
        if (progress) {
            unsigned long long percent = announced ? total * 100 / announced : 100;
            progress(static_cast<int>(percent > 100 ? 100 : percent));
        }
    }
    const bool closed = std::fclose(file) == 0;
    const bool cancelled = s.Cancelled();
    s.Release();
    return !writeFailed && closed && !cancelled && total >= announced;
}

}  // namespace kvr
