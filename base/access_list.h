// Explicit access lists for what the elevated program trusts. Its folders
// (the installation folder and the one above it): SYSTEM and Administrators
// full control, Users read and execute, passed on to everything inside and
// nothing inherited from above, so no other account can plant or change a
// file the program later runs or reads. Private files (the crash dump, which
// holds cookies): SYSTEM and Administrators only.
#pragma once
#include <windows.h>
#include "base/owned.h"

namespace kvr {

enum class AccessKind { ProgramFolder, PrivateFile };

// A security descriptor built in fixed buffers (no heap: the crash filter
// uses it in a dying process).
class CAccessList {
public:
    explicit CAccessList(AccessKind kind);
    CAccessList(const CAccessList&) = delete;
    CAccessList& operator=(const CAccessList&) = delete;

    bool Valid() const { return m_valid; }
    PACL Acl() { return reinterpret_cast<PACL>(m_acl); }
    PSID Administrators() { return m_admins; }
    // For CreateDirectoryW/CreateFileW; nullptr when the list could not be built.
    SECURITY_ATTRIBUTES* Attributes() { return m_valid ? &m_attributes : nullptr; }

private:
    bool m_valid = false;
    BYTE m_system[SECURITY_MAX_SID_SIZE] = {};
    BYTE m_admins[SECURITY_MAX_SID_SIZE] = {};
    BYTE m_users[SECURITY_MAX_SID_SIZE] = {};
    alignas(DWORD) BYTE m_acl[512] = {};
    SECURITY_DESCRIPTOR m_descriptor{};
    SECURITY_ATTRIBUTES m_attributes{};
};

// Creates folder with the program-folder list. An existing folder gets that
// list (and the Administrators as owner, the list passed on to what is
// inside) when setOnExisting, else stays as it is. A link (junction or
// symbolic link) in its place is removed first: the program never writes
// through one. False when the folder cannot be made safe.
bool MakeProgramFolder(const wchar_t* folder, bool setOnExisting);

// Creates (or truncates) a file for writing, no sharing, with the private
// list, also when the file existed before. Empty on failure.
OwnedFile CreatePrivateFile(const wchar_t* path);

// True when path names a junction or symbolic link (not what it points to).
bool IsLink(const wchar_t* path);

}  // namespace kvr
