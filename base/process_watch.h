// Hearing that a process ended without asking every so often: a wait of the
// system's thread pool posts a message to a window once the process's handle
// is signalled, so an idle program stays asleep. The window then looks at
// what ended (Ended()); a message may still arrive after the watch is gone,
// so it names nothing and the window checks its own state.
#pragma once
#include <windows.h>
#include <memory>
#include "base/owned.h"

namespace kvr {

class ProcessWatch {
public:
    ProcessWatch() = default;
    // Takes over `process` (a handle with SYNCHRONIZE access) and posts
    // `message` (wParam and lParam 0) to `window` when it ends, at once when
    // it has ended already. Without a wait (none could be registered) the
    // handle is still held and Ended() still answers.
    ProcessWatch(OwnedHandle process, HWND window, UINT message);
    // Stops watching; returns once no post is under way.
    ~ProcessWatch() { Reset(); }
    ProcessWatch(ProcessWatch&& other) noexcept;
    ProcessWatch& operator=(ProcessWatch&& other) noexcept;
    ProcessWatch(const ProcessWatch&) = delete;
    ProcessWatch& operator=(const ProcessWatch&) = delete;

    void Reset();
    explicit operator bool() const { return static_cast<bool>(m_process); }
    HANDLE Process() const { return m_process.get(); }
    // The id stays the process's while the handle is held.
    DWORD ProcessId() const { return m_process ? ::GetProcessId(m_process.get()) : 0; }
    bool Ended() const { return m_process && ::WaitForSingleObject(m_process.get(), 0) == WAIT_OBJECT_0; }
    bool Waiting() const { return m_wait != nullptr; }

private:
    struct Target {
        HWND window;
        UINT message;
    };
    static VOID CALLBACK Post(PVOID target, BOOLEAN timedOut);

    OwnedHandle m_process;
    std::unique_ptr<Target> m_target;  // outlives every post: freed after the wait is gone
    HANDLE m_wait = nullptr;
};

// The process that owns `window`, opened to wait for its end (SYNCHRONIZE);
// empty when the window is gone. Checked again after opening: an id read from
// a window that is gone meanwhile may already name another process.
OwnedHandle OpenWindowProcess(HWND window);

}  // namespace kvr
