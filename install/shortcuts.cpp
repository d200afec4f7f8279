#include "install/shortcuts.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>
#include "base/owned.h"

namespace kvr {

namespace {
std::wstring ShellFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
    return path;
}

// Shell-link paths stay within MAX_PATH: a longer one is not written at all.
std::wstring Bounded(std::wstring path) {
    return path.size() < MAX_PATH ? path : std::wstring();
}
}  // namespace

std::wstring FolderOf(const std::wstring& path) {
    const size_t pos = path.find_last_of(L"\\/");
    return pos == std::wstring::npos ? std::wstring() : path.substr(0, pos);
}

bool CreateShellLink(const wchar_t* linkPath, const wchar_t* target, const wchar_t* arguments,
                     int iconIndex, const wchar_t* description) {
    if (!target || !*target || !linkPath || !*linkPath) return false;
    if (::GetFileAttributesW(target) == INVALID_FILE_ATTRIBUTES) return false;

    ComPtr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, &link)))
        return false;
    bool saved = false;
    link->SetPath(target);
    link->SetIconLocation(target, iconIndex);
    ComPtr<IPersistFile> file;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, &file))) {
        link->SetArguments(arguments ? arguments : L"");
        if (description && *description) link->SetDescription(description);
        link->SetWorkingDirectory(FolderOf(target).c_str());
        saved = SUCCEEDED(file->Save(linkPath, TRUE));
    }
    return saved;
}

std::wstring CommonDesktopLinkPath(const wchar_t* name) {
    const std::wstring desktop = ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
    if (desktop.empty()) return {};
    return Bounded(desktop + L"\\" + name + L".lnk");
}

std::wstring UserDesktopLinkPath(const wchar_t* name) {
    // The user's profile is the parent of the documents folder; the desktop
    // folder there has the same last name as the common one.
    const std::wstring documents = ShellFolder(CSIDL_PERSONAL);
    const std::wstring desktop = ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
    const size_t cut = documents.rfind(L'\\');
    const size_t last = desktop.rfind(L'\\');
    if (cut == std::wstring::npos || last == std::wstring::npos) return {};
    return Bounded(documents.substr(0, cut) + desktop.substr(last) + L"\\" + name + L".lnk");
}

std::wstring StartMenuFolder() {
    const std::wstring programs = ShellFolder(CSIDL_COMMON_PROGRAMS);
    if (programs.empty()) return {};
    return Bounded(programs + L"\\" + kStartMenuFolderName);
}

std::wstring StartMenuLinkPath(const wchar_t* name) {
    const std::wstring folder = StartMenuFolder();
    if (folder.empty()) return {};
    return Bounded(folder + L"\\" + name + L".lnk");
}

bool CreateDesktopShortcut(const wchar_t* name, const wchar_t* target, const wchar_t* arguments,
                           int iconIndex, const wchar_t* description) {
    const std::wstring userLink = UserDesktopLinkPath(name);
    if (!userLink.empty()) ::DeleteFileW(userLink.c_str());
    const std::wstring link = CommonDesktopLinkPath(name);
    return !link.empty() && CreateShellLink(link.c_str(), target, arguments, iconIndex, description);
}

bool CreateStartMenuShortcut(const wchar_t* arguments, const wchar_t* target, const wchar_t* name) {
    const std::wstring folder = StartMenuFolder();
    if (folder.empty()) return false;
    ::CreateDirectoryW(folder.c_str(), nullptr);  // an existing folder is fine
    const std::wstring link = StartMenuLinkPath(name);
    return !link.empty() && CreateShellLink(link.c_str(), target, arguments, 0, nullptr);
}

void DeleteDesktopShortcut(const wchar_t* name) {
    const std::wstring link = CommonDesktopLinkPath(name);
    if (!link.empty()) ::DeleteFileW(link.c_str());
}

void DeleteStartMenuShortcut(const wchar_t* name) {
    const std::wstring link = StartMenuLinkPath(name);
    if (!link.empty()) ::DeleteFileW(link.c_str());
}

}  // namespace kvr
