#include "gamewnd/game_window.h"

namespace kvr {

// Still missing: the game window.
void RunGameWindow() {}

}  // namespace kvr
