#include "tests/support/ui_driver.h"

#include <cstdlib>

namespace kvrtest {

namespace {

std::wstring EnvPath(const char* var) {
    const char* v = std::getenv(var);
    if (!v) return L"";
    std::string s(v);
    std::wstring w;
    int n = ::MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, nullptr, 0);
    if (n > 0) {
        w.resize(static_cast<size_t>(n - 1));
        ::MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, &w[0], n);
    }
    // Linux paths reach Wine programs through drive Z:.
    if (!w.empty() && w[0] == L'/') {
        for (auto& c : w) if (c == L'/') c = L'\\';
        w = L"Z:" + w;
    }
    return w;
}

std::wstring JoinPath(std::wstring dir, const std::wstring& rel) {
    if (!dir.empty() && dir.back() != L'\\') dir += L'\\';
    std::wstring r = rel;
    for (auto& c : r) if (c == L'/') c = L'\\';
    return dir + r;
}

}  // namespace

std::wstring BuildPath(const std::wstring& relative) { return JoinPath(EnvPath("KVR_BUILD_DIR"), relative); }
std::wstring SourcePath(const std::wstring& relative) { return JoinPath(EnvPath("KVR_SOURCE_DIR"), relative); }

Process::~Process() {
    Kill();
    if (m_process) ::CloseHandle(m_process);
}

bool Process::Start(const std::wstring& exe, const std::wstring& args) {
    std::wstring cmd = L"\"" + exe + L"\"";
    if (!args.empty()) cmd += L" " + args;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    ::CloseHandle(pi.hThread);
    m_process = pi.hProcess;
    m_pid = pi.dwProcessId;
    return true;
}

bool Process::Wait(DWORD timeoutMs, DWORD* exitCode) {
    if (!m_process) return true;
    if (::WaitForSingleObject(m_process, timeoutMs) != WAIT_OBJECT_0) return false;
    if (exitCode) ::GetExitCodeProcess(m_process, exitCode);
    return true;
}

void Process::Kill() {
    if (m_process && ::WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(m_process, 99);
        ::WaitForSingleObject(m_process, 5000);
    }
}

std::wstring WindowText(HWND hwnd) {
    wchar_t buf[1024] = {};
    ::SendMessageTimeoutW(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 2000,
                          nullptr);
    buf[1023] = 0;
    return buf;
}

std::wstring ClassName(HWND hwnd) {
    wchar_t buf[256] = {};
    ::GetClassNameW(hwnd, buf, 256);
    return buf;
}

std::vector<HWND> FindTopWindows(const wchar_t* cls, const wchar_t* title, DWORD pid, bool visibleOnly) {
    struct Query {
        const wchar_t* cls;
        const wchar_t* title;
        DWORD pid;
        bool visibleOnly;
        std::vector<HWND> found;
    } q{cls, title, pid, visibleOnly, {}};
    ::EnumWindows(
        [](HWND h, LPARAM lp) -> BOOL {
            auto* q = reinterpret_cast<Query*>(lp);
            if (q->visibleOnly && !::IsWindowVisible(h)) return TRUE;
            if (q->pid) {
                DWORD p = 0;
                ::GetWindowThreadProcessId(h, &p);
                if (p != q->pid) return TRUE;
            }
            if (q->cls && ClassName(h) != q->cls) return TRUE;
            if (q->title && WindowText(h) != q->title) return TRUE;
            q->found.push_back(h);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&q));
    return q.found;
}

HWND WaitForWindow(const wchar_t* cls, const wchar_t* title, DWORD timeoutMs, DWORD pid, bool visibleOnly) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            auto all = FindTopWindows(cls, title, pid, visibleOnly);
            found = all.empty() ? nullptr : all.front();
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

std::wstring AllTexts(HWND hwnd) {
    std::wstring out;
    ::EnumChildWindows(
        hwnd,
        [](HWND h, LPARAM lp) -> BOOL {
            auto* out = reinterpret_cast<std::wstring*>(lp);
            std::wstring t = WindowText(h);
            if (!t.empty()) {
                if (!out->empty()) *out += L"\n";
                *out += t;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&out));
    return out;
}

bool ClickButton(HWND dialog, int id) {
    HWND button = ::GetDlgItem(dialog, id);
    if (!button) return false;
    return ::PostMessageW(button, BM_CLICK, 0, 0) != FALSE;
}

void PressKeys(std::initializer_list<WORD> keys) {
    std::vector<INPUT> inputs;
    for (WORD k : keys) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = k;
        inputs.push_back(in);
    }
    for (auto it = keys.end(); it != keys.begin();) {
        --it;
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = *it;
        in.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(in);
    }
    ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

}  // namespace kvrtest
