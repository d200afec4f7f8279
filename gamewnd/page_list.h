// The game window's pages: frame windows (appended on registration), captions
// and start ticks (appended together when a login arrives), the active tab and
// the hall window. Index i of the three lists names the same page, because a
// page process always hands over its caption before it registers its frame.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

namespace kvr {

inline constexpr int kMaxPages = 3;

class PageList {
public:
    int Count() const { return static_cast<int>(m_windows.size()); }
    bool Valid(int index) const { return index >= 0 && index < Count(); }
    int CaptionCount() const { return static_cast<int>(m_captions.size()); }

    // A login arrived: refused (false) when the same caption (case-sensitive)
    // is already open or as many captions are kept as the window has tabs;
    // otherwise caption and tick are appended.
    bool AcceptCaption(const std::wstring& caption, DWORD tick);

    // A page frame registered: appended, and it becomes the active tab.
    void AddWindow(HWND frame);

    // Removes page i (window, caption, tick); the active tab becomes i, or the
    // last tab when i was the last (0 when none is left). Out-of-range indexes
    // change nothing and return false.
    struct Removed {
        HWND window = nullptr;
        std::wstring caption;
        DWORD startTick = 0;
        bool hadCaption = false;
    };
    bool RemoveAt(int index, Removed* removed);

    // Captions that never got a frame (their page process ended before it
    // registered) are dropped so they cannot misalign later pages or block a
    // new login with the same account.
    int DropUnregisteredCaptions();

    HWND Window(int i) const { return Valid(i) ? m_windows[static_cast<size_t>(i)] : nullptr; }
    const std::wstring& Caption(int i) const;
    DWORD StartTick(int i) const;
    const std::vector<std::wstring>& Captions() const { return m_captions; }
    const std::vector<HWND>& Windows() const { return m_windows; }
    int IndexOf(HWND window) const;

    int Active() const { return m_active; }
    void SetActive(int index) { if (Valid(index)) m_active = index; }
    HWND ActiveWindow() const { return Window(m_active); }

    HWND Hall() const { return m_hall; }
    void SetHall(HWND hall) { m_hall = hall; }

private:
    std::vector<HWND> m_windows;
    std::vector<std::wstring> m_captions;
    std::vector<DWORD> m_ticks;
    int m_active = 0;
    HWND m_hall = nullptr;
};

}  // namespace kvr
