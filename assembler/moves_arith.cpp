// PUSH, ADD, SUB, LEA, AND, CMOVZ, IMUL, IDIV, DIV and MOV in their operand forms.
#include "assembler/encoders.h"
#include "assembler/form_table.h"

namespace kelvo {

static TMemOperand mem(int32_t regCount, TRegister base, TRegister index, int32_t disp, int32_t scale) {
  return {regCount, base, index, disp, scale};
}

// --- PUSH

void PushMem(TAssembler& a, int32_t regCount, int32_t size, TRegister base, TRegister index, int32_t disp,
             int32_t scale) {
  if (size != 1 && size != 2 && size != 4) EncoderError("Error 2131221");
  TInstr in;
  PutSizePrefix(in, size);  // a byte operand is pushed as a dword
  in.put(0xFF);
  PutMemOperand(in, 6, mem(regCount, base, index, disp, scale));
  Emit(a, in);
}

void PushVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset) {
  if (size != 2 && size != 4) EncoderError("Expected word or 2 word variable");
  TInstr in;
  if (size == 2) {
    // A zero word first, then the word itself: the value arrives zero-extended in a dword slot.
    in.put(0x66), in.put(0x6A), in.put(0x00);
    in.put(0x66);
  }
  in.put(0xFF);
  PutVarOperand(in, 6, dataIdent, offset);
  Emit(a, in);
}

void PushImm(TAssembler& a, int32_t size, int32_t imm, TFixType fix, uint32_t fixOffset) {
  if (size != 2 && size != 4) EncoderError("Expected word or dword value");
  if (size == 2 && fix != ftNone) EncoderError("Invalid instruction");
  TInstr in;
  PutSizePrefix(in, size);
  if (fix == ftNone && FitsInt8(imm)) {
    in.put(0x6A);
    in.put(static_cast<uint8_t>(imm));
  } else {  // a patched value always needs the full field
    in.put(0x68);
    if (fix != ftNone) in.fixHere(fix, 32, static_cast<uint32_t>(imm), fixOffset);
    in.putImm(static_cast<uint32_t>(imm), size);
  }
  Emit(a, in);
}

void PushSeg(TAssembler& a, TSegment seg, uint32_t address) {
  TInstr in;
  if (address == 0) {  // the segment register itself: one-byte forms for the old four
    static constexpr uint8_t kPushSeg[kSegmentCount][2] = {
        {0x0E, 0}, {0x16, 0}, {0x1E, 0}, {0x06, 0}, {0x0F, 0xA0}, {0x0F, 0xA8}};
    in.put(kPushSeg[seg][0]);
    if (kPushSeg[seg][1]) in.put(kPushSeg[seg][1]);
  } else {  // PUSH dword [seg:address], no fix-up
    if (kSegment[seg].prefix) in.put(kSegment[seg].prefix);
    in.put(0xFF);
    PutMemOperand(in, 6, AbsoluteOperand(address));
  }
  Emit(a, in);
}

void PushReg(TAssembler& a, TRegister reg) {
  if (Is8(reg)) EncoderError("Expected 16 or 32bit register");
  TInstr in;
  PutSizePrefix(in, RegBytes(reg));
  in.put(0x50 + RegNum(reg));
  Emit(a, in);
}

// --- ADD and SUB

static void aluMemImm(TAssembler& a, TAluOp alu, const char* sizeError, int32_t size,
                      int32_t imm, const TMemOperand& m, TFixType fix) {
  if (size != 1 && size != 2 && size != 4) EncoderError(sizeError);
  if (fix != ftNone && size != 4) EncoderError("Expected 32 bit ptr size");
  TInstr in;
  PutGroupMemImm(in, AluGroup(alu), size, m, static_cast<uint32_t>(imm), fix, static_cast<uint32_t>(imm));
  Emit(a, in);
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
static void varImm(TAssembler& a, const TGroupRow& low, const TGroupRow& high, const char* sizeError,
                   int32_t size, uint32_t dataIdent, int64_t imm, uint32_t offset, TFixType fix,
                   uint32_t fixIndex) {
  if (fix != ftNone && (size == 1 || size == 2 || size == 8)) EncoderError("Expected 32bit variable");
  if (size != 1 && size != 2 && size != 4 && size != 8) EncoderError(sizeError);
  const auto value = static_cast<uint64_t>(imm);
  TInstr in;
  if (size == 8) {
    PutGroupVarImm(in, low, 4, dataIdent, offset, static_cast<uint32_t>(value));
    PutGroupVarImm(in, high, 4, dataIdent, offset + 4, static_cast<uint32_t>(value >> 32));
  } else {
    PutGroupVarImm(in, low, size, dataIdent, offset, static_cast<uint32_t>(value), fix, fixIndex);
  }
  Emit(a, in);
}

void AddVarImm(TAssembler& a, int32_t size, uint32_t dataIdent, int64_t imm, uint32_t offset, TFixType fix,
               uint32_t fixIndex) {
  varImm(a, AluGroup(aluAdd), AluGroup(aluAdc), "Error 232673232", size, dataIdent, imm, offset, fix,
         fixIndex);
}

void SubVarImm(TAssembler& a, int32_t size, uint32_t dataIdent, int64_t imm, uint32_t offset, TFixType fix,
               uint32_t fixIndex) {
  varImm(a, AluGroup(aluSub), AluGroup(aluSbb), "Error 232673232", size, dataIdent, imm, offset, fix,
         fixIndex);
}

static void aluStoreMem(TAssembler& a, TAluOp alu, TRegister reg, const TMemOperand& m) {
  TInstr in;
  PutRegMem(in, kAlu[alu].base + 0, kAlu[alu].base + 1, reg, m);
  Emit(a, in);
}

static void aluLoadMem(TAssembler& a, TAluOp alu, TRegister reg, const TMemOperand& m) {
  TInstr in;
  PutRegMem(in, kAlu[alu].base + 2, kAlu[alu].base + 3, reg, m);
  Emit(a, in);
}

// `load` picks the reg, r/m direction (B+2/B+3) over r/m, reg (B+0/B+1).
static void aluVarReg(TAssembler& a, TAluOp alu, bool load, TRegister reg, uint32_t dataIdent,
                      uint32_t offset) {
  const uint8_t op8 = kAlu[alu].base + (load ? 2 : 0);
  TInstr in;
  PutVarReg(in, op8, op8 + 1, reg, dataIdent, offset);
  Emit(a, in);
}

void AddMemReg(TAssembler& a, int32_t regCount, TRegister reg, TRegister base, TRegister index, int32_t disp,
               int32_t scale) {
  aluStoreMem(a, aluAdd, reg, mem(regCount, base, index, disp, scale));
}

void SubMemReg(TAssembler& a, int32_t regCount, TRegister reg, TRegister base, TRegister index, int32_t disp,
               int32_t scale) {
  aluStoreMem(a, aluSub, reg, mem(regCount, base, index, disp, scale));
}

void AddRegMem(TAssembler& a, int32_t regCount, TRegister reg, TRegister base, TRegister index, int32_t disp,
               int32_t scale) {
  aluLoadMem(a, aluAdd, reg, mem(regCount, base, index, disp, scale));
}

void SubRegMem(TAssembler& a, int32_t regCount, TRegister reg, TRegister base, TRegister index, int32_t disp,
               int32_t scale) {
  aluLoadMem(a, aluSub, reg, mem(regCount, base, index, disp, scale));
}

void AddVarReg(TAssembler& a, uint32_t dataIdent, TRegister reg, uint32_t offset) {
  aluVarReg(a, aluAdd, false, reg, dataIdent, offset);
}
void SubVarReg(TAssembler& a, uint32_t dataIdent, TRegister reg, uint32_t offset) {
  aluVarReg(a, aluSub, false, reg, dataIdent, offset);
}
void AddRegVar(TAssembler& a, uint32_t dataIdent, TRegister reg, uint32_t offset) {
  aluVarReg(a, aluAdd, true, reg, dataIdent, offset);
}
void SubRegVar(TAssembler& a, uint32_t dataIdent, TRegister reg, uint32_t offset) {
  aluVarReg(a, aluSub, true, reg, dataIdent, offset);
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
void AddRegReg(TAssembler& a, TRegister dst, TRegister src) { EncRegReg(a, 0x02, 0x03, dst, src); }
void SubRegReg(TAssembler& a, TRegister dst, TRegister src) { EncRegReg(a, 0x2A, 0x2B, dst, src); }

// --- LEA, AND, CMOVZ, IMUL, IDIV, DIV

void LeaRegVar(TAssembler& a, TRegister reg, uint32_t value, TFixType fix, uint32_t fixOffset) {
  if (Is8(reg)) EncoderError("Expected 32 or 16 bit register");
  TInstr in;
  PutSizePrefix(in, RegBytes(reg));
  in.put(0x8D);
  in.put(ModRM(0, RegNum(reg), 5));
  if (fix != ftNone) in.fixHere(fix, 32, value, fixOffset);
  in.put32(value);
  Emit(a, in);
}

void LeaRegMem(TAssembler& a, int32_t regCount, TRegister reg, TRegister base, TRegister index, int32_t disp,
               int32_t scale) {
  if (Is8(reg)) EncoderError("Expected 32 or 16 bit register");
  TInstr in;
  PutRegMem(in, 0x8D, 0x8D, reg, mem(regCount, base, index, disp, scale));
  Emit(a, in);
}

void AndRegReg(TAssembler& a, TRegister dst, TRegister src) {
  if (regSize(dst) != regSize(src)) EncoderError("Registers must be equal sized");
  EncRegReg(a, 0x22, 0x23, dst, src);
}

void AndRegImm(TAssembler& a, TRegister reg, int32_t imm) { EncAluRegImm(a, aluAnd, reg, imm); }

void CmovzRegReg(TAssembler& a, TRegister dst, TRegister src) {
  if (Is8(dst) || Is8(src)) EncoderError("Operand(s) can not be byte register(s).");
  TInstr in;
  PutSizePrefix(in, RegBytes(dst));
  in.put(0x0F), in.put(0x44);
  in.put(ModRM(3, RegNum(dst), RegNum(src)));
  Emit(a, in);
}

// IMUL reg, reg, imm: the register is both destination and source.
void ImulRegImm(TAssembler& a, TRegister reg, int32_t imm) {
  if (Is8(reg)) EncoderError("byte register can not be first operand");
  const int bytes = RegBytes(reg);
  TInstr in;
  PutSizePrefix(in, bytes);
  in.put(FitsInt8(imm) ? 0x6B : 0x69);
  in.put(ModRM(3, RegNum(reg), RegNum(reg)));
  in.putImm(static_cast<uint32_t>(imm), FitsInt8(imm) ? 1 : bytes);
  Emit(a, in);
}

void IdivReg(TAssembler& a, TRegister reg) { EncGroupReg(a, kIdiv, reg); }
void DivReg(TAssembler& a, TRegister reg) { EncGroupReg(a, kDiv, reg); }

// --- MOV

void MovVarImm(TAssembler& a, int32_t size, uint32_t dataIdent, int64_t imm, uint32_t offset, TFixType fix,
               uint32_t fixIndex) {
  varImm(a, kMovImm, kMovImm, "Error 457673232", size, dataIdent, imm, offset, fix, fixIndex);
}

void MovMemImm(TAssembler& a, int32_t regCount, int32_t size, int32_t imm, TRegister base, TRegister index,
               int32_t disp, int32_t scale, TFixType fix) {
  if (size != 1 && size != 2 && size != 4) EncoderError("Error 3123332");
  if (fix != ftNone && size != 4) EncoderError("Expected 32 bit ptr size");
  TInstr in;
  PutGroupMemImm(in, kMovImm, size, mem(regCount, base, index, disp, scale), static_cast<uint32_t>(imm), fix,
                 static_cast<uint32_t>(imm));
  Emit(a, in);
}

// The accumulator has its own absolute-address forms (A0-A3) with no ModRM byte.
static void movVar(TAssembler& a, bool load, TRegister reg, uint32_t dataIdent, uint32_t offset) {
  const int bytes = RegBytes(reg);
  TInstr in;
  PutSizePrefix(in, bytes);
  if (RegNum(reg) == 0) {
    in.put((load ? 0xA0 : 0xA2) + (bytes == 1 ? 0 : 1));
    in.fixHere(ftDataAddress, 32, dataIdent, offset);
    in.put32(0);
  } else {
    in.put((load ? 0x8A : 0x88) + (bytes == 1 ? 0 : 1));
    PutVarOperand(in, RegNum(reg), dataIdent, offset);
  }
  Emit(a, in);
}

void MovVarReg(TAssembler& a, uint32_t dataIdent, TRegister reg, uint32_t offset) {
  movVar(a, false, reg, dataIdent, offset);
}
void MovRegVar(TAssembler& a, uint32_t dataIdent, TRegister reg, uint32_t offset) {
  movVar(a, true, reg, dataIdent, offset);
}

void MovMemReg(TAssembler& a, int32_t regCount, TRegister reg, TRegister base, TRegister index, int32_t disp,
               int32_t scale) {
  TInstr in;
  PutRegMem(in, 0x88, 0x89, reg, mem(regCount, base, index, disp, scale));
  Emit(a, in);
}

void MovRegMem(TAssembler& a, int32_t regCount, TRegister reg, TRegister base, TRegister index, int32_t disp,
               int32_t scale) {
  TInstr in;
  PutRegMem(in, 0x8A, 0x8B, reg, mem(regCount, base, index, disp, scale));
  Emit(a, in);
}

// MOV [seg:address], reg with a literal address: 66 comes before the segment prefix.
void MovSegMemReg(TAssembler& a, TSegment seg, uint32_t address, TRegister reg) {
  if (Is8(reg)) EncoderError("Invalid operand.");
  TInstr in;
  PutSizePrefix(in, RegBytes(reg));
  if (kSegment[seg].prefix) in.put(kSegment[seg].prefix);
  if (RegNum(reg) == 0) {
    in.put(0xA3);
    in.put32(address);
  } else {
    in.put(0x89);
    PutMemOperand(in, RegNum(reg), AbsoluteOperand(address));
  }
  Emit(a, in);
}

void MovSegReg(TAssembler& a, TSegment seg, TRegister reg) {
  if (Is8(reg)) EncoderError("Invalid operand.");
  if (seg == segCS) EncoderError("Invalid operand.");  // loading CS by MOV faults (#UD)
  TInstr in;
  PutModePrefix(in, a, RegBytes(reg));
  in.put(0x8E);
  in.put(ModRM(3, kSegment[seg].number, RegNum(reg)));
  Emit(a, in);
}

void MovRegReg(TAssembler& a, TRegister dst, TRegister src) {
  if (dst == src) return;
  EncRegReg(a, 0x8A, 0x8B, dst, src);
}

void MovRegImm(TAssembler& a, TRegister reg, int32_t imm, TFixType fix) {
  const int bytes = RegBytes(reg);
  // A 16-bit field can only be patched in 16-bit code; a byte field never.
  if (fix != ftNone && (bytes == 1 || (bytes == 2 && a.cpuMode != 16)))
    EncoderError("Expected 32 bit register");
  TInstr in;
  PutModePrefix(in, a, bytes);
  in.put((bytes == 1 ? 0xB0 : 0xB8) + RegNum(reg));
  if (fix != ftNone) in.fixHere(fix, static_cast<uint8_t>(bytes * 8), static_cast<uint32_t>(imm), 0);
  in.putImm(static_cast<uint32_t>(imm), bytes);
  Emit(a, in);
}

}  // namespace kelvo
