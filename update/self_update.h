// Self-update: the update configuration page, the version key, the download
// and the swap of the running executable.
#pragma once
#include <windows.h>
#include <string>
#include "app/command_line.h"

namespace kvr {

// What the update configuration page says ("VerKey": "Kvr", UpdAddr).
struct UpdateConfig {
    std::wstring key;      // at most 63 characters
    std::wstring address;  // at most 511 characters
};

// Downloads the configuration page from url into configFile, reads it and
// deletes the file. False (and an empty key) unless the whole page arrived.
bool FetchUpdateConfig(const wchar_t* url, const wchar_t* configFile, UpdateConfig* out);
// Reads "VerKey"/"Kvr" (at most 63 characters) and "VerKey"/"UpdAddr" (at
// most 511) from a downloaded configuration page; missing values are empty.
void ReadUpdateConfig(const wchar_t* configFile, UpdateConfig* out);

// The check with its inputs given: mode of this process, whether the stored
// update time allows a check today, the running executable and the
// configuration page's address. Stores the address and the server key for
// InstallUpdate. True when the server's key differs from the local one.
bool CheckUpdateWith(bool throttled, StartMode mode, bool allowedToday, const wchar_t* exePath,
                     const wchar_t* configUrl);

// The server's key from the last check (empty when none was obtained).
const std::wstring& LastServerKey();

// Swaps newPath in for exePath, keeping the replaced file as oldPath (marked
// for deletion at the next restart). If the new file cannot be moved into
// place the old one is moved back: there is always a program at exePath.
bool SwapInUpdate(const wchar_t* exePath, const wchar_t* newPath, const wchar_t* oldPath);

// After a download: the new file's key must equal the server's (case
// ignored) before it replaces anything; otherwise it is marked for deletion.
bool InstallDownloadedUpdate(const wchar_t* exePath, const wchar_t* newPath,
                             const std::wstring& serverKey);

// Fetches the update configuration and compares version keys; true when an
// update is offered (its address is kept by the application). With throttled
// set, the check runs at most once a day and not on the disabled weekdays.
bool CheckUpdate(bool throttled);

// Downloads the offered update with the progress dialog and swaps it in;
// true when the new executable is in place.
bool InstallUpdate();

}  // namespace kvr
