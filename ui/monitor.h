// The monitor a window is on: maximising and centring use its work area, not
// the primary monitor's, so a window opened or moved onto a second monitor
// stays there.
#pragma once
#include <windows.h>

namespace kvr {

// The work area of the monitor window is on (or nearest to); the primary
// monitor's when none can be read.
RECT MonitorWorkArea(HWND window);

// Top-left corner that centres a size-sized picture of window in the work
// area of window's monitor (kept inside it when larger).
POINT CentredOnMonitor(HWND window, SIZE size);

// Moves window, keeping its size and z-order, to the middle of its monitor's
// work area.
void CentreOnMonitor(HWND window);

}  // namespace kvr
