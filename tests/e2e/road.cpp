#include "tests/e2e/road.h"

#include <psapi.h>
#include <tlhelp32.h>
#include <cwchar>
#include "base/endpoints.h"
#include "base/messages.h"
#include "base/owned.h"
#include "browser/test_hooks.h"
#include "tests/support/portal_client.h"
#include "tests/support/ui_driver.h"

namespace kvre2e {

namespace {

// How long a login page may take to show itself once its document is complete.
constexpr DWORD kPageShowMs = 45000;

bool HasBrowserChild(HWND hwnd) {
    bool found = false;
    ::EnumChildWindows(
        hwnd,
        [](HWND h, LPARAM lp) -> BOOL {
            if (kvrtest::ClassName(h) == L"Shell Embedding") {
                *reinterpret_cast<bool*>(lp) = true;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

DWORD ProcessOf(HWND hwnd) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    return pid;
}

}  // namespace

std::wstring KvrExe() { return kvrtest::BuildPath(L"kvr.exe"); }

std::vector<DWORD> KvrProcessIds() {
    std::vector<DWORD> ids;
    HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return ids;
    PROCESSENTRY32W pe{};
    pe.dwSize = sizeof(pe);
    for (BOOL ok = ::Process32FirstW(snap, &pe); ok; ok = ::Process32NextW(snap, &pe))
        if (_wcsicmp(pe.szExeFile, L"kvr.exe") == 0 && pe.th32ProcessID != ::GetCurrentProcessId())
            ids.push_back(pe.th32ProcessID);
    ::CloseHandle(snap);
    return ids;
}

void KillKvrProcesses() {
    for (DWORD id : KvrProcessIds()) {
        HANDLE p = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
        if (!p) continue;
        ::TerminateProcess(p, 98);
        ::WaitForSingleObject(p, 5000);
        ::CloseHandle(p);
    }
}

std::vector<std::wstring> ProcessModules(DWORD pid) {
    std::vector<std::wstring> paths;
    const kvr::OwnedHandle p(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    HMODULE modules[1024];
    DWORD bytes = 0;
    wchar_t path[MAX_PATH];
    if (p && ::EnumProcessModules(p.get(), modules, sizeof modules, &bytes))
        for (DWORD i = 0; i < bytes / sizeof(HMODULE) && i < 1024; ++i)
            if (::GetModuleFileNameExW(p.get(), modules[i], path, MAX_PATH)) paths.push_back(path);
    return paths;
}

bool SetFlashVersion(const wchar_t* version) { return kvrtest::ProgramRegistry(KvrExe()).SetFlashVersion(version); }

HWND WaitForGameWindow(DWORD pid, DWORD timeoutMs) {
    return kvrtest::WaitForWindow(L"#32770", kvr::kGameWindowTitle, timeoutMs, pid);
}

HWND WaitForLoginPage(DWORD notPid, const std::vector<HWND>& known, DWORD timeoutMs) {
    HWND found = nullptr;
    kvrtest::WaitUntil(
        [&] {
            for (HWND h : kvrtest::FindTopWindows(L"#32770", nullptr)) {
                if (ProcessOf(h) == notPid || ProcessOf(h) == ::GetCurrentProcessId()) continue;
                bool old = false;
                for (HWND k : known) old = old || k == h;
                if (!old && HasBrowserChild(h)) {
                    found = h;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}

HWND WaitForMessageBox(DWORD pid, HWND except, DWORD timeoutMs) {
    HWND found = nullptr;
    kvrtest::WaitUntil(
        [&] {
            for (HWND h : kvrtest::FindTopWindows(nullptr, kvr::kGameWindowTitle, pid, true)) {
                if (h == except || HasBrowserChild(h)) continue;
                // The game window and page frames carry the same title; a box
                // has its buttons (system box: IDOK/IDYES; skinned: 5000).
                if (::GetDlgItem(h, 5000) || ::GetDlgItem(h, IDOK) || ::GetDlgItem(h, IDYES)) {
                    found = h;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}

bool AnswerMessageBox(HWND box, bool yes) {
    if (HWND b = ::GetDlgItem(box, 5000)) {  // the skinned box: 5000 Yes/OK, 5001 No/Cancel
        const int id = yes ? 5000 : 5001;
        HWND button = ::GetDlgItem(box, id);
        if (!button && !yes) return ::PostMessageW(box, WM_CLOSE, 0, 0) != FALSE;
        if (!button) button = b;
        return ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button)) !=
               FALSE;
    }
    if (yes) {
        if (::GetDlgItem(box, IDYES)) return kvrtest::ClickButton(box, IDYES);
        return kvrtest::ClickButton(box, IDOK);
    }
    if (::GetDlgItem(box, IDNO)) return kvrtest::ClickButton(box, IDNO);
    return ::PostMessageW(box, WM_CLOSE, 0, 0) != FALSE;
}

std::wstring MessageBoxTexts(HWND box) { return kvrtest::AllTexts(box); }

std::wstring GameUrl(const std::wstring& server, const std::wstring& account) {
    std::wstring number;
    for (wchar_t c : server)
        if (c != L'S') number += c;
    return kvr::ServerUrl(kvr::Server::Portal, L"/game/play.html?server=" + number + L"&uid=" + account);
}

std::wstring LoadGameUrl(const std::wstring& server, const std::wstring& area, const std::wstring& account) {
    // encodeURIComponent of the account text: UTF-8, every byte outside the
    // unreserved set escaped.
    const std::string utf8 = kvr::test::Utf8(server + L"服-" + area + L"-" + account);
    std::wstring encoded;
    for (unsigned char c : utf8) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
            c == '.' || c == '!' || c == '~' || c == '*' || c == '\'' || c == '(' || c == ')') {
            encoded += static_cast<wchar_t>(c);
        } else {
            wchar_t hex[4];
            std::swprintf(hex, 4, L"%%%02X", c);
            encoded += hex;
        }
    }
    return L"app://loadgame|" + encoded + L"|" + GameUrl(server, account);
}

std::vector<HWND> PageFrames(HWND gameWindow) {
    struct Q {
        DWORD pid;
        HWND parent;
        std::vector<HWND> found;
    } q{ProcessOf(gameWindow), gameWindow, {}};
    ::EnumChildWindows(
        gameWindow,
        [](HWND h, LPARAM lp) -> BOOL {
            auto* q = reinterpret_cast<Q*>(lp);
            // A frame re-parented without WS_CHILD answers GetParent with its owner.
            if (::GetAncestor(h, GA_PARENT) == q->parent && ProcessOf(h) != q->pid) q->found.push_back(h);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&q));
    return q.found;
}

size_t CountRequests(const std::string& path, const std::string& queryPart) {
    return kvr::test::FindRequests(kvr::test::PortalLog(), path, queryPart).size();
}

bool WaitForRequest(const std::string& path, const std::string& queryPart, DWORD timeoutMs) {
    return kvrtest::WaitUntil(
        [&] {
            if (CountRequests(path, queryPart) > 0) return true;
            ::Sleep(200);
            return false;
        },
        timeoutMs);
}

bool LogIn(HWND loginPage, const std::wstring& server, const std::wstring& area, const std::wstring& account) {
    // Under Wine the page never completes by itself: hand the dialog its
    // document-complete event first (it shows itself then), as it would get it.
    const std::wstring page = kvr::ServerUrl(kvr::Server::Portal, kvr::paths::kLoginPage);
    if (!kvr::SendTestHook(loginPage, kvr::kHookDocumentComplete, page.c_str()) ||
        !kvrtest::WaitUntil([&] { return ::IsWindowVisible(loginPage) != FALSE; }, kPageShowMs))
        return false;
    return kvr::SendTestHook(loginPage, kvr::kHookNavigate, LoadGameUrl(server, area, account).c_str());
}

}  // namespace kvre2e
