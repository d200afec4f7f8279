#include "base/command_line.h"

#include <shellapi.h>
#include <shlwapi.h>
#include <cwchar>
#include <climits>
#include "base/module_path.h"
#include "base/owned.h"
#include "base/settings.h"

namespace kvr {
namespace {

// "/<decimal>" as the game window writes it: the text from the second
// character on, read as a decimal integer (an over-long number is cut by the
// buffer first, a number out of range is clamped).
template <size_t N>
long ReadSlashNumber(const wchar_t* arg) {
    wchar_t buf[N] = {};
    if (arg) ::lstrcpynW(buf, arg, N);
    if (!buf[0]) return 0;
    long value = std::wcstol(buf + 1, nullptr, 10);
    if (value > INT_MAX) value = INT_MAX;
    if (value < INT_MIN) value = INT_MIN;
    return value;
}

bool IsSwitch(const wchar_t* arg, const wchar_t* name) { return ::lstrcmpiW(arg, name) == 0; }

bool InsideFolder(const wchar_t* exePath, const wchar_t* folder) {
    if (!exePath || !folder || !folder[0]) return false;
    wchar_t path[MAX_PATH] = {}, dir[MAX_PATH] = {};
    ::lstrcpynW(path, exePath, MAX_PATH);
    ::lstrcpynW(dir, folder, MAX_PATH);
    ::CharUpperBuffW(path, ::lstrlenW(path));
    ::CharUpperBuffW(dir, ::lstrlenW(dir));
    return std::wcsstr(path, dir) != nullptr;
}

}  // namespace

StartArgs ParseStartArgs(int argc, const wchar_t* const* args, const wchar_t* exePath,
                         const wchar_t* installFolder) {
    StartArgs out;
    const wchar_t* first = argc > 0 && args ? args[0] : nullptr;
    const wchar_t* second = argc > 1 ? args[1] : nullptr;
    const wchar_t* third = argc > 2 ? args[2] : nullptr;
    const wchar_t* fourth = argc > 3 ? args[3] : nullptr;
    if (first && IsSwitch(first, L"/webMarvoleD")) {
        out.mode = StartMode::PortalShortcut;
    } else if (first && IsSwitch(first, L"/KvrD")) {
        out.mode = StartMode::GameShortcut;
    } else if (first && IsSwitch(first, L"/uninst")) {
        out.mode = StartMode::Uninstall;
    } else if (first && IsSwitch(first, L"/update")) {
        out.mode = StartMode::Update;
    } else if (first && IsSwitch(first, L"/newgm")) {
        out.mode = StartMode::NewPage;
        // Handles are 32-bit values even in 64-bit processes: sign-extend.
        out.parent = reinterpret_cast<HWND>(static_cast<INT_PTR>(ReadSlashNumber<16>(second)));
        out.pageCount = static_cast<int>(ReadSlashNumber<8>(third));
        if (!out.parent) out.windowPipe = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(ReadSlashNumber<16>(fourth)));
    } else if (first && IsSwitch(first, L"/gmhall")) {
        out.mode = StartMode::GameHall;
        out.parent = reinterpret_cast<HWND>(static_cast<INT_PTR>(ReadSlashNumber<16>(second)));
    } else {
        out.mode = InsideFolder(exePath, installFolder) ? StartMode::Plain : StartMode::Install;
    }
    return out;
}

StartArgs ParseProcessCommandLine() {
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    const OwnedLocal argvMemory(argv);
    wchar_t exePath[MAX_PATH];
    ModulePath(nullptr, exePath, MAX_PATH);
    wchar_t folder[MAX_PATH] = {};
    InstallFolder(folder);
    StartArgs args = ParseStartArgs(argv && argc > 1 ? argc - 1 : 0,
                                    argv && argc > 1 ? argv + 1 : nullptr, exePath, folder);
    return args;
}

}  // namespace kvr
