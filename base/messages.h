// The messages the program's processes send each other. A page process knows
// its game window by the handle on its command line; everything else is found
// by window class and title.
#pragma once
#include <windows.h>

namespace kvr {

// lParam of WM_SYSCOMMAND/SC_CLOSE and WM_KEYDOWN/VK_F5 messages that the
// program posts itself (as opposed to the player's own clicks and keys).
inline constexpr LPARAM kSelfPostedMarker = 2817;

enum : UINT {
    WM_KVR_TRAY = WM_USER + 1,             // tray icon callback: lParam = mouse message
    WM_KVR_FRAME_READY = WM_USER + 2,      // frame registers: wParam frame, lParam 1 = hall
    WM_KVR_TRAY_MENU = WM_USER + 3,        // game window opens its tray menu at the cursor
    WM_KVR_HOTKEYS_CHANGED = WM_USER + 4,  // settings saved: game windows re-read the hotkeys
    WM_KVR_MUTE = WM_USER + 5,             // to a page: wParam = muted flag (1 or 0)
    WM_KVR_ADD_ACCOUNT = WM_USER + 6,      // wParam 1: page in this window, 0: new window
    WM_KVR_RELOAD_KEYS = WM_USER + 7,      // to page and hall frames: re-read the hotkeys
};

// Title of the game window (a "#32770" dialog) and of the page frames.
inline constexpr wchar_t kGameWindowTitle[] = L"MarvoleKelvara";

// Longest caption (server, "服-", area, "-", account) a page may hand over,
// in characters including the terminator.
inline constexpr int kMaxCaption = 256;

}  // namespace kvr
