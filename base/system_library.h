// Libraries the program loads at run time come from the system folder only,
// never from the program's folder or the current directory, where anyone who
// could drop a file would run code with the program's (elevated) rights.
//
// The program imports only Known DLLs; every other system library is loaded
// on the first call of one of its functions (cmake/delay_load.cmake), by the
// delay-load hook here, by its full path (common controls by name, which the
// manifest sends to the side-by-side store).
#pragma once
#include <windows.h>
#include <string>

namespace kvr {

// The system folder ("C:\Windows\system32"); empty when Windows does not say.
std::wstring SystemFolder();

// First thing in every process: the current directory becomes the system
// folder (loaders before Windows 7 search the one the process inherited, a
// download folder, say), and later loads search the system folder only where
// the system has SetDefaultDllDirectories (Windows 7 with its update, and
// later).
void RestrictLibrarySearch();

// Loads fileName ("dsound.dll") by its full path in the system folder;
// nullptr when it is not there.
HMODULE LoadSystemLibrary(const wchar_t* fileName);

// True when fileName, one of the libraries loaded on first use, is loaded
// from the system folder, loading it if it is not. Code calls its functions
// only after this said true: without the library, the work that needed it
// fails as it fails on any other error. (A call before would end the program
// with the delay-load helper's exception, never search for the library.)
bool EnsureSystemLibrary(const wchar_t* fileName);

}  // namespace kvr
