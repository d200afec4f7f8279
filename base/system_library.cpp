#include "base/system_library.h"

#include <delayimp.h>
#include <cwchar>

namespace kvr {
namespace {

// The full path of fileName in the system folder; empty for anything but a
// plain file name, or a path too long to load.
std::wstring SystemLibraryPath(const wchar_t* fileName) {
    if (!fileName || !*fileName || std::wcschr(fileName, L'\\') || std::wcschr(fileName, L'/')) return {};
    const std::wstring folder = SystemFolder();
    if (folder.empty()) return {};
    const std::wstring path = folder + L"\\" + fileName;
    return path.size() < MAX_PATH ? path : std::wstring();
}

// The delay-load helper asks before it loads a library: it gets the one in
// the system folder. Should that fail it gets this program's own module,
// which exports nothing, so the call fails (with the helper's exception)
// instead of the helper's LoadLibrary searching the program's folder.
FARPROC WINAPI LoadFromSystemFolder(unsigned notification, PDelayLoadInfo info) {
    if (notification != dliNotePreLoadLibrary || !info || !info->szDll) return nullptr;
    wchar_t name[MAX_PATH];
    size_t n = 0;
    for (const char* c = info->szDll; *c && n + 1 < MAX_PATH; ++c) name[n++] = static_cast<unsigned char>(*c);
    name[n] = L'\0';
    // Common controls by name: the activation context of the manifest takes
    // them from the side-by-side store (version 6) before any folder is
    // searched, as it would for an import of them.
    HMODULE module = ::lstrcmpiW(name, L"comctl32.dll") == 0 ? ::LoadLibraryW(name) : LoadSystemLibrary(name);
    return reinterpret_cast<FARPROC>(module ? module : ::GetModuleHandleW(nullptr));
}

}  // namespace

std::wstring SystemFolder() {
    wchar_t folder[MAX_PATH];
    const UINT n = ::GetSystemDirectoryW(folder, MAX_PATH);
    return n && n < MAX_PATH ? std::wstring(folder, n) : std::wstring();
}

void RestrictLibrarySearch() {
    const std::wstring folder = SystemFolder();
    if (!folder.empty()) ::SetCurrentDirectoryW(folder.c_str());
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    if (!kernel) return;
    auto setDirectories = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDirectories) setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

HMODULE LoadSystemLibrary(const wchar_t* fileName) {
    const std::wstring path = SystemLibraryPath(fileName);
    return path.empty() ? nullptr : ::LoadLibraryW(path.c_str());
}

bool EnsureSystemLibrary(const wchar_t* fileName) {
    const std::wstring path = SystemLibraryPath(fileName);
    // Loaded already from there (by name a module of another folder could answer).
    return !path.empty() && (::GetModuleHandleW(path.c_str()) || ::LoadLibraryW(path.c_str()));
}

}  // namespace kvr

// The toolchain's delay-load helper calls this hook (MSVC declares it const).
extern "C" {
#ifdef _MSC_VER
const
#endif
    PfnDliHook __pfnDliNotifyHook2 = kvr::LoadFromSystemFolder;
}
