// Drives a modal dialog from inside its own loop: a thread timer calls the
// step function every 30 ms while DoModal runs, so a test can watch the
// window, take screenshots and press buttons at the right moment. A dialog
// still open after the deadline gets WM_CLOSE, so a test fails, never hangs.
#pragma once
#include <windows.h>
#include <functional>
#include <gtest/gtest.h>

namespace kvrtest {

class ModalScript {
public:
    explicit ModalScript(std::function<void()> step, DWORD deadlineMs = 30000)
        : m_step(std::move(step)), m_deadline(::GetTickCount() + deadlineMs) {
        s_current = this;
        m_timer = ::SetTimer(nullptr, 0, 30, Tick);
    }
    ~ModalScript() {
        ::KillTimer(nullptr, m_timer);
        s_current = nullptr;
    }
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        if (s_current && static_cast<LONG>(::GetTickCount() - s_current->m_deadline) > 0) {
            ADD_FAILURE() << "dialog still open at the deadline";
            if (HWND active = ::GetActiveWindow()) ::PostMessageW(active, WM_CLOSE, 0, 0);
            s_current->m_deadline = ::GetTickCount() + 5000;
            return;
        }
        if (s_current && !s_current->m_busy) {
            s_current->m_busy = true;
            s_current->m_step();
            s_current->m_busy = false;
        }
    }
    static inline ModalScript* s_current = nullptr;
    std::function<void()> m_step;
    DWORD m_deadline;
    UINT_PTR m_timer = 0;
    bool m_busy = false;
};

}  // namespace kvrtest
