#include "gamewnd/game_window.h"

#include <memory>
#include "base/endpoints.h"
#include "gamewnd/main_frame.h"
#include "login/login.h"

namespace kvr {

namespace {
// The page process's one frame; it lives until the process ends.
std::unique_ptr<CMainFrame> g_frame;
HWND g_gameWindow = nullptr;

// The frame's own 800 ms timer dies with the frame, and when the game
// window's process is killed the frame (its child) is destroyed without ever
// hearing of it. A thread timer outlives the frame and ends the process then.
void CALLBACK WatchGameWindow(HWND, UINT, UINT_PTR, DWORD) {
    const bool frameAlive = g_frame && g_frame->m_hWnd && ::IsWindow(g_frame->m_hWnd);
    if (!::IsWindow(g_gameWindow) || !frameAlive) ::PostQuitMessage(0);
}
}  // namespace

bool CreatePageFrame(HWND gameWindow, bool hall) {
    // The hall keeps the hall page; a game page shows the game of its login.
    const std::wstring start =
        hall ? ServerUrl(Server::ClientService, paths::kGameHall) : std::wstring(LoginGameUrl());
    g_frame = std::make_unique<CMainFrame>(gameWindow, start.c_str(), hall);
    if (!g_frame->CreatePage()) {
        g_frame.reset();
        return false;
    }
    ::SetWindowTextW(g_frame->m_hWnd, L"MarvoleKelvara");
    ::ShowWindow(g_frame->m_hWnd, SW_HIDE);  // the page shows itself when ready
    ::UpdateWindow(g_frame->m_hWnd);
    g_frame->InitialUpdate();
    if (gameWindow) {
        g_gameWindow = gameWindow;
        ::SetTimer(nullptr, 0, 800, WatchGameWindow);
    }
    return true;
}

}  // namespace kvr
