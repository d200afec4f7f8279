#include "update/self_update.h"

#include <memory>

#include "base/endpoints.h"
#include "base/http_fetch.h"
#include "base/module_path.h"
#include "base/owned.h"
#include "base/process.h"
#include "base/settings.h"
#include "base/work_folder.h"
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

namespace {
// The page as wide text, decoded as the profile functions decode a file.
std::wstring PageText(const std::string& page) {
    if (page.size() >= 2 && static_cast<BYTE>(page[0]) == 0xFF && static_cast<BYTE>(page[1]) == 0xFE)
        return std::wstring(reinterpret_cast<const wchar_t*>(page.data() + 2), (page.size() - 2) / 2);
    const bool utf8 = page.compare(0, 3, "\xEF\xBB\xBF") == 0;
    const char* bytes = page.data() + (utf8 ? 3 : 0);
    const int length = static_cast<int>(page.size() - (utf8 ? 3 : 0));
    const UINT codePage = utf8 ? CP_UTF8 : CP_ACP;
    const int n = length > 0 ? ::MultiByteToWideChar(codePage, 0, bytes, length, nullptr, 0) : 0;
    std::wstring text(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) ::MultiByteToWideChar(codePage, 0, bytes, length, &text[0], n);
    return text;
}

std::wstring Trimmed(const std::wstring& text) {
    const size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos) return {};
    return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

// The value of key in section, as GetPrivateProfileStringW reads it.
std::wstring IniValue(const std::wstring& text, const wchar_t* section, const wchar_t* key) {
    bool inSection = false;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find_first_of(L"\r\n", start);
        if (end == std::wstring::npos) end = text.size();
        const std::wstring line = Trimmed(text.substr(start, end - start));
        start = end + 1;
        if (!line.empty() && line[0] == L'[') {
            const size_t close = line.find(L']');
            inSection = close != std::wstring::npos && ::lstrcmpiW(Trimmed(line.substr(1, close - 1)).c_str(), section) == 0;
            continue;
        }
        const size_t equals = line.find(L'=');
        if (!inSection || equals == std::wstring::npos || ::lstrcmpiW(Trimmed(line.substr(0, equals)).c_str(), key) != 0)
            continue;
        std::wstring value = Trimmed(line.substr(equals + 1));
        if (value.size() >= 2 && (value[0] == L'"' || value[0] == L'\'') && value.back() == value[0])
            value = value.substr(1, value.size() - 2);
        return value.substr(0, value.find(L'\0'));
    }
    return {};
}
}  // namespace

void ParseUpdateConfig(const std::string& page, UpdateConfig* out) {
    const std::wstring text = PageText(page);
    out->key = IniValue(text, L"VerKey", L"Kvr").substr(0, 63);
    out->address = IniValue(text, L"VerKey", L"UpdAddr").substr(0, 511);
    // A signature too long for its buffer may have been cut: it is no signature.
    const std::wstring signature = IniValue(text, L"VerKey", L"UpdSig");
    out->signature = signature.size() + 2 <= kSignatureChars ? signature : L"";
}

bool FetchUpdateConfig(const wchar_t* url, UpdateConfig* out, DownloadSession* session, DWORD blockSize) {
    *out = UpdateConfig{};
    // Never a file of the program folder or the player's temporary folder:
    // a new one of the work folder, gone when its handle closes.
    const CWorkFolder work;
    const OwnedFile page = work.CreateNewFile(L"Config", L".htm", GENERIC_READ | GENERIC_WRITE, 0,
                                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE);
    LARGE_INTEGER size{};
    if (!page || !Download(url, page.get(), {}, session, blockSize, kPageLimits) ||
        !::GetFileSizeEx(page.get(), &size) || size.QuadPart > static_cast<LONGLONG>(kPageLimits.maxBytes) ||
        ::SetFilePointer(page.get(), 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
        return false;
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() && (!::ReadFile(page.get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                           read != bytes.size()))
        return false;
    ParseUpdateConfig(bytes, out);
    return true;
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
    FetchUpdateConfig(configUrl, &found.offered);
    // No page, a cut page, or one without a key: nothing is known.
    if (found.offered.key.empty()) return found;
    const std::wstring local = VersionKeyOfFile(exePath);
    found.result = VersionKeysMatch(found.offered.key, local) ? UpdateCheck::Current : UpdateCheck::Newer;
    return found;
}

UpdateInstall SwapInUpdate(const wchar_t* exePath, const wchar_t* newPath, const wchar_t* oldPath,
                           const HeldFile* checked, const MoveFileFn& move) {
    // A running executable may be renamed, not overwritten: move it aside.
    if (!move(exePath, oldPath, MOVEFILE_REPLACE_EXISTING)) return UpdateInstall::Refused;
    // Never leave the player without the program, and never with a file
    // other than the one checked (exchanged while it was being moved).
    if (move(newPath, exePath, MOVEFILE_REPLACE_EXISTING) && (!checked || checked->IsAt(exePath))) {
        DeleteAtRestart(oldPath);
        return UpdateInstall::Installed;
    }
    if (move(oldPath, exePath, MOVEFILE_REPLACE_EXISTING)) return UpdateInstall::Refused;
    // Held by another process: back in place at the next restart, and until
    // then the program runs from where it is.
    move(oldPath, exePath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT);
    return UpdateInstall::OldKvrOnly;
}

UpdateInstall InstallDownloadedUpdate(const wchar_t* exePath, const wchar_t* newPath, const std::wstring& serverKey,
                                      const std::wstring& signature, const char* publicKeyPem) {
    const std::wstring oldPath = Beside(exePath ? exePath : L"", L"OldKvr.exe");
    UpdateInstall result = UpdateInstall::Refused;
    if (!oldPath.empty() && ::lstrcmpiW(oldPath.c_str(), exePath) != 0) {
        // Checked and moved while held: nobody can write to it in between.
        HeldFile update(newPath, HeldFile::Use::Move);
        // Only the build the server described, signed by the maker, and
        // nothing but this program's next version: no other machine's build,
        // no older one, no other program.
        if (update.IsOpen() && VersionKeysMatch(VersionKeyOfHandle(update.Handle()), serverKey) &&
            update.SignatureVerifies(signature.c_str(), publicKeyPem) &&
            IsNextVersionOf(ReadProgramImage(update.Handle()), RunningProgramImage()))
            result = SwapInUpdate(exePath, newPath, oldPath.c_str(), &update);
    }
    if (result != UpdateInstall::Installed) DiscardDownload(newPath);
    return result;
}

bool StartOldKvr(const wchar_t* exePath) {
    const std::wstring oldPath = Beside(exePath ? exePath : L"", L"OldKvr.exe");
    return !oldPath.empty() && StartProcess(oldPath.c_str(), L"\"" + oldPath + L"\" /KvrD", IDLE_PRIORITY_CLASS);
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

UpdateInstall InstallUpdate(const UpdateConfig& offered) { return InstallUpdateOf(OwnProgramPath().c_str(), offered); }

UpdateInstall InstallUpdateOf(const wchar_t* exePath, const UpdateConfig& offered) {
    const std::wstring exe = exePath ? exePath : L"";
    const std::wstring newPath = Beside(exe, L"NewKvr.exe");
    if (newPath.empty()) return UpdateInstall::Refused;
    CPrgsDlg dialog;
    dialog.SetUrl(offered.address.c_str());
    dialog.SetTargetPath(newPath.c_str());
    if (dialog.DoModal(nullptr) != IDOK) {
        DiscardDownload(newPath.c_str());
        return UpdateInstall::Refused;
    }
    return InstallDownloadedUpdate(exe.c_str(), newPath.c_str(), offered.key, offered.signature);
}

}  // namespace kvr
