// Length of one x86 / x86-64 instruction, enough to move the first few
// instructions of a function into a trampoline: the common integer, SSE and
// x87 forms. Relative operands that must be fixed when the instruction moves
// are reported; forms that cannot be moved safely are refused.
#pragma once
#include <cstdint>

namespace kvr::intercept {

struct InsnInfo {
    int length = 0;
    // Offset and size (1 or 4) of a displacement relative to the next
    // instruction: a rel8/rel32 branch or call, or a RIP-relative operand.
    int relOffset = -1;
    int relSize = 0;
    bool branch = false;     // rel is a branch target (jmp, jcc, call, loop)
    bool endsFlow = false;   // ret or unconditional jmp: the function may end here
};

// Decodes the instruction at code; false for what the decoder does not know
// (then nothing may be moved).
bool DecodeInstruction(const std::uint8_t* code, bool x64, InsnInfo* info);

}  // namespace kvr::intercept
