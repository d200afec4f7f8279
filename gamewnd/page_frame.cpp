#include "gamewnd/game_window.h"

namespace kvr {

// Still missing: the page frame and its view.
bool CreatePageFrame(HWND, bool) { return false; }

}  // namespace kvr
