#include "gamewnd/game_window.h"

#include <memory>
#include "app/endpoints.h"
#include "app/pathwick3_app.h"
#include "gamewnd/main_frame.h"
#include "login/login.h"

namespace kvr {

namespace {
// The page process's one frame; it lives until the process ends.
std::unique_ptr<CMainFrame> g_frame;
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
    App().SetMainWindow(g_frame->m_hWnd);
    g_frame->InitialUpdate();
    return true;
}

}  // namespace kvr
