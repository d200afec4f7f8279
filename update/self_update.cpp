#include "update/self_update.h"

#include "app/endpoints.h"
#include "app/module_path.h"
#include "app/pathwick3_app.h"
#include "app/settings.h"
#include "update/http_fetch.h"
#include "update/prgs_dlg.h"
#include "update/version_key.h"

namespace kvr {

namespace {
std::wstring g_serverKey;  // of the last check, for the integrity test

// folder of path + "\" + name; empty when it would not fit MAX_PATH.
std::wstring Beside(const std::wstring& path, const wchar_t* name) {
    const size_t slash = path.rfind(L'\\');
    if (slash == std::wstring::npos) return {};
    std::wstring out = path.substr(0, slash + 1) + name;
    return out.size() < MAX_PATH ? out : std::wstring();
}

void DeleteAtRestart(const wchar_t* path) {
    ::MoveFileExW(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}
}  // namespace

void ReadUpdateConfig(const wchar_t* configFile, UpdateConfig* out) {
    wchar_t key[64] = {};
    wchar_t address[512] = {};
    ::GetPrivateProfileStringW(L"VerKey", L"Kvr", L"", key, 64, configFile);
    ::GetPrivateProfileStringW(L"VerKey", L"UpdAddr", L"", address, 512, configFile);
    out->key = key;
    out->address = address;
}

bool FetchUpdateConfig(const wchar_t* url, const wchar_t* configFile, UpdateConfig* out) {
    out->key.clear();
    out->address.clear();
    const bool whole = Download(url, configFile);
    if (whole) ReadUpdateConfig(configFile, out);
    // A cut page is of no use either: it does not stay in the program folder.
    ::DeleteFileW(configFile);
    return whole;
}

bool CheckUpdateWith(bool throttled, StartMode mode, bool allowedToday, const wchar_t* exePath,
                     const wchar_t* configUrl) {
    g_serverKey.clear();
    if (throttled) {
        if (mode == StartMode::Install || mode == StartMode::PortalShortcut ||
            mode == StartMode::Uninstall || mode == StartMode::NewPage)
            return false;
        if (!allowedToday) return false;
    }
    const std::wstring configFile = Beside(exePath ? exePath : L"", L"ConfigKvr.htm");
    if (configFile.empty()) return false;
    UpdateConfig config;
    FetchUpdateConfig(configUrl, configFile.c_str(), &config);
    App().SetUpdateAddress(config.address.c_str());
    if (config.key.empty()) return false;
    g_serverKey = config.key;
    const std::wstring local = VersionKeyOfFile(exePath);
    return !VersionKeysMatch(config.key, local);
}

const std::wstring& LastServerKey() { return g_serverKey; }

bool SwapInUpdate(const wchar_t* exePath, const wchar_t* newPath, const wchar_t* oldPath) {
    // A running executable may be renamed, not overwritten: move it aside.
    if (!::MoveFileExW(exePath, oldPath, MOVEFILE_REPLACE_EXISTING)) {
        DeleteAtRestart(newPath);
        return false;
    }
    if (!::MoveFileExW(newPath, exePath, MOVEFILE_REPLACE_EXISTING)) {
        // Never leave the player without the program.
        ::MoveFileExW(oldPath, exePath, MOVEFILE_REPLACE_EXISTING);
        DeleteAtRestart(newPath);
        return false;
    }
    DeleteAtRestart(oldPath);
    return true;
}

bool InstallDownloadedUpdate(const wchar_t* exePath, const wchar_t* newPath,
                             const std::wstring& serverKey) {
    const std::wstring oldPath = Beside(exePath, L"OldKvr.exe");
    // Only the build the server described replaces the program.
    if (oldPath.empty() || !VersionKeysMatch(VersionKeyOfFile(newPath), serverKey)) {
        DeleteAtRestart(newPath);
        return false;
    }
    return SwapInUpdate(exePath, newPath, oldPath.c_str());
}

bool CheckUpdate(bool throttled) {
    const std::wstring exe = OwnProgramPath();
    if (exe.empty()) return false;
    const StartMode mode = throttled ? ParseProcessCommandLine().mode : App().Mode();
    const bool allowed = throttled ? ReadUpdateAllowed() : true;
    return CheckUpdateWith(throttled, mode, allowed, exe.c_str(),
                           ServerUrl(Server::ClientService, paths::kUpdateConfig).c_str());
}

bool InstallUpdate() {
    const std::wstring exe = OwnProgramPath();
    const std::wstring newPath = Beside(exe, L"NewKvr.exe");
    if (newPath.empty()) return false;
    CPrgsDlg dialog;
    dialog.SetUrl(App().UpdateAddress());
    dialog.SetTargetPath(newPath.c_str());
    if (dialog.DoModal(nullptr) != IDOK) {
        DeleteAtRestart(newPath.c_str());
        return false;
    }
    return InstallDownloadedUpdate(exe.c_str(), newPath.c_str(), g_serverKey);
}

}  // namespace kvr
