#include "gamewnd/game_window.h"

#include "base/endpoints.h"
#include "gamewnd/main_frame.h"

namespace kvr {

// A message-only window of the page process that hears of the game window's
// end. It is not the frame: when the game window's process is killed, the
// frame (its child) is destroyed without ever hearing of it.
class CPageWatch : public CWindowImpl {
public:
    static constexpr UINT kMsgGameWindowEnded = WM_APP + 1;

    BEGIN_MSG_MAP(CPageWatch)
        MESSAGE_HANDLER(kMsgGameWindowEnded, OnGameWindowEnded)
    END_MSG_MAP()

protected:
    LPCWSTR WindowClassName() const override { return L"KvrPageWatch"; }

private:
    LRESULT OnGameWindowEnded(UINT, WPARAM, LPARAM, BOOL&) {
        ::PostQuitMessage(0);
        return 0;
    }
};

PageProcess::~PageProcess() {
    m_gameProcess.Reset();  // no post is under way when the window goes
    if (m_watch && m_watch->IsWindow()) ::DestroyWindow(m_watch->m_hWnd);
}

std::unique_ptr<PageProcess> PageProcess::Create(HWND gameWindow, bool hall, const std::wstring& gameUrl) {
    // The hall keeps the hall page; a game page shows the game of its login.
    const std::wstring start = hall ? ServerUrl(Server::ClientService, paths::kGameHall) : gameUrl;
    std::unique_ptr<PageProcess> process(new PageProcess());
    process->m_frame = std::make_unique<CMainFrame>(gameWindow, start.c_str(), hall);
    CMainFrame& frame = *process->m_frame;
    if (!frame.CreatePage()) return nullptr;
    ::SetWindowTextW(frame.m_hWnd, L"MarvoleKelvara");
    ::ShowWindow(frame.m_hWnd, SW_HIDE);  // the page shows itself when ready
    ::UpdateWindow(frame.m_hWnd);
    frame.InitialUpdate();
    process->FollowGameWindow(gameWindow);
    return process;
}

void PageProcess::FollowGameWindow(HWND gameWindow) {
    // Waiting on the game window's process, not asking every so often: an
    // idle page costs nothing. A game window that is gone already, or whose
    // process cannot be waited for, ends the page at once: nothing could
    // bring it back.
    m_watch = std::make_unique<CPageWatch>();
    const RECT none{0, 0, 0, 0};
    if (m_watch->Create(HWND_MESSAGE, none, nullptr, 0))
        m_gameProcess = ProcessWatch(OpenWindowProcess(gameWindow), m_watch->m_hWnd, CPageWatch::kMsgGameWindowEnded);
    if (!m_gameProcess.Waiting()) ::PostQuitMessage(0);
}

}  // namespace kvr
