#include "install/install.h"

#include <windows.h>
#include <objbase.h>
#include <shlwapi.h>
#include "base/access_list.h"
#include "base/endpoints.h"
#include "base/module_path.h"
#include "base/process.h"
#include "base/settings.h"
#include "install/browser_emulation.h"
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
    if (::lstrcmpiW(target.c_str(), exePath) != 0) ::CopyFileW(exePath, target.c_str(), FALSE);
    return target;
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
        // A folder that could not be made safe is never used.
        const std::wstring installed = CopyIntoInstallFolder(exe, folder);
        if (!installed.empty()) {
            WriteBrowserEmulation(::PathFindFileNameW(installed.c_str()));
            CreateShortcuts(installed.c_str());
            StartProgram(installed.c_str(), IDLE_PRIORITY_CLASS);
        }
    }
    if (SUCCEEDED(com)) ::CoUninitialize();
}

}  // namespace kvr
