// Install from a download: copy into the installation folder, shortcuts, start the copy.
#pragma once
#include <string>

namespace kvr {

// The path the installed copy of exePath has: installFolder + its file name.
std::wstring InstalledPathFor(const wchar_t* exePath, const wchar_t* installFolder);

// Makes installFolder safe (MakeInstallFolder: someone else's folder is
// moved aside) and copies exePath into it unless it is already that file
// (case ignored). Returns the installed path, also when the copy failed
// because the installed client runs (the copy there stays); empty when the
// folder could not be made safe, and nothing there may then be used.
std::wstring CopyIntoInstallFolder(const wchar_t* exePath, const wchar_t* installFolder);

// Mode 0: copy, shortcuts pointing at the copy, start the copy. COM is
// initialised here for the duration.
void InstallProgram();
// The four shortcuts of the program, pointing at exePath. COM must be
// initialised by the caller.
void CreateShortcuts(const wchar_t* exePath);

}  // namespace kvr
