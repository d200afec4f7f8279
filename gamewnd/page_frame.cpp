#include "gamewnd/game_window.h"

#include "base/endpoints.h"
#include "gamewnd/main_frame.h"

namespace kvr {

PageProcess::PageProcess(HWND gameWindow) : m_gameWindow(gameWindow) {}

PageProcess::~PageProcess() {
    if (m_watch) ::DestroyWindow(m_watch);
}

std::unique_ptr<PageProcess> PageProcess::Create(HWND gameWindow, bool hall, const std::wstring& gameUrl) {
    // The hall keeps the hall page; a game page shows the game of its login.
    const std::wstring start = hall ? ServerUrl(Server::ClientService, paths::kGameHall) : gameUrl;
    std::unique_ptr<PageProcess> process(new PageProcess(gameWindow));
    process->m_frame = std::make_unique<CMainFrame>(gameWindow, start.c_str(), hall);
    CMainFrame& frame = *process->m_frame;
    if (!frame.CreatePage()) return nullptr;
    ::SetWindowTextW(frame.m_hWnd, L"MarvoleKelvara");
    ::ShowWindow(frame.m_hWnd, SW_HIDE);  // the page shows itself when ready
    ::UpdateWindow(frame.m_hWnd);
    frame.InitialUpdate();
    if (gameWindow) {
        // The frame's own 800 ms timer dies with the frame, and when the game
        // window's process is killed the frame (its child) is destroyed
        // without ever hearing of it. The timer of a message-only window of
        // our own outlives the frame and ends the process then; the window's
        // user data says what it watches.
        process->m_watch = ::CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                             ::GetModuleHandleW(nullptr), nullptr);
        if (process->m_watch) {
            ::SetWindowLongPtrW(process->m_watch, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(process.get()));
            ::SetTimer(process->m_watch, 1, 800, OnWatchTimer);
        }
    }
    return process;
}

void CALLBACK PageProcess::OnWatchTimer(HWND watch, UINT, UINT_PTR, DWORD) {
    const auto* self = reinterpret_cast<const PageProcess*>(::GetWindowLongPtrW(watch, GWLP_USERDATA));
    if (!self) return;
    const HWND frame = self->m_frame ? self->m_frame->m_hWnd : nullptr;
    if (!::IsWindow(self->m_gameWindow) || !frame || !::IsWindow(frame)) ::PostQuitMessage(0);
}

}  // namespace kvr
