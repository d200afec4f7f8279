// Entry point of kvr.exe: everything happens in the application object.
#include <windows.h>
#include "app/pathwick3_app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int showCmd) {
    kvr::CPathwick3App app(instance);
    return app.Run(showCmd);
}
