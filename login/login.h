// Entry point of the login window of a page process.
#pragma once
#include <windows.h>
#include <memory>
#include <optional>
#include <string>
#include "login/login_picture.h"

namespace kvr {

// Shows the login background window and the login page modally, owned by the
// game window, which had pageCount pages when it started this process. The
// game URL of the accepted login ("loadgame"); nothing when the player gave
// up or the window could not be shown. picture: its background, begun
// before (made here without one).
std::optional<std::wstring> RunLogin(HWND gameWindow, int pageCount, std::unique_ptr<LoginPicture> picture);

}  // namespace kvr
