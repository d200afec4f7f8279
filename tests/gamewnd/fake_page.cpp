// A stand-in page process for the game window's tests. It speaks the page
// protocol as the real page process does: the caption by WM_COPYDATA, the
// frame registration by WM_USER+2, SetParent into the game window, WM_USER+5
// mute states, the window-switch key relayed to the game window, and it
// closes on SC_CLOSE or when the game window is gone.
//
//   gamewnd_fake_page /newgm /<handle> /<count>    a game page
//   gamewnd_fake_page /newgm /0 /0 /<pipe>         the first one, told its window through the pipe
//   gamewnd_fake_page /gmhall /<handle>            the hall page
// Environment (inherited from the test): KVR_FAKE_CAPTION, the caption to
// hand over (from the frame, made before it); KVR_FAKE_MODE: "" (normal),
// "cancel" (a cancelled login), "wait" (a login window of class
// "KvrFakeLogin" owned by the game window, holding it disabled as a modal
// login does, stays open), "noregister" (dies after the caption),
// "toplevel" (the frame registers but stays a window of its own: under Wine
// only such a window can become the foreground window), "foreign" (registers
// even when its caption is refused, as a hostile process would).
// The test asks the frame by SendMessage: WM_APP+1 the last mute state
// (-1 none), WM_APP+2 the F5 keys with the marker received, WM_APP+3 the
// number of mute messages, WM_APP+4 the Ctrl+D characters received.
#include <windows.h>
#include <shellapi.h>
#include <cwchar>
#include <string>
#include "base/window_handoff.h"

namespace {

HWND g_game = nullptr;
std::wstring g_caption;
LRESULT g_lastMute = -1;
LRESULT g_muteMessages = 0;
LRESULT g_refreshes = 0;
LRESULT g_ctrlD = 0;

std::wstring Env(const wchar_t* name) {
    wchar_t buffer[512] = {};
    const DWORD n = ::GetEnvironmentVariableW(name, buffer, 512);
    return n > 0 && n < 512 ? std::wstring(buffer, n) : std::wstring();
}

void PlaceInGameWindow(HWND frame) {
    RECT client{};
    ::GetClientRect(g_game, &client);
    ::SetWindowPos(frame, nullptr, 4, 30, client.right - 8, client.bottom - 34, SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_APP + 1: return g_lastMute;
    case WM_APP + 2: return g_refreshes;
    case WM_APP + 3: return g_muteMessages;
    case WM_APP + 4: return g_ctrlD;
    case WM_APP + 5: ::Sleep(static_cast<DWORD>(wParam)); return 0;  // posted: busy for wParam ms
    case WM_USER + 5:
        g_lastMute = static_cast<LRESULT>(wParam);
        ++g_muteMessages;
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_F5 && lParam == 2817) ++g_refreshes;
        return 0;
    case WM_CHAR:
        if (wParam == 4) ++g_ctrlD;
        return 0;
    case WM_TIMER:
        if (wParam == 1) {  // shown once "navigation" completed
            ::KillTimer(hwnd, 1);
            PlaceInGameWindow(hwnd);
            ::ShowWindow(hwnd, SW_SHOW);
        } else if (!::IsWindow(g_game)) {
            ::PostQuitMessage(0);
        }
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(hwnd, &ps);
        RECT rc;
        ::GetClientRect(hwnd, &rc);
        HBRUSH brush = ::CreateSolidBrush(RGB(236, 244, 250));
        ::FillRect(dc, &rc, brush);
        ::DeleteObject(brush);
        ::SetBkMode(dc, TRANSPARENT);
        ::DrawTextW(dc, g_caption.c_str(), -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        ::EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) {
            ::DestroyWindow(hwnd);
            return 0;
        }
        break;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

bool Down(int vk) { return (::GetKeyState(vk) & 0x8000) != 0; }

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (!argv || argc < 3) return 2;
    const bool hall = std::wcscmp(argv[1], L"/gmhall") == 0;
    if (!hall && std::wcscmp(argv[1], L"/newgm") != 0) return 2;
    g_game = reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::wcstoull(argv[2] + 1, nullptr, 10)));
    // A first page, started before its window, reads the window from its
    // pipe; the window is made once this process waits for input, as a real
    // login window's does.
    if (!g_game && argc > 4) {
        MSG none;
        ::PeekMessageW(&none, nullptr, 0, 0, PM_NOREMOVE);
        const auto pipe = static_cast<UINT_PTR>(std::wcstoull(argv[4] + 1, nullptr, 10));
        g_game = kvr::ReceiveWindow(reinterpret_cast<HANDLE>(pipe));
    }
    const std::wstring mode = hall ? L"" : Env(L"KVR_FAKE_MODE");
    g_caption = hall ? L"hall" : Env(L"KVR_FAKE_CAPTION");

    if (mode == L"cancel") {
        ::PostMessageW(g_game, WM_SYSCOMMAND, SC_CLOSE, 2817);
        return 0;
    }
    WNDCLASSW wc{};
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = L"KvrFakePage";
    ::RegisterClassW(&wc);
    if (mode == L"wait") {  // a login window that stays open until the game window goes
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.lpszClassName = L"KvrFakeLogin";
        ::RegisterClassW(&wc);
        ::CreateWindowExW(0, L"KvrFakeLogin", L"login", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, g_game, nullptr,
                          instance, nullptr);
        ::EnableWindow(g_game, FALSE);
        MSG msg;
        while (::IsWindow(g_game)) {
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 200, QS_ALLINPUT);
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
        }
        return 0;
    }
    HWND frame = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"KvrFakePage", g_caption.c_str(), WS_POPUP | WS_CLIPCHILDREN,
                                   0, 0, 10, 10, nullptr, nullptr, instance, nullptr);
    if (!frame) return 5;
    if (!hall) {
        COPYDATASTRUCT cds{};
        cds.cbData = static_cast<DWORD>((g_caption.size() + 1) * sizeof(wchar_t));
        cds.lpData = const_cast<wchar_t*>(g_caption.c_str());
        if (::SendMessageW(g_game, WM_COPYDATA, reinterpret_cast<WPARAM>(frame), reinterpret_cast<LPARAM>(&cds)) == 0 &&
            mode != L"foreign")
            return 3;
        if (mode == L"noregister") return 4;
    }
    if (::IsWindow(g_game)) {
        ::PostMessageW(g_game, WM_USER + 2, reinterpret_cast<WPARAM>(frame), hall ? 1 : 0);
        if (mode != L"toplevel") {
            // Never shown before it is re-parented (Wine hangs otherwise).
            ::SetWindowLongW(frame, GWL_STYLE, WS_CHILD | WS_CLIPCHILDREN);
            ::SetParent(frame, g_game);
        }
    }
    ::SetTimer(frame, 1, 300, nullptr);
    ::SetTimer(frame, 2, 800, nullptr);

    // The game window is checked here too, not only by the frame's timer:
    // a frame destroyed together with its game window gets no more timers.
    MSG msg;
    for (;;) {
        if (!::IsWindow(g_game)) break;
        if (::MsgWaitForMultipleObjects(0, nullptr, FALSE, 800, QS_ALLINPUT) == WAIT_TIMEOUT) continue;
        bool quit = false;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = true;
                break;
            }
            // The window-switch key (Ctrl + Tab) goes to the game window.
            if ((msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) && msg.wParam == VK_TAB &&
                msg.lParam != 2817 && Down(VK_CONTROL) && !Down(VK_SHIFT) && !Down(VK_MENU)) {
                ::PostMessageW(g_game, msg.message, msg.wParam, msg.lParam);
                continue;
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (quit) break;
    }
    return 0;
}
