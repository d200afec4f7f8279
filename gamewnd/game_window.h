// Entry points of the game window and of the page processes.
#pragma once
#include <windows.h>
#include <memory>
#include <string>
#include "base/owned.h"
#include "base/process_watch.h"

namespace kvr {

class CMainFrame;
class CPageWatch;

// A game window's first page process, started before the window exists: it
// shows its login window first, and windowPipe tells it the window's handle
// once the window exists.
struct FirstPage {
    OwnedHandle process;
    OwnedHandle windowPipe;
};

// Starts program as that page; empty when it could not be started.
FirstPage StartFirstPage(const std::wstring& program);

// Creates the game window and runs it modally until it closes. Its first
// page is firstPage, or one it starts itself when that is empty.
void RunGameWindow(FirstPage firstPage);

// The windows of a page process (mode 6: a game page after login; mode 7:
// the game hall): the page frame with its view under the game window, and a
// watch that ends the process when the game window's process ends. They live
// until the process ends.
class PageProcess {
public:
    // Creates the frame hidden (it shows itself when its page is ready) on
    // gameUrl, or on the hall's page for the hall. Null when the frame could
    // not be created.
    static std::unique_ptr<PageProcess> Create(HWND gameWindow, bool hall, const std::wstring& gameUrl);
    ~PageProcess();
    PageProcess(const PageProcess&) = delete;
    PageProcess& operator=(const PageProcess&) = delete;

private:
    PageProcess() = default;
    void FollowGameWindow(HWND gameWindow);

    std::unique_ptr<CMainFrame> m_frame;
    std::unique_ptr<CPageWatch> m_watch;
    ProcessWatch m_gameProcess;
};

}  // namespace kvr
