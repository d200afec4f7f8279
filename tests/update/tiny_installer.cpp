// A stand-in game-hall installer (and installed client, and web browser):
// leaves a mark named after its own file in the temporary folder
// ("Dragon.exe" leaves "Dragon.ran"), so a test can tell which of the
// programs it offered was started, holding its parent process's id and its
// command line.
#include <windows.h>
#include <tlhelp32.h>
#include <string>

int main() {
    wchar_t self[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return 1;
    wchar_t* name = self;
    for (wchar_t* c = self; *c; ++c)
        if (*c == L'\\' || *c == L'/') name = c + 1;
    for (wchar_t* c = name; *c; ++c)
        if (*c == L'.') *c = 0;
    wchar_t path[MAX_PATH] = {};
    const DWORD temp = ::GetTempPathW(MAX_PATH, path);
    if (temp == 0 || temp + ::lstrlenW(name) + 5 > MAX_PATH) return 1;
    ::lstrcatW(path, name);
    ::lstrcatW(path, L".ran");
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    HANDLE processes = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    for (BOOL more = ::Process32FirstW(processes, &entry); more && entry.th32ProcessID != ::GetCurrentProcessId();)
        more = ::Process32NextW(processes, &entry);
    ::CloseHandle(processes);
    const std::wstring text = std::to_wstring(entry.th32ParentProcessID) + L" " + ::GetCommandLineW();
    HANDLE f = ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    if (f != INVALID_HANDLE_VALUE) {
        ::WriteFile(f, text.c_str(), static_cast<DWORD>(text.size() * 2), &written, nullptr);
        ::CloseHandle(f);
    }
    return 0;
}
