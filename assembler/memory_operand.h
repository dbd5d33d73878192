// Memory operands: ModRM, SIB and displacement with 32-bit addressing.
#pragma once

#include <cstdint>

#include "assembler/instruction.h"

namespace kelvo {

// [base + index*scale + disp]. regCount 0: absolute [disp]; 1: base only, or with a scale the
// scaled register without base; 2: base and index.
struct TMemOperand {
  int32_t regCount = 1;
  TRegister base = rdEAX;
  TRegister index = rdEAX;
  int32_t disp = 0;
  int32_t scale = 0;
};

// [base + disp], the one-register form used by local, pointer and [reg] operands.
inline TMemOperand BaseDisp(TRegister base, int32_t disp) { return {1, base, rdEAX, disp, 0}; }
// [EBP + disp]: a local variable or parameter.
inline TMemOperand LocalOperand(int32_t disp) { return BaseDisp(rdEBP, disp); }
// [address] with no register and no fix-up.
inline TMemOperand AbsoluteOperand(uint32_t address) {
  return {0, rdEAX, rdEAX, static_cast<int32_t>(address), 0};
}

// The ModRM mod of a displacement: 00 none, 01 disp8, 10 disp32. `needsDisp` keeps a zero one
// as a byte (EBP as base, whose mod 00 means no base at all).
inline int DispMod(int32_t disp, bool needsDisp) {
  if (disp == 0 && !needsDisp) return 0;
  return FitsInt8(disp) ? 1 : 2;
}

// Checks the operand, then appends ModRM, SIB and displacement with `regField` in the ModRM
// reg field. `alwaysDisp` keeps at least a one-byte displacement, even a zero one.
void PutMemOperand(TInstr& in, uint8_t regField, TMemOperand m, bool alwaysDisp = false);

// A global data item: ModRM reg·8 + 5 and a zero disp32 carrying the ftDataAddress fix-up.
void PutVarOperand(TInstr& in, uint8_t regField, uint32_t dataIdent, uint32_t offset);

// [disp32] holding `value`, patched by a fix-up of kind `fix` (none: a plain absolute address).
void PutAbsoluteFixOperand(TInstr& in, uint8_t regField, uint32_t value, TFixType fix, uint32_t fixIndex,
                           uint32_t fixOffset);

// Public entry for encoders that emit their opcode bytes separately.
void EncodeModRM(TAssembler& a, int32_t regCount, uint8_t regField, TRegister base, TRegister index,
                 int32_t disp, int32_t scale);

}  // namespace kelvo
