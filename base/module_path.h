// The path of a loaded module, checked for truncation: a path that does not
// fit the buffer is cut by GetModuleFileNameW, and on Windows XP left without
// its terminating zero.
#pragma once
#include <windows.h>
#include <string>

namespace kvr {

// The full path of `module` (nullptr: this executable) in path[size]; false,
// with path empty, when it could not be read or did not fit.
bool ModulePath(HMODULE module, wchar_t* path, DWORD size);
// The path of this executable; empty when it does not fit MAX_PATH.
std::wstring OwnProgramPath();

}  // namespace kvr
