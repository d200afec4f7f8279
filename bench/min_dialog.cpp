// The yardstick for start-up time: a minimal Win32 program that makes the same
// connectivity check as kvr.exe and then shows one plain window.
#include <windows.h>
#include <wininet.h>
#include "base/endpoints.h"

static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_DESTROY) { ::PostQuitMessage(0); return 0; }
    return ::DefWindowProcW(h, m, w, l);
}

int WINAPI wWinMain(HINSTANCE inst, HINSTANCE, LPWSTR, int) {
    if (!::InternetCheckConnectionW(kvr::ProbeUrl(), FLAG_ICC_FORCE_CONNECTION, 0)) return 1;
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = inst;
    wc.lpszClassName = L"KvrBenchMinDialog";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    ::RegisterClassW(&wc);
    HWND h = ::CreateWindowExW(0, wc.lpszClassName, L"KvrBenchMinDialog", WS_POPUP | WS_CAPTION | WS_SYSMENU,
                               100, 100, 400, 300, nullptr, nullptr, inst, nullptr);
    ::ShowWindow(h, SW_SHOW);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}
