// A small driver for whole-program tests: starts kvr.exe, finds its windows by
// class and title (in any process), clicks, reads texts and posts messages,
// the way a player's input would reach them.
#pragma once
#include <windows.h>
#include <initializer_list>
#include <string>
#include <vector>
#include "base/owned.h"

namespace kvrtest {

// Full Windows path of a file in the build folder (KVR_BUILD_DIR), e.g. "kvr.exe".
std::wstring BuildPath(const std::wstring& relative);
// The same in the Linux folder that environment variable `folder` names;
// "" when it is not set.
std::wstring EnvFolderPath(const char* folder, const std::wstring& relative);
// Full Windows path of a file in the source folder (KVR_SOURCE_DIR).
std::wstring SourcePath(const std::wstring& relative);

class Process {
public:
    Process() = default;
    ~Process();  // kills the process if it still runs
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Starts exe with the given argument text (may be empty).
    bool Start(const std::wstring& exe, const std::wstring& args = L"");
    // Waits up to timeoutMs; true when it ended. exitCode set when it ended.
    bool Wait(DWORD timeoutMs, DWORD* exitCode = nullptr);
    void Kill();
    DWORD Id() const { return m_pid; }
    HANDLE Handle() const { return m_process; }

private:
    HANDLE m_process = nullptr;
    DWORD m_pid = 0;
};

// HKEY_LOCAL_MACHINE where the program at `exe` reads it. What the system
// keeps per process (the Flash Player key) lies in the view of the
// program's own bitness: a 32-bit program reads WOW6432Node, as on 64-bit
// Windows. The program's own settings (kvr::kSettingsKey) lie in the view
// the program keeps them in. Tests write and read both only through this.
class ProgramRegistry {
public:
    explicit ProgramRegistry(const std::wstring& exe);
    REGSAM ProcessView() const { return m_processView; }
    // "CurrentVersion" of the Flash Player key; nullptr: no Flash Player.
    bool SetFlashVersion(const wchar_t* version) const;
    // The settings key (created when `create`); empty when absent.
    kvr::OwnedKey Settings(REGSAM access, bool create) const;
    bool WriteSetting(const wchar_t* name, const void* bytes, DWORD size) const;  // REG_BINARY
    // The value's bytes and type; false when it is absent.
    bool ReadSetting(const wchar_t* name, std::string* bytes, DWORD* type = nullptr) const;
    void DeleteSetting(const wchar_t* name) const;
    void DeleteSettings() const;  // the whole key

private:
    REGSAM m_processView;
    REGSAM m_settingsView;
};

// Top-level windows matching class and/or title (nullptr = any), optionally
// of one process (pid 0 = any), visible or not.
std::vector<HWND> FindTopWindows(const wchar_t* cls, const wchar_t* title, DWORD pid = 0,
                                 bool visibleOnly = false);
// Polls until such a window exists; nullptr after timeoutMs.
HWND WaitForWindow(const wchar_t* cls, const wchar_t* title, DWORD timeoutMs, DWORD pid = 0,
                   bool visibleOnly = false);
// Polls until pred() is true; false after timeoutMs. Pumps this thread's messages.
template <class Pred>
bool WaitUntil(Pred pred, DWORD timeoutMs) {
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (pred()) return true;
        if (::GetTickCount64() >= end) return false;
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(20);
    }
}

// A SendMessage round trip: true once the window's thread has answered,
// that is, finished what it was handling when asked.
bool RoundTrip(HWND hwnd, DWORD timeoutMs = 45000);

std::wstring WindowText(HWND hwnd);
std::wstring ClassName(HWND hwnd);
// All descendant windows' texts joined with "\n" (message texts, labels).
std::wstring AllTexts(HWND hwnd);

// Clicks control `id` of a dialog as the player would: BM_CLICK on a button.
bool ClickButton(HWND dialog, int id);

// Presses the keys in order and releases them in reverse, through SendInput
// (so low-level hooks of every process see them).
void PressKeys(std::initializer_list<WORD> keys);

}  // namespace kvrtest
