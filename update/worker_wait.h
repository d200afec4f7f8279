// Ending a download worker from the window's thread. The worker reports to
// its window with SendMessage, so the window's thread must keep answering
// sent messages while it waits, or both would wait for each other.
#pragma once
#include <windows.h>

namespace kvr {

// Waits for handle up to timeoutMs, answering messages sent to this thread
// meanwhile. True when the handle was signalled.
bool WaitAnsweringSentMessages(HANDLE handle, DWORD timeoutMs);

// Waits for a worker whose transfer was cancelled; one that does not end
// within graceMs is terminated. Closes the handle and clears it.
void JoinWorker(HANDLE& thread, DWORD graceMs);

}  // namespace kvr
