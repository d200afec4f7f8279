#include "update/self_update.h"

#include <memory>

#include "base/endpoints.h"
#include "base/http_fetch.h"
#include "base/module_path.h"
#include "base/owned.h"
#include "base/settings.h"
#include "update/prgs_dlg.h"
#include "update/update_signature.h"
#include "update/version_key.h"

namespace kvr {

namespace {
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
    wchar_t signature[kSignatureChars] = {};
    ::GetPrivateProfileStringW(L"VerKey", L"Kvr", L"", key, 64, configFile);
    ::GetPrivateProfileStringW(L"VerKey", L"UpdAddr", L"", address, 512, configFile);
    const DWORD n = ::GetPrivateProfileStringW(L"VerKey", L"UpdSig", L"", signature, kSignatureChars, configFile);
    out->key = key;
    out->address = address;
    // A signature that filled the buffer may have been cut: it is no signature.
    out->signature = n + 1 < kSignatureChars ? signature : L"";
}

bool FetchUpdateConfig(const wchar_t* url, const wchar_t* configFile, UpdateConfig* out) {
    *out = UpdateConfig{};
    const bool whole = Download(url, configFile);
    if (whole) ReadUpdateConfig(configFile, out);
    // A cut page is of no use either: it does not stay in the program folder.
    ::DeleteFileW(configFile);
    return whole;
}

UpdateFound CheckUpdateWith(bool throttled, StartMode mode, bool allowedToday, const wchar_t* exePath,
                            const wchar_t* configUrl) {
    UpdateFound found;
    if (throttled) {
        if (mode == StartMode::Install || mode == StartMode::PortalShortcut ||
            mode == StartMode::Uninstall || mode == StartMode::NewPage || !allowedToday) {
            found.result = UpdateCheck::Current;
            return found;
        }
    }
    const std::wstring configFile = Beside(exePath ? exePath : L"", L"ConfigKvr.htm");
    if (configFile.empty()) return found;
    FetchUpdateConfig(configUrl, configFile.c_str(), &found.offered);
    // No page, a cut page, or one without a key: nothing is known.
    if (found.offered.key.empty()) return found;
    const std::wstring local = VersionKeyOfFile(exePath);
    found.result = VersionKeysMatch(found.offered.key, local) ? UpdateCheck::Current : UpdateCheck::Newer;
    return found;
}

bool SwapInUpdate(const wchar_t* exePath, const wchar_t* newPath, const wchar_t* oldPath,
                  const HeldFile* checked) {
    // A running executable may be renamed, not overwritten: move it aside.
    if (!::MoveFileExW(exePath, oldPath, MOVEFILE_REPLACE_EXISTING)) return false;
    // Never leave the player without the program, and never with a file
    // other than the one checked (exchanged while it was being moved).
    if (!::MoveFileExW(newPath, exePath, MOVEFILE_REPLACE_EXISTING) || (checked && !checked->IsAt(exePath))) {
        ::MoveFileExW(oldPath, exePath, MOVEFILE_REPLACE_EXISTING);
        return false;
    }
    DeleteAtRestart(oldPath);
    return true;
}

bool InstallDownloadedUpdate(const wchar_t* exePath, const wchar_t* newPath, const std::wstring& serverKey,
                             const std::wstring& signature, const char* publicKeyPem) {
    const std::wstring oldPath = Beside(exePath ? exePath : L"", L"OldKvr.exe");
    bool installed = false;
    {
        // Checked and moved while held: nobody can write to it in between.
        HeldFile update(newPath, HeldFile::Use::Move);
        // Only the build the server described, signed by the maker.
        installed = !oldPath.empty() && update.IsOpen() &&
                    VersionKeysMatch(VersionKeyOfHandle(update.Handle()), serverKey) &&
                    update.SignatureVerifies(signature.c_str(), publicKeyPem) &&
                    SwapInUpdate(exePath, newPath, oldPath.c_str(), &update);
    }
    if (!installed) DiscardDownload(newPath);
    return installed;
}

UpdateFound CheckUpdate(bool throttled) {
    const std::wstring exe = OwnProgramPath();
    if (exe.empty()) return UpdateFound{};
    // Only the throttled check asks which mode this process runs in.
    const StartMode mode = throttled ? ParseProcessCommandLine().mode : StartMode::Update;
    const bool allowed = throttled ? ReadUpdateAllowed() : true;
    return CheckUpdateWith(throttled, mode, allowed, exe.c_str(),
                           ServerUrl(Server::ClientService, paths::kUpdateConfig).c_str());
}

namespace {
struct BackgroundCheck {
    HWND window;
    UINT message;
};

DWORD WINAPI BackgroundCheckThread(void* param) {
    std::unique_ptr<BackgroundCheck> check(static_cast<BackgroundCheck*>(param));
    const UpdateCheck result = CheckUpdate(false).result;
    // A window closed meanwhile: the answer goes nowhere.
    ::PostMessageW(check->window, check->message, static_cast<WPARAM>(result), 0);
    return 0;
}
}  // namespace

bool CheckUpdateInBackground(HWND window, UINT message) {
    auto* check = new BackgroundCheck{window, message};
    // The thread runs on its own; its handle is not needed.
    const OwnedHandle thread(::CreateThread(nullptr, 0, BackgroundCheckThread, check, 0, nullptr));
    if (!thread) {
        delete check;
        return false;
    }
    return true;
}

bool InstallUpdate(const UpdateConfig& offered) { return InstallUpdateOf(OwnProgramPath().c_str(), offered); }

bool InstallUpdateOf(const wchar_t* exePath, const UpdateConfig& offered) {
    const std::wstring exe = exePath ? exePath : L"";
    const std::wstring newPath = Beside(exe, L"NewKvr.exe");
    if (newPath.empty()) return false;
    CPrgsDlg dialog;
    dialog.SetUrl(offered.address.c_str());
    dialog.SetTargetPath(newPath.c_str());
    if (dialog.DoModal(nullptr) != IDOK) {
        DiscardDownload(newPath.c_str());
        return false;
    }
    return InstallDownloadedUpdate(exe.c_str(), newPath.c_str(), offered.key, offered.signature);
}

}  // namespace kvr
