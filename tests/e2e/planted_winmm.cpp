// A stranger's winmm.dll in the Downloads folder: the mixer functions a
// program importing winmm looks for, doing nothing.
#include <windows.h>

#define KVR_PLANTED(name) \
    extern "C" __declspec(dllexport) UINT name() { return 1; }
KVR_PLANTED(mixerClose)
KVR_PLANTED(mixerGetControlDetailsW)
KVR_PLANTED(mixerGetLineControlsW)
KVR_PLANTED(mixerGetLineInfoW)
KVR_PLANTED(mixerGetNumDevs)
KVR_PLANTED(mixerOpen)
KVR_PLANTED(mixerSetControlDetails)
