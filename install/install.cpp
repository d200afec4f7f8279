#include "install/install.h"

namespace kvr {

// Still missing: copying the program, the shortcuts and starting the installed copy.
void InstallProgram() {}
void CreateShortcuts(const wchar_t*) {}

}  // namespace kvr
