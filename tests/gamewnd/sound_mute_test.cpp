// The earlier-system sound muting: our interception layer (instruction
// decoding, attach/detach of generated functions) and the zeroing of this
// process's waveOutWrite, midiStreamOut and DirectSound data.
#include <gtest/gtest.h>
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>
#include <cstdint>
#include <cstring>
#include <vector>
#include "gamewnd/intercept/inline_hook.h"
#include "gamewnd/intercept/insn_length.h"
#include "gamewnd/sound_mute.h"

namespace kvr {
namespace {

using intercept::DecodeInstruction;
using intercept::InsnInfo;

int Length(std::vector<std::uint8_t> bytes, bool x64, InsnInfo* info = nullptr) {
    bytes.resize(bytes.size() + 16, 0);
    InsnInfo local;
    if (!DecodeInstruction(bytes.data(), x64, info ? info : &local)) return -1;
    return (info ? info : &local)->length;
}

TEST(InstructionDecoder, CommonPrologues64) {
    EXPECT_EQ(Length({0x48, 0x89, 0x5C, 0x24, 0x08}, true), 5);  // mov [rsp+8], rbx
    EXPECT_EQ(Length({0x48, 0x83, 0xEC, 0x28}, true), 4);        // sub rsp, 28h
    EXPECT_EQ(Length({0x48, 0x81, 0xEC, 0, 1, 0, 0}, true), 7);   // sub rsp, 100h
    EXPECT_EQ(Length({0x41, 0x57}, true), 2);                    // push r15
    EXPECT_EQ(Length({0x55}, true), 1);
    EXPECT_EQ(Length({0xF3, 0x0F, 0x1E, 0xFA}, true), 4);        // endbr64
    EXPECT_EQ(Length({0x0F, 0x1F, 0x44, 0x00, 0x00}, true), 5);  // nop dword [rax+rax]
    EXPECT_EQ(Length({0x66, 0x0F, 0x1F, 0x84, 0, 0, 0, 0, 0}, true), 9);
    EXPECT_EQ(Length({0x48, 0xB8, 1, 2, 3, 4, 5, 6, 7, 8}, true), 10);  // mov rax, imm64
    EXPECT_EQ(Length({0x66, 0xB8, 1, 2}, true), 4);              // mov ax, imm16
    EXPECT_EQ(Length({0xC7, 0x44, 0x24, 0x08, 1, 0, 0, 0}, true), 8);
    EXPECT_EQ(Length({0xF6, 0xC1, 0x01}, true), 3);              // test cl, 1
    EXPECT_EQ(Length({0xF7, 0xD8}, true), 2);                    // neg eax (no immediate)
    InsnInfo info;
    EXPECT_EQ(Length({0x48, 0x8B, 0x05, 1, 2, 3, 4}, true, &info), 7);  // mov rax, [rip+x]
    EXPECT_EQ(info.relOffset, 3);
    EXPECT_EQ(info.relSize, 4);
    EXPECT_FALSE(info.branch);
    EXPECT_EQ(Length({0xE8, 1, 2, 3, 4}, true, &info), 5);
    EXPECT_TRUE(info.branch);
    EXPECT_EQ(Length({0xEB, 0x05}, true, &info), 2);
    EXPECT_EQ(info.relSize, 1);
    EXPECT_TRUE(info.endsFlow);
    EXPECT_EQ(Length({0x06}, true), -1);  // push es: no such instruction in 64-bit code
}

TEST(InstructionDecoder, CommonPrologues32) {
    EXPECT_EQ(Length({0x8B, 0xFF}, false), 2);  // mov edi, edi
    EXPECT_EQ(Length({0x55}, false), 1);
    EXPECT_EQ(Length({0x8B, 0xEC}, false), 2);
    EXPECT_EQ(Length({0x83, 0xEC, 0x10}, false), 3);
    EXPECT_EQ(Length({0x8B, 0x45, 0x08}, false), 3);
    EXPECT_EQ(Length({0xA1, 1, 2, 3, 4}, false), 5);  // mov eax, [abs]
    EXPECT_EQ(Length({0x68, 1, 2, 3, 4}, false), 5);
    EXPECT_EQ(Length({0x40}, false), 1);              // inc eax
    InsnInfo info;
    EXPECT_EQ(Length({0x8B, 0x05, 1, 2, 3, 4}, false, &info), 6);  // absolute, not RIP-relative
    EXPECT_EQ(info.relOffset, -1);
}

// Generated functions, so the test knows every byte the layer has to move.
class CodeBuffer {
public:
    explicit CodeBuffer(const std::vector<std::uint8_t>& code) {
        m_mem = static_cast<std::uint8_t*>(
            ::VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_EXECUTE_READWRITE));
        std::memset(m_mem, 0xCC, 4096);
        std::memcpy(m_mem, code.data(), code.size());
    }
    ~CodeBuffer() { ::VirtualFree(m_mem, 0, MEM_RELEASE); }
    std::uint8_t* data() const { return m_mem; }

private:
    std::uint8_t* m_mem;
};

using IntFn = int (*)(int);
IntFn g_realAddOne = nullptr;
int Detoured(int x) { return g_realAddOne(x) * 100; }

#if defined(__x86_64__) || defined(_M_X64)
// mov eax, ecx; add eax, 1; nop; ret   (argument in ecx)
const std::vector<std::uint8_t> kAddOne = {0x89, 0xC8, 0x83, 0xC0, 0x01, 0x90, 0xC3};
// mov eax, [rip+9]; add eax, ecx; ret; ... the value 1000 at offset 16
const std::vector<std::uint8_t> kAddStored = {0x8B, 0x05, 0x09, 0, 0, 0, 0x01, 0xC8, 0xC3};
const std::vector<std::uint8_t> kTooShort = {0x8D, 0x41, 0x01, 0xC3};  // lea eax, [rcx+1]; ret
#else
// mov eax, [esp+4]; add eax, 1; ret
const std::vector<std::uint8_t> kAddOne = {0x8B, 0x44, 0x24, 0x04, 0x83, 0xC0, 0x01, 0xC3};
const std::vector<std::uint8_t> kAddStored;
const std::vector<std::uint8_t> kTooShort = {0x40, 0xC3};
#endif

LONG AttachOne(void** pointer, void* detour) {
    intercept::TransactionBegin();
    intercept::UpdateThread(::GetCurrentThread());
    const LONG error = intercept::Attach(pointer, detour);
    if (error != NO_ERROR) {
        intercept::TransactionAbort();
        return error;
    }
    return intercept::TransactionCommit();
}

LONG DetachOne(void** pointer, void* detour) {
    intercept::TransactionBegin();
    intercept::UpdateThread(::GetCurrentThread());
    const LONG error = intercept::Detach(pointer, detour);
    if (error != NO_ERROR) {
        intercept::TransactionAbort();
        return error;
    }
    return intercept::TransactionCommit();
}

TEST(InlineHook, AttachAndDetachAGeneratedFunction) {
    CodeBuffer code(kAddOne);
    auto fn = reinterpret_cast<IntFn>(code.data());
    ASSERT_EQ(fn(41), 42);
    g_realAddOne = fn;
    void** pointer = reinterpret_cast<void**>(&g_realAddOne);
    ASSERT_EQ(AttachOne(pointer, reinterpret_cast<void*>(&Detoured)), NO_ERROR);
    EXPECT_NE(reinterpret_cast<void*>(g_realAddOne), reinterpret_cast<void*>(fn));
    EXPECT_EQ(code.data()[0], 0xE9);
    EXPECT_EQ(fn(41), 4200);            // every caller of the function now
    EXPECT_EQ(g_realAddOne(41), 42);    // the trampoline runs the original
    // Attaching the same function twice is refused.
    IntFn again = fn;
    EXPECT_NE(AttachOne(reinterpret_cast<void**>(&again), reinterpret_cast<void*>(&Detoured)), NO_ERROR);
    ASSERT_EQ(DetachOne(pointer, reinterpret_cast<void*>(&Detoured)), NO_ERROR);
    EXPECT_EQ(reinterpret_cast<void*>(g_realAddOne), reinterpret_cast<void*>(fn));
    EXPECT_EQ(std::memcmp(code.data(), kAddOne.data(), kAddOne.size()), 0);
    EXPECT_EQ(fn(41), 42);
}

TEST(InlineHook, MovesRipRelativeOperands) {
    if (kAddStored.empty()) GTEST_SKIP() << "64-bit only";
    CodeBuffer code(kAddStored);
    const std::int32_t stored = 1000;
    std::memcpy(code.data() + 15, &stored, 4);  // rip after the mov is 6; 6 + 9 = 15
    auto fn = reinterpret_cast<IntFn>(code.data());
    ASSERT_EQ(fn(1), 1001);
    g_realAddOne = fn;
    void** pointer = reinterpret_cast<void**>(&g_realAddOne);
    ASSERT_EQ(AttachOne(pointer, reinterpret_cast<void*>(&Detoured)), NO_ERROR);
    EXPECT_EQ(fn(1), 100100);
    ASSERT_EQ(DetachOne(pointer, reinterpret_cast<void*>(&Detoured)), NO_ERROR);
    EXPECT_EQ(fn(1), 1001);
}

TEST(InlineHook, RefusesAFunctionShorterThanTheJump) {
    CodeBuffer code(kTooShort);
    IntFn fn = reinterpret_cast<IntFn>(code.data());
    IntFn pointer = fn;
    EXPECT_NE(AttachOne(reinterpret_cast<void**>(&pointer), reinterpret_cast<void*>(&Detoured)), NO_ERROR);
    EXPECT_EQ(reinterpret_cast<void*>(pointer), reinterpret_cast<void*>(fn));
    EXPECT_EQ(std::memcmp(code.data(), kTooShort.data(), kTooShort.size()), 0);
}

TEST(InlineHook, RefusesABranchBackToTheFirstByte) {
    // test eax, eax; je <the function's first byte>; ret: once the jump to
    // the interceptor is written there, the moved branch would enter it.
    const std::vector<std::uint8_t> loop = {0x85, 0xC0, 0x0F, 0x84, 0xF8, 0xFF, 0xFF, 0xFF, 0xC3};
    CodeBuffer code(loop);
    void* pointer = code.data();
    EXPECT_NE(AttachOne(&pointer, reinterpret_cast<void*>(&Detoured)), NO_ERROR);
    EXPECT_EQ(pointer, code.data());
    EXPECT_EQ(std::memcmp(code.data(), loop.data(), loop.size()), 0);
}

// The caller's pointer sits in a read-only page: its first write faults, and
// the handler notes the function's first byte at that moment.
void** g_guardedSlot = nullptr;
const std::uint8_t* g_guardedCode = nullptr;
int g_firstByteAtSwitch = -1;
LONG CALLBACK NotePointerSwitch(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* r = info->ExceptionRecord;
    if (r->ExceptionCode != EXCEPTION_ACCESS_VIOLATION || r->NumberParameters < 2 ||
        r->ExceptionInformation[1] != reinterpret_cast<ULONG_PTR>(g_guardedSlot))
        return EXCEPTION_CONTINUE_SEARCH;
    g_firstByteAtSwitch = g_guardedCode[0];
    DWORD old = 0;
    ::VirtualProtect(g_guardedSlot, sizeof(void*), PAGE_READWRITE, &old);
    return EXCEPTION_CONTINUE_EXECUTION;
}

TEST(InlineHook, PointerLeadsToTheOriginalBeforeTheJumpIsWritten) {
    // A sound thread entering between the two steps must not find the jump
    // with the pointer still naming the function: it would recurse forever.
    CodeBuffer code(kAddOne);
    auto** slot = static_cast<void**>(::VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(slot, nullptr);
    *slot = code.data();
    DWORD old = 0;
    ASSERT_TRUE(::VirtualProtect(slot, 4096, PAGE_READONLY, &old));
    g_guardedSlot = slot;
    g_guardedCode = code.data();
    void* handler = ::AddVectoredExceptionHandler(1, NotePointerSwitch);
    ASSERT_NE(handler, nullptr);
    const LONG attached = AttachOne(slot, reinterpret_cast<void*>(&Detoured));
    ::RemoveVectoredExceptionHandler(handler);
    ASSERT_EQ(attached, NO_ERROR);
    EXPECT_EQ(g_firstByteAtSwitch, kAddOne[0]) << "the jump was written first";
    EXPECT_EQ(code.data()[0], 0xE9);
    EXPECT_EQ(DetachOne(slot, reinterpret_cast<void*>(&Detoured)), NO_ERROR);
    ::VirtualFree(slot, 0, MEM_RELEASE);
}

// waveOutWrite and midiStreamOut with a handle that names no device: the real
// functions refuse them, but the interceptor sees the data first.
std::vector<char> AfterWaveOutWrite() {
    std::vector<char> data(64, 0x55);
    WAVEHDR header{};
    header.lpData = data.data();
    header.dwBufferLength = static_cast<DWORD>(data.size());
    EXPECT_NE(::waveOutWrite(nullptr, &header, sizeof(header)), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    return data;
}

std::vector<char> AfterMidiStreamOut() {
    std::vector<char> data(48, 0x33);
    MIDIHDR header{};
    header.lpData = data.data();
    header.dwBufferLength = static_cast<DWORD>(data.size());
    header.dwBytesRecorded = header.dwBufferLength;
    EXPECT_NE(::midiStreamOut(nullptr, &header, sizeof(header)), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    return data;
}

bool AllZero(const std::vector<char>& v) {
    for (char c : v)
        if (c) return false;
    return true;
}

bool Untouched(const std::vector<char>& v, char c) {
    for (char x : v)
        if (x != c) return false;
    return true;
}

// One test: the interception is installed once per process and stays.
TEST(SoundMute, EarlierSystemPathZeroesThisProcessOutput) {
    // Under Wine the system is Vista or later: the mixer path, no interception.
    SetOsMajorVersionForTest(0);
    ASSERT_TRUE(IsVistaOrLater());
    ApplyMute(true);
    EXPECT_FALSE(SoundInterceptionInstalled());
    EXPECT_TRUE(Untouched(AfterWaveOutWrite(), 0x55));
    ApplyMute(false);

    SetOsMajorVersionForTest(5);
    ASSERT_FALSE(IsVistaOrLater());
    ApplyMute(false);  // installs, sound stays on
    ASSERT_TRUE(SoundInterceptionInstalled());
    EXPECT_TRUE(Untouched(AfterWaveOutWrite(), 0x55));
    EXPECT_TRUE(Untouched(AfterMidiStreamOut(), 0x33));

    ApplyMute(true);
    EXPECT_TRUE(SoundInterceptionMuted());
    EXPECT_TRUE(AllZero(AfterWaveOutWrite()));
    EXPECT_TRUE(AllZero(AfterMidiStreamOut()));
    // Through the entry point another module would find.
    auto viaExport = reinterpret_cast<MMRESULT(WINAPI*)(HWAVEOUT, LPWAVEHDR, UINT)>(
        reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleW(L"winmm.dll"), "waveOutWrite")));
    std::vector<char> data(16, 0x7F);
    WAVEHDR header{};
    header.lpData = data.data();
    header.dwBufferLength = 16;
    viaExport(nullptr, &header, sizeof(header));
    EXPECT_TRUE(AllZero(data));

    ApplyMute(false);  // stops at once, for the very next buffer
    EXPECT_TRUE(Untouched(AfterWaveOutWrite(), 0x55));
    EXPECT_TRUE(Untouched(AfterMidiStreamOut(), 0x33));
    SetOsMajorVersionForTest(0);
}

// DirectSound buffers: Unlock is replaced in the buffers' virtual table the
// first time a device of this process makes a buffer.
TEST(SoundMute, DirectSoundBufferDataIsZeroedWhileMuted) {
    SetOsMajorVersionForTest(5);
    ApplyMute(false);
    ASSERT_TRUE(SoundInterceptionInstalled());
    using CreateFn = HRESULT(WINAPI*)(LPCGUID, LPDIRECTSOUND*, LPUNKNOWN);
    auto create = reinterpret_cast<CreateFn>(
        reinterpret_cast<void (*)()>(::GetProcAddress(::LoadLibraryW(L"dsound.dll"), "DirectSoundCreate")));
    ASSERT_NE(create, nullptr);
    IDirectSound* device = nullptr;
    const HRESULT hr = create(nullptr, &device, nullptr);
    if (FAILED(hr) || !device) {
        SetOsMajorVersionForTest(0);
        GTEST_SKIP() << "no DirectSound device here (0x" << std::hex << hr << ")";
    }
    device->SetCooperativeLevel(::GetDesktopWindow(), DSSCL_PRIORITY);
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = 22050;
    format.wBitsPerSample = 8;
    format.nBlockAlign = 1;
    format.nAvgBytesPerSec = 22050;
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DSBCAPS_GLOBALFOCUS;
    desc.dwBufferBytes = 4096;
    desc.lpwfxFormat = &format;
    IDirectSoundBuffer* buffer = nullptr;
    ASSERT_EQ(device->CreateSoundBuffer(&desc, &buffer, nullptr), DS_OK);
    ASSERT_NE(buffer, nullptr);

    auto writeAndRead = [&](unsigned char value) {
        void* p1 = nullptr;
        void* p2 = nullptr;
        DWORD n1 = 0, n2 = 0;
        EXPECT_EQ(buffer->Lock(0, 1024, &p1, &n1, &p2, &n2, 0), DS_OK);
        if (p1) std::memset(p1, value, n1);
        buffer->Unlock(p1, n1, p2, n2);
        EXPECT_EQ(buffer->Lock(0, 1024, &p1, &n1, &p2, &n2, 0), DS_OK);
        const int first = p1 ? static_cast<unsigned char*>(p1)[0] + static_cast<unsigned char*>(p1)[n1 - 1] : -1;
        buffer->Unlock(p1, 0, p2, 0);
        return first;
    };
    ApplyMute(true);
    EXPECT_EQ(writeAndRead(0x55), 0);
    ApplyMute(false);
    EXPECT_EQ(writeAndRead(0x55), 0xAA);
    buffer->Release();
    device->Release();
    SetOsMajorVersionForTest(0);
}

TEST(SoundMute, FirstReceivedStateIsAlwaysApplied) {
    MuteFollower follower;
    EXPECT_TRUE(follower.Receive(0));   // even "sound on"
    EXPECT_FALSE(follower.Receive(0));
    EXPECT_TRUE(follower.Receive(1));
    EXPECT_FALSE(follower.Receive(1));
    EXPECT_TRUE(follower.Receive(0));
}

}  // namespace
}  // namespace kvr
