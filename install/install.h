// Install from a download: copy into the installation folder, shortcuts, start the copy.
#pragma once
#include <string>

namespace kvr {

// The path the installed copy of exePath has: installFolder + its file name.
std::wstring InstalledPathFor(const wchar_t* exePath, const wchar_t* installFolder);

// Copies exePath into installFolder (creating it) unless it is already that
// file (case ignored); returns the installed path, empty on failure.
std::wstring CopyIntoInstallFolder(const wchar_t* exePath, const wchar_t* installFolder);

// Mode 0: copy, shortcuts pointing at the copy, start the copy. COM is
// initialised here for the duration.
void InstallProgram();
// The four shortcuts of the program, pointing at exePath. COM must be
// initialised by the caller.
void CreateShortcuts(const wchar_t* exePath);

}  // namespace kvr
