#include "gamewnd/game_window.h"

namespace kvr {

// Still missing: the game window and the page frame.
void RunGameWindow() {}
bool CreatePageFrame(HWND, bool) { return false; }

}  // namespace kvr
