#include "install/install.h"

#include <windows.h>
#include <objbase.h>
#include "app/access_list.h"
#include "app/endpoints.h"
#include "app/module_path.h"
#include "app/settings.h"
#include "install/shortcuts.h"

namespace kvr {

std::wstring InstalledPathFor(const wchar_t* exePath, const wchar_t* installFolder) {
    if (!exePath || !installFolder || !*installFolder) return {};
    const std::wstring exe(exePath);
    const size_t slash = exe.rfind(L'\\');
    const std::wstring name = slash == std::wstring::npos ? exe : exe.substr(slash + 1);
    if (name.empty()) return {};
    std::wstring path = std::wstring(installFolder) + L"\\" + name;
    return path.size() < MAX_PATH ? path : std::wstring();
}

std::wstring CopyIntoInstallFolder(const wchar_t* exePath, const wchar_t* installFolder) {
    const std::wstring target = InstalledPathFor(exePath, installFolder);
    if (target.empty()) return {};
    if (!MakeInstallFolder(installFolder, true)) return {};
    // Run from the installation folder itself: never copy a file onto itself.
    if (::lstrcmpiW(target.c_str(), exePath) == 0) return target;
    if (!::CopyFileW(exePath, target.c_str(), FALSE)) return {};
    return target;
}

bool StartProgram(const wchar_t* path) {
    if (!path || !*path) return false;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION pi{};
    // CreateProcessW may write into the command line: give it its own copy.
    wchar_t commandLine[MAX_PATH + 2] = {};
    if (::lstrlenW(path) >= MAX_PATH) return false;
    commandLine[0] = L'"';
    ::lstrcpynW(commandLine + 1, path, MAX_PATH);
    ::lstrcatW(commandLine, L"\"");
    if (!::CreateProcessW(path, commandLine, nullptr, nullptr, FALSE, IDLE_PRIORITY_CLASS, nullptr,
                          nullptr, &si, &pi))
        return false;
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return true;
}

void CreateShortcuts(const wchar_t* exePath) {
    const std::wstring portalDescription = std::wstring(ServerHost(Server::Portal)) + L"中国最大的网页游戏平台";
    CreateDesktopShortcut(kGameLinkName, exePath, L"/KvrD", 0, kGameLinkName);
    CreateDesktopShortcut(kPortalLinkName, exePath, L"/webMarvoleD", 1, portalDescription.c_str());
    CreateStartMenuShortcut(L"/KvrD", exePath, kGameLinkName);
    CreateStartMenuShortcut(L"/uninst", exePath, kUninstallLinkName);
}

void InstallProgram() {
    const HRESULT com = ::CoInitialize(nullptr);
    wchar_t exe[MAX_PATH];
    wchar_t folder[MAX_PATH] = {};
    if (ModulePath(nullptr, exe, MAX_PATH) && InstallFolder(folder)) {
        // The copy fails while the installed client runs (its file is in
        // use): the shortcuts and the start still go ahead, with the copy
        // that is there. The shortcuts skip a missing target by themselves.
        CopyIntoInstallFolder(exe, folder);
        const std::wstring installed = InstalledPathFor(exe, folder);
        if (!installed.empty()) {
            CreateShortcuts(installed.c_str());
            StartProgram(installed.c_str());
        }
    }
    if (SUCCEEDED(com)) ::CoUninitialize();
}

}  // namespace kvr
