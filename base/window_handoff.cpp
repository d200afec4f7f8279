#include "base/window_handoff.h"

#include <utility>

namespace kvr {

WindowHandoff CreateWindowHandoff() {
    WindowHandoff pair;
    if (!::CreatePipe(pair.readEnd.put(), pair.writeEnd.put(), nullptr, 0)) return {};
    return pair;
}

// Handles carry 32 significant bits in 32- and 64-bit processes alike.
bool SendWindow(HANDLE writeEnd, HWND window) {
    const DWORD value = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(window));
    DWORD written = 0;
    return ::WriteFile(writeEnd, &value, sizeof value, &written, nullptr) && written == sizeof value;
}

HWND ReceiveWindow(HANDLE readEnd) {
    if (!readEnd || ::GetFileType(readEnd) != FILE_TYPE_PIPE) return nullptr;
    DWORD value = 0, read = 0;
    if (!::ReadFile(readEnd, &value, sizeof value, &read, nullptr) || read != sizeof value) return nullptr;
    const HWND window = reinterpret_cast<HWND>(static_cast<INT_PTR>(static_cast<LONG>(value)));
    return ::IsWindow(window) ? window : nullptr;
}

WindowArrival::WindowArrival(OwnedHandle readEnd, HWND target, UINT arrived)
    : m_readEnd(std::move(readEnd)),
      m_target(target),
      m_arrived(arrived),
      m_doneEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

std::shared_ptr<WindowArrival> WindowArrival::Start(OwnedHandle readEnd, HWND target, UINT arrived) {
    std::shared_ptr<WindowArrival> arrival(new WindowArrival(std::move(readEnd), target, arrived));
    if (!arrival->m_doneEvent) return nullptr;
    arrival->m_self = arrival;
    const OwnedHandle thread(::CreateThread(nullptr, 0, Read, arrival.get(), 0, nullptr));  // never waited on
    if (!thread) {
        arrival->m_self.reset();
        return nullptr;
    }
    return arrival;
}

DWORD WINAPI WindowArrival::Read(void* self) {
    const std::shared_ptr<WindowArrival> arrival = std::move(static_cast<WindowArrival*>(self)->m_self);
    arrival->m_window = ReceiveWindow(arrival->m_readEnd.get());
    arrival->m_readEnd.reset();
    ::SetEvent(arrival->m_doneEvent.get());
    ::PostMessageW(arrival->m_target, arrival->m_arrived, 0, 0);
    return 0;
}

}  // namespace kvr
