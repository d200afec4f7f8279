// Helpers of the login window tests: a stand-in game window that answers the
// caption check as the game window does, a message pump, and a watcher that
// answers the program's message box from another thread.
#pragma once
#include <windows.h>
#include <atomic>
#include <string>
#include <thread>
#include <vector>
#include "ui/window.h"

namespace kvrtest {

inline void Pump(DWORD ms = 0) {
    const DWORD end = ::GetTickCount() + ms;
    do {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (ms) ::Sleep(10);
    } while (::GetTickCount() < end);
}

// Keeps the captions it accepted; refuses one it already has (result 0).
class CaptionWindow : public kvr::CWindowImpl {
public:
    std::vector<std::wstring> captions;
    int messages = 0;

    bool Make() {
        const RECT rc{0, 0, 300, 200};
        return Create(nullptr, rc, L"caption-window", WS_OVERLAPPEDWINDOW) != nullptr;
    }

    BEGIN_MSG_MAP(CaptionWindow)
        MESSAGE_HANDLER(WM_COPYDATA, OnCopyData)
    END_MSG_MAP()

private:
    LRESULT OnCopyData(UINT, WPARAM, LPARAM lParam, BOOL&) {
        ++messages;
        const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        const std::wstring caption(static_cast<const wchar_t*>(cds->lpData),
                                   cds->cbData / sizeof(wchar_t) - 1);
        for (const auto& c : captions)
            if (c == caption) return 0;
        captions.push_back(caption);
        return 1;
    }
};

// Watches for a visible dialog of this process titled `title` that is not
// one of `known`, and closes it (the program's message box draws its text, so
// the title is what a test can see).
class BoxWatcher {
public:
    BoxWatcher(std::wstring title, std::vector<HWND> known)
        : m_title(std::move(title)), m_known(std::move(known)) {
        m_thread = std::thread([this] { Run(); });
    }
    ~BoxWatcher() {
        m_stop = true;
        m_thread.join();
    }
    std::atomic<bool> seen{false};

private:
    void Run() {
        while (!m_stop && !seen) {
            HWND h = nullptr;
            while ((h = ::FindWindowExW(nullptr, h, L"#32770", m_title.c_str())) != nullptr) {
                DWORD pid = 0;
                ::GetWindowThreadProcessId(h, &pid);
                if (pid != ::GetCurrentProcessId() || !::IsWindowVisible(h)) continue;
                bool known = false;
                for (HWND k : m_known) known = known || k == h;
                if (known) continue;
                seen = true;
                ::PostMessageW(h, WM_CLOSE, 0, 0);
                break;
            }
            ::Sleep(20);
        }
    }
    std::wstring m_title;
    std::vector<HWND> m_known;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

}  // namespace kvrtest
