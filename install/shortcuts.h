// Shell links on the all-users desktop and in the all-users start menu.
// COM must be initialised by the caller.
#pragma once
#include <string>

namespace kvr {

inline constexpr wchar_t kGameLinkName[] = L"MarvoleKelvara极速登录器";
inline constexpr wchar_t kPortalLinkName[] = L"Marvole网页游戏";
inline constexpr wchar_t kUninstallLinkName[] = L"卸载 MarvoleKelvara极速登录器";
inline constexpr wchar_t kStartMenuFolderName[] = L"Marvole登录器";

// Writes a shell link at linkPath. Nothing happens when target or linkPath is
// empty or the target file does not exist. description may be null.
bool CreateShellLink(const wchar_t* linkPath, const wchar_t* target, const wchar_t* arguments,
                     int iconIndex, const wchar_t* description);

// The folder of a path: the text before its last "\" or "/" (empty if none).
std::wstring FolderOf(const std::wstring& path);

// Where the links go (empty when the shell folder is unknown).
std::wstring CommonDesktopLinkPath(const wchar_t* name);
std::wstring UserDesktopLinkPath(const wchar_t* name);  // the per-user twin
std::wstring StartMenuFolder();
std::wstring StartMenuLinkPath(const wchar_t* name);

// The per-user desktop link of the same name is removed first.
bool CreateDesktopShortcut(const wchar_t* name, const wchar_t* target, const wchar_t* arguments,
                           int iconIndex, const wchar_t* description);
// Creates the start-menu folder when missing.
bool CreateStartMenuShortcut(const wchar_t* arguments, const wchar_t* target, const wchar_t* name);
void DeleteDesktopShortcut(const wchar_t* name);
void DeleteStartMenuShortcut(const wchar_t* name);

}  // namespace kvr
