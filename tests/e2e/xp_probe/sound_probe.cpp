// Runs inside a page process of kvr.exe (loaded there by kvr_xp_probe.exe).
// ProbeSound writes non-zero samples through waveOutWrite and midiStreamOut
// and answers, as its thread's exit code, which came back silent: bit 0 the
// wave data, bit 1 the MIDI data. No device is opened: the page's
// interception zeroes the data on its way in, before the real function
// refuses the missing device, as it does on the way to a real one.
#include <windows.h>
#include <mmsystem.h>
#include <cstring>

namespace {

bool Silent(const char* data, size_t size) {
    for (size_t i = 0; i < size; ++i)
        if (data[i]) return false;
    return true;
}

}  // namespace

extern "C" __declspec(dllexport) DWORD WINAPI ProbeSound(void*) {
    char wave[256];
    std::memset(wave, 0x5A, sizeof(wave));
    WAVEHDR waveHeader{};
    waveHeader.lpData = wave;
    waveHeader.dwBufferLength = sizeof(wave);
    ::waveOutWrite(nullptr, &waveHeader, sizeof(waveHeader));

    char midi[64];
    std::memset(midi, 0x5A, sizeof(midi));
    MIDIHDR midiHeader{};
    midiHeader.lpData = midi;
    midiHeader.dwBufferLength = sizeof(midi);
    ::midiStreamOut(nullptr, &midiHeader, sizeof(midiHeader));

    return (Silent(wave, sizeof(wave)) ? 1u : 0u) | (Silent(midi, sizeof(midi)) ? 2u : 0u);
}
