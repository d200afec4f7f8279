// Runs the game window on a thread of its own, as the program's UI thread
// would, with the stand-in page program; and finds what it shows.
#pragma once
#include <windows.h>
#include <atomic>
#include <string>
#include <vector>
#include "gamewnd/pathwick3_dlg.h"

namespace kvr::test {

std::wstring FakePagePath();
// The caption and mode the next page process gets (see fake_page.cpp).
void SetNextPage(const std::wstring& caption, const std::wstring& mode = L"");

class GameWindowRun {
public:
    GameWindowRun();
    ~GameWindowRun();  // ends the window if it still runs
    bool Start(DWORD timeoutMs = 10000);
    bool WaitEnded(DWORD timeoutMs);

    HWND Window() const { return m_hwnd; }
    DWORD ThreadId() const { return m_threadId; }
    // Reads the window's state once its thread has handled what is queued.
    CPathwick3Dlg* Dlg();
    int PageCount() { return Dlg() ? Dlg()->PageCount() : -1; }
    // A visible message box of the game window's thread (nullptr: none yet).
    HWND WaitForMessageBox(DWORD timeoutMs);
    // Answers it with its first (OK/Yes) or second (No) button.
    static void Answer(HWND box, bool first);
    // Waits for the page count; false after timeoutMs.
    bool WaitForPages(int count, DWORD timeoutMs);
    HWND Page(int i);
    DWORD PageProcessId(int i);

    // What the window's thread took from its queue (a WH_GETMESSAGE hook on
    // it): so many posted messages `message` with `wParam` (any: kAnyWParam).
    static constexpr WPARAM kAnyWParam = ~WPARAM(0);
    int Taken(UINT message, WPARAM wParam = kAnyWParam);
    // Waits until Taken() reaches count and the thread has handled the last.
    bool WaitTaken(UINT message, int count, DWORD timeoutMs, WPARAM wParam = kAnyWParam);

private:
    static LRESULT CALLBACK OnMessageTaken(int code, WPARAM wParam, LPARAM lParam);
    static DWORD WINAPI ThreadMain(LPVOID self);
    HANDLE m_thread = nullptr;
    DWORD m_threadId = 0;
    HANDLE m_ready = nullptr;
    std::atomic<CPathwick3Dlg*> m_dlg{nullptr};
    HWND m_hwnd = nullptr;
    HHOOK m_queueHook = nullptr;
};


}  // namespace kvr::test
