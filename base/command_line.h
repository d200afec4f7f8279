// The command line of kvr.exe: which start mode applies, and for page
// processes the game window that started them.
#pragma once
#include <windows.h>

namespace kvr {

enum class StartMode : int {
    Install = 0,         // no switch, outside the installation folder: first run
    PortalShortcut = 1,  // "/webMarvoleD"
    GameShortcut = 2,    // "/KvrD"
    Plain = 3,           // no switch, inside the installation folder
    Uninstall = 4,       // "/uninst"
    Update = 5,          // "/update"
    NewPage = 6,         // "/newgm /<handle> /<page count>", or "/newgm /0 /0 /<pipe>"
    GameHall = 7,        // "/gmhall /<handle>"
};

struct StartArgs {
    StartMode mode = StartMode::Install;
    HWND parent = nullptr;  // "/newgm", "/gmhall": the game window that started us
    int pageCount = 0;      // "/newgm": pages the game window had then
    // "/newgm" with no window yet: the inherited pipe that brings the game
    // window's handle once the window exists (a game window's first page).
    HANDLE windowPipe = nullptr;
};

// args: the arguments after the program name. Only the first is tested, case
// ignored. Without a recognised switch the mode depends on whether
// installFolder occurs in exePath (case ignored). Handle and page count
// arguments are cut to 15 and 7 characters before they are read.
StartArgs ParseStartArgs(int argc, const wchar_t* const* args, const wchar_t* exePath,
                         const wchar_t* installFolder);

// The same for this process: its command line, its path and the installation
// folder of this machine.
StartArgs ParseProcessCommandLine();

}  // namespace kvr
