// Handing a window's handle to a process started before the window exists,
// so that both processes load at once: the starter keeps the write end of an
// anonymous pipe and the started process inherits the read end, the only
// handle it inherits, whose value its command line carries. Nothing else can
// write into the pipe, so the handle is as trustworthy as a command line.
#pragma once
#include <windows.h>
#include <memory>
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

// In the started process, whose own window works meanwhile: ReceiveWindow on
// a thread of its own, which posts `arrived` to `target` when it is done.
// The message only says to look: the handle is read from here, never from a
// message, which any process could post.
class WindowArrival {
public:
    // Takes the read end; nothing when no thread could be started.
    static std::shared_ptr<WindowArrival> Start(OwnedHandle readEnd, HWND target, UINT arrived);

    // True once the reading is done, waiting up to timeoutMs for it.
    bool Wait(DWORD timeoutMs) const { return ::WaitForSingleObject(m_doneEvent.get(), timeoutMs) == WAIT_OBJECT_0; }
    // Once done: the window, null when none came.
    HWND Window() const { return Wait(0) ? m_window : nullptr; }

private:
    WindowArrival(OwnedHandle readEnd, HWND target, UINT arrived);
    static DWORD WINAPI Read(void* self);

    OwnedHandle m_readEnd;
    const HWND m_target;
    const UINT m_arrived;
    HWND m_window = nullptr;  // written before m_doneEvent is set
    OwnedHandle m_doneEvent;
    // The reader's own reference: it may read on after its window is gone.
    std::shared_ptr<WindowArrival> m_self;
};

}  // namespace kvr
