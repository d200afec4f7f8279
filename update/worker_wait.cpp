#include "update/worker_wait.h"

namespace kvr {

bool WaitAnsweringSentMessages(HANDLE handle, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        const DWORD elapsed = ::GetTickCount() - start;
        const DWORD left = timeoutMs == INFINITE ? INFINITE : (elapsed >= timeoutMs ? 0 : timeoutMs - elapsed);
        const DWORD rc = ::MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_SENDMESSAGE);
        if (rc == WAIT_OBJECT_0) return true;
        if (rc != WAIT_OBJECT_0 + 1) return false;  // time-out or failure
        MSG msg;
        // Peeking delivers the sent messages; nothing posted is taken.
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

void JoinWorker(HANDLE& thread, DWORD graceMs) {
    if (!thread) return;
    // Closing the transfer's handles ends the worker at its next read; a
    // thread stuck beyond that (a resolver or connect that never returns)
    // is stopped by force, as the dialog's close has always done.
    if (!WaitAnsweringSentMessages(thread, graceMs)) {
        ::TerminateThread(thread, 2);
        ::WaitForSingleObject(thread, 1000);  // termination completes asynchronously
    }
    ::CloseHandle(thread);
    thread = nullptr;
}

}  // namespace kvr
