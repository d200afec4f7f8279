#include "base/process.h"

#include "base/owned.h"
#include "base/system_library.h"

namespace kvr {

bool StartProcess(const wchar_t* program, const std::wstring& commandLine, DWORD creationFlags,
                  HANDLE* process, const wchar_t* currentDirectory) {
    if (process) *process = nullptr;
    const std::wstring systemFolder = currentDirectory ? std::wstring() : SystemFolder();
    if (!currentDirectory && !systemFolder.empty()) currentDirectory = systemFolder.c_str();
    std::wstring buffer = commandLine;  // CreateProcessW may write into it
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(program, &buffer[0], nullptr, nullptr, FALSE, creationFlags, nullptr, currentDirectory,
                          &si, &pi))
        return false;
    const OwnedHandle thread(pi.hThread);
    OwnedHandle started(pi.hProcess);
    if (process) *process = started.release();
    return true;
}

bool StartProgram(const wchar_t* path, DWORD creationFlags, const wchar_t* currentDirectory) {
    if (!path || !*path) return false;
    return StartProcess(path, L"\"" + std::wstring(path) + L"\"", creationFlags, nullptr, currentDirectory);
}

}  // namespace kvr
