// PUSH, ADD, SUB, LEA, AND, CMOVZ, IMUL, IDIV, DIV and MOV in their operand forms.
#include "assembler/encoders.h"
#include "assembler/short_forms.h"

namespace kelvo {

static TLocation mem(int32_t regCount, TRegister base, TRegister index, int32_t disp, int32_t scale) {
  return MemLocation({regCount, base, index, disp, scale});
}

// [seg:address] with a literal address and no fix-up.
static TLocation segAddress(TSegment seg, uint32_t address) {
  TLocation l = MemLocation(AbsoluteOperand(address));
  l.segPrefix = static_cast<int8_t>(seg);
  return l;
}

// --- PUSH

void PushMem(TAssembler& a, int32_t regCount, int32_t size, TRegister base, TRegister index, int32_t disp,
             int32_t scale) {
  if (size != 1 && size != 2 && size != 4) EncoderError("Error 2131221");
  // a byte operand is pushed as a dword
  EncodeLoc(a, kForms[fmPushRm], size, 0, mem(regCount, base, index, disp, scale));
}

void PushVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset) {
  if (size != 2 && size != 4) EncoderError("Expected word or 2 word variable");
  TInstr in(a);
  if (size == 2) {
    // A zero word first, then the word itself: the value arrives zero-extended in a dword slot.
    PutRaw(in, kForms[fmPushImm8], 2);
    PutImmediate(in, kForms[fmPushImm8], 2, 0);
  }
  PutModRMLoc(in, kForms[fmPushRm], size, 0, VarLocation(dataIdent, offset));
  Emit(a, in);
}

void PushImm(TAssembler& a, int32_t size, int32_t imm, TFixType fix, uint32_t fixOffset) {
  if (size != 2 && size != 4) EncoderError("Expected word or dword value");
  if (size == 2 && fix != ftNone) EncoderError("Invalid instruction");
  // a patched value always needs the full field
  const TForm& f = kForms[fix == ftNone && FitsInt8(imm) ? fmPushImm8 : fmPushImm];
  TInstr in(a);
  PutRaw(in, f, size);
  PutImmediate(in, f, size, static_cast<uint32_t>(imm), fix, static_cast<uint32_t>(imm), fixOffset);
  Emit(a, in);
}

void PushSeg(TAssembler& a, TSegment seg, uint32_t address) {
  TInstr in(a);
  if (address == 0) {  // the segment register itself
    static constexpr TFormId kPushSeg[kSegmentCount] = {fmPushCs, fmPushSs, fmPushDs, fmPushEs, fmPushFs, fmPushGs};
    PutRaw(in, kForms[kPushSeg[seg]], 4);
  } else {  // PUSH dword [seg:address], no fix-up
    PutModRMLoc(in, kForms[fmPushRm], 4, 0, segAddress(seg, address));
  }
  Emit(a, in);
}

void PushReg(TAssembler& a, TRegister reg) {
  if (Is8(reg)) EncoderError("Expected 16 or 32bit register");
  EncodeReg(a, kForms[fmPushR], reg);
}

// --- ADD and SUB

static void aluMemImm(TAssembler& a, TAluOp alu, const char* sizeError, int32_t size, int32_t imm,
                      const TLocation& loc, TFixType fix) {
  if (size != 1 && size != 2 && size != 4) EncoderError(sizeError);
  if (fix != ftNone && size != 4) EncoderError("Expected 32 bit ptr size");
  const auto value = static_cast<uint32_t>(imm);
  if (fix == ftNone && EncodePlainBaseDispImm(a, kForms[kAluForms[alu].rmImm], size, loc, value)) return;
  EncodeLocImm(a, kForms[kAluForms[alu].rmImm], size, loc, value, fix, value);
}

void AddMemImm(TAssembler& a, int32_t regCount, int32_t size, int32_t imm, TRegister base, TRegister index,
               int32_t disp, int32_t scale, TFixType fix) {
  aluMemImm(a, aluAdd, "Error A4523324", size, imm, mem(regCount, base, index, disp, scale), fix);
}

void SubMemImm(TAssembler& a, int32_t regCount, int32_t size, int32_t imm, TRegister base, TRegister index,
               int32_t disp, int32_t scale, TFixType fix) {
  aluMemImm(a, aluSub, "Error 3123332", size, imm, mem(regCount, base, index, disp, scale), fix);
}

// Sizes 1, 2, 4 are one instruction. Size 8 is two dword instructions on the low and high
// halves; `high` is the row for the upper half (ADC/SBB to carry, MOV again for stores).
static void varImm(TAssembler& a, TFormId low, TFormId high, const char* sizeError, int32_t size,
                   uint32_t dataIdent, int64_t imm, uint32_t offset, TFixType fix, uint32_t fixIndex) {
  if (fix != ftNone && (size == 1 || size == 2 || size == 8)) EncoderError("Expected 32bit variable");
  if (size != 1 && size != 2 && size != 4 && size != 8) EncoderError(sizeError);
  const auto value = static_cast<uint64_t>(imm);
  if (size == 4 && fix == ftNone) return EncodeVarImm(a, kForms[low], 4, dataIdent, offset, static_cast<uint32_t>(value));
  TInstr in(a);
  if (size == 8) {
    PutModRMLoc(in, kForms[low], 4, 0, VarLocation(dataIdent, offset));
    PutImmediate(in, kForms[low], 4, static_cast<uint32_t>(value));
    PutModRMLoc(in, kForms[high], 4, 0, VarLocation(dataIdent, offset + 4));
    PutImmediate(in, kForms[high], 4, static_cast<uint32_t>(value >> 32));
  } else {
    PutModRMLoc(in, kForms[low], size, 0, VarLocation(dataIdent, offset));
    PutImmediate(in, kForms[low], size, static_cast<uint32_t>(value), fix, fixIndex);
  }
  Emit(a, in);
}

void AddVarImm(TAssembler& a, int32_t size, uint32_t dataIdent, int64_t imm, uint32_t offset, TFixType fix,
               uint32_t fixIndex) {
  varImm(a, fmAddRmImm, fmAdcRmImm, "Error 232673232", size, dataIdent, imm, offset, fix, fixIndex);
}

void SubVarImm(TAssembler& a, int32_t size, uint32_t dataIdent, int64_t imm, uint32_t offset, TFixType fix,
               uint32_t fixIndex) {
  varImm(a, fmSubRmImm, fmSbbRmImm, "Error 232673232", size, dataIdent, imm, offset, fix, fixIndex);
}

// A register and a memory operand: the row says which of them is the destination.
// A plain [base+disp] operand is written in place; apart, so that the generic path stays as
// small as it was in the callers it is inlined into.
[[gnu::noinline]] static void regBaseDisp(TAssembler& a, const TForm& f, uint8_t regNum, const TMemOperand& m) {
  commitPlain(a, putPlainBaseDisp(a.strCode.blockRoom(), f, regNum, m));
}
static void regLoc(TAssembler& a, TFormId form, TRegister reg, const TLocation& loc) {
  const TForm& f = kForms[form];
  if (IsPlainBaseDisp(a, f, RegBytes(reg), loc)) return regBaseDisp(a, f, RegNum(reg), loc.mem);
  EncodeLoc(a, f, RegBytes(reg), RegNum(reg), loc);
}
static void regVar(TAssembler& a, TFormId form, TRegister reg, uint32_t dataIdent, uint32_t offset) {
  EncodeVar(a, kForms[form], RegBytes(reg), RegNum(reg), dataIdent, offset);
}

void AddMemReg(TAssembler& a, int32_t regCount, TRegister reg, TRegister base, TRegister index, int32_t disp,
               int32_t scale) {
  regLoc(a, fmAddRmR, reg, mem(regCount, base, index, disp, scale));
}
void SubMemReg(TAssembler& a, int32_t regCount, TRegister reg, TRegister base, TRegister index, int32_t disp,
               int32_t scale) {
  regLoc(a, fmSubRmR, reg, mem(regCount, base, index, disp, scale));
}
void AddRegMem(TAssembler& a, int32_t regCount, TRegister reg, TRegister base, TRegister index, int32_t disp,
               int32_t scale) {
  regLoc(a, fmAddRRm, reg, mem(regCount, base, index, disp, scale));
}
void SubRegMem(TAssembler& a, int32_t regCount, TRegister reg, TRegister base, TRegister index, int32_t disp,
               int32_t scale) {
  regLoc(a, fmSubRRm, reg, mem(regCount, base, index, disp, scale));
}
void AddVarReg(TAssembler& a, uint32_t dataIdent, TRegister reg, uint32_t offset) {
  regVar(a, fmAddRmR, reg, dataIdent, offset);
}
void SubVarReg(TAssembler& a, uint32_t dataIdent, TRegister reg, uint32_t offset) {
  regVar(a, fmSubRmR, reg, dataIdent, offset);
}
void AddRegVar(TAssembler& a, uint32_t dataIdent, TRegister reg, uint32_t offset) {
  regVar(a, fmAddRRm, reg, dataIdent, offset);
}
void SubRegVar(TAssembler& a, uint32_t dataIdent, TRegister reg, uint32_t offset) {
  regVar(a, fmSubRRm, reg, dataIdent, offset);
}

void AddRegImm(TAssembler& a, TRegister reg, int32_t imm, TFixType fix) {
  if (fix != ftNone) EncoderError("Error A34256784");
  EncAluRegImm(a, aluAdd, reg, imm);
}

void SubRegImm(TAssembler& a, TRegister reg, int32_t imm, TFixType fix) {
  if (fix != ftNone) EncoderError("Error A34256784");
  EncAluRegImm(a, aluSub, reg, imm);
}

// Register pairs use the load direction (03, 2B ...): ModRM reg = destination.
void AddRegReg(TAssembler& a, TRegister dst, TRegister src) { EncodeRegReg(a, kForms[fmAddRRm], dst, src); }
void SubRegReg(TAssembler& a, TRegister dst, TRegister src) { EncodeRegReg(a, kForms[fmSubRRm], dst, src); }

// --- LEA, AND, CMOVZ, IMUL, IDIV, DIV

// LEA reg, [value]: the displacement itself carries the fix-up.
void LeaRegVar(TAssembler& a, TRegister reg, uint32_t value, TFixType fix, uint32_t fixOffset) {
  if (Is8(reg)) EncoderError("Expected 32 or 16 bit register");
  TInstr in(a);
  PutOpcode(in, kForms[fmLeaRM], RegBytes(reg), 0, 0, true);
  PutAbsoluteFixOperand(in, RegNum(reg), value, fix, value, fixOffset);
  Emit(a, in);
}

void LeaRegMem(TAssembler& a, int32_t regCount, TRegister reg, TRegister base, TRegister index, int32_t disp,
               int32_t scale) {
  if (Is8(reg)) EncoderError("Expected 32 or 16 bit register");
  regLoc(a, fmLeaRM, reg, mem(regCount, base, index, disp, scale));
}

void AndRegReg(TAssembler& a, TRegister dst, TRegister src) {
  if (regSize(dst) != regSize(src)) EncoderError("Registers must be equal sized");
  EncodeRegReg(a, kForms[fmAndRRm], dst, src);
}

void AndRegImm(TAssembler& a, TRegister reg, int32_t imm) { EncAluRegImm(a, aluAnd, reg, imm); }

void CmovzRegReg(TAssembler& a, TRegister dst, TRegister src) {
  if (Is8(dst) || Is8(src)) EncoderError("Operand(s) can not be byte register(s).");
  EncodeRegReg(a, kForms[fmCmovzRRm], dst, src);
}

// IMUL reg, reg, imm: the register is both destination and source; a sign-extended byte
// immediate when the value fits.
void ImulRegImm(TAssembler& a, TRegister reg, int32_t imm) {
  if (Is8(reg)) EncoderError("byte register can not be first operand");
  const TForm& f = kForms[FitsInt8(imm) ? fmImulRRmImm8 : fmImulRRmImm];
  const int bytes = RegBytes(reg);
  TInstr in(a);
  PutModRMReg(in, f, bytes, RegNum(reg), RegNum(reg));
  PutImmediate(in, f, bytes, static_cast<uint32_t>(imm));
  Emit(a, in);
}

void IdivReg(TAssembler& a, TRegister reg) { EncodeReg(a, kForms[fmIdivRm], reg); }
void DivReg(TAssembler& a, TRegister reg) { EncodeReg(a, kForms[fmDivRm], reg); }

// --- MOV

void MovVarImm(TAssembler& a, int32_t size, uint32_t dataIdent, int64_t imm, uint32_t offset, TFixType fix,
               uint32_t fixIndex) {
  varImm(a, fmMovRmImm, fmMovRmImm, "Error 457673232", size, dataIdent, imm, offset, fix, fixIndex);
}

void MovMemImm(TAssembler& a, int32_t regCount, int32_t size, int32_t imm, TRegister base, TRegister index,
               int32_t disp, int32_t scale, TFixType fix) {
  if (size != 1 && size != 2 && size != 4) EncoderError("Error 3123332");
  if (fix != ftNone && size != 4) EncoderError("Expected 32 bit ptr size");
  const auto value = static_cast<uint32_t>(imm);
  const TLocation loc = mem(regCount, base, index, disp, scale);
  if (fix == ftNone && EncodePlainBaseDispImm(a, kForms[fmMovRmImm], size, loc, value)) return;
  EncodeLocImm(a, kForms[fmMovRmImm], size, loc, value, fix, value);
}

// The accumulator has its own absolute-address forms (A0-A3) with no ModRM byte.
static void movVar(TAssembler& a, bool load, TRegister reg, uint32_t dataIdent, uint32_t offset) {
  if (RegNum(reg) != 0) return regVar(a, load ? fmMovRRm : fmMovRmR, reg, dataIdent, offset);
  EncodeMoffsVar(a, kForms[load ? fmMovAccMoffs : fmMovMoffsAcc], RegBytes(reg), dataIdent, offset);
}

void MovVarReg(TAssembler& a, uint32_t dataIdent, TRegister reg, uint32_t offset) {
  movVar(a, false, reg, dataIdent, offset);
}
void MovRegVar(TAssembler& a, uint32_t dataIdent, TRegister reg, uint32_t offset) {
  movVar(a, true, reg, dataIdent, offset);
}

void MovMemReg(TAssembler& a, int32_t regCount, TRegister reg, TRegister base, TRegister index, int32_t disp,
               int32_t scale) {
  regLoc(a, fmMovRmR, reg, mem(regCount, base, index, disp, scale));
}

void MovRegMem(TAssembler& a, int32_t regCount, TRegister reg, TRegister base, TRegister index, int32_t disp,
               int32_t scale) {
  regLoc(a, fmMovRRm, reg, mem(regCount, base, index, disp, scale));
}

// MOV [seg:address], reg with a literal address: 66 comes before the segment prefix.
void MovSegMemReg(TAssembler& a, TSegment seg, uint32_t address, TRegister reg) {
  if (Is8(reg)) EncoderError("Invalid operand.");
  const int bytes = RegBytes(reg);
  TInstr in(a);
  if (RegNum(reg) == 0) {  // the accumulator's moffs form
    PutOpcode(in, kForms[fmMovMoffsAcc], bytes, kSegment[seg].prefix, 0, true);
    in.put32(address);
  } else {
    PutModRMLoc(in, kForms[fmMovRmR], bytes, RegNum(reg), segAddress(seg, address));
  }
  Emit(a, in);
}

void MovSegReg(TAssembler& a, TSegment seg, TRegister reg) {
  if (Is8(reg)) EncoderError("Invalid operand.");
  if (seg == segCS) EncoderError("Invalid operand.");  // loading CS by MOV faults (#UD)
  TInstr in(a);
  // Deliberately longer: a word register carries 66 outside 16-bit code, although the
  // segment register takes a word either way.
  PutModePrefix(in, a, RegBytes(reg));
  PutModRMReg(in, kForms[fmMovSregRm], RegBytes(reg), kSegment[seg].number, RegNum(reg));
  Emit(a, in);
}

void MovRegReg(TAssembler& a, TRegister dst, TRegister src) {
  if (dst == src) return;
  EncodeRegReg(a, kForms[fmMovRRm], dst, src);
}

void MovRegImm(TAssembler& a, TRegister reg, int32_t imm, TFixType fix) {
  const int bytes = RegBytes(reg);
  const TForm& f = kForms[bytes == 1 ? fmMovR8Imm : fmMovRImm];
  // A plain number, the commonest, takes the short way that other register forms take.
  if (fix == ftNone) return EncodeRegImm(a, f, reg, static_cast<uint32_t>(imm));
  // A 16-bit field can only be patched in 16-bit code; a byte field never.
  if (bytes == 1 || (bytes == 2 && a.cpuMode != 16)) EncoderError("Expected 32 bit register");
  TInstr in(a);
  PutPlusReg(in, f, bytes, RegNum(reg));
  PutImmediate(in, f, bytes, static_cast<uint32_t>(imm), fix, static_cast<uint32_t>(imm), 0);
  Emit(a, in);
}

}  // namespace kelvo
