// Entry point of the login window of a page process.
#pragma once
#include <windows.h>
#include <memory>
#include <optional>
#include <string>
#include "base/owned.h"
#include "login/login_picture.h"

namespace kvr {

// Shows the login background window and the login page modally, owned by the
// game window, which had pageCount pages when it started this process. The
// game URL of the accepted login ("loadgame"); nothing when the player gave
// up or the window could not be shown. picture: its background, begun
// before (made here without one). A game window's first page, started
// before the window existed, has no gameWindow yet: its handle comes through
// windowPipe while the login window shows, and is stored there (null when
// none came before the login ended).
std::optional<std::wstring> RunLogin(HWND* gameWindow, int pageCount, std::unique_ptr<LoginPicture> picture,
                                     OwnedHandle windowPipe = {});

}  // namespace kvr
