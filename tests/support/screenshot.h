// Screenshots for window tests: what the screen shows of a window (or the
// whole screen) saved as a PNG into the folder named by KVR_SCREENS_DIR.
// The capture reads the screen, not the window, because under Wine a child
// window of another process is not drawn into its parent.
#pragma once
#include <windows.h>
#include <string>

namespace kvrtest {

// The screenshot folder as a Windows path (the Linux folder through drive Z:),
// created if missing; empty when KVR_SCREENS_DIR is not set.
std::wstring ScreensDir();

// Saves the screen area of the window's rectangle as <name>.png; false when
// nothing could be saved. Pumps pending paints of this thread first.
bool SaveWindowShot(HWND hwnd, const wchar_t* name);
// The same for the whole screen.
bool SaveScreenShot(const wchar_t* name);
// Saves a screen rectangle.
bool SaveScreenRect(const RECT& rc, const wchar_t* name);

}  // namespace kvrtest
