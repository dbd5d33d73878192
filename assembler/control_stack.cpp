// Calls, jumps, RET, INT, POP, SETAE, BSWAP, the bit tests, SLDT/VERR/VERW, LAR, IN and OUT.
#include "assembler/encoders.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <iterator>

#include "assembler/form_encoders.h"

namespace kelvo {

// --- calls and jumps

void CallMem(TAssembler& a, TRegister base, int32_t disp) {
  EncodeLoc(a, kForms[fmCallRm32], 4, 0, MemLocation(BaseDisp(base, disp)));
}

void CallReg(TAssembler& a, TRegister reg) { EncodeReg(a, kForms[fmCallRm32], reg); }

void CallVar(TAssembler& a, uint32_t dataIdent, uint32_t offset) {
  EncodeLoc(a, kForms[fmCallRm32], 4, 0, VarLocation(dataIdent, offset));
}

// 16-bit code has a 16-bit displacement, and its fix-up says so. Written out: the field is
// relative to the end of the instruction and only the link step knows the target.
void CallRel(TAssembler& a, uint32_t procIndex) {
  const int bytes = a.cpuMode == 16 ? 2 : 4;
  TInstr in(a);
  in.put(0xE8);
  in.fixHere(ftCall, static_cast<uint8_t>(bytes * 8), procIndex, 0);
  in.putImm(0, bytes);
  Emit(a, in);
}

void JmpReg(TAssembler& a, TRegister reg) {
  if (!Is32(reg)) EncoderError("Invalid Operand");
  EncodeReg(a, kForms[fmJmpRm32], reg);
}

// The import thunk JMP [slot]: the slot address is image-relative until the base is added.
void EmitImportJump(TAssembler& a, uint32_t slotAddress) {
  TInstr in(a);
  PutOpcode(in, kForms[fmJmpRm32], 4, 0, 0, true);
  PutAbsoluteFixOperand(in, RegField(kForms[fmJmpRm32], 0), slotAddress, ftAppendBase, 0, 0);
  Emit(a, in);
}

void EmitRetImm(TAssembler& a, uint16_t count) {
  TInstr in(a);
  PutRaw(in, kForms[fmRetImm], 4);
  PutImmediate(in, kForms[fmRetImm], 4, count);
  Emit(a, in);
}

static const TForm& jumpRow(uint16_t kind, bool shortForm) {
  if (kind == kJumpAlways) return kForms[shortForm ? fmJmpRel8 : fmJmpRel];
  if (kind == kJumpEcxZero) return kForms[fmJecxzRel8];  // JECXZ has no near form
  return kForms[shortForm ? kJccForms[kind].short8 : kJccForms[kind].near];
}

namespace {

// Every label jump form with a zero displacement, built once from its row; the displacement
// is the form's last field, relWidth bytes wide. `area` is the form followed by NOPs, as it
// fills the area left for it.
struct TJumpTemplate {
  TInstr bytes;
  uint8_t relWidth = 0;
  uint8_t area[kLabelJumpArea];
};

TJumpTemplate jumpTemplate(uint16_t kind, bool shortForm, uint16_t mode) {
  const TForm& f = jumpRow(kind, shortForm);
  const int bytes = mode == 16 ? 2 : 4;
  TJumpTemplate t;
  t.bytes.mode = mode;
  PutRaw(t.bytes, f, bytes);
  const uint8_t before = t.bytes.n;
  PutImmediate(t.bytes, f, bytes, 0);
  t.relWidth = static_cast<uint8_t>(t.bytes.n - before);
  assert(t.bytes.n <= kLabelJumpArea);
  std::fill(std::begin(t.area), std::end(t.area), uint8_t{0x90});
  std::copy_n(t.bytes.b, t.bytes.n, t.area);
  return t;
}

const std::array<TJumpTemplate, kLabelJumpForms> kJumpTemplates = [] {
  std::array<TJumpTemplate, kLabelJumpForms> forms{};
  for (int row = 0; row < kLabelJumpForms / 4; ++row) {
    const uint16_t kind = row < 16 ? static_cast<uint16_t>(row) : row == 16 ? kJumpAlways : kJumpEcxZero;
    for (int column = 0; column < 4; ++column)
      forms[row * 4 + column] = jumpTemplate(kind, column & 1, column & 2 ? 16 : 32);
  }
  return forms;
}();

}  // namespace

const std::array<uint8_t, kLabelJumpForms> kLabelJumpSizes = [] {
  std::array<uint8_t, kLabelJumpForms> sizes{};
  for (int i = 0; i < kLabelJumpForms; ++i) sizes[i] = kJumpTemplates[i].bytes.n;
  return sizes;
}();

void WriteLabelJump(uint8_t* area, int form, int32_t rel) {
  const TJumpTemplate& t = kJumpTemplates[form];
  std::memcpy(area, t.area, kLabelJumpArea);
  uint8_t* field = area + t.bytes.n - t.relWidth;
  const auto v = static_cast<uint32_t>(rel);
  field[0] = static_cast<uint8_t>(v);
  if (t.relWidth == 1) return;
  field[1] = static_cast<uint8_t>(v >> 8);
  if (t.relWidth == 2) return;
  field[2] = static_cast<uint8_t>(v >> 16);
  field[3] = static_cast<uint8_t>(v >> 24);
}

void IntImm(TAssembler& a, uint8_t vector) {
  TInstr in(a);
  if (vector == 3) {
    PutRaw(in, kForms[fmInt3], 4);  // the one-byte breakpoint
  } else {
    PutRaw(in, kForms[fmIntImm], 4);
    PutImmediate(in, kForms[fmIntImm], 4, vector);
  }
  Emit(a, in);
}

// --- POP

void PopReg(TAssembler& a, TRegister reg) {
  if (Is8(reg)) EncoderError("Invalid Operand, Error Code: 43263");
  EncodeReg(a, kForms[fmPopR], reg);
}

void PopSeg(TAssembler& a, TSegment seg) {
  if (seg == segCS) EncoderError("Invalid Operand");  // there is no POP CS
  static constexpr TFormId kPopSeg[kSegmentCount] = {fmPopSs /* unused */, fmPopSs, fmPopDs,
                                                      fmPopEs, fmPopFs, fmPopGs};
  TInstr in(a);
  PutRaw(in, kForms[kPopSeg[seg]], 4);
  Emit(a, in);
}

void PopSegMem(TAssembler& a, TSegment seg, uint32_t address) {
  TLocation loc = MemLocation(AbsoluteOperand(address));
  loc.segPrefix = static_cast<int8_t>(seg);
  EncodeLoc(a, kForms[fmPopRm], 4, 0, loc);
}

void PopMem(TAssembler& a, TRegister base, int32_t disp) {
  if (!Is32(base)) EncoderError("Expected base register");
  EncodeLoc(a, kForms[fmPopRm], 4, 0, MemLocation(BaseDisp(base, disp)));
}

void PopVar(TAssembler& a, uint32_t dataIdent, uint32_t offset) {
  EncodeLoc(a, kForms[fmPopRm], 4, 0, VarLocation(dataIdent, offset));
}

// --- system and bit instructions

void SetaeVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset) {
  if (size != 1) EncoderError("Expected 1 byte variable");
  EncodeLoc(a, kForms[fmSetaeRm8], 1, 0, VarLocation(dataIdent, offset));
}

void SetaeReg(TAssembler& a, TRegister reg) {
  if (!Is8(reg)) EncoderError("Expected 8bit register");
  EncodeReg(a, kForms[fmSetaeRm8], reg);
}

void BswapReg(TAssembler& a, TRegister reg) {
  if (!Is32(reg)) EncoderError("Error: 23142252");
  EncodeReg(a, kForms[fmBswapR32], reg);
}

// The processor level is checked before the operands.
static void bitTest(TAssembler& a, TBitOp op, TRegister first, TRegister second) {
  if (CurrentCPULevel() < 386) EncoderError(kBit[op].cpuMessage);
  if (Is8(first)) EncoderError("Invalid operand - byte register");
  EncodeRegReg(a, kForms[kBit[op].form], first, second);
}

void BtRegReg(TAssembler& a, TRegister first, TRegister second) { bitTest(a, btBt, first, second); }
void BtcRegReg(TAssembler& a, TRegister first, TRegister second) { bitTest(a, btBtc, first, second); }
void BtrRegReg(TAssembler& a, TRegister first, TRegister second) { bitTest(a, btBtr, first, second); }
void BtsRegReg(TAssembler& a, TRegister first, TRegister second) { bitTest(a, btBts, first, second); }

// 0F 00 /digit with a word register and no 66: the selector lands in the register's low word.
static void systemReg(TAssembler& a, TSystemOp op, TRegister reg) {
  if (CurrentCPULevel() < 286) EncoderError(kSystem[op].cpuMessage);
  if (Is32(reg)) EncoderError("Invalid operand - 32bit register");
  if (Is8(reg)) EncoderError("Invalid operand - 8bit register");
  EncodeReg(a, kForms[kSystem[op].form], reg);
}

void SldtReg(TAssembler& a, TRegister reg) { systemReg(a, sysSldt, reg); }
void VerrReg(TAssembler& a, TRegister reg) { systemReg(a, sysVerr, reg); }
void VerwReg(TAssembler& a, TRegister reg) { systemReg(a, sysVerw, reg); }

void LarRegReg(TAssembler& a, TRegister first, TRegister second) {
  if (Is8(first)) EncoderError("Invalid operand - 8bit register");
  EncodeRegReg(a, kForms[fmLarRRm], first, second);
}

// IN/OUT with an immediate port exist only for the accumulator.
static void portAcc(TAssembler& a, TFormId form, TRegister acc, uint8_t port) {
  if (acc != rdEAX && acc != rdAX && acc != rdAL) EncoderError("Invalid operand - expected accumulator");
  EncodeRegImm(a, kForms[form], acc, port);
}

void InAccImm(TAssembler& a, TRegister acc, uint8_t port) { portAcc(a, fmInAccImm, acc, port); }
void OutImmAcc(TAssembler& a, uint8_t port, TRegister acc) { portAcc(a, fmOutImmAcc, acc, port); }

}  // namespace kelvo
