#include "base/process.h"

#include "base/owned.h"
namespace kvr {

bool StartProcess(const wchar_t* program, const std::wstring& commandLine, DWORD creationFlags,
                  HANDLE* process) {
    if (process) *process = nullptr;
    std::wstring buffer = commandLine;  // CreateProcessW may write into it
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(program, &buffer[0], nullptr, nullptr, FALSE, creationFlags, nullptr, nullptr,
                          &si, &pi))
        return false;
    const OwnedHandle thread(pi.hThread);
    OwnedHandle started(pi.hProcess);
    if (process) *process = started.release();
    return true;
}

bool StartProgram(const wchar_t* path, DWORD creationFlags) {
    if (!path || !*path) return false;
    return StartProcess(path, L"\"" + std::wstring(path) + L"\"", creationFlags);
}

}  // namespace kvr
