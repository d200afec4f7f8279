#include "tests/support/ui_driver.h"

#include <cstdlib>
#include <cwchar>
#include <utility>
#include "base/settings.h"

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
std::wstring EnvFolderPath(const char* folder, const std::wstring& relative) {
    const std::wstring dir = EnvPath(folder);
    return dir.empty() ? dir : JoinPath(dir, relative);
}
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

namespace {
constexpr wchar_t kFlashKey[] = L"SOFTWARE\\Macromedia\\FlashPlayer";

// A missing program file counts as one of this test's own bitness.
REGSAM ViewOfBitness(const std::wstring& exe) {
    DWORD kind = 0;
    const bool is32 = ::GetBinaryTypeW(exe.c_str(), &kind) ? kind == SCS_32BIT_BINARY : sizeof(void*) == 4;
    return is32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
}
}  // namespace

ProgramRegistry::ProgramRegistry(const std::wstring& exe)
    : m_processView(ViewOfBitness(exe)), m_settingsView(kvr::kSettingsView ? kvr::kSettingsView : m_processView) {}

bool ProgramRegistry::SetFlashVersion(const wchar_t* version) const {
    kvr::OwnedKey key;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kFlashKey, 0, nullptr, 0, KEY_SET_VALUE | m_processView, nullptr,
                          key.put(), nullptr) != ERROR_SUCCESS)
        return false;
    if (!version) {
        const LONG r = ::RegDeleteValueW(key.get(), L"CurrentVersion");
        return r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND;
    }
    return ::RegSetValueExW(key.get(), L"CurrentVersion", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                            static_cast<DWORD>((std::wcslen(version) + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

kvr::OwnedKey ProgramRegistry::Settings(REGSAM access, bool create) const {
    kvr::OwnedKey key;
    const REGSAM sam = access | m_settingsView;
    const LONG r = create ? ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kvr::kSettingsKey, 0, nullptr, 0, sam, nullptr,
                                              key.put(), nullptr)
                          : ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kvr::kSettingsKey, 0, sam, key.put());
    return r == ERROR_SUCCESS ? std::move(key) : kvr::OwnedKey();
}

bool ProgramRegistry::WriteSetting(const wchar_t* name, const void* bytes, DWORD size) const {
    const kvr::OwnedKey key = Settings(KEY_SET_VALUE, true);
    return key && ::RegSetValueExW(key.get(), name, 0, REG_BINARY, static_cast<const BYTE*>(bytes), size) ==
                      ERROR_SUCCESS;
}

bool ProgramRegistry::ReadSetting(const wchar_t* name, std::string* bytes, DWORD* type) const {
    const kvr::OwnedKey key = Settings(KEY_QUERY_VALUE, false);
    DWORD size = 0;
    if (!key || ::RegQueryValueExW(key.get(), name, nullptr, type, nullptr, &size) != ERROR_SUCCESS) return false;
    bytes->assign(size, '\0');
    return ::RegQueryValueExW(key.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(&(*bytes)[0]), &size) ==
           ERROR_SUCCESS;
}

void ProgramRegistry::DeleteSetting(const wchar_t* name) const {
    if (const kvr::OwnedKey key = Settings(KEY_SET_VALUE, false)) ::RegDeleteValueW(key.get(), name);
}

void ProgramRegistry::DeleteSettings() const {
    ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kvr::kSettingsKey, m_settingsView, 0);
}

bool RoundTrip(HWND hwnd, DWORD timeoutMs) {
    DWORD_PTR ignored = 0;
    return ::SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &ignored) != 0;
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
