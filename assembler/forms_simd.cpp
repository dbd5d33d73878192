// The MMX and SSE operations over their rows: every form has the mm/xmm register (or a /digit)
// in the reg field and a register, memory or variable operand in r/m.
#include <cassert>

#include "assembler/encoder_host.h"
#include "assembler/encoders_simd.h"
#include "assembler/form_encoders.h"

namespace kelvo {

namespace {

enum class TSimdSet : uint8_t { mmx, sse };

void checkSwitch(TSimdSet set) {
  if (set == TSimdSet::mmx && !MmxEnabled())
    EncoderError("MMX instruction set is disabled, please use \"#mmx on\" to enable.");
  if (set == TSimdSet::sse && !SseEnabled())
    EncoderError("SSE instruction set is disabled, please use \"#sse on\" to enable.");
}

// The rows have sizes of their own: the operand size argument of the form encoders is moot.
constexpr int kOwnSize = 4;

void regReg(TAssembler& a, TSimdSet set, TFormId form, uint8_t reg, uint8_t rm) {
  checkSwitch(set);
  assert(reg < 8 && rm < 8);
  TInstr in(a);
  PutModRMReg(in, kForms[form], kOwnSize, reg, rm);
  Emit(a, in);
}

void regLoc(TAssembler& a, TSimdSet set, TFormId form, uint8_t reg, const TLocation& loc) {
  checkSwitch(set);
  EncodeLoc(a, kForms[form], kOwnSize, reg, loc);
}

TLocation mem(int32_t regCount, TRegister base, TRegister index, int32_t disp, int32_t scale) {
  return MemLocation({regCount, base, index, disp, scale});
}

// A general register in a MOVD: only the 32-bit bank is a doubleword.
void checkMovdRegister(TRegister reg) {
  checkSwitch(TSimdSet::mmx);
  if (!Is32(reg)) EncoderError("MOVD: Register must be 32bit");
}

constexpr TSimdSet kMmx = TSimdSet::mmx;
constexpr TSimdSet kSse = TSimdSet::sse;
}  // namespace

void Sfence(TAssembler& a) {
  checkSwitch(kSse);
  TInstr in(a);
  PutRaw(in, kForms[fmSfence], kOwnSize);
  Emit(a, in);
}
void SseRegReg(TAssembler& a, TFormId f, uint8_t dst, uint8_t src) { regReg(a, kSse, f, dst, src); }
void SseRegMem(TAssembler& a, TFormId f, int32_t regCount, uint8_t reg, TRegister base, TRegister index,
               int32_t disp, int32_t scale) {
  regLoc(a, kSse, f, reg, mem(regCount, base, index, disp, scale));
}
void SseMemReg(TAssembler& a, TFormId f, int32_t regCount, uint8_t reg, TRegister base, TRegister index,
               int32_t disp, int32_t scale) {
  regLoc(a, kSse, f, reg, mem(regCount, base, index, disp, scale));
}
void SseRegVar(TAssembler& a, TFormId f, uint8_t reg, uint32_t dataIdent, uint32_t offset) {
  regLoc(a, kSse, f, reg, VarLocation(dataIdent, offset));
}
void SseVarReg(TAssembler& a, TFormId f, uint8_t reg, uint32_t dataIdent, uint32_t offset) {
  regLoc(a, kSse, f, reg, VarLocation(dataIdent, offset));
}

void MmxRegReg(TAssembler& a, TFormId f, uint8_t dst, uint8_t src) { regReg(a, kMmx, f, dst, src); }
void MmxRegMem(TAssembler& a, TFormId f, int32_t regCount, uint8_t reg, TRegister base, TRegister index,
               int32_t disp, int32_t scale) {
  regLoc(a, kMmx, f, reg, mem(regCount, base, index, disp, scale));
}
void MmxRegVar(TAssembler& a, TFormId f, uint8_t reg, uint32_t dataIdent, uint32_t offset) {
  regLoc(a, kMmx, f, reg, VarLocation(dataIdent, offset));
}

// The store row with the source in the reg field: the same move as 0F 6F with them swapped.
void MovqRegReg(TAssembler& a, uint8_t dst, uint8_t src) { regReg(a, kMmx, fmMovqMm64Mm, src, dst); }
void MovqRegMem(TAssembler& a, int32_t regCount, uint8_t reg, TRegister base, TRegister index, int32_t disp,
                int32_t scale) {
  regLoc(a, kMmx, fmMovqMmMm64, reg, mem(regCount, base, index, disp, scale));
}
void MovqMemReg(TAssembler& a, int32_t regCount, uint8_t reg, TRegister base, TRegister index, int32_t disp,
                int32_t scale) {
  regLoc(a, kMmx, fmMovqMm64Mm, reg, mem(regCount, base, index, disp, scale));
}
void MovqRegVar(TAssembler& a, uint8_t reg, uint32_t dataIdent, uint32_t offset) {
  regLoc(a, kMmx, fmMovqMmMm64, reg, VarLocation(dataIdent, offset));
}
void MovqVarReg(TAssembler& a, uint8_t reg, uint32_t dataIdent, uint32_t offset) {
  regLoc(a, kMmx, fmMovqMm64Mm, reg, VarLocation(dataIdent, offset));
}

void MovdMmxReg32(TAssembler& a, uint8_t mm, TRegister reg) {
  checkMovdRegister(reg);
  regReg(a, kMmx, fmMovdMmRm32, mm, RegNum(reg));
}
void MovdReg32Mmx(TAssembler& a, TRegister reg, uint8_t mm) {
  checkMovdRegister(reg);
  regReg(a, kMmx, fmMovdRm32Mm, mm, RegNum(reg));
}
void MovdRegMem(TAssembler& a, int32_t regCount, uint8_t reg, TRegister base, TRegister index, int32_t disp,
                int32_t scale) {
  regLoc(a, kMmx, fmMovdMmRm32, reg, mem(regCount, base, index, disp, scale));
}
void MovdMemReg(TAssembler& a, int32_t regCount, uint8_t reg, TRegister base, TRegister index, int32_t disp,
                int32_t scale) {
  regLoc(a, kMmx, fmMovdRm32Mm, reg, mem(regCount, base, index, disp, scale));
}
void MovdRegVar(TAssembler& a, uint8_t reg, uint32_t dataIdent, uint32_t offset) {
  regLoc(a, kMmx, fmMovdMmRm32, reg, VarLocation(dataIdent, offset));
}
void MovdVarReg(TAssembler& a, uint8_t reg, uint32_t dataIdent, uint32_t offset) {
  regLoc(a, kMmx, fmMovdRm32Mm, reg, VarLocation(dataIdent, offset));
}

}  // namespace kelvo
