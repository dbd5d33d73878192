// MMX and SSE forms: [prefix] 0F op followed by a register, memory or variable operand.
//
// Every form is ModRM-based with the mm/xmm register in the reg field, so three form encoders
// serve them all; the named operations below only pick the row and the operand.
#include <cassert>

#include "assembler/encoders_simd.h"
#include "assembler/instruction.h"
#include "assembler/memory_operand.h"

namespace kelvo {

namespace {

enum class TSimdSet : uint8_t { mmx, sse };

struct TSimdForm {
  TSimdSet set;
  TSimdOpcode opcode;
};

// Rows with their opcodes built in.
constexpr TSimdForm kMovqLoad = {TSimdSet::mmx, {0, 0x6F}};
constexpr TSimdForm kMovqStore = {TSimdSet::mmx, {0, 0x7F}};
constexpr TSimdForm kMovdLoad = {TSimdSet::mmx, {0, 0x6E}};
constexpr TSimdForm kMovdStore = {TSimdSet::mmx, {0, 0x7E}};
constexpr TSimdForm kSfence = {TSimdSet::sse, {0, 0xAE}};  // 0F AE /7 with mod 11
constexpr uint8_t kSfenceDigit = 7;

constexpr TSimdForm mmx(TSimdOpcode op) { return {TSimdSet::mmx, op}; }
constexpr TSimdForm sse(TSimdOpcode op) { return {TSimdSet::sse, op}; }

void checkSwitch(TSimdSet set) {
  if (set == TSimdSet::mmx && !MmxEnabled())
    EncoderError("MMX instruction set is disabled, please use \"#mmx on\" to enable.");
  if (set == TSimdSet::sse && !SseEnabled())
    EncoderError("SSE instruction set is disabled, please use \"#sse on\" to enable.");
}

void putOpcode(TInstr& in, const TSimdForm& f) {
  assert(f.set == TSimdSet::sse || f.opcode.prefix == 0);  // MMX forms carry no prefix
  if (f.opcode.prefix) in.put(f.opcode.prefix);
  in.put(0x0F);
  in.put(f.opcode.op);
}

// op ModRM(11, reg, rm)
void encRegReg(TAssembler& a, const TSimdForm& f, uint8_t reg, uint8_t rm) {
  checkSwitch(f.set);
  assert(reg < 8 && rm < 8);
  TInstr in;
  putOpcode(in, f);
  in.put(ModRM(3, reg, rm));
  Emit(a, in);
}

// op + memory operand with `reg` in the reg field
void encRegMem(TAssembler& a, const TSimdForm& f, uint8_t reg, const TMemOperand& m) {
  checkSwitch(f.set);
  TInstr in;
  putOpcode(in, f);
  PutMemOperand(in, reg, m);
  Emit(a, in);
}

// op ModRM(00, reg, 101) disp32 with the data fix-up
void encRegVar(TAssembler& a, const TSimdForm& f, uint8_t reg, uint32_t dataIdent, uint32_t offset) {
  checkSwitch(f.set);
  TInstr in;
  putOpcode(in, f);
  PutVarOperand(in, reg, dataIdent, offset);
  Emit(a, in);
}

constexpr TSimdOpcode storeOf(TSimdOpcode op) { return {op.prefix, static_cast<uint8_t>(op.op + 1)}; }

TMemOperand mem(int32_t regCount, TRegister base, TRegister index, int32_t disp, int32_t scale) {
  return {regCount, base, index, disp, scale};
}

// A general register in a MOVD: only the 32-bit bank is a doubleword.
void checkMovdRegister(TRegister reg) {
  checkSwitch(TSimdSet::mmx);
  if (reg >= rdAX) EncoderError("MOVD: Register must be 32bit");
}

}  // namespace

void Sfence(TAssembler& a) { encRegReg(a, kSfence, kSfenceDigit, 0); }
void SseRegReg(TAssembler& a, TSimdOpcode op, uint8_t dst, uint8_t src) { encRegReg(a, sse(op), dst, src); }
void SseRegMem(TAssembler& a, TSimdOpcode op, int32_t regCount, uint8_t reg, TRegister base, TRegister index,
               int32_t disp, int32_t scale) {
  encRegMem(a, sse(op), reg, mem(regCount, base, index, disp, scale));
}
void SseMemReg(TAssembler& a, TSimdOpcode op, int32_t regCount, uint8_t reg, TRegister base, TRegister index,
               int32_t disp, int32_t scale) {
  encRegMem(a, sse(storeOf(op)), reg, mem(regCount, base, index, disp, scale));
}
void SseRegVar(TAssembler& a, TSimdOpcode op, uint8_t reg, uint32_t dataIdent, uint32_t offset) {
  encRegVar(a, sse(op), reg, dataIdent, offset);
}
void SseVarReg(TAssembler& a, TSimdOpcode op, uint8_t reg, uint32_t dataIdent, uint32_t offset) {
  encRegVar(a, sse(op), reg, dataIdent, offset);
}

void MmxRegReg(TAssembler& a, TSimdOpcode op, uint8_t dst, uint8_t src) { encRegReg(a, mmx(op), dst, src); }
void MmxRegMem(TAssembler& a, TSimdOpcode op, int32_t regCount, uint8_t reg, TRegister base, TRegister index,
               int32_t disp, int32_t scale) {
  encRegMem(a, mmx(op), reg, mem(regCount, base, index, disp, scale));
}
void MmxRegVar(TAssembler& a, TSimdOpcode op, uint8_t reg, uint32_t dataIdent, uint32_t offset) {
  encRegVar(a, mmx(op), reg, dataIdent, offset);
}

// The store opcode with the source in the reg field: the same move as 0F 6F with them swapped.
void MovqRegReg(TAssembler& a, uint8_t dst, uint8_t src) { encRegReg(a, kMovqStore, src, dst); }
void MovqRegMem(TAssembler& a, int32_t regCount, uint8_t reg, TRegister base, TRegister index, int32_t disp,
                int32_t scale) {
  encRegMem(a, kMovqLoad, reg, mem(regCount, base, index, disp, scale));
}
void MovqMemReg(TAssembler& a, int32_t regCount, uint8_t reg, TRegister base, TRegister index, int32_t disp,
                int32_t scale) {
  encRegMem(a, kMovqStore, reg, mem(regCount, base, index, disp, scale));
}
void MovqRegVar(TAssembler& a, uint8_t reg, uint32_t dataIdent, uint32_t offset) {
  encRegVar(a, kMovqLoad, reg, dataIdent, offset);
}
void MovqVarReg(TAssembler& a, uint8_t reg, uint32_t dataIdent, uint32_t offset) {
  encRegVar(a, kMovqStore, reg, dataIdent, offset);
}

void MovdMmxReg32(TAssembler& a, uint8_t mm, TRegister reg) {
  checkMovdRegister(reg);
  encRegReg(a, kMovdLoad, mm, RegNum(reg));
}
void MovdReg32Mmx(TAssembler& a, TRegister reg, uint8_t mm) {
  checkMovdRegister(reg);
  encRegReg(a, kMovdStore, mm, RegNum(reg));
}
void MovdRegMem(TAssembler& a, int32_t regCount, uint8_t reg, TRegister base, TRegister index, int32_t disp,
                int32_t scale) {
  encRegMem(a, kMovdLoad, reg, mem(regCount, base, index, disp, scale));
}
void MovdMemReg(TAssembler& a, int32_t regCount, uint8_t reg, TRegister base, TRegister index, int32_t disp,
                int32_t scale) {
  encRegMem(a, kMovdStore, reg, mem(regCount, base, index, disp, scale));
}
void MovdRegVar(TAssembler& a, uint8_t reg, uint32_t dataIdent, uint32_t offset) {
  encRegVar(a, kMovdLoad, reg, dataIdent, offset);
}
void MovdVarReg(TAssembler& a, uint8_t reg, uint32_t dataIdent, uint32_t offset) {
  encRegVar(a, kMovdStore, reg, dataIdent, offset);
}

}  // namespace kelvo
