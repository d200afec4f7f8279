// The program's work folder: everything the elevated program writes, runs
// or deletes for itself (configuration pages, game-hall installers, the
// self-delete batch) lives in common application data + "\Marvole\KvrWork",
// never in the player's temporary folder, which any of the player's
// unelevated programs can redirect or fill. Only SYSTEM and the
// Administrators can read or write it; it is made like the installation
// folder (a link in its place is removed, someone else's folder moved aside)
// and held open while it is used, so it cannot be swapped meanwhile.
#pragma once
#include <windows.h>
#include <string>
#include "base/owned.h"

namespace kvr {

// Common application data + "\Marvole\KvrWork"; false (and "") when unknown.
bool WorkFolderPath(wchar_t (&folder)[MAX_PATH]);

class CWorkFolder {
public:
    // Makes the folder safe and holds it until this ends.
    CWorkFolder();
    CWorkFolder(const CWorkFolder&) = delete;
    CWorkFolder& operator=(const CWorkFolder&) = delete;

    bool Valid() const { return static_cast<bool>(m_held); }
    const std::wstring& Path() const { return m_path; }

    // A new file named prefix, "-", 16 random digits and extension, created
    // CREATE_NEW for access with the given sharing and flags
    // (FILE_FLAG_DELETE_ON_CLOSE: a file that goes with its handle); what
    // it holds is written and read through the handle. Its path in *path.
    // Empty when it could not be made.
    OwnedFile CreateNewFile(const wchar_t* prefix, const wchar_t* extension, DWORD access, DWORD share, DWORD flags,
                            std::wstring* path = nullptr) const;
    // The same under a name of the caller's (a plain name, no folder): never
    // a file that is there already, whatever its name.
    OwnedFile CreateNewFileNamed(const std::wstring& name, DWORD access, DWORD share, DWORD flags,
                                 std::wstring* path = nullptr) const;
    // A new, empty folder in it named prefix, "-" and 16 random digits, with
    // the work folder's list: a place where nothing else lies. Its path, or
    // empty when it could not be made.
    std::wstring CreateNewFolder(const wchar_t* prefix) const;

private:
    // name's path in the folder; "" for anything but a plain name.
    std::wstring PathOf(const std::wstring& name) const;
    std::wstring m_path;
    OwnedFile m_held;
};

}  // namespace kvr
