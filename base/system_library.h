// Libraries the program loads at run time come from the system folder only,
// never from the program's folder or the current directory, where anyone who
// could drop a file would run code with the program's (elevated) rights.
#pragma once
#include <windows.h>

namespace kvr {

// First thing in every process: later loads search the system folder only,
// where the system has SetDefaultDllDirectories (Windows 7 with its update,
// and later); elsewhere nothing changes.
void RestrictLibrarySearch();

// Loads fileName ("dsound.dll") by its full path in the system folder;
// nullptr when it is not there.
HMODULE LoadSystemLibrary(const wchar_t* fileName);

}  // namespace kvr
