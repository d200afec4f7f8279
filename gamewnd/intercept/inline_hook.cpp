#include "gamewnd/intercept/inline_hook.h"

#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>
#include <vector>
#include "base/owned.h"
#include "gamewnd/intercept/insn_length.h"

namespace kvr::intercept {

namespace {

#if defined(_M_X64) || defined(__x86_64__)
constexpr bool kX64 = true;
#else
constexpr bool kX64 = false;
#endif

constexpr int kJumpSize = 5;       // E9 rel32 written over the function start
constexpr int kCodeBytes = 64;     // trampoline: moved instructions + jump back
constexpr int kRelayOffset = 96;   // x86-64: absolute jump to the interceptor
constexpr SIZE_T kBlockSize = 4096;

struct Hook {
    std::uint8_t* target = nullptr;
    std::uint8_t* block = nullptr;      // trampoline memory
    void* detour = nullptr;
    int stolen = 0;
    std::uint8_t saved[kCodeBytes] = {};
};

struct Op {
    bool attach = true;
    void** pointer = nullptr;
    Hook* hook = nullptr;
};

// Process-wide like the code it patches: one transaction at a time.
std::vector<Hook*> g_hooks;            // attached, committed
std::vector<Op> g_ops;                 // pending in the open transaction
std::vector<OwnedHandle> g_threads;    // suspended for the transaction
bool g_open = false;
DWORD g_owner = 0;

void WriteAbsoluteJump(std::uint8_t* at, const void* to) {
    if (kX64) {
        // jmp qword ptr [rip+0]; address
        at[0] = 0xFF;
        at[1] = 0x25;
        std::memset(at + 2, 0, 4);
        const std::uint64_t address = reinterpret_cast<std::uintptr_t>(to);
        std::memcpy(at + 6, &address, 8);
    } else {
        at[0] = 0xE9;
        const std::int32_t rel = static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(to) -
                                                           reinterpret_cast<std::intptr_t>(at + 5));
        std::memcpy(at + 1, &rel, 4);
    }
}

template <class Fn>
Fn SystemFunction(const wchar_t* module, const char* name) {
    HMODULE handle = ::GetModuleHandleW(module);
    if (!handle) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(handle, name)));
}

// The id of the thread behind a handle. GetThreadId came with Windows Server
// 2003 and Vista, and Windows XP refuses to start a program that imports it;
// there the thread's basic information from ntdll carries the same id.
DWORD ThreadIdOf(HANDLE thread) {
    if (thread == ::GetCurrentThread()) return ::GetCurrentThreadId();
    using GetThreadIdFn = DWORD(WINAPI*)(HANDLE);
    static const auto getThreadId = SystemFunction<GetThreadIdFn>(L"kernel32.dll", "GetThreadId");
    if (getThreadId) return getThreadId(thread);
    struct BasicInformation {  // THREAD_BASIC_INFORMATION
        LONG exitStatus;
        void* teb;
        HANDLE process;
        HANDLE thread;
        ULONG_PTR affinity;
        LONG priority;
        LONG basePriority;
    } info{};
    using QueryFn = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    static const auto query = SystemFunction<QueryFn>(L"ntdll.dll", "NtQueryInformationThread");
    if (!query || query(thread, 0 /* ThreadBasicInformation */, &info, sizeof(info), nullptr) < 0) return 0;
    return static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(info.thread));
}

bool FitsRel32(std::intptr_t value) { return value >= INT32_MIN && value <= INT32_MAX; }

// Executable memory; on x86-64 within reach of a rel32 jump from target.
std::uint8_t* AllocateNear(std::uint8_t* target) {
    if (!kX64)
        return static_cast<std::uint8_t*>(
            ::VirtualAlloc(nullptr, kBlockSize, MEM_RESERVE | MEM_COMMIT, PAGE_EXECUTE_READWRITE));
    SYSTEM_INFO si;
    ::GetSystemInfo(&si);
    const std::uintptr_t gran = si.dwAllocationGranularity;
    const std::uintptr_t minApp = reinterpret_cast<std::uintptr_t>(si.lpMinimumApplicationAddress);
    const std::uintptr_t maxApp = reinterpret_cast<std::uintptr_t>(si.lpMaximumApplicationAddress);
    const std::uintptr_t t = reinterpret_cast<std::uintptr_t>(target);
    const std::uintptr_t reach = 0x7FF00000;
    const std::uintptr_t lo = t > minApp + reach ? t - reach : minApp;
    const std::uintptr_t hi = maxApp - t > reach ? t + reach : maxApp;

    auto tryAt = [&](std::uintptr_t a) -> std::uint8_t* {
        MEMORY_BASIC_INFORMATION mbi;
        if (!::VirtualQuery(reinterpret_cast<void*>(a), &mbi, sizeof(mbi)) || mbi.State != MEM_FREE)
            return nullptr;
        return static_cast<std::uint8_t*>(::VirtualAlloc(reinterpret_cast<void*>(a), kBlockSize,
                                                         MEM_RESERVE | MEM_COMMIT,
                                                         PAGE_EXECUTE_READWRITE));
    };
    // Below the target first (system DLLs sit high), then above.
    for (std::uintptr_t a = (t / gran) * gran; a >= lo && a > gran; a -= gran) {
        if (std::uint8_t* p = tryAt(a)) return p;
        MEMORY_BASIC_INFORMATION mbi;
        if (::VirtualQuery(reinterpret_cast<void*>(a), &mbi, sizeof(mbi)) && mbi.State != MEM_FREE) {
            const std::uintptr_t base = reinterpret_cast<std::uintptr_t>(mbi.AllocationBase);
            if (base && base < a) a = (base / gran) * gran + gran;  // skip the whole allocation
        }
    }
    for (std::uintptr_t a = (t / gran + 1) * gran; a < hi; a += gran) {
        if (std::uint8_t* p = tryAt(a)) return p;
        MEMORY_BASIC_INFORMATION mbi;
        if (::VirtualQuery(reinterpret_cast<void*>(a), &mbi, sizeof(mbi))) {
            const std::uintptr_t end = reinterpret_cast<std::uintptr_t>(mbi.BaseAddress) + mbi.RegionSize;
            if (end > a + gran) a = ((end + gran - 1) / gran) * gran - gran;
        }
    }
    return nullptr;
}

// Builds the trampoline: the instructions covering the first five bytes,
// moved with their relative operands fixed, then a jump back.
bool BuildTrampoline(Hook* h) {
    std::uint8_t* src = h->target;
    std::uint8_t* dst = h->block;
    int taken = 0;
    std::intptr_t branchTargets[kJumpSize];  // at most one instruction per byte
    int branches = 0;
    while (taken < kJumpSize) {
        InsnInfo info;
        if (!DecodeInstruction(src + taken, kX64, &info)) return false;
        if (info.relOffset >= 0) {
            if (info.relSize != 4) return false;  // short branches cannot reach back
            std::int32_t disp;
            std::memcpy(&disp, src + taken + info.relOffset, 4);
            const std::intptr_t dest =
                reinterpret_cast<std::intptr_t>(src + taken + info.length) + disp;
            if (info.branch) branchTargets[branches++] = dest;
            const std::intptr_t moved = dest - reinterpret_cast<std::intptr_t>(dst + taken + info.length);
            if (!FitsRel32(moved)) return false;
            std::memcpy(dst + taken, src + taken, static_cast<size_t>(info.length));
            const std::int32_t newDisp = static_cast<std::int32_t>(moved);
            std::memcpy(dst + taken + info.relOffset, &newDisp, 4);
        } else {
            std::memcpy(dst + taken, src + taken, static_cast<size_t>(info.length));
        }
        taken += info.length;
        if (info.endsFlow && taken < kJumpSize) return false;  // function too short
    }
    // A branch into the bytes being overwritten, their first included, would
    // land in the jump to the interceptor: such a start cannot be moved.
    for (int i = 0; i < branches; ++i)
        if (branchTargets[i] >= reinterpret_cast<std::intptr_t>(src) &&
            branchTargets[i] < reinterpret_cast<std::intptr_t>(src + taken))
            return false;
    h->stolen = taken;
    std::memcpy(h->saved, src, static_cast<size_t>(taken));
    WriteAbsoluteJump(dst + taken, src + taken);
    if (kX64) WriteAbsoluteJump(h->block + kRelayOffset, h->detour);
    return true;
}

bool WriteCode(std::uint8_t* at, const std::uint8_t* bytes, int count) {
    DWORD old = 0;
    if (!::VirtualProtect(at, static_cast<SIZE_T>(count), PAGE_EXECUTE_READWRITE, &old)) return false;
    std::memcpy(at, bytes, static_cast<size_t>(count));
    DWORD ignored = 0;
    ::VirtualProtect(at, static_cast<SIZE_T>(count), old, &ignored);
    ::FlushInstructionCache(::GetCurrentProcess(), at, static_cast<SIZE_T>(count));
    return true;
}

// A suspended thread stopped inside bytes that are being rewritten continues
// at the same instruction in their new place.
void MoveThreadsOut(std::uint8_t* from, int count, std::uint8_t* to) {
    for (const OwnedHandle& owned : g_threads) {
        const HANDLE thread = owned.get();
        CONTEXT ctx{};
        ctx.ContextFlags = CONTEXT_CONTROL;
        if (!::GetThreadContext(thread, &ctx)) continue;
#if defined(_M_X64) || defined(__x86_64__)
        auto& ip = ctx.Rip;
#else
        auto& ip = ctx.Eip;
#endif
        using Ip = std::remove_reference_t<decltype(ip)>;
        const std::uintptr_t f = reinterpret_cast<std::uintptr_t>(from);
        const std::uintptr_t at = static_cast<std::uintptr_t>(ip);
        if (at >= f && at < f + static_cast<std::uintptr_t>(count)) {
            ip = static_cast<Ip>(reinterpret_cast<std::uintptr_t>(to) + (at - f));
            ::SetThreadContext(thread, &ctx);
        }
    }
}

void ResumeThreads() {
    for (const OwnedHandle& thread : g_threads) ::ResumeThread(thread.get());
    g_threads.clear();
}

}  // namespace

void* CodeFromPointer(void* pointer) {
    auto* p = static_cast<std::uint8_t*>(pointer);
    for (int hops = 0; p && hops < 4; ++hops) {
        std::uint8_t* q = p;
        if (kX64 && (q[0] & 0xF0) == 0x40 && q[1] == 0xFF && q[2] == 0x25) ++q;  // rex jmp
        if (q[0] != 0xFF || q[1] != 0x25) break;
        std::int32_t disp;
        std::memcpy(&disp, q + 2, 4);
        void* const* slot = kX64 ? reinterpret_cast<void* const*>(q + 6 + disp)
                                 : reinterpret_cast<void* const*>(static_cast<std::uintptr_t>(
                                       static_cast<std::uint32_t>(disp)));
        p = static_cast<std::uint8_t*>(*slot);
    }
    return p;
}

LONG TransactionBegin() {
    if (g_open) return ERROR_INVALID_OPERATION;
    g_open = true;
    g_owner = ::GetCurrentThreadId();
    g_ops.clear();
    return NO_ERROR;
}

LONG UpdateThread(HANDLE thread) {
    if (!g_open) return ERROR_INVALID_OPERATION;
    if (ThreadIdOf(thread) == g_owner) return NO_ERROR;
    OwnedHandle copy;
    if (!::DuplicateHandle(::GetCurrentProcess(), thread, ::GetCurrentProcess(), copy.put(), 0, FALSE,
                           DUPLICATE_SAME_ACCESS))
        return static_cast<LONG>(::GetLastError());
    if (::SuspendThread(copy.get()) == static_cast<DWORD>(-1)) return static_cast<LONG>(::GetLastError());
    g_threads.push_back(std::move(copy));
    return NO_ERROR;
}

LONG Attach(void** pointer, void* detour) {
    if (!g_open) return ERROR_INVALID_OPERATION;
    if (!pointer || !*pointer || !detour) return ERROR_INVALID_PARAMETER;
    auto* target = static_cast<std::uint8_t*>(CodeFromPointer(*pointer));
    for (const Hook* h : g_hooks)
        if (h->target == target) return ERROR_ALREADY_EXISTS;
    auto* hook = new Hook;
    hook->target = target;
    hook->detour = detour;
    hook->block = AllocateNear(target);
    if (!hook->block) {
        delete hook;
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    std::memset(hook->block, 0xCC, kBlockSize);
    if (!BuildTrampoline(hook)) {
        ::VirtualFree(hook->block, 0, MEM_RELEASE);
        delete hook;
        return ERROR_INVALID_BLOCK;
    }
    g_ops.push_back(Op{true, pointer, hook});
    return NO_ERROR;
}

LONG Detach(void** pointer, void* detour) {
    if (!g_open) return ERROR_INVALID_OPERATION;
    if (!pointer) return ERROR_INVALID_PARAMETER;
    for (Hook* h : g_hooks)
        if (h->block == *pointer && h->detour == detour) {
            g_ops.push_back(Op{false, pointer, h});
            return NO_ERROR;
        }
    return ERROR_INVALID_HANDLE;
}

LONG TransactionCommit() {
    if (!g_open) return ERROR_INVALID_OPERATION;
    LONG result = NO_ERROR;
    for (const Op& op : g_ops) {
        Hook* h = op.hook;
        if (op.attach) {
            std::uint8_t patch[kCodeBytes];
            std::memset(patch, 0xCC, sizeof(patch));
            const std::uint8_t* jumpTo = kX64 ? h->block + kRelayOffset
                                              : static_cast<std::uint8_t*>(h->detour);
            patch[0] = 0xE9;
            const std::int32_t rel = static_cast<std::int32_t>(
                reinterpret_cast<std::intptr_t>(jumpTo) - reinterpret_cast<std::intptr_t>(h->target + 5));
            std::memcpy(patch + 1, &rel, 4);
            MoveThreadsOut(h->target, h->stolen, h->block);
            // The caller's pointer leads to the trampoline before the jump is
            // written: a thread that enters the function in between (a sound
            // thread) must reach the original through it, not the
            // interceptor again.
            void* const before = *op.pointer;
            *op.pointer = h->block;
            if (!WriteCode(h->target, patch, h->stolen)) {
                result = static_cast<LONG>(::GetLastError());
                *op.pointer = before;
                ::VirtualFree(h->block, 0, MEM_RELEASE);
                delete h;
                continue;
            }
            g_hooks.push_back(h);
        } else {
            MoveThreadsOut(h->block, h->stolen, h->target);
            if (!WriteCode(h->target, h->saved, h->stolen)) {
                result = static_cast<LONG>(::GetLastError());
                continue;
            }
            *op.pointer = h->target;
            for (size_t i = 0; i < g_hooks.size(); ++i)
                if (g_hooks[i] == h) {
                    g_hooks.erase(g_hooks.begin() + static_cast<std::ptrdiff_t>(i));
                    break;
                }
            // The trampoline memory stays: a thread may still be running in it.
            delete h;
        }
    }
    g_ops.clear();
    ResumeThreads();
    g_open = false;
    return result;
}

LONG TransactionAbort() {
    if (!g_open) return ERROR_INVALID_OPERATION;
    for (const Op& op : g_ops)
        if (op.attach) {
            ::VirtualFree(op.hook->block, 0, MEM_RELEASE);
            delete op.hook;
        }
    g_ops.clear();
    ResumeThreads();
    g_open = false;
    return NO_ERROR;
}

}  // namespace kvr::intercept
