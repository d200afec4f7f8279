// Entry point of kvr.exe: everything happens in the application object.
#include <windows.h>
#include "app/pathwick3_app.h"
#include "base/system_library.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int showCmd) {
    // Before anything can load a library by name.
    kvr::RestrictLibrarySearch();
    kvr::CPathwick3App app(instance);
    return app.Run(showCmd);
}
