// CMP in its operand forms, TEST, XOR, OR, ADC, NOT, NEG, MUL, INC, DEC, the immediate
// rotates and shifts, XCHG and MOVZX from a variable.
#include "assembler/encoders.h"
#include "assembler/short_forms.h"

namespace kelvo {

// Sizes outside 1, 2, 4 would otherwise drop the instruction without a word.
static void requireOperandSize(int32_t size) {
  if (size != 1 && size != 2 && size != 4) EncoderError("Invalid operand size");
}

static void cmpLocImm(TAssembler& a, int32_t size, const TLocation& loc, int32_t imm, bool shortImm) {
  TInstr in(a);
  PutAluLocImm(in, aluCmp, size, loc, imm, shortImm);
  Emit(a, in);
}

static void regLoc(TAssembler& a, TFormId form, TRegister reg, const TLocation& loc) {
  EncodeLoc(a, kForms[form], RegBytes(reg), RegNum(reg), loc);
}

// --- CMP

void CmpMemImm(TAssembler& a, int32_t size, TRegister base, int32_t imm, int32_t disp) {
  if (!Is32(base)) EncoderError("Invalid operation");
  if (size != 1 && size != 2 && size != 4) EncoderError("Error: 5232453");
  cmpLocImm(a, size, MemLocation(BaseDisp(base, disp)), imm, FitsInt8(imm));
}

void CmpMemReg(TAssembler& a, TRegister base, TRegister reg, int32_t disp) {
  regLoc(a, fmCmpRmR, reg, MemLocation(BaseDisp(base, disp)));
}

void CmpVarImm(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset, int32_t imm) {
  if (size != 1 && size != 2 && size != 4) EncoderError("Invalid variable size for comparison");
  cmpLocImm(a, size, VarLocation(dataIdent, offset), imm, FitsInt8(imm));
}

void CmpVarReg(TAssembler& a, int32_t direction, TRegister reg, uint32_t dataIdent, uint32_t offset) {
  regLoc(a, direction == 1 ? fmCmpRRm : fmCmpRmR, reg, VarLocation(dataIdent, offset));
}

// The short immediate is taken only for 0..127 here: negative values use the full width.
void CmpLocalImm(TAssembler& a, int32_t size, int32_t disp, int32_t imm) {
  requireOperandSize(size);
  cmpLocImm(a, size, MemLocation(LocalOperand(disp)), imm, imm >= 0 && imm <= 127);
}

void CmpLocalReg(TAssembler& a, int32_t direction, TRegister reg, int32_t disp) {
  regLoc(a, direction == 1 ? fmCmpRRm : fmCmpRmR, reg, MemLocation(LocalOperand(disp)));
}

void CmpRegReg(TAssembler& a, TRegister first, TRegister second) {
  EncodeRegReg(a, kForms[fmCmpRRm], first, second);
}

void CmpRegImm(TAssembler& a, TRegister reg, int32_t kind, int32_t imm) {
  if (kind == 0) return EncAluRegImm(a, aluCmp, reg, imm);
  requireOperandSize(kind);
  cmpLocImm(a, kind, MemLocation(BaseDisp(reg, 0)), imm, FitsInt8(imm));
}

void CmpBaseIndexImm(TAssembler& a, TRegister base, TRegister index, int32_t imm, int32_t size) {
  requireOperandSize(size);
  cmpLocImm(a, size, MemLocation({2, base, index, 0, 0}), imm, FitsInt8(imm));
}

// --- TEST, XOR, OR, ADC, NOT, NEG, MUL

// TEST has no sign-extended byte form; the accumulator has a ModRM-less one (A8/A9).
void TestRegImm(TAssembler& a, TRegister reg, int32_t imm) {
  EncodeRegImm(a, kForms[RegNum(reg) == 0 ? fmTestAccImm : fmTestRmImm], reg, static_cast<uint32_t>(imm));
}

// TEST r/m, reg: the second register goes in the reg field.
void TestRegReg(TAssembler& a, TRegister first, TRegister second) {
  EncodeRegReg(a, kForms[fmTestRmR], first, second);
}

void TestMemReg(TAssembler& a, TRegister reg, TRegister base) {
  regLoc(a, fmTestRmR, reg, MemLocation(BaseDisp(base, 0)));
}

void XorRegImm(TAssembler& a, TRegister reg, int32_t imm) { EncAluRegImm(a, aluXor, reg, imm); }
void XorRegReg(TAssembler& a, TRegister first, TRegister second) {
  EncodeRegReg(a, kForms[fmXorRRm], first, second);
}

// Always [base + index*scale + disp8/disp32], with at least a one-byte displacement; no 66
// in 16-bit code.
void XorRegMem(TAssembler& a, TRegister reg, TRegister base, int32_t disp, TRegister index, int32_t scale) {
  TInstr in(a);
  PutOpcode(in, kForms[fmXorRRm], RegBytes(reg), 0, 0, true);
  PutMemOperand(in, RegNum(reg), {2, base, index, disp, scale}, true);
  Emit(a, in);
}

// No 66 in 16-bit code.
void OrRegReg(TAssembler& a, TRegister first, TRegister second) {
  TInstr in(a);
  PutModRMReg(in, kForms[fmOrRRm], RegBytes(first), RegNum(first), RegNum(second));
  Emit(a, in);
}

void AdcRegReg(TAssembler& a, TRegister first, TRegister second) {
  EncodeRegReg(a, kForms[fmAdcRRm], first, second);
}
void NotReg(TAssembler& a, TRegister reg) { EncodeReg(a, kForms[fmNotRm], reg); }
void NegReg(TAssembler& a, TRegister reg) { EncodeReg(a, kForms[fmNegRm], reg); }
void MulReg(TAssembler& a, TRegister reg) { EncodeReg(a, kForms[fmMulRm], reg); }

// --- INC and DEC

// Word and dword registers have the one-byte 40+r/48+r forms; bytes need FE /0, FE /1.
void IncReg(TAssembler& a, TRegister reg) { EncodeReg(a, kForms[Is8(reg) ? fmIncRm : fmIncR], reg); }
void DecReg(TAssembler& a, TRegister reg) { EncodeReg(a, kForms[Is8(reg) ? fmDecRm : fmDecR], reg); }

static void groupLoc(TAssembler& a, TFormId form, int32_t size, const TLocation& loc) {
  requireOperandSize(size);
  EncodeLoc(a, kForms[form], size, 0, loc);
}

void IncLocal(TAssembler& a, int32_t size, int32_t disp) {
  groupLoc(a, fmIncRm, size, MemLocation(LocalOperand(disp)));
}
void DecLocal(TAssembler& a, int32_t size, int32_t disp) {
  groupLoc(a, fmDecRm, size, MemLocation(LocalOperand(disp)));
}
void IncVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset) {
  groupLoc(a, fmIncRm, size, VarLocation(dataIdent, offset));
}
void DecVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset) {
  groupLoc(a, fmDecRm, size, VarLocation(dataIdent, offset));
}

// --- rotates and shifts: a count of 1 has its own opcode (D0/D1) without an immediate.

static void shiftRegImm(TAssembler& a, TShiftOp op, TRegister reg, uint8_t count) {
  if (count == 1) EncodeReg(a, kForms[kShiftForms[op].byOne], reg);
  else EncodeRegImm(a, kForms[kShiftForms[op].byImm], reg, count);
}

void RolRegImm(TAssembler& a, TRegister reg, uint8_t count) { shiftRegImm(a, shRol, reg, count); }
void RorRegImm(TAssembler& a, TRegister reg, uint8_t count) { shiftRegImm(a, shRor, reg, count); }
void ShlRegImm(TAssembler& a, TRegister reg, uint8_t count) { shiftRegImm(a, shShl, reg, count); }
void SalRegImm(TAssembler& a, TRegister reg, uint8_t count) { shiftRegImm(a, shSal, reg, count); }
void ShrRegImm(TAssembler& a, TRegister reg, uint8_t count) { shiftRegImm(a, shShr, reg, count); }
void SarRegImm(TAssembler& a, TRegister reg, uint8_t count) { shiftRegImm(a, shSar, reg, count); }

// Always the imm8 form, also for a count of 1.
void SarMemImm(TAssembler& a, int32_t size, const TMemOperand& m, uint8_t count) {
  EncodeLocImm(a, kForms[fmSarRmImm], size, MemLocation(m), count);
}

// --- XCHG and MOVZX

// Only dword registers are supported; the size is checked first so that a word or byte
// register never takes the one-byte form meant for EAX (90+r).
void XchgRegReg(TAssembler& a, TRegister first, TRegister second) {
  if (!Is32(first) || !Is32(second)) EncoderError("Not Supported - Please notify the developers");
  TFormId form = fmXchgRRm;
  if (first == rdEAX) form = fmXchgAccR;
  else if (second == rdEAX) form = fmXchgRAcc;
  EncodeRegReg(a, kForms[form], first, second);
}

void XchgRegLocal(TAssembler& a, TRegister reg, int32_t disp) {
  regLoc(a, fmXchgRRm, reg, MemLocation(LocalOperand(disp)));
}

void XchgRegVar(TAssembler& a, TRegister reg, uint32_t dataIdent, uint32_t offset) {
  regLoc(a, fmXchgRRm, reg, VarLocation(dataIdent, offset));
}

void MovzxRegVar(TAssembler& a, TRegister reg, uint32_t dataIdent, uint32_t offset, int32_t sourceBits) {
  // A byte destination cannot widen, and a word into a word register is no extension.
  if (Is8(reg) || (Is16(reg) && sourceBits == 16)) EncoderError("Invalid operand size");
  EncodeVar(a, kForms[Is32(reg) && sourceBits == 16 ? fmMovzxR32Rm16 : fmMovzxRRm8], RegBytes(reg), RegNum(reg),
            dataIdent, offset);
}

}  // namespace kelvo
