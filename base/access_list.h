// Explicit access lists for what the elevated program trusts. Its folders
// (the installation folder and the one above it): SYSTEM and Administrators
// full control, Users read and execute, passed on to everything inside and
// nothing inherited from above, so no other account can plant or change a
// file the program later runs or reads. Private files and folders (the crash
// dump, which holds cookies; the work folder): SYSTEM and Administrators
// only. Whatever the program creates belongs to the Administrators.
#pragma once
#include <windows.h>
#include "base/owned.h"

namespace kvr {

enum class AccessKind { ProgramFolder, PrivateFolder, PrivateFile };

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

// True when the descriptor's owner is SYSTEM, the Administrators or
// TrustedInstaller: nobody else can have made or changed what it guards.
bool OwnerIsTrusted(PSECURITY_DESCRIPTOR descriptor);

// Whether an existing folder belongs to someone else and must be moved
// aside: its owner is not trusted, on a volume that keeps owners. `probe` is
// the descriptor of a file just created beside it with the Administrators as
// owner; where that reads back otherwise (FAT keeps no owners, Wine reports
// the user for every file) an owner says nothing about who made the folder.
bool MustMoveAside(PSECURITY_DESCRIPTOR folder, PSECURITY_DESCRIPTOR probe);

// The judgement of an existing folder, held open (not a link) at `path`:
// true when it is someone else's. Production reads the owner (above); tests
// stand in where the system keeps no owners.
using ForeignFolderTest = bool (*)(HANDLE folder, const wchar_t* path);
bool IsSomeoneElsesFolder(HANDLE folder, const wchar_t* path);

// Gives an existing folder the list, and the Administrators as owner, passed
// on to what is inside. Production sets them through the system; tests stand
// in where the system keeps no lists (Wine accepts one and drops it).
using FolderListSetter = bool (*)(const wchar_t* folder, CAccessList& list);
bool SetFolderList(const wchar_t* folder, CAccessList& list);

// Creates folder with the list of `kind`. A link (junction or symbolic link)
// in its place is removed first: the program never writes through one. An
// existing folder of someone else's is moved aside under a random name
// (with what is in it) and a fresh one is made; one of a trusted owner gets
// the list (setList) when setOnExisting, else stays as it is. False when the
// folder cannot be made safe.
bool MakeProgramFolder(const wchar_t* folder, bool setOnExisting, AccessKind kind = AccessKind::ProgramFolder,
                       ForeignFolderTest isForeign = IsSomeoneElsesFolder, FolderListSetter setList = SetFolderList);

// Creates path as a new file (CREATE_NEW) for `access`, unshared, with the
// list of attributes (nullptr: inherited). Whatever was in its place is
// deleted first, itself: a link or one name of a file with several hard
// links goes, never what it points to, and nothing is ever written through
// it. Empty on failure.
OwnedFile CreateFreshFile(const wchar_t* path, DWORD access, SECURITY_ATTRIBUTES* attributes);

// A fresh file for writing with the private list (the crash dump).
OwnedFile CreatePrivateFile(const wchar_t* path);

// True when path names a junction or symbolic link (not what it points to).
bool IsLink(const wchar_t* path);

// What an open handle is: a folder that is no junction or link; a file with
// one name only that is no link either.
bool IsRealFolder(HANDLE handle);
bool IsSingleFile(HANDLE handle);

// 16 random hexadecimal digits (64 bits from the system's generator); false
// without randomness.
bool RandomHex(wchar_t (&hex)[17]);

}  // namespace kvr
