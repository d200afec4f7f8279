// Handing a window's handle to a process started before the window exists,
// so that both processes load at once: the starter keeps the write end of an
// anonymous pipe and the started process inherits the read end, the only
// handle it inherits, whose value its command line carries. Nothing else can
// write into the pipe, so the handle is as trustworthy as a command line.
#pragma once
#include <windows.h>
#include "base/owned.h"

namespace kvr {

struct WindowHandoff {
    OwnedHandle readEnd;   // for the started process; not inheritable until it is started
    OwnedHandle writeEnd;  // stays here; closing it unsent tells the reader there is no window
};

// An empty pair when no pipe could be made.
WindowHandoff CreateWindowHandoff();

// Writes the window's handle once; false when the reader is gone.
bool SendWindow(HANDLE writeEnd, HWND window);

// In the started process: waits for the window's handle. Null when `readEnd`
// is not a pipe, the writer closed its end unsent or sent anything but one
// live window's handle.
HWND ReceiveWindow(HANDLE readEnd);

}  // namespace kvr
