// Install from a download: copy into the installation folder, shortcuts, start the copy.
#pragma once

namespace kvr {

void InstallProgram();
// The four shortcuts of the program, pointing at exePath.
void CreateShortcuts(const wchar_t* exePath);

}  // namespace kvr
