// Starting another program: the one place the program calls CreateProcessW.
#pragma once
#include <windows.h>
#include <string>

namespace kvr {

// Starts a process shown normally that inherits no handles. program names the
// file to run; nullptr lets the first word of commandLine name it (quoted
// where it holds blanks). It runs in currentDirectory, by default the system
// folder: never in a folder it would inherit, where older loaders look for
// its libraries. True when it started; process, when given, receives its
// handle, which the caller closes.
bool StartProcess(const wchar_t* program, const std::wstring& commandLine, DWORD creationFlags,
                  HANDLE* process = nullptr, const wchar_t* currentDirectory = nullptr);

// The same, handing the process one handle of ours (made inheritable here),
// which it finds under the same value. From Vista on it is the only handle
// the process inherits; XP passes on every inheritable handle, and this
// program makes no other.
bool StartProcessWithHandle(const std::wstring& commandLine, DWORD creationFlags, HANDLE inherited,
                            HANDLE* process);

// The program at path without arguments (its quoted path is its command line).
bool StartProgram(const wchar_t* path, DWORD creationFlags, const wchar_t* currentDirectory = nullptr);

}  // namespace kvr
