#include "ui/monitor.h"

#include "ui/message_box.h"

namespace kvr {

RECT MonitorWorkArea(HWND window) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (!::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor) &&
        !::SystemParametersInfoW(SPI_GETWORKAREA, 0, &monitor.rcWork, 0))
        monitor.rcWork = RECT{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    return monitor.rcWork;
}

POINT CentredOnMonitor(HWND window, SIZE size) {
    return MessageBoxPosition(RECT{0, 0, 0, 0}, MonitorWorkArea(window), size);
}

void CentreOnMonitor(HWND window) {
    RECT rc{};
    ::GetWindowRect(window, &rc);
    const POINT at = CentredOnMonitor(window, SIZE{rc.right - rc.left, rc.bottom - rc.top});
    ::SetWindowPos(window, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace kvr
