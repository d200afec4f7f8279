// Pieces of the game window's commands that need no game window: its menus,
// the tray icon, the command lines of the processes it starts and the
// fire-and-forget request threads.
#pragma once
#include <windows.h>
#include <string>
#include "settings/hotkey.h"

namespace kvr {

// Command ids of the window menu and the tray menu (TrackPopupMenu results).
enum GameMenuCommand : UINT {
    kCmdRefresh = 1,
    kCmdHideRestore = 2,
    kCmdClearCache = 3,
    kCmdUpdate = 4,
    kCmdSettings = 5,
    kCmdExit = 6,               // tray menu only
    kCmdVersion = 0xFFFFFFFFu,  // window menu only; does nothing
};

// "隐藏/恢复(" + the boss key's display form + ")".
std::wstring HideRestoreText(const HotKey& boss);
// The window menu (tray = false: the version line last) or the tray menu
// (tray = true: "退出" last). The caller destroys it.
HMENU BuildGameMenu(bool tray, const HotKey& boss);

// Tray icon of the game window: id 1, callback WM_USER+1, tip "MarvoleKelvara".
// True when the icon is there.
bool AddTrayIcon(HWND window, HICON icon);
void RemoveTrayIcon(HWND window);
// The message explorer broadcasts when it made its taskbar anew (after a
// restart): the tray icons are gone and must be added again.
UINT TaskbarCreatedMessage();
// Lets that message through to window from explorer, which runs with fewer
// rights than the program (Vista and later filter such messages; XP does not).
void AllowTaskbarCreated(HWND window);

// "<exe> /newgm /<handle> /<count>" and "<exe> /gmhall /<handle>"; the
// program path is quoted, so a folder with blanks cannot split it.
std::wstring PageCommandLine(const std::wstring& exe, HWND game, int pageCount);
std::wstring HallCommandLine(const std::wstring& exe, HWND game);
// "<exe> /newgm /0 /0 /<pipe>": a first page started before its game window,
// which reads the window's handle from the pipe.
std::wstring FirstPageCommandLine(const std::wstring& exe, HANDLE windowPipe);

// Sends one request on a new thread that owns its copy of the URL; the
// answer is ignored. Returns once the thread is started.
void ReportOnWorkerThread(const std::wstring& url);

}  // namespace kvr
