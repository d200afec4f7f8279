#include "base/access_list.h"

#include <aclapi.h>
#include <ntsecapi.h>
#include <cwchar>
#include <initializer_list>

namespace kvr {

namespace {

bool WellKnownSid(WELL_KNOWN_SID_TYPE type, BYTE (&sid)[SECURITY_MAX_SID_SIZE]) {
    DWORD size = sizeof(sid);
    return ::CreateWellKnownSid(type, nullptr, sid, &size) != FALSE;
}

// NT SERVICE\TrustedInstaller: S-1-5-80 and the hash of the service name.
bool TrustedInstallerSid(BYTE (&sid)[SECURITY_MAX_SID_SIZE]) {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    const DWORD parts[] = {80, 956008885u, 3418522649u, 1831038044u, 1853292631u, 2271478464u};
    if (!::InitializeSid(sid, &nt, 6)) return false;
    for (DWORD i = 0; i < 6; ++i) *::GetSidSubAuthority(sid, i) = parts[i];
    return true;
}

// Renames path to its name, ".", 16 random digits, in the same folder. By
// name: whatever is in that place by now goes aside, a link as the link.
bool MoveAside(const wchar_t* path) {
    wchar_t hex[17];
    wchar_t aside[MAX_PATH];
    return RandomHex(hex) && std::swprintf(aside, MAX_PATH, L"%ls.%ls", path, hex) > 0 &&
           ::MoveFileExW(path, aside, 0);
}

// An existing folder held open while it is judged (and given its list): the
// entry itself (a link is not followed), without delete sharing, so nobody
// can swap it meanwhile. Someone else's folder may refuse the Administrators
// its descriptor; that alone says it is not the program's.
OwnedFile HoldExistingFolder(const wchar_t* folder) {
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;
    OwnedFile held(
        ::CreateFileW(folder, READ_CONTROL | FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING, flags, nullptr));
    if (!held && ::GetLastError() == ERROR_ACCESS_DENIED)
        held.reset(::CreateFileW(folder, FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING, flags, nullptr));
    return held;
}

// The attributes and the number of names of an open file. Windows Vista
// on answers without asking the volume for its serial number, which costs
// milliseconds under Wine; Windows XP has only GetFileInformationByHandle.
bool HandleAttributes(HANDLE handle, DWORD* attributes, DWORD* links) {
    // FILE_BASIC_INFO and FILE_STANDARD_INFO, which Windows XP's headers lack.
    struct BasicInfo {
        LARGE_INTEGER times[4];
        DWORD attributes;
    };
    struct StandardInfo {
        LARGE_INTEGER allocation, end;
        DWORD links;
        BOOLEAN deletePending, directory;
    };
    enum { kFileBasicInfo = 0, kFileStandardInfo = 1 };
    using InfoExFn = BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD);
    static const auto infoEx = reinterpret_cast<InfoExFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetFileInformationByHandleEx")));
    BasicInfo basic{};
    StandardInfo standard{};
    if (infoEx && infoEx(handle, kFileBasicInfo, &basic, sizeof basic) &&
        infoEx(handle, kFileStandardInfo, &standard, sizeof standard)) {
        *attributes = basic.attributes;
        *links = standard.links;
        return true;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info)) return false;
    *attributes = info.dwFileAttributes;
    *links = info.nNumberOfLinks;
    return true;
}

}  // namespace

CAccessList::CAccessList(AccessKind kind) {
    const bool folder = kind != AccessKind::PrivateFile;
    // Inside the program's folders everything gets the same list.
    const BYTE inherit = folder ? OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE : 0;
    PACL acl = Acl();
    m_valid = WellKnownSid(WinLocalSystemSid, m_system) && WellKnownSid(WinBuiltinAdministratorsSid, m_admins) &&
              WellKnownSid(WinBuiltinUsersSid, m_users) && ::InitializeAcl(acl, sizeof(m_acl), ACL_REVISION) &&
              ::AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, FILE_ALL_ACCESS, m_system) &&
              ::AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, FILE_ALL_ACCESS, m_admins);
    if (m_valid && kind == AccessKind::ProgramFolder)
        m_valid = ::AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE,
                                          m_users) != FALSE;
    // Protected: nothing inherited from the folder above. Owned by the
    // Administrators, also where the system would make the creating user the
    // owner (Windows XP): the user's own unelevated programs could change
    // the list of what the user owns.
    m_valid = m_valid && ::InitializeSecurityDescriptor(&m_descriptor, SECURITY_DESCRIPTOR_REVISION) &&
              ::SetSecurityDescriptorOwner(&m_descriptor, m_admins, FALSE) &&
              ::SetSecurityDescriptorDacl(&m_descriptor, TRUE, acl, FALSE) &&
              ::SetSecurityDescriptorControl(&m_descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
    m_attributes.nLength = sizeof(m_attributes);
    m_attributes.lpSecurityDescriptor = &m_descriptor;
    m_attributes.bInheritHandle = FALSE;
}

bool OwnerIsTrusted(PSECURITY_DESCRIPTOR descriptor) {
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (!descriptor || !::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) || !owner || !::IsValidSid(owner))
        return false;
    BYTE sid[SECURITY_MAX_SID_SIZE];
    for (WELL_KNOWN_SID_TYPE type : {WinLocalSystemSid, WinBuiltinAdministratorsSid})
        if (WellKnownSid(type, sid) && ::EqualSid(owner, sid)) return true;
    return TrustedInstallerSid(sid) && ::EqualSid(owner, sid);
}

bool MustMoveAside(PSECURITY_DESCRIPTOR folder, PSECURITY_DESCRIPTOR probe) {
    return !OwnerIsTrusted(folder) && OwnerIsTrusted(probe);
}

bool IsSomeoneElsesFolder(HANDLE folder, const wchar_t* path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    // Unreadable to the Administrators: not a folder the program made.
    if (::GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, nullptr, nullptr, nullptr, nullptr,
                          &descriptor) != ERROR_SUCCESS)
        descriptor = nullptr;
    const bool trusted = OwnerIsTrusted(descriptor);
    ::LocalFree(descriptor);
    if (trusted) return false;
    // Does this volume keep owners at all? A file of our own beside the
    // folder answers, gone when its handle closes.
    const wchar_t* slash = std::wcsrchr(path, L'\\');
    wchar_t probePath[MAX_PATH];
    wchar_t hex[17];
    CAccessList list(AccessKind::PrivateFile);
    if (!slash || !RandomHex(hex) ||
        std::swprintf(probePath, MAX_PATH, L"%.*ls\\kvr-%ls.tmp", static_cast<int>(slash - path), path, hex) <= 0)
        return true;
    const OwnedFile probe(::CreateFileW(probePath, READ_CONTROL, 0, list.Attributes(), CREATE_NEW,
                                        FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    PSECURITY_DESCRIPTOR probed = nullptr;
    if (!probe || ::GetSecurityInfo(probe.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, nullptr, nullptr,
                                    nullptr, nullptr, &probed) != ERROR_SUCCESS)
        return true;  // cannot tell: not to be used
    const bool ownersKept = OwnerIsTrusted(probed);
    ::LocalFree(probed);
    return ownersKept;
}

bool IsLink(const wchar_t* path) {
    const DWORD attributes = ::GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool IsRealFolder(HANDLE handle) {
    DWORD attributes = 0, links = 0;
    return HandleAttributes(handle, &attributes, &links) && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool IsSingleFile(HANDLE handle) {
    DWORD attributes = 0, links = 0;
    return HandleAttributes(handle, &attributes, &links) && links == 1 &&
           !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
}

bool SetFolderList(const wchar_t* folder, CAccessList& list) {
    return ::SetNamedSecurityInfoW(const_cast<wchar_t*>(folder), SE_FILE_OBJECT,
                                   OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                       PROTECTED_DACL_SECURITY_INFORMATION,
                                   list.Administrators(), nullptr, list.Acl(), nullptr) == ERROR_SUCCESS;
}

bool MakeProgramFolder(const wchar_t* folder, bool setOnExisting, AccessKind kind, ForeignFolderTest isForeign,
                       FolderListSetter setList) {
    if (!folder || !*folder || !isForeign || !setList) return false;
    CAccessList list(kind);
    if (!list.Valid()) return false;
    // A few rounds: whoever made the folder may make it again after its move.
    for (int round = 0; round < 3; ++round) {
        // A link here would send every later write to wherever it points.
        if (IsLink(folder) && !::RemoveDirectoryW(folder)) return false;
        if (::CreateDirectoryW(folder, list.Attributes())) return true;
        if (::GetLastError() != ERROR_ALREADY_EXISTS) return false;
        // Held without delete sharing: nobody can swap the folder for a
        // link between the check and the new list.
        OwnedFile held = HoldExistingFolder(folder);
        if (!held || !IsRealFolder(held.get())) return false;
        if (isForeign(held.get(), folder)) {
            // What someone else put there (a library the program loads, a
            // game's program) is never used: a fresh folder takes its place.
            held.reset();
            if (!MoveAside(folder)) return false;
            continue;
        }
        if (!setOnExisting) return true;
        return setList(folder, list);
    }
    return false;
}

OwnedFile CreateFreshFile(const wchar_t* path, DWORD access, SECURITY_ATTRIBUTES* attributes) {
    if (!path || !*path) return OwnedFile();
    // The entry in the way goes through a handle on the entry itself: a
    // link is opened (and deleted) as the link, a hard link loses one name.
    {
        const OwnedFile inTheWay(::CreateFileW(
            path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
            FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    }
    // New or nothing: anything that came back in the meantime is not ours.
    OwnedFile file(::CreateFileW(path, access, 0, attributes, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (file && !IsSingleFile(file.get())) file.reset();
    return file;
}

OwnedFile CreatePrivateFile(const wchar_t* path) {
    CAccessList list(AccessKind::PrivateFile);
    if (!list.Valid()) return OwnedFile();
    return CreateFreshFile(path, GENERIC_WRITE, list.Attributes());
}

bool RandomHex(wchar_t (&hex)[17]) {
    BYTE random[8] = {};
    if (!::RtlGenRandom(random, sizeof random)) return false;
    for (size_t i = 0; i < sizeof random; ++i) std::swprintf(hex + 2 * i, 3, L"%02x", random[i]);
    return true;
}

}  // namespace kvr
