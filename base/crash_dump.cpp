#include "base/crash_dump.h"
#include "base/module_path.h"

#include <dbghelp.h>
#include <atomic>
#include <cwchar>
#include "base/access_list.h"
#include "base/owned.h"
#include "base/system_library.h"

namespace kvr {
namespace {

// Process-wide: the crash filter gets no parameter of ours; one dump per process.
std::atomic<bool> g_dumpWritten{false};

using MiniDumpWriteDumpFn = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE,
                                          PMINIDUMP_EXCEPTION_INFORMATION,
                                          PMINIDUMP_USER_STREAM_INFORMATION,
                                          PMINIDUMP_CALLBACK_INFORMATION);

void WriteDumpWithPointers(HANDLE file, EXCEPTION_POINTERS* pointers) {
    const OwnedModule dbghelp(LoadSystemLibrary(L"DbgHelp.dll"));
    if (!dbghelp) return;
    auto write = reinterpret_cast<MiniDumpWriteDumpFn>(
        reinterpret_cast<void*>(::GetProcAddress(dbghelp.get(), "MiniDumpWriteDump")));
    if (write) {
        MINIDUMP_EXCEPTION_INFORMATION info{};
        info.ThreadId = ::GetCurrentThreadId();
        info.ExceptionPointers = pointers;
        info.ClientPointers = TRUE;
        // Richest first; older DbgHelp versions refuse the newer flags.
        const DWORD types[] = {0x1A25, 0x225, 0};
        for (DWORD type : types) {
            if (write(::GetCurrentProcess(), ::GetCurrentProcessId(), file,
                      static_cast<MINIDUMP_TYPE>(type), pointers ? &info : nullptr, nullptr,
                      nullptr))
                break;
        }
    }
}

// A dump without a crash: the breakpoint raised by WriteDump is caught here
// (a vectored handler works with every compiler, unlike __try/__except), the
// dump is written with its pointers, and execution continues after the raise.
thread_local HANDLE t_snapshotFile = nullptr;

LONG CALLBACK SnapshotHandler(EXCEPTION_POINTERS* pointers) {
    if (!t_snapshotFile || pointers->ExceptionRecord->ExceptionCode != EXCEPTION_BREAKPOINT)
        return EXCEPTION_CONTINUE_SEARCH;
    HANDLE file = t_snapshotFile;
    t_snapshotFile = nullptr;
    WriteDumpWithPointers(file, pointers);
    return EXCEPTION_CONTINUE_EXECUTION;
}

}  // namespace

bool DumpPathFor(const wchar_t* exePath, wchar_t (&dumpPath)[MAX_PATH]) {
    dumpPath[0] = 0;
    if (!exePath) return false;
    const wchar_t* dot = std::wcsrchr(exePath, L'.');
    if (!dot) return false;
    const size_t stem = static_cast<size_t>(dot - exePath);
    if (stem + 4 >= MAX_PATH) return false;  // ".dmp" and the terminator must fit
    std::wmemcpy(dumpPath, exePath, stem);
    std::wmemcpy(dumpPath + stem, L".dmp", 5);
    return true;
}

void WriteDump(HANDLE file, EXCEPTION_POINTERS* pointers) {
    if (pointers) {
        WriteDumpWithPointers(file, pointers);
        return;
    }
    PVOID handler = ::AddVectoredExceptionHandler(1, SnapshotHandler);
    if (!handler) return;
    t_snapshotFile = file;
    // A software exception resumes right after this call when continued.
    ::RaiseException(EXCEPTION_BREAKPOINT, 0, 0, nullptr);
    t_snapshotFile = nullptr;
    ::RemoveVectoredExceptionHandler(handler);
}

LONG WINAPI CrashDumpFilter(EXCEPTION_POINTERS* pointers) {
    if (g_dumpWritten.exchange(true)) return EXCEPTION_EXECUTE_HANDLER;
    wchar_t exePath[MAX_PATH];
    wchar_t dumpPath[MAX_PATH];
    if (!ModulePath(nullptr, exePath, MAX_PATH) || !DumpPathFor(exePath, dumpPath)) {
        g_dumpWritten = false;  // nothing was written: a later crash may still try
        return EXCEPTION_CONTINUE_SEARCH;
    }
    // The dump holds the process's memory, cookies included: readable by
    // SYSTEM and Administrators only. A new file: whatever an earlier crash
    // (or anyone) left in its place goes first, and a link there is never
    // written through.
    const OwnedFile file = CreatePrivateFile(dumpPath);
    WriteDump(file.get(), pointers);
    return EXCEPTION_CONTINUE_SEARCH;
}

void InstallCrashDumpFilter() { ::SetUnhandledExceptionFilter(CrashDumpFilter); }

}  // namespace kvr
