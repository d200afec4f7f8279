// The document mode of the browser control in this program: without a
// FEATURE_BROWSER_EMULATION value for the program's file name the control
// renders the portal's pages as Internet Explorer 7 would. The value lives in
// the process's own registry view (a 32-bit process's control reads the
// 32-bit view, a 64-bit one the 64-bit view).
#pragma once
#include <windows.h>

namespace kvr {

// The emulation value for the installed Internet Explorer: the major version
// of svcVersion (Internet Explorer 10 and later), else of Version, times
// 1000; 0 when neither names a version the value exists for (7 and later).
DWORD BrowserEmulationValue(const wchar_t* svcVersion, const wchar_t* version);

// The install: writes the value for exeName ("kvr.exe") from the installed
// Internet Explorer's version. False when there is none or it failed.
bool WriteBrowserEmulation(const wchar_t* exeName);
// The uninstall: removes exeName's value as either build wrote it.
void DeleteBrowserEmulation(const wchar_t* exeName);

}  // namespace kvr
