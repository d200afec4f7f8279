#include "base/window_handoff.h"

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

}  // namespace kvr
