// A stand-in game-hall installer (and web browser): leaves a mark in the temporary
// folder, holding its parent process's id and its command line.
#include <windows.h>
#include <tlhelp32.h>
#include <string>

int main() {
    wchar_t path[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, path);
    ::lstrcatW(path, L"kvr_tiny_installer.ran");
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    HANDLE processes = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    for (BOOL more = ::Process32FirstW(processes, &entry); more && entry.th32ProcessID != ::GetCurrentProcessId();)
        more = ::Process32NextW(processes, &entry);
    ::CloseHandle(processes);
    const std::wstring text = std::to_wstring(entry.th32ParentProcessID) + L" " + ::GetCommandLineW();
    HANDLE f = ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(f, text.c_str(), static_cast<DWORD>(text.size() * 2), &written, nullptr);
    if (f != INVALID_HANDLE_VALUE) ::CloseHandle(f);
    return 0;
}
