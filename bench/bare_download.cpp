// The yardstick for the update download: the download loop and nothing else,
// with the calls and flags of kvr.exe's (base/http_fetch.cpp): "RTW", a
// GET with INTERNET_FLAG_RELOAD and the same header, the status and length
// checks, then 512-byte InternetReadFile reads written to a file.
//   bench_bare_download URL FILE [--fill]
// --fill asks InternetQueryDataAvailable before each read, as kvr.exe does
// so that WinINet fills its buffer first; without it each read is bare.
// Prints download_ms, bytes and ok.
#include <windows.h>
#include <wininet.h>
#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    const bool fill = argc > 3 && std::wcscmp(argv[3], L"--fill") == 0;
    const ULONGLONG t0 = ::GetTickCount64();
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    wchar_t host[260] = {}, object[512] = {};
    parts.lpszHostName = host;
    parts.dwHostNameLength = 260;
    parts.lpszUrlPath = object;
    parts.dwUrlPathLength = 512;
    if (!::InternetCrackUrlW(argv[1], 0, 0, &parts)) return 3;
    HINTERNET session = ::InternetOpenW(L"RTW", 0, nullptr, nullptr, 0);
    HINTERNET connect = ::InternetConnectW(session, host, parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET request = ::HttpOpenRequestW(connect, L"GET", object, L"HTTP/1.1", nullptr, nullptr,
                                           INTERNET_FLAG_RELOAD, 0);
    static const wchar_t header[] = L"Accept-Language: zh-cn \r\nContent-Type: application/x-www-form-urlencoded\r\n";
    unsigned long long total = 0;
    DWORD announced = 0;
    bool ok = request && ::HttpSendRequestW(request, header, static_cast<DWORD>(-1L), nullptr, 0);
    if (ok) {
        wchar_t status[16] = {};
        DWORD size = sizeof status;
        ok = ::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE, status, &size, nullptr) && _wtoi(status) == 200;
        size = sizeof announced;
        ok = ok && ::HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &announced, &size,
                                    nullptr);
    }
    FILE* file = ok ? ::_wfopen(argv[2], L"wb") : nullptr;
    if (file) {
        char block[512];
        for (;;) {
            DWORD available = 0;
            if (fill && !::InternetQueryDataAvailable(request, &available, 0, 0)) break;
            DWORD got = 0;
            if (!::InternetReadFile(request, block, sizeof block, &got) || got == 0) break;
            if (std::fwrite(block, 1, got, file) != got) break;
            total += got;
        }
        std::fclose(file);
    }
    if (request) ::InternetCloseHandle(request);
    if (connect) ::InternetCloseHandle(connect);
    if (session) ::InternetCloseHandle(session);
    ok = ok && file && total >= announced;
    std::printf("download_ms=%llu\nbytes=%llu\nok=%d\n", ::GetTickCount64() - t0, total, ok ? 1 : 0);
    return ok ? 0 : 1;
}
