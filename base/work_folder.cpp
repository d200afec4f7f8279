#include "base/work_folder.h"

#include <shlobj.h>
#include <cwchar>
#include "base/access_list.h"

namespace kvr {

bool WorkFolderPath(wchar_t (&folder)[MAX_PATH]) {
    folder[0] = 0;
    wchar_t common[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, common)) ||
        std::swprintf(folder, MAX_PATH, L"%ls\\Marvole\\KvrWork", common) < 0) {
        folder[0] = 0;
        return false;
    }
    return true;
}

CWorkFolder::CWorkFolder() {
    wchar_t folder[MAX_PATH];
    if (!WorkFolderPath(folder)) return;
    const std::wstring marvole(folder, std::wcsrchr(folder, L'\\'));
    if (!MakeProgramFolder(marvole.c_str(), false) ||
        !MakeProgramFolder(folder, false, AccessKind::PrivateFolder))
        return;
    // Held without delete sharing: nobody can rename it or put a link in
    // its place while its files are made and used by name.
    OwnedFile held(::CreateFileW(folder, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!held || !IsRealFolder(held.get())) return;
    m_path = folder;
    m_held = std::move(held);
}

namespace {
// prefix, "-", 16 random digits and extension; "" without randomness.
std::wstring RandomName(const wchar_t* prefix, const wchar_t* extension) {
    wchar_t hex[17];
    return RandomHex(hex) ? std::wstring(prefix) + L"-" + hex + extension : std::wstring();
}
}  // namespace

std::wstring CWorkFolder::PathOf(const std::wstring& name) const {
    // A plain name: nothing outside the folder.
    if (!Valid() || name.empty() || name == L"." || name == L".." || name.find_first_of(L"\\/:") != std::wstring::npos)
        return {};
    const std::wstring path = m_path + L"\\" + name;
    return path.size() < MAX_PATH ? path : std::wstring();
}

std::wstring CWorkFolder::CreateNewFolder(const wchar_t* prefix) const {
    const std::wstring path = PathOf(RandomName(prefix, L""));
    return !path.empty() && ::CreateDirectoryW(path.c_str(), nullptr) ? path : std::wstring();
}

OwnedFile CWorkFolder::CreateNewFile(const wchar_t* prefix, const wchar_t* extension, DWORD access, DWORD share,
                                     DWORD flags, std::wstring* path) const {
    return CreateNewFileNamed(RandomName(prefix, extension), access, share, flags, path);
}

OwnedFile CWorkFolder::CreateNewFileNamed(const std::wstring& name, DWORD access, DWORD share, DWORD flags,
                                          std::wstring* path) const {
    const std::wstring full = PathOf(name);
    if (full.empty()) return OwnedFile();
    OwnedFile file(::CreateFileW(full.c_str(), access, share, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT | flags, nullptr));
    if (file && path) *path = full;
    return file;
}

}  // namespace kvr
