// Entry point of the login window of a page process, and the game URL the
// accepted login leaves behind for the game page.
#pragma once
#include <windows.h>

namespace kvr {

// Shows the login background window and the login page modally, owned by the
// game window, which had pageCount pages when it started this process; IDOK
// after "loadgame", IDCANCEL when the player gave up.
INT_PTR RunLogin(HWND gameWindow, int pageCount);

// The game URL of the accepted login ("" before one).
const wchar_t* LoginGameUrl();
void SetLoginGameUrl(const wchar_t* url);

}  // namespace kvr
