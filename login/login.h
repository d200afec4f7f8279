// Entry point of the login window of a page process.
#pragma once
#include <windows.h>
#include <optional>
#include <string>

namespace kvr {

// Shows the login background window and the login page modally, owned by the
// game window, which had pageCount pages when it started this process. The
// game URL of the accepted login ("loadgame"); nothing when the player gave
// up or the window could not be shown.
std::optional<std::wstring> RunLogin(HWND gameWindow, int pageCount);

}  // namespace kvr
