#include "game_window_support.h"

#include <tlhelp32.h>
#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>
#include "base/module_path.h"
#include "gamewnd/game_window.h"
#include "tests/support/ui_driver.h"

namespace kvr::test {

std::wstring FakePagePath() {
    const std::wstring p = OwnProgramPath();
    return p.substr(0, p.rfind(L'\\') + 1) + L"gamewnd_fake_page.exe";
}

void SetNextPage(const std::wstring& caption, const std::wstring& mode) {
    ::SetEnvironmentVariableW(L"KVR_FAKE_CAPTION", caption.c_str());
    ::SetEnvironmentVariableW(L"KVR_FAKE_MODE", mode.c_str());
}

namespace {
// Page processes this test started that outlived their game window (a
// leftover would keep the test runner's output pipe open).
void EndLeftoverPages() {
    const DWORD self = ::GetCurrentProcessId();
    kvrtest::WaitUntil(
        [&] {
            HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
            if (snap == INVALID_HANDLE_VALUE) return true;
            PROCESSENTRY32W entry{};
            entry.dwSize = sizeof(entry);
            bool any = false;
            for (BOOL ok = ::Process32FirstW(snap, &entry); ok; ok = ::Process32NextW(snap, &entry))
                if (entry.th32ParentProcessID == self && ::lstrcmpiW(entry.szExeFile, L"gamewnd_fake_page.exe") == 0)
                    any = true;
            ::CloseHandle(snap);
            return !any;
        },
        2000);
    HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL ok = ::Process32FirstW(snap, &entry); ok; ok = ::Process32NextW(snap, &entry)) {
        if (entry.th32ParentProcessID != self || ::lstrcmpiW(entry.szExeFile, L"gamewnd_fake_page.exe") != 0)
            continue;
        if (HANDLE p = ::OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID)) {
            ::TerminateProcess(p, 7);
            ::CloseHandle(p);
        }
    }
    ::CloseHandle(snap);
}
}  // namespace

namespace {
// The messages the hooked thread took, as (message, wParam).
std::mutex g_takenLock;
std::vector<std::pair<UINT, WPARAM>> g_taken;
}  // namespace

LRESULT CALLBACK GameWindowRun::OnMessageTaken(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        const MSG* msg = reinterpret_cast<const MSG*>(lParam);
        const std::lock_guard<std::mutex> lock(g_takenLock);
        g_taken.emplace_back(msg->message, msg->wParam);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

int GameWindowRun::Taken(UINT message, WPARAM wParam) {
    const std::lock_guard<std::mutex> lock(g_takenLock);
    return static_cast<int>(std::count_if(g_taken.begin(), g_taken.end(), [&](const std::pair<UINT, WPARAM>& m) {
        return m.first == message && (wParam == kAnyWParam || m.second == wParam);
    }));
}

bool GameWindowRun::WaitTaken(UINT message, int count, DWORD timeoutMs, WPARAM wParam) {
    // Taken before it is dispatched: a message sent afterwards is answered
    // once the taken one was handled.
    return kvrtest::WaitUntil([&] { return Taken(message, wParam) >= count; }, timeoutMs) && Dlg() != nullptr;
}

GameWindowRun::GameWindowRun() { m_ready = ::CreateEventW(nullptr, TRUE, FALSE, nullptr); }

GameWindowRun::~GameWindowRun() {
    if (m_queueHook) ::UnhookWindowsHookEx(m_queueHook);
    {
        const std::lock_guard<std::mutex> lock(g_takenLock);
        g_taken.clear();
    }
    if (m_thread) {
        if (::WaitForSingleObject(m_thread, 0) == WAIT_TIMEOUT && m_hwnd) {
            // A close request: with pages it asks first, and the answer is Yes.
            const bool pages = PageCount() > 0;
            ::PostMessageW(m_hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
            if (pages)
                if (HWND box = WaitForMessageBox(3000)) Answer(box, true);
        }
        if (::WaitForSingleObject(m_thread, 10000) == WAIT_TIMEOUT) ::TerminateThread(m_thread, 1);
        ::CloseHandle(m_thread);
        EndLeftoverPages();
    }
    ::CloseHandle(m_ready);
}

DWORD WINAPI GameWindowRun::ThreadMain(LPVOID param) {
    auto* self = static_cast<GameWindowRun*>(param);
    {
        CPathwick3Dlg dlg;
        dlg.SetPageProgram(FakePagePath());
        dlg.SetFirstPage(StartFirstPage(FakePagePath()));  // as the program starts it: before the window
        self->m_dlg = &dlg;
        ::SetEvent(self->m_ready);
        dlg.DoModal(nullptr);
        self->m_dlg = nullptr;
    }
    // Drain what the loop left (the quit message).
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    return 0;
}

bool GameWindowRun::Start(DWORD timeoutMs) {
    m_thread = ::CreateThread(nullptr, 0, ThreadMain, this, 0, &m_threadId);
    if (!m_thread || ::WaitForSingleObject(m_ready, timeoutMs) != WAIT_OBJECT_0) return false;
    m_queueHook = ::SetWindowsHookExW(WH_GETMESSAGE, OnMessageTaken, nullptr, m_threadId);
    if (!m_queueHook) return false;
    return kvrtest::WaitUntil(
        [&] {
            CPathwick3Dlg* d = m_dlg.load();
            if (d && d->m_hWnd) m_hwnd = d->m_hWnd;
            return m_hwnd != nullptr;
        },
        timeoutMs);
}

bool GameWindowRun::WaitEnded(DWORD timeoutMs) {
    return m_thread && ::WaitForSingleObject(m_thread, timeoutMs) == WAIT_OBJECT_0;
}

CPathwick3Dlg* GameWindowRun::Dlg() {
    DWORD_PTR ignored = 0;
    if (m_hwnd) ::SendMessageTimeoutW(m_hwnd, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &ignored);
    return m_dlg.load();
}

namespace {
struct BoxSearch {
    HWND game;
    HWND exclude;
    HWND found;
};
BOOL CALLBACK FindBox(HWND hwnd, LPARAM param) {
    auto* s = reinterpret_cast<BoxSearch*>(param);
    if (hwnd == s->game || hwnd == s->exclude || !::IsWindowVisible(hwnd)) return TRUE;
    if (kvrtest::ClassName(hwnd) != L"#32770") return TRUE;
    s->found = hwnd;
    return FALSE;
}
}  // namespace

HWND GameWindowRun::WaitForMessageBox(DWORD timeoutMs) {
    BoxSearch search{m_hwnd, nullptr, nullptr};
    CPathwick3Dlg* d = m_dlg.load();
    if (d) search.exclude = d->AddAccountWindow();
    kvrtest::WaitUntil(
        [&] {
            search.found = nullptr;
            ::EnumThreadWindows(m_threadId, FindBox, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        timeoutMs);
    return search.found;
}

void GameWindowRun::Answer(HWND box, bool first) {
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(first ? 5000 : 5001, BN_CLICKED), 0);
}

bool GameWindowRun::WaitForPages(int count, DWORD timeoutMs) {
    return kvrtest::WaitUntil([&] { return PageCount() == count; }, timeoutMs);
}

HWND GameWindowRun::Page(int i) {
    CPathwick3Dlg* d = Dlg();
    return d ? d->Pages().Window(i) : nullptr;
}

DWORD GameWindowRun::PageProcessId(int i) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(Page(i), &pid);
    return pid;
}


}  // namespace kvr::test
