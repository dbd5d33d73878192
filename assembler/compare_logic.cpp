// CMP in its operand forms, TEST, XOR, OR, ADC, NOT, NEG, MUL, INC, DEC, the immediate
// rotates and shifts, XCHG and MOVZX from a variable.
#include "assembler/encoders.h"
#include "assembler/form_table.h"

namespace kelvo {

// Sizes outside 1, 2, 4 would otherwise drop the instruction without a word.
static void requireOperandSize(int32_t size) {
  if (size != 1 && size != 2 && size != 4) EncoderError("Invalid operand size");
}

// --- CMP

void CmpMemImm(TAssembler& a, int32_t size, TRegister base, int32_t imm, int32_t disp) {
  if (!Is32(base)) EncoderError("Invalid operation");
  if (size != 1 && size != 2 && size != 4) EncoderError("Error: 5232453");
  TInstr in;
  PutAluMemImm(in, aluCmp, size, BaseDisp(base, disp), imm, FitsInt8(imm));
  Emit(a, in);
}

void CmpMemReg(TAssembler& a, TRegister base, TRegister reg, int32_t disp) {
  TInstr in;
  PutRegMem(in, 0x38, 0x39, reg, BaseDisp(base, disp));
  Emit(a, in);
}

void CmpVarImm(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset, int32_t imm) {
  if (size != 1 && size != 2 && size != 4) EncoderError("Invalid variable size for comparison");
  TInstr in;
  PutAluVarImm(in, aluCmp, size, dataIdent, offset, imm, FitsInt8(imm));
  Emit(a, in);
}

void CmpVarReg(TAssembler& a, int32_t direction, TRegister reg, uint32_t dataIdent, uint32_t offset) {
  TInstr in;
  if (direction == 1) PutVarReg(in, 0x3A, 0x3B, reg, dataIdent, offset);
  else PutVarReg(in, 0x38, 0x39, reg, dataIdent, offset);
  Emit(a, in);
}

// The short immediate is taken only for 0..127 here: negative values use the full width.
void CmpLocalImm(TAssembler& a, int32_t size, int32_t disp, int32_t imm) {
  requireOperandSize(size);
  TInstr in;
  PutAluMemImm(in, aluCmp, size, LocalOperand(disp), imm, imm >= 0 && imm <= 127);
  Emit(a, in);
}

void CmpLocalReg(TAssembler& a, int32_t direction, TRegister reg, int32_t disp) {
  TInstr in;
  if (direction == 1) PutRegMem(in, 0x3A, 0x3B, reg, LocalOperand(disp));
  else PutRegMem(in, 0x38, 0x39, reg, LocalOperand(disp));
  Emit(a, in);
}

void CmpRegReg(TAssembler& a, TRegister first, TRegister second) { EncRegReg(a, 0x3A, 0x3B, first, second); }

void CmpRegImm(TAssembler& a, TRegister reg, int32_t kind, int32_t imm) {
  if (kind == 0) return EncAluRegImm(a, aluCmp, reg, imm);
  requireOperandSize(kind);
  TInstr in;
  PutAluMemImm(in, aluCmp, kind, BaseDisp(reg, 0), imm, FitsInt8(imm));
  Emit(a, in);
}

void CmpBaseIndexImm(TAssembler& a, TRegister base, TRegister index, int32_t imm, int32_t size) {
  requireOperandSize(size);
  TInstr in;
  PutAluMemImm(in, aluCmp, size, {2, base, index, 0, 0}, imm, FitsInt8(imm));
  Emit(a, in);
}

// --- TEST, XOR, OR, ADC, NOT, NEG, MUL

// TEST has no sign-extended byte form; the accumulator has a ModRM-less one (A8/A9).
void TestRegImm(TAssembler& a, TRegister reg, int32_t imm) {
  const int bytes = RegBytes(reg);
  TInstr in;
  PutSizePrefix(in, bytes);
  if (RegNum(reg) == 0) {
    in.put(Sized(0xA8, 0xA9, bytes));
  } else {
    in.put(Sized(0xF6, 0xF7, bytes));
    in.put(ModRM(3, 0, RegNum(reg)));
  }
  in.putImm(static_cast<uint32_t>(imm), bytes);
  Emit(a, in);
}

// TEST r/m, reg: the second register goes in the reg field.
void TestRegReg(TAssembler& a, TRegister first, TRegister second) {
  EncRegRegSized(a, RegBytes(first), 0x84, 0x85, second, first);
}

void TestMemReg(TAssembler& a, TRegister reg, TRegister base) {
  TInstr in;
  PutRegMem(in, 0x84, 0x85, reg, BaseDisp(base, 0));
  Emit(a, in);
}

void XorRegImm(TAssembler& a, TRegister reg, int32_t imm) { EncAluRegImm(a, aluXor, reg, imm); }
void XorRegReg(TAssembler& a, TRegister first, TRegister second) { EncRegReg(a, 0x32, 0x33, first, second); }

// Always [base + index*scale + disp8/disp32], with at least a one-byte displacement.
void XorRegMem(TAssembler& a, TRegister reg, TRegister base, int32_t disp, TRegister index, int32_t scale) {
  const int bytes = RegBytes(reg);
  TInstr in;
  PutModePrefix(in, a, bytes);
  in.put(Sized(0x32, 0x33, bytes));
  PutMemOperand(in, RegNum(reg), {2, base, index, disp, scale}, true);
  Emit(a, in);
}

void OrRegReg(TAssembler& a, TRegister first, TRegister second) {
  const int bytes = RegBytes(first);
  TInstr in;
  PutModePrefix(in, a, bytes);
  in.put(Sized(0x0A, 0x0B, bytes));
  in.put(ModRM(3, RegNum(first), RegNum(second)));
  Emit(a, in);
}

void AdcRegReg(TAssembler& a, TRegister first, TRegister second) { EncRegReg(a, 0x12, 0x13, first, second); }
void NotReg(TAssembler& a, TRegister reg) { EncGroupReg(a, kNot, reg); }
void NegReg(TAssembler& a, TRegister reg) { EncGroupReg(a, kNeg, reg); }
void MulReg(TAssembler& a, TRegister reg) { EncGroupReg(a, kMul, reg); }

// --- INC and DEC

// Word and dword registers have the one-byte 40+r/48+r forms; bytes need FE /0, FE /1.
static void incDecReg(TAssembler& a, const TGroupRow& row, uint8_t shortOp, TRegister reg) {
  if (Is8(reg)) {
    EncGroupReg(a, row, reg);
  } else {
    TInstr in;
    PutSizePrefix(in, RegBytes(reg));
    in.put(shortOp + RegNum(reg));
    Emit(a, in);
  }
}

void IncReg(TAssembler& a, TRegister reg) { incDecReg(a, kIncRM, 0x40, reg); }
void DecReg(TAssembler& a, TRegister reg) { incDecReg(a, kDecRM, 0x48, reg); }

static void groupMem(TAssembler& a, const TGroupRow& row, int32_t size, const TMemOperand& m) {
  requireOperandSize(size);
  TInstr in;
  PutSizePrefix(in, size);
  in.put(Sized(row.op8, row.op, size));
  PutMemOperand(in, row.digit, m);
  Emit(a, in);
}

static void groupVar(TAssembler& a, const TGroupRow& row, int32_t size, uint32_t dataIdent, uint32_t offset) {
  requireOperandSize(size);
  TInstr in;
  PutSizePrefix(in, size);
  in.put(Sized(row.op8, row.op, size));
  PutVarOperand(in, row.digit, dataIdent, offset);
  Emit(a, in);
}

void IncLocal(TAssembler& a, int32_t size, int32_t disp) { groupMem(a, kIncRM, size, LocalOperand(disp)); }
void DecLocal(TAssembler& a, int32_t size, int32_t disp) { groupMem(a, kDecRM, size, LocalOperand(disp)); }
void IncVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset) {
  groupVar(a, kIncRM, size, dataIdent, offset);
}
void DecVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset) {
  groupVar(a, kDecRM, size, dataIdent, offset);
}

// --- rotates and shifts: a count of 1 has its own opcode (D0/D1) without an immediate.

static void shiftRegImm(TAssembler& a, TShiftOp op, TRegister reg, uint8_t count) {
  const TGroupRow& row = kShift[op];
  const int bytes = RegBytes(reg);
  TInstr in;
  PutSizePrefix(in, bytes);
  if (count == 1) {
    in.put(Sized(0xD0, 0xD1, bytes));
    in.put(ModRM(3, row.digit, RegNum(reg)));
  } else {
    in.put(Sized(row.op8, row.op, bytes));
    in.put(ModRM(3, row.digit, RegNum(reg)));
    in.put(count);
  }
  Emit(a, in);
}

void RolRegImm(TAssembler& a, TRegister reg, uint8_t count) { shiftRegImm(a, shRol, reg, count); }
void RorRegImm(TAssembler& a, TRegister reg, uint8_t count) { shiftRegImm(a, shRor, reg, count); }
void ShlRegImm(TAssembler& a, TRegister reg, uint8_t count) { shiftRegImm(a, shShl, reg, count); }
void SalRegImm(TAssembler& a, TRegister reg, uint8_t count) { shiftRegImm(a, shSal, reg, count); }
void ShrRegImm(TAssembler& a, TRegister reg, uint8_t count) { shiftRegImm(a, shShr, reg, count); }
void SarRegImm(TAssembler& a, TRegister reg, uint8_t count) { shiftRegImm(a, shSar, reg, count); }

// --- XCHG and MOVZX

// Only dword registers are supported; the size is checked first so that a word or byte
// register never takes the one-byte form meant for EAX (90+r).
void XchgRegReg(TAssembler& a, TRegister first, TRegister second) {
  if (!Is32(first) || !Is32(second)) EncoderError("Not Supported - Please notify the developers");
  TInstr in;
  if (first == rdEAX) in.put(0x90 + RegNum(second));
  else if (second == rdEAX) in.put(0x90 + RegNum(first));
  else in.put(0x87), in.put(ModRM(3, RegNum(first), RegNum(second)));
  Emit(a, in);
}

void XchgRegLocal(TAssembler& a, TRegister reg, int32_t disp) {
  TInstr in;
  PutRegMem(in, 0x86, 0x87, reg, LocalOperand(disp));
  Emit(a, in);
}

void XchgRegVar(TAssembler& a, TRegister reg, uint32_t dataIdent, uint32_t offset) {
  TInstr in;
  PutVarReg(in, 0x86, 0x87, reg, dataIdent, offset);
  Emit(a, in);
}

void MovzxRegVar(TAssembler& a, TRegister reg, uint32_t dataIdent, uint32_t offset, int32_t sourceBits) {
  // A byte destination cannot widen, and a word into a word register is no extension.
  if (Is8(reg) || (Is16(reg) && sourceBits == 16)) EncoderError("Invalid operand size");
  TInstr in;
  PutSizePrefix(in, RegBytes(reg));
  in.put(0x0F), in.put(Is32(reg) && sourceBits == 16 ? 0xB7 : 0xB6);
  PutVarOperand(in, RegNum(reg), dataIdent, offset);
  Emit(a, in);
}

}  // namespace kelvo
