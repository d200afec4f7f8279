#include "base/module_path.h"

namespace kvr {

bool ModulePath(HMODULE module, wchar_t* path, DWORD size) {
    if (!path || size == 0) return false;
    const DWORD n = ::GetModuleFileNameW(module, path, size);
    // A full buffer means the path was cut.
    if (n == 0 || n >= size) {
        path[0] = L'\0';
        return false;
    }
    path[n] = L'\0';
    return true;
}

std::wstring OwnProgramPath() {
    wchar_t path[MAX_PATH];
    return ModulePath(nullptr, path, MAX_PATH) ? std::wstring(path) : std::wstring();
}

}  // namespace kvr
