// Muting a page process's sound. On Vista and later the process's wave-out
// source line and speakers line are muted through the mixer; on earlier
// systems this process's own sound output calls are intercepted and their
// sample data zeroed while muted (waveOutWrite, midiStreamOut, and the
// DirectSound buffers' Unlock).
#pragma once
#include <windows.h>

namespace kvr {

// 1 = mute, 0 = sound on. Called by the page frame on WM_USER+5.
void ApplyMute(bool muted);

// The page frame applies a received mute state only when it differs from the
// last one applied; the first one received is always applied.
class MuteFollower {
public:
    // True when value must be applied now (and remembers it).
    bool Receive(WPARAM value);

private:
    bool m_any = false;
    WPARAM m_last = 0;
};

// OS test, made afresh at each use: major version above 5. Tests may force a
// major version (0 = ask the system again).
bool IsVistaOrLater();
void SetOsMajorVersionForTest(DWORD major);

// Sets the mute control of the first line of this component type on mixer
// device 0; false when the mixer, the line or its mute control is missing.
bool SetMixerLineMute(DWORD componentType, bool mute);

// Earlier-system mechanism: installed once, by the first ApplyMute there.
bool SoundInterceptionInstalled();
// The flag the interceptors read (a plain 32-bit word).
bool SoundInterceptionMuted();

}  // namespace kvr
