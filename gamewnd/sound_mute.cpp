#include "gamewnd/sound_mute.h"

#include <mmsystem.h>
#include <cstdlib>
#include <cstring>
#include "base/system_library.h"
#include "gamewnd/intercept/inline_hook.h"

namespace kvr {

namespace {

// Process-wide: the interceptors run on the sound threads of whatever plays,
// which hand them nothing of ours; they find the muted word and the real
// functions here.
volatile LONG g_muted = 0;  // read by the interceptors on the sound threads
bool g_installed = false;
DWORD g_forcedMajor = 0;

using WaveOutWriteFn = MMRESULT(WINAPI*)(HWAVEOUT, LPWAVEHDR, UINT);
using MidiStreamOutFn = MMRESULT(WINAPI*)(HMIDISTRM, LPMIDIHDR, UINT);
using DirectSoundCreateFn = HRESULT(WINAPI*)(const GUID*, void**, void*);
using CreateSoundBufferFn = HRESULT(STDMETHODCALLTYPE*)(void*, const void*, void**, void*);
using UnlockFn = HRESULT(STDMETHODCALLTYPE*)(void*, void*, DWORD, void*, DWORD);

WaveOutWriteFn g_realWaveOutWrite = nullptr;
MidiStreamOutFn g_realMidiStreamOut = nullptr;
DirectSoundCreateFn g_realDirectSoundCreate = nullptr;
CreateSoundBufferFn g_realCreateSoundBuffer = nullptr;
UnlockFn g_realUnlock = nullptr;
void** g_createSoundBufferSlot = nullptr;  // the virtual-table entries replaced
void** g_unlockSlot = nullptr;

constexpr int kCreateSoundBufferIndex = 3;  // IDirectSound::CreateSoundBuffer
constexpr int kUnlockIndex = 19;            // IDirectSoundBuffer::Unlock

bool Muted() { return g_muted != 0; }

void Silence(void* data, DWORD bytes) {
    if (data && bytes) std::memset(data, 0, bytes);
}

// Replaces one entry of an object's virtual table; returns the entry's address.
void** ReplaceVtableEntry(void* object, int index, void* replacement, void** real) {
    void** table = *static_cast<void***>(object);
    void** slot = table + index;
    DWORD old = 0;
    if (!::VirtualProtectEx(::GetCurrentProcess(), slot, sizeof(void*), PAGE_EXECUTE_READWRITE, &old))
        return nullptr;
    *real = *slot;
    *slot = replacement;
    DWORD ignored = 0;
    ::VirtualProtectEx(::GetCurrentProcess(), slot, sizeof(void*), old, &ignored);
    return slot;
}

MMRESULT WINAPI InterceptWaveOutWrite(HWAVEOUT device, LPWAVEHDR header, UINT size) {
    if (Muted() && header) Silence(header->lpData, header->dwBufferLength);
    return g_realWaveOutWrite(device, header, size);
}

MMRESULT WINAPI InterceptMidiStreamOut(HMIDISTRM stream, LPMIDIHDR header, UINT size) {
    if (Muted() && header) Silence(header->lpData, header->dwBufferLength);
    return g_realMidiStreamOut(stream, header, size);
}

HRESULT STDMETHODCALLTYPE InterceptUnlock(void* self, void* part1, DWORD size1, void* part2,
                                          DWORD size2) {
    if (Muted()) {
        Silence(part1, size1);
        Silence(part2, size2);
    }
    return g_realUnlock(self, part1, size1, part2, size2);
}

HRESULT STDMETHODCALLTYPE InterceptCreateSoundBuffer(void* self, const void* description, void** out,
                                                     void* outer) {
    void* buffer = nullptr;
    const HRESULT hr = g_realCreateSoundBuffer(self, description, &buffer, outer);
    if (out) *out = buffer;
    if (buffer && !g_unlockSlot) {
        void* real = nullptr;
        if (void** slot = ReplaceVtableEntry(buffer, kUnlockIndex,
                                             reinterpret_cast<void*>(&InterceptUnlock), &real)) {
            g_realUnlock = reinterpret_cast<UnlockFn>(real);
            g_unlockSlot = slot;
        }
    }
    return hr;
}

HRESULT WINAPI InterceptDirectSoundCreate(const GUID* guid, void** out, void* outer) {
    void* device = nullptr;
    const HRESULT hr = g_realDirectSoundCreate(guid, &device, outer);
    if (out) *out = device;
    if (device && !g_createSoundBufferSlot) {
        void* real = nullptr;
        if (void** slot = ReplaceVtableEntry(device, kCreateSoundBufferIndex,
                                             reinterpret_cast<void*>(&InterceptCreateSoundBuffer), &real)) {
            g_realCreateSoundBuffer = reinterpret_cast<CreateSoundBufferFn>(real);
            g_createSoundBufferSlot = slot;
        }
    }
    return hr;
}

template <class Fn>
Fn ProcAddress(HMODULE module, const char* name) {
    if (!module) return nullptr;
    // Through void(*)(), the generic function pointer, to the real type.
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

void** AsPointer(void* fnVariable) { return static_cast<void**>(fnVariable); }

void DetachInterception() {
    intercept::TransactionBegin();
    intercept::UpdateThread(::GetCurrentThread());
    if (g_realWaveOutWrite)
        intercept::Detach(AsPointer(&g_realWaveOutWrite), reinterpret_cast<void*>(&InterceptWaveOutWrite));
    if (g_realMidiStreamOut)
        intercept::Detach(AsPointer(&g_realMidiStreamOut), reinterpret_cast<void*>(&InterceptMidiStreamOut));
    if (g_realDirectSoundCreate)
        intercept::Detach(AsPointer(&g_realDirectSoundCreate),
                          reinterpret_cast<void*>(&InterceptDirectSoundCreate));
    intercept::TransactionCommit();
}

void InstallInterception() {
    HMODULE winmm = LoadSystemLibrary(L"winmm.dll");
    HMODULE dsound = LoadSystemLibrary(L"dsound.dll");
    g_realWaveOutWrite = ProcAddress<WaveOutWriteFn>(winmm, "waveOutWrite");
    g_realMidiStreamOut = ProcAddress<MidiStreamOutFn>(winmm, "midiStreamOut");
    g_realDirectSoundCreate = ProcAddress<DirectSoundCreateFn>(dsound, "DirectSoundCreate");

    // Results are not checked: what cannot be intercepted keeps its sound.
    // A failed attach leaves the real pointer on the function itself.
    intercept::TransactionBegin();
    intercept::UpdateThread(::GetCurrentThread());
    if (g_realWaveOutWrite)
        intercept::Attach(AsPointer(&g_realWaveOutWrite), reinterpret_cast<void*>(&InterceptWaveOutWrite));
    if (g_realMidiStreamOut)
        intercept::Attach(AsPointer(&g_realMidiStreamOut), reinterpret_cast<void*>(&InterceptMidiStreamOut));
    if (g_realDirectSoundCreate)
        intercept::Attach(AsPointer(&g_realDirectSoundCreate),
                          reinterpret_cast<void*>(&InterceptDirectSoundCreate));
    intercept::TransactionCommit();
}

}  // namespace

bool MuteFollower::Receive(WPARAM value) {
    if (m_any && value == m_last) return false;
    m_any = true;
    m_last = value;
    return true;
}

bool IsVistaOrLater() {
    if (g_forcedMajor) return g_forcedMajor > 5;
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);  // 276
#if defined(_MSC_VER)
#pragma warning(suppress : 4996)
#endif
    if (!::GetVersionExW(&info)) return true;
    return info.dwMajorVersion > 5;
}

void SetOsMajorVersionForTest(DWORD major) { g_forcedMajor = major; }

bool SetMixerLineMute(DWORD componentType, bool mute) {
    if (!EnsureSystemLibrary(L"winmm.dll")) return false;
    ::mixerGetNumDevs();
    HMIXER mixer = nullptr;
    if (::mixerOpen(&mixer, 0, 0, 0, 0) != MMSYSERR_NOERROR) return false;
    const HMIXEROBJ object = reinterpret_cast<HMIXEROBJ>(mixer);
    bool ok = false;

    MIXERLINEW line{};
    line.cbStruct = sizeof(line);
    line.dwComponentType = componentType;
    if (::mixerGetLineInfoW(object, &line, MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_COMPONENTTYPE) ==
        MMSYSERR_NOERROR) {
        MIXERCONTROLW control{};
        control.cbStruct = sizeof(control);
        MIXERLINECONTROLSW controls{};
        controls.cbStruct = sizeof(controls);
        controls.dwLineID = line.dwLineID;
        controls.dwControlType = MIXERCONTROL_CONTROLTYPE_MUTE;
        controls.cControls = 1;
        controls.cbmxctrl = sizeof(control);
        controls.pamxctrl = &control;
        if (::mixerGetLineControlsW(object, &controls,
                                    MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE) ==
            MMSYSERR_NOERROR) {
            MIXERCONTROLDETAILS_BOOLEAN value{};
            MIXERCONTROLDETAILS details{};
            details.cbStruct = sizeof(details);
            details.dwControlID = control.dwControlID;
            details.cChannels = 1;
            details.cbDetails = sizeof(value);
            details.paDetails = &value;
            if (::mixerGetControlDetailsW(object, &details, MIXER_OBJECTF_HMIXER) == MMSYSERR_NOERROR) {
                value.fValue = mute ? 1 : 0;
                ok = ::mixerSetControlDetails(object, &details, MIXER_OBJECTF_HMIXER) == MMSYSERR_NOERROR;
            }
        }
    }
    ::mixerClose(mixer);
    return ok;
}

void ApplyMute(bool muted) {
    if (IsVistaOrLater()) {
        SetMixerLineMute(MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, muted);
        SetMixerLineMute(MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, muted);
        return;
    }
    if (!g_installed) {
        g_installed = true;
        InstallInterception();
        std::atexit(DetachInterception);
    }
    g_muted = muted ? 1 : 0;
}

bool SoundInterceptionInstalled() { return g_installed; }
bool SoundInterceptionMuted() { return g_muted != 0; }

}  // namespace kvr
