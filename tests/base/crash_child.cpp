// A program that crashes: installs the program's crash-dump filter exactly as
// start-up does, then writes through a null pointer.
#include <windows.h>
#include "base/crash_dump.h"

int main() {
    ::SetErrorMode(SEM_NOGPFAULTERRORBOX | SEM_FAILCRITICALERRORS);
    kvr::InstallCrashDumpFilter();
    volatile int* nowhere = nullptr;
    *nowhere = 42;
    return 0;
}
