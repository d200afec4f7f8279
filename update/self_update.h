// Self-update: the update configuration page, the version key, the download
// and the swap of the running executable.
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include "base/command_line.h"
#include "base/http_fetch.h"
#include "update/program_image.h"
#include "update/update_signature.h"

namespace kvr {

// What a configuration page says ("VerKey": "Kvr", UpdAddr, UpdSig).
struct UpdateConfig {
    std::wstring key;        // at most 63 characters
    std::wstring address;    // at most 511 characters
    std::wstring signature;  // base64, at most kSignatureChars - 2 characters
};

// Downloads the configuration page from url into a new file of the work
// folder that goes with its handle, and reads it back through that handle.
// False (and an empty key) unless the whole page arrived.
// session and blockSize as for Download.
bool FetchUpdateConfig(const wchar_t* url, UpdateConfig* out, DownloadSession* session = nullptr,
                       DWORD blockSize = 512);
// Reads "VerKey"/"Kvr" (at most 63 characters), "VerKey"/"UpdAddr" (at most
// 511) and "VerKey"/"UpdSig" from a configuration page's bytes as the
// profile functions read an INI file (sections and keys in any case, blanks
// and one pair of quotes around a value dropped, the first of a key
// counts; text in the system code page, or UTF-16 or UTF-8 after their byte
// order mark); missing values are empty, and so is a signature too long for
// its buffer.
void ParseUpdateConfig(const std::string& page, UpdateConfig* out);

// What a check found. Failed: no page, a cut or failed download of it, or a
// page without a key. A throttled check that may not run today is Current.
enum class UpdateCheck { Failed, Current, Newer };

// A check's verdict with what the page offered: the server's key (empty when
// none was obtained), the address ("UpdAddr", also when the page had no key)
// and the signature, which InstallUpdate needs.
struct UpdateFound {
    UpdateCheck result = UpdateCheck::Failed;
    UpdateConfig offered;
};

// The check with its inputs given: mode of this process, whether the stored
// update time allows a check today, the running executable and the
// configuration page's address. Newer when the server's key describes another
// build than the local one.
UpdateFound CheckUpdateWith(bool throttled, StartMode mode, bool allowedToday, const wchar_t* exePath,
                            const wchar_t* configUrl);

// How an update ended.
enum class UpdateInstall {
    Refused,      // nothing changed: the program at exePath is the one that ran
    Installed,    // the new build is at exePath, the old one at OldKvr.exe
    OldKvrOnly,   // no program at exePath until the next restart moves the
                  // old one back from OldKvr.exe, where it runs from now
};

// MoveFileExW, or what a test puts in its place to act between the moves.
using MoveFileFn = std::function<BOOL(const wchar_t* from, const wchar_t* to, DWORD flags)>;

// Swaps newPath in for exePath, keeping the replaced file as oldPath (marked
// for deletion at the next restart). If the new file cannot be moved into
// place, or (given checked, held open) what arrived at exePath is not that
// file, the old one is moved back; where even that fails (another process
// holds the files), it is moved back at the next restart.
UpdateInstall SwapInUpdate(const wchar_t* exePath, const wchar_t* newPath, const wchar_t* oldPath,
                           const HeldFile* checked = nullptr, const MoveFileFn& move = ::MoveFileExW);

// After a download: the new file's digest must be the server key's, in a
// build with a key the signature must be the maker's, and it must be the
// running program's next version (IsNextVersionOf), all checked on the file
// held open until it is in place. Otherwise nothing is swapped and the
// download is deleted (marked for deletion where it cannot be). A program
// running from OldKvr.exe is never updated.
UpdateInstall InstallDownloadedUpdate(const wchar_t* exePath, const wchar_t* newPath, const std::wstring& serverKey,
                                      const std::wstring& signature, const char* publicKeyPem = BuiltInUpdateKey());

// Fetches the update configuration and compares version keys. With
// throttled set, the check runs at most once a day and not on the disabled
// weekdays.
UpdateFound CheckUpdate(bool throttled);

// The unthrottled check on a thread of its own, so that the calling thread
// keeps handling its messages (and its keyboard hook) while a slow server
// answers. Posts `message` to window with wParam = the UpdateCheck; false
// when no thread could be started.
bool CheckUpdateInBackground(HWND window, UINT message);

// Downloads the offered update with the progress dialog and swaps it in for
// the running executable.
UpdateInstall InstallUpdate(const UpdateConfig& offered);
// The same for the executable at exePath ("NewKvr.exe" beside it).
UpdateInstall InstallUpdateOf(const wchar_t* exePath, const UpdateConfig& offered);

// After OldKvrOnly: starts the program from "OldKvr.exe" beside exePath with
// the game shortcut's switch, at idle priority.
bool StartOldKvr(const wchar_t* exePath);

}  // namespace kvr
