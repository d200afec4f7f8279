// Our own function interception, with the attach/detach semantics of the
// well-known transaction style:
//
//   TransactionBegin();
//   UpdateThread(GetCurrentThread());
//   Attach(&realFn, MyFn);            // realFn: in = the function,
//   TransactionCommit();              //         out = trampoline to the original
//   ...
//   TransactionBegin(); UpdateThread(...); Detach(&realFn, MyFn); TransactionCommit();
//
// Attaching overwrites the first five bytes of the function with a jump to
// the interceptor (on x86-64 through a relay placed within 2 GB, so only five
// bytes are taken); the instructions moved out run from the trampoline, which
// jumps back into the function. Works in 32- and 64-bit builds. Results are
// Win32 error codes (NO_ERROR on success).
#pragma once
#include <windows.h>

namespace kvr::intercept {

LONG TransactionBegin();
// Threads other than the calling one are suspended until the commit and moved
// out of any bytes being rewritten; the calling thread is left alone.
LONG UpdateThread(HANDLE thread);
LONG Attach(void** pointer, void* detour);
LONG Detach(void** pointer, void* detour);
LONG TransactionCommit();
LONG TransactionAbort();

// Follows import jumps (jmp [address]) to the function's own code.
void* CodeFromPointer(void* pointer);

}  // namespace kvr::intercept
