// A mini-dump next to the executable when an exception escapes every handler,
// written once per process.
#pragma once
#include <windows.h>

namespace kvr {

// The first step of start-up: makes CrashDumpFilter the unhandled-exception filter.
void InstallCrashDumpFilter();

// Writes "<exe path up to its last '.'>.dmp" once; later calls end the process
// without the system's error report (EXCEPTION_EXECUTE_HANDLER). Without a '.'
// in the path nothing is written (EXCEPTION_CONTINUE_SEARCH).
LONG WINAPI CrashDumpFilter(EXCEPTION_POINTERS* pointers);

// Writes a mini-dump of this process into file (DbgHelp loaded at run time,
// richest dump type first). Without exception pointers it raises a breakpoint
// exception and dumps with that exception's pointers, then carries on.
void WriteDump(HANDLE file, EXCEPTION_POINTERS* pointers);

// The dump file's path for exePath: cut at the last '.', ".dmp" appended.
// False (and "") when there is no '.' or the result exceeds 260 characters.
bool DumpPathFor(const wchar_t* exePath, wchar_t (&dumpPath)[MAX_PATH]);

}  // namespace kvr
