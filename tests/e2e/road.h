// The road of one login driven from outside, as a player's input would reach
// kvr.exe: shared by the whole-program tests and by the walk that `./kvr run`
// shows on a headless display. Everything here works on windows found by
// class and title, on messages and on what the stand-in portal received.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

namespace kvre2e {

// kvr.exe in the build folder.
std::wstring KvrExe();

// Ends every kvr.exe of this Wine prefix (tests start all of them).
void KillKvrProcesses();
// Full paths of the modules process pid has loaded.
std::vector<std::wstring> ProcessModules(DWORD pid);
// Ids of the running kvr.exe processes.
std::vector<DWORD> KvrProcessIds();

// HKLM\SOFTWARE\Macromedia\FlashPlayer "CurrentVersion" where KvrExe()
// reads it (nullptr deletes it).
bool SetFlashVersion(const wchar_t* version);

// The game window ("#32770" titled "MarvoleKelvara") of process pid.
HWND WaitForGameWindow(DWORD pid, DWORD timeoutMs);
// A login page dialog (a top-level window holding a browser control) of any
// process but `notPid` that is not one of `known`; nullptr after timeoutMs.
HWND WaitForLoginPage(DWORD notPid, const std::vector<HWND>& known, DWORD timeoutMs);
// A visible message box titled "MarvoleKelvara" of pid other than `except`.
HWND WaitForMessageBox(DWORD pid, HWND except, DWORD timeoutMs);
// Answers a message box: Yes/OK (first button) or No/Cancel.
bool AnswerMessageBox(HWND box, bool yes);
// Texts a message box shows: the lines of the skinned box (its static
// children), or the system box's label.
std::wstring MessageBoxTexts(HWND box);

// The "app://loadgame|..." URL the portal's login page sends for an account:
// account text server + "服-" + area + "-" + account, percent-encoded as UTF-8
// the way the page's script encodes it, and the game page on the stand-in.
std::wstring LoadGameUrl(const std::wstring& server, const std::wstring& area, const std::wstring& account);
// The game page address inside LoadGameUrl (without the app: part).
std::wstring GameUrl(const std::wstring& server, const std::wstring& account);

// Page frames of other processes that are children of the game window.
std::vector<HWND> PageFrames(HWND gameWindow);

// Polls the stand-in until a request with path and query part arrived.
bool WaitForRequest(const std::string& path, const std::string& queryPart, DWORD timeoutMs);
// How many such requests arrived so far.
size_t CountRequests(const std::string& path, const std::string& queryPart = "");

// Logs in through a login page: shows it (document complete), then makes its
// browser control navigate to the loadgame URL. True when the page process
// took both requests.
bool LogIn(HWND loginPage, const std::wstring& server, const std::wstring& area, const std::wstring& account);

}  // namespace kvre2e
