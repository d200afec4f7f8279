#include "base/process_watch.h"

#include <utility>

namespace kvr {

ProcessWatch::ProcessWatch(OwnedHandle process, HWND window, UINT message)
    : m_process(std::move(process)), m_target(new Target{window, message}) {
    if (!m_process) return;
    // Run on the wait thread itself: all it does is post.
    if (!::RegisterWaitForSingleObject(&m_wait, m_process.get(), Post, m_target.get(), INFINITE,
                                       WT_EXECUTEONLYONCE | WT_EXECUTEINWAITTHREAD))
        m_wait = nullptr;
}

ProcessWatch::ProcessWatch(ProcessWatch&& other) noexcept
    : m_process(std::move(other.m_process)), m_target(std::move(other.m_target)), m_wait(other.m_wait) {
    other.m_wait = nullptr;
}

ProcessWatch& ProcessWatch::operator=(ProcessWatch&& other) noexcept {
    if (this != &other) {
        Reset();
        m_process = std::move(other.m_process);
        m_target = std::move(other.m_target);
        m_wait = other.m_wait;
        other.m_wait = nullptr;
    }
    return *this;
}

void ProcessWatch::Reset() {
    // INVALID_HANDLE_VALUE: wait for a post under way, so its target is not
    // freed beneath it.
    if (m_wait) ::UnregisterWaitEx(m_wait, INVALID_HANDLE_VALUE);
    m_wait = nullptr;
    m_target.reset();
    m_process.reset();
}

VOID CALLBACK ProcessWatch::Post(PVOID target, BOOLEAN) {
    const auto* t = static_cast<const Target*>(target);
    ::PostMessageW(t->window, t->message, 0, 0);
}

OwnedHandle OpenWindowProcess(HWND window) {
    DWORD pid = 0;
    if (!::GetWindowThreadProcessId(window, &pid) || !pid) return OwnedHandle();
    OwnedHandle process(::OpenProcess(SYNCHRONIZE, FALSE, pid));
    DWORD now = 0;
    if (!process || !::GetWindowThreadProcessId(window, &now) || now != pid) return OwnedHandle();
    return process;
}

}  // namespace kvr
