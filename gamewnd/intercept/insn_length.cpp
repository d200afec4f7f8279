#include "gamewnd/intercept/insn_length.h"

namespace kvr::intercept {

namespace {

// Bytes of the ModRM operand (ModRM, SIB, displacement) at p; ripRel is set
// to the displacement's offset from p for a RIP-relative operand.
int ModRmLength(const std::uint8_t* p, bool x64, bool addr16, int* ripRel) {
    const int mod = p[0] >> 6, rm = p[0] & 7;
    *ripRel = -1;
    if (mod == 3) return 1;
    if (addr16) {
        if (mod == 0 && rm == 6) return 3;
        return 1 + (mod == 1 ? 1 : mod == 2 ? 2 : 0);
    }
    int len = 1;
    if (rm == 4) {
        const int base = p[1] & 7;
        len = 2;
        if (mod == 0 && base == 5) return len + 4;
    } else if (mod == 0 && rm == 5) {
        if (x64) *ripRel = 1;
        return len + 4;
    }
    if (mod == 1) len += 1;
    if (mod == 2) len += 4;
    return len;
}

}  // namespace

bool DecodeInstruction(const std::uint8_t* code, bool x64, InsnInfo* info) {
    *info = InsnInfo{};
    const std::uint8_t* p = code;
    bool opsize16 = false, addrsize = false, rexW = false;
    for (int guard = 0; guard < 14; ++guard) {
        const std::uint8_t b = *p;
        if (b == 0x66) opsize16 = true;
        else if (b == 0x67) addrsize = true;
        else if (b == 0xF0 || b == 0xF2 || b == 0xF3 || b == 0x2E || b == 0x36 || b == 0x3E ||
                 b == 0x26 || b == 0x64 || b == 0x65) {
        } else break;
        ++p;
    }
    if (x64 && (*p & 0xF0) == 0x40) {  // REX comes right before the opcode
        rexW = (*p & 8) != 0;
        ++p;
    }
    const bool addr16 = !x64 && addrsize;
    const int immZ = (opsize16 && !rexW) ? 2 : 4;

    const std::uint8_t op = *p++;
    bool modrm = false;
    int imm = 0;
    int rel = 0;         // size of a relative branch operand
    bool ends = false;

    if (op == 0x0F) {
        const std::uint8_t op2 = *p++;
        if (op2 >= 0x80 && op2 <= 0x8F) {
            rel = 4;  // jcc rel32
        } else if (op2 == 0x38) {
            ++p;
            modrm = true;
        } else if (op2 == 0x3A) {
            ++p;
            modrm = true;
            imm = 1;
        } else if ((op2 >= 0x05 && op2 <= 0x09) || op2 == 0x0B || (op2 >= 0x30 && op2 <= 0x37) ||
                   op2 == 0x77 || (op2 >= 0xA0 && op2 <= 0xA2) || (op2 >= 0xA8 && op2 <= 0xAA) ||
                   (op2 >= 0xC8 && op2 <= 0xCF)) {
            // no operand bytes
        } else {
            modrm = true;
            if ((op2 >= 0x70 && op2 <= 0x73) || op2 == 0xA4 || op2 == 0xAC || op2 == 0xBA ||
                op2 == 0xC2 || (op2 >= 0xC4 && op2 <= 0xC6))
                imm = 1;
        }
    } else if (op < 0x40) {
        const int low = op & 7;
        if (low <= 3) modrm = true;
        else if (low == 4) imm = 1;
        else if (low == 5) imm = immZ;
        else if (x64) return false;  // push/pop segment, daa, aas...: invalid in 64-bit
    } else if (op < 0x50) {
        if (x64) return false;       // REX out of place
    } else if (op < 0x60) {
        // push/pop register
    } else if (op < 0x70) {
        switch (op) {
        case 0x60: case 0x61: if (x64) return false; break;
        case 0x62: return false;     // bound / EVEX
        case 0x63: modrm = true; break;
        case 0x68: imm = immZ; break;
        case 0x69: modrm = true; imm = immZ; break;
        case 0x6A: imm = 1; break;
        case 0x6B: modrm = true; imm = 1; break;
        default: break;              // ins/outs
        }
    } else if (op < 0x80) {
        rel = 1;                     // jcc rel8
    } else if (op < 0x90) {
        modrm = true;
        if (op == 0x80 || op == 0x82 || op == 0x83) imm = 1;
        if (op == 0x81) imm = immZ;
        if (op == 0x82 && x64) return false;
    } else if (op < 0xA0) {
        if (op == 0x9A) return false;  // far call
    } else if (op < 0xB0) {
        if (op <= 0xA3) imm = x64 ? (addrsize ? 4 : 8) : (addrsize ? 2 : 4);  // moffs
        else if (op == 0xA8) imm = 1;
        else if (op == 0xA9) imm = immZ;
    } else if (op < 0xC0) {
        if (op < 0xB8) imm = 1;
        else imm = rexW ? 8 : immZ;
    } else {
        switch (op) {
        case 0xC0: case 0xC1: case 0xC6: modrm = true; imm = 1; break;
        case 0xC7: modrm = true; imm = immZ; break;
        case 0xC2: case 0xCA: imm = 2; ends = true; break;
        case 0xC3: case 0xCB: ends = true; break;
        case 0xC4: case 0xC5: return false;  // VEX / les, lds
        case 0xC8: imm = 3; break;
        case 0xCD: case 0xD4: case 0xD5: imm = 1; break;
        case 0xD0: case 0xD1: case 0xD2: case 0xD3: modrm = true; break;
        case 0xE0: case 0xE1: case 0xE2: case 0xE3: rel = 1; break;
        case 0xE4: case 0xE5: case 0xE6: case 0xE7: imm = 1; break;
        case 0xE8: rel = 4; break;
        case 0xE9: rel = 4; ends = true; break;
        case 0xEA: return false;
        case 0xEB: rel = 1; ends = true; break;
        case 0xF6: modrm = true; imm = ((*p >> 3) & 7) < 2 ? 1 : 0; break;
        case 0xF7: modrm = true; imm = ((*p >> 3) & 7) < 2 ? immZ : 0; break;
        case 0xFE: modrm = true; break;
        case 0xFF: {
            modrm = true;
            const int reg = (*p >> 3) & 7;
            if (reg == 7) return false;
            if (reg == 4 || reg == 5) ends = true;  // jmp r/m
            break;
        }
        default:
            if (op >= 0xD8 && op <= 0xDF) modrm = true;  // x87
            break;                                       // one-byte forms
        }
    }

    if (rel) {
        if (op == 0xE8 && !x64 && opsize16) return false;
        info->relOffset = static_cast<int>(p - code);
        info->relSize = rel;
        info->branch = true;
        p += rel;
    }
    if (modrm) {
        int ripRel = -1;
        const int len = ModRmLength(p, x64, addr16, &ripRel);
        if (ripRel >= 0) {
            info->relOffset = static_cast<int>(p - code) + ripRel;
            info->relSize = 4;
        }
        p += len;
    }
    p += imm;
    info->length = static_cast<int>(p - code);
    info->endsFlow = ends;
    return info->length <= 15;
}

}  // namespace kvr::intercept
