// Entry points of the game window and of the page processes.
#pragma once
#include <windows.h>

namespace kvr {

// Creates the game window and runs it modally until it closes.
void RunGameWindow();

// Page process (mode 6: a game page after login; mode 7: the game hall):
// creates the page frame with its view, hidden, under the given game window.
// Returns false when the frame could not be created.
bool CreatePageFrame(HWND gameWindow, bool hall);

}  // namespace kvr
