#include "base/access_list.h"

#include <aclapi.h>

namespace kvr {

namespace {

bool WellKnownSid(WELL_KNOWN_SID_TYPE type, BYTE (&sid)[SECURITY_MAX_SID_SIZE]) {
    DWORD size = sizeof(sid);
    return ::CreateWellKnownSid(type, nullptr, sid, &size) != FALSE;
}

}  // namespace

CAccessList::CAccessList(AccessKind kind) {
    const bool folder = kind == AccessKind::ProgramFolder;
    // Inside the program's folders everything gets the same list.
    const BYTE inherit = folder ? OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE : 0;
    PACL acl = Acl();
    m_valid = WellKnownSid(WinLocalSystemSid, m_system) && WellKnownSid(WinBuiltinAdministratorsSid, m_admins) &&
              WellKnownSid(WinBuiltinUsersSid, m_users) && ::InitializeAcl(acl, sizeof(m_acl), ACL_REVISION) &&
              ::AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, FILE_ALL_ACCESS, m_system) &&
              ::AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, FILE_ALL_ACCESS, m_admins);
    if (m_valid && folder)
        m_valid = ::AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE,
                                          m_users) != FALSE;
    // Protected: nothing inherited from the folder above.
    m_valid = m_valid && ::InitializeSecurityDescriptor(&m_descriptor, SECURITY_DESCRIPTOR_REVISION) &&
              ::SetSecurityDescriptorDacl(&m_descriptor, TRUE, acl, FALSE) &&
              ::SetSecurityDescriptorControl(&m_descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
    m_attributes.nLength = sizeof(m_attributes);
    m_attributes.lpSecurityDescriptor = &m_descriptor;
    m_attributes.bInheritHandle = FALSE;
}

bool IsLink(const wchar_t* path) {
    const DWORD attributes = ::GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool MakeProgramFolder(const wchar_t* folder, bool setOnExisting) {
    if (!folder || !*folder) return false;
    CAccessList list(AccessKind::ProgramFolder);
    if (!list.Valid()) return false;
    // A link here would send every later write to wherever it points.
    if (IsLink(folder) && !::RemoveDirectoryW(folder)) return false;
    if (::CreateDirectoryW(folder, list.Attributes())) return true;
    if (::GetLastError() != ERROR_ALREADY_EXISTS) return false;
    if (!setOnExisting) return true;
    // Held without delete sharing: nobody can swap the folder for a link
    // between the check and the new list.
    const OwnedFile handle(::CreateFileW(folder, READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                         nullptr));
    if (!handle) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    bool ok = ::GetFileInformationByHandle(handle.get(), &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
              !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    if (ok) {
        // The owner too: whoever made the folder first keeps no rights over it.
        // The list goes down to what is already inside.
        ok = ::SetNamedSecurityInfoW(const_cast<wchar_t*>(folder), SE_FILE_OBJECT,
                                     OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                         PROTECTED_DACL_SECURITY_INFORMATION,
                                     list.Administrators(), nullptr, list.Acl(), nullptr) == ERROR_SUCCESS;
    }
    return ok;
}

OwnedFile CreatePrivateFile(const wchar_t* path) {
    CAccessList list(AccessKind::PrivateFile);
    OwnedFile file(::CreateFileW(path, GENERIC_WRITE | WRITE_DAC, 0, list.Attributes(), CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return file;
    // An existing file keeps its old list through CREATE_ALWAYS: replace it
    // before anything is written.
    if (::GetLastError() == ERROR_ALREADY_EXISTS &&
        (!list.Valid() ||
         ::SetSecurityInfo(file.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                           nullptr, nullptr, list.Acl(), nullptr) != ERROR_SUCCESS)) {
        return OwnedFile();
    }
    return file;
}

}  // namespace kvr
