// One instruction assembled on the stack, then appended to the code buffer in one emission.
//
// Every encoder checks its operands while it fills a TInstr; nothing reaches the buffer until
// Emit, so a failed check leaves the procedure's code untouched. Fix-ups are noted with their
// position inside the instruction and recorded just before the bytes are emitted.
#pragma once

#include <cassert>
#include <cstdint>

#include "assembler/code_buffer.h"

namespace kelvo {

struct TInstr {
  struct TPendingFix {
    TFixType type;
    uint8_t size;  // bits
    uint8_t pos;   // byte position inside the instruction
    uint32_t index;
    uint32_t offset;
  };
  // Longest sequence: the two dword halves of a 64-bit variable operation (2 x 10 bytes).
  uint8_t b[24];
  uint8_t n = 0;
  TPendingFix fix[2];
  uint8_t fixCount = 0;
  // The code's bit mode, 16 or 32: which operand size takes the 66 prefix, and whether a
  // memory operand takes 67 (addressing is always 32-bit).
  uint16_t mode = 32;

  TInstr() = default;
  explicit TInstr(const TAssembler& a) : mode(a.cpuMode) {}

  // Each writer reads and sets the length once: a byte store may alias any object, so a
  // length read per byte would be reloaded after every store.
  void put(uint8_t v) {
    assert(n < sizeof b);
    b[n++] = v;
  }
  void put16(uint32_t v) {
    const uint8_t at = n;
    assert(at + 2 <= sizeof b);
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
    n = static_cast<uint8_t>(at + 2);
  }
  void put32(uint32_t v) {
    const uint8_t at = n;
    assert(at + 4 <= sizeof b);
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
    b[at + 2] = static_cast<uint8_t>(v >> 16);
    b[at + 3] = static_cast<uint8_t>(v >> 24);
    n = static_cast<uint8_t>(at + 4);
  }
  // An immediate of 1, 2 or 4 bytes, little-endian.
  void putImm(uint32_t v, int bytes) {
    if (bytes == 1) put(static_cast<uint8_t>(v));
    else if (bytes == 2) put16(v);
    else put32(v);
  }
  // Notes a fix-up for the field that starts at the current position.
  void fixHere(TFixType type, uint8_t bits, uint32_t index, uint32_t offset) {
    assert(fixCount < 2);
    fix[fixCount++] = {type, bits, n, index, offset};
  }
};

static_assert(sizeof(TInstr::b) == TCodeBytes::kBlock, "an instruction is copied into the code as one block");

// Records the instruction's fix-ups (fixJmp 16), then appends its bytes; out of
// line, as most instructions have no fix-up.
void EmitFixedUp(TAssembler& a, const TInstr& in);
// Appends an instruction. Inline everywhere: one without fix-ups costs a copy and two stores.
[[gnu::always_inline]] inline void Emit(TAssembler& a, const TInstr& in) {
  if (in.fixCount != 0 || a.reverseMode) [[unlikely]] {
    EmitFixedUp(a, in);
    return;
  }
  a.strCode.appendBlock(in.b, in.n);
  a.fixUpsPlaced = static_cast<uint32_t>(a.FixUps.size());
}

//  ModRM:  7 6 | 5 4 3 | 2 1 0        SIB:  7 6 | 5 4 3 | 2 1 0
//          mod |  reg  |  r/m                scale| index |  base
// A field out of range is a fault of the encoder, not of the program: masking it would
// silently write another register.
constexpr uint8_t ModRM(int mod, int reg, int rm) {
  assert(mod >= 0 && mod <= 3 && reg >= 0 && reg <= 7 && rm >= 0 && rm <= 7);
  return static_cast<uint8_t>((mod << 6) | (reg << 3) | rm);
}
constexpr uint8_t SIB(int scaleCode, int index, int base) {
  assert(scaleCode >= 0 && scaleCode <= 3 && index >= 0 && index <= 7 && base >= 0 && base <= 7);
  return static_cast<uint8_t>((scaleCode << 6) | (index << 3) | base);
}
constexpr bool FitsInt8(int64_t v) { return v >= -128 && v <= 127; }

}  // namespace kelvo
