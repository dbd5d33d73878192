// The choices between an instruction's short and full forms, written once: which row an
// operation takes depends on the operand's value or register, not only on its classes.
#pragma once

#include <cstdint>

#include "assembler/form_encoders.h"

namespace kelvo {

// ALU register, immediate: 83 /digit ib when the value fits a sign-extended byte (shorter
// than the accumulator form), else the accumulator form for AL/AX/EAX, else 81 /digit iz.
void EncAluRegImm(TAssembler& a, TAluOp alu, TRegister reg, int32_t imm);
// ALU memory, immediate: 83 /digit ib when `shortImm` (word and dword only), else 80/81 with
// the full-width immediate. Callers decide `shortImm`: several memory forms deliberately keep
// the full width for small values.
void PutAluLocImm(TInstr& in, TAluOp alu, int bytes, const TLocation& loc, int32_t imm, bool shortImm);
inline void PutAluMemImm(TInstr& in, TAluOp alu, int bytes, const TMemOperand& m, int32_t imm, bool shortImm) {
  PutAluLocImm(in, alu, bytes, MemLocation(m), imm, shortImm);
}

}  // namespace kelvo
