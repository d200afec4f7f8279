// Entry point of the login window of a page process.
#pragma once
#include <windows.h>

namespace kvr {

// Shows the login background window and the login page modally, owned by the
// game window; IDOK after "loadgame", IDCANCEL when the player gave up.
INT_PTR RunLogin(HWND gameWindow);

}  // namespace kvr
