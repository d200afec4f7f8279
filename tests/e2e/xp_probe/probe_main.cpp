// kvr_xp_probe <pid>: loads kvr_xp_sound.dll (beside this program) into
// process pid, runs its ProbeSound there, unloads it and exits with
// ProbeSound's answer; 100 and above when the probe could not run. The
// process must be of this program's bitness: kernel32 lies at the same
// address in every such process of a session, so the addresses of
// LoadLibraryW and FreeLibrary here are theirs there too.
#include <windows.h>
#include <tlhelp32.h>
#include <cwchar>

namespace {

constexpr DWORD kNoProbe = 100;
constexpr wchar_t kLibrary[] = L"kvr_xp_sound.dll";

// Runs fn(argument) on a new thread of process; false when it did not end.
bool RunThere(HANDLE process, const void* fn, const void* argument, DWORD* exitCode) {
    HANDLE thread = ::CreateRemoteThread(
        process, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(const_cast<void*>(fn)),
        const_cast<void*>(argument), 0, nullptr);
    if (!thread) return false;
    const bool ended = ::WaitForSingleObject(thread, 20000) == WAIT_OBJECT_0 &&
                       ::GetExitCodeThread(thread, exitCode);
    ::CloseHandle(thread);
    return ended;
}

const void* KernelFunction(const char* name) {
    return reinterpret_cast<const void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), name));
}

// Where the library lies in process pid (a thread's exit code cannot carry a
// 64-bit module handle).
BYTE* LibraryBase(DWORD pid) {
    HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
    if (snap == INVALID_HANDLE_VALUE) return nullptr;
    MODULEENTRY32W module{};
    module.dwSize = sizeof(module);
    BYTE* base = nullptr;
    for (BOOL ok = ::Module32FirstW(snap, &module); ok && !base; ok = ::Module32NextW(snap, &module))
        if (_wcsicmp(module.szModule, kLibrary) == 0) base = module.modBaseAddr;
    ::CloseHandle(snap);
    return base;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return kNoProbe + 1;
    const DWORD pid = std::wcstoul(argv[1], nullptr, 10);
    wchar_t dll[MAX_PATH];
    const DWORD n = ::GetModuleFileNameW(nullptr, dll, MAX_PATH);
    wchar_t* slash = std::wcsrchr(dll, L'\\');
    if (n == 0 || n >= MAX_PATH || !slash || (slash - dll) + 1 + std::wcslen(kLibrary) >= MAX_PATH)
        return kNoProbe + 2;
    std::wcscpy(slash + 1, kLibrary);

    // The probe's offset in the library, measured on a copy loaded here.
    HMODULE local = ::LoadLibraryW(dll);
    const auto* probe = reinterpret_cast<const BYTE*>(::GetProcAddress(local, "ProbeSound"));
    if (!local || !probe) return kNoProbe + 3;
    const ULONG_PTR offset = probe - reinterpret_cast<const BYTE*>(local);

    HANDLE process = ::OpenProcess(PROCESS_CREATE_THREAD | PROCESS_QUERY_INFORMATION | PROCESS_VM_OPERATION |
                                       PROCESS_VM_WRITE | PROCESS_VM_READ | SYNCHRONIZE,
                                   FALSE, pid);
    if (!process) return kNoProbe + 4;
    const SIZE_T bytes = (std::wcslen(dll) + 1) * sizeof(wchar_t);
    void* path = ::VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    DWORD answer = kNoProbe + 5, ignored = 0;
    if (path && ::WriteProcessMemory(process, path, dll, bytes, nullptr) &&
        RunThere(process, KernelFunction("LoadLibraryW"), path, &ignored)) {
        if (BYTE* base = LibraryBase(pid)) {
            if (!RunThere(process, base + offset, nullptr, &answer)) answer = kNoProbe + 6;
            RunThere(process, KernelFunction("FreeLibrary"), base, &ignored);
        }
    }
    if (path) ::VirtualFreeEx(process, path, 0, MEM_RELEASE);
    ::CloseHandle(process);
    return static_cast<int>(answer);
}
