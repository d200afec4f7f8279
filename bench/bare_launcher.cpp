// The yardstick for start-up, first half: what kvr.exe must do before its
// login window, with no skin, settings or reports. The same connectivity
// check, one HTTP GET (the update configuration page kvr.exe reads at start),
// then a second program (bench_bare_browser.exe, beside this one) that shows a
// dialog with a browser control on the login page, as every account's login
// window is a process of its own.
#include <windows.h>
#include <wininet.h>
#include <string>
#include "base/endpoints.h"

namespace {

bool Get(const std::wstring& url) {
    HINTERNET session = ::InternetOpenW(L"RTW", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!session) return false;
    HINTERNET request = ::InternetOpenUrlW(session, url.c_str(), nullptr, 0, INTERNET_FLAG_RELOAD, 0);
    bool ok = request != nullptr;
    char buffer[4096];
    DWORD got = 0;
    while (ok && ::InternetReadFile(request, buffer, sizeof buffer, &got) && got) {
    }
    if (request) ::InternetCloseHandle(request);
    ::InternetCloseHandle(session);
    return ok;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    if (!::InternetCheckConnectionW(kvr::ProbeUrl(), FLAG_ICC_FORCE_CONNECTION, 0)) return 1;
    if (!Get(kvr::ServerUrl(kvr::Server::ClientService, kvr::paths::kUpdateConfig))) return 1;
    wchar_t exe[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring path = exe;
    path.resize(path.find_last_of(L'\\') + 1);
    path += L"bench_bare_browser.exe";
    std::wstring cmd = L"\"" + path + L"\" " + kvr::ServerUrl(kvr::Server::Portal, kvr::paths::kLoginPage);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(path.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 1;
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return 0;
}
