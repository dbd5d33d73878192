// Calls, jumps, RET, INT, POP, SETAE, BSWAP, the bit tests, SLDT/VERR/VERW, LAR, IN and OUT.
#include "assembler/encoders.h"
#include "assembler/form_table.h"

namespace kelvo {

// --- calls and jumps

void CallMem(TAssembler& a, TRegister base, int32_t disp) {
  TInstr in;
  in.put(0xFF);
  PutMemOperand(in, 2, BaseDisp(base, disp));
  Emit(a, in);
}

void CallReg(TAssembler& a, TRegister reg) {
  TInstr in;
  in.put(0xFF), in.put(ModRM(3, 2, RegNum(reg)));
  Emit(a, in);
}

void CallVar(TAssembler& a, uint32_t dataIdent, uint32_t offset) {
  TInstr in;
  in.put(0xFF);
  PutVarOperand(in, 2, dataIdent, offset);
  Emit(a, in);
}

// 16-bit code has a 16-bit displacement, and its fix-up says so.
void CallRel(TAssembler& a, uint32_t procIndex) {
  const int bytes = a.cpuMode == 16 ? 2 : 4;
  TInstr in;
  in.put(0xE8);
  in.fixHere(ftCall, static_cast<uint8_t>(bytes * 8), procIndex, 0);
  in.putImm(0, bytes);
  Emit(a, in);
}

void JmpReg(TAssembler& a, TRegister reg) {
  if (!Is32(reg)) EncoderError("Invalid Operand");
  TInstr in;
  in.put(0xFF), in.put(ModRM(3, 4, RegNum(reg)));
  Emit(a, in);
}

// The import thunk JMP [slot]: the slot address is image-relative until the base is added.
void EmitImportJump(TAssembler& a, uint32_t slotAddress) {
  TInstr in;
  in.put(0xFF), in.put(ModRM(0, 4, 5));
  in.fixHere(ftAppendBase, 32, 0, 0);
  in.put32(slotAddress);
  Emit(a, in);
}

void EmitRetImm(TAssembler& a, uint16_t count) {
  TInstr in;
  in.put(0xC2), in.put16(count);
  Emit(a, in);
}

void IntImm(TAssembler& a, uint8_t vector) {
  TInstr in;
  if (vector == 3) {
    in.put(0xCC);  // the one-byte breakpoint
  } else {
    in.put(0xCD), in.put(vector);
  }
  Emit(a, in);
}

// --- POP

void PopReg(TAssembler& a, TRegister reg) {
  if (Is8(reg)) EncoderError("Invalid Operand, Error Code: 43263");
  TInstr in;
  PutSizePrefix(in, RegBytes(reg));
  in.put(0x58 + RegNum(reg));
  Emit(a, in);
}

void PopSeg(TAssembler& a, TSegment seg) {
  if (seg == segCS) EncoderError("Invalid Operand");  // there is no POP CS
  static constexpr uint8_t kPopSeg[kSegmentCount][2] = {
      {0, 0}, {0x17, 0}, {0x1F, 0}, {0x07, 0}, {0x0F, 0xA1}, {0x0F, 0xA9}};
  TInstr in;
  in.put(kPopSeg[seg][0]);
  if (kPopSeg[seg][1]) in.put(kPopSeg[seg][1]);
  Emit(a, in);
}

void PopSegMem(TAssembler& a, TSegment seg, uint32_t address) {
  TInstr in;
  if (kSegment[seg].prefix) in.put(kSegment[seg].prefix);
  in.put(0x8F);
  PutMemOperand(in, 0, AbsoluteOperand(address));
  Emit(a, in);
}

void PopMem(TAssembler& a, TRegister base, int32_t disp) {
  if (!Is32(base)) EncoderError("Expected base register");
  TInstr in;
  in.put(0x8F);
  PutMemOperand(in, 0, BaseDisp(base, disp));
  Emit(a, in);
}

void PopVar(TAssembler& a, uint32_t dataIdent, uint32_t offset) {
  TInstr in;
  in.put(0x8F);
  PutVarOperand(in, 0, dataIdent, offset);
  Emit(a, in);
}

// --- system and bit instructions

void SetaeVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset) {
  if (size != 1) EncoderError("Expected 1 byte variable");
  TInstr in;
  in.put(0x0F), in.put(0x93);
  PutVarOperand(in, 0, dataIdent, offset);
  Emit(a, in);
}

void SetaeReg(TAssembler& a, TRegister reg) {
  if (!Is8(reg)) EncoderError("Expected 8bit register");
  TInstr in;
  in.put(0x0F), in.put(0x93), in.put(ModRM(3, 0, RegNum(reg)));
  Emit(a, in);
}

void BswapReg(TAssembler& a, TRegister reg) {
  if (!Is32(reg)) EncoderError("Error: 23142252");
  TInstr in;
  in.put(0x0F), in.put(0xC8 + RegNum(reg));
  Emit(a, in);
}

// The processor level is checked before the operands.
static void bitTest(TAssembler& a, TBitOp op, TRegister first, TRegister second) {
  if (CurrentCPULevel() < 386) EncoderError(kBit[op].cpuMessage);
  if (Is8(first)) EncoderError("Invalid operand - byte register");
  TInstr in;
  PutSizePrefix(in, RegBytes(first));
  in.put(0x0F), in.put(kBit[op].op);
  in.put(ModRM(3, RegNum(second), RegNum(first)));
  Emit(a, in);
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
  TInstr in;
  in.put(0x0F), in.put(0x00), in.put(ModRM(3, kSystem[op].digit, RegNum(reg)));
  Emit(a, in);
}

void SldtReg(TAssembler& a, TRegister reg) { systemReg(a, sysSldt, reg); }
void VerrReg(TAssembler& a, TRegister reg) { systemReg(a, sysVerr, reg); }
void VerwReg(TAssembler& a, TRegister reg) { systemReg(a, sysVerw, reg); }

void LarRegReg(TAssembler& a, TRegister first, TRegister second) {
  if (Is8(first)) EncoderError("Invalid operand - 8bit register");
  TInstr in;
  PutSizePrefix(in, RegBytes(first));
  in.put(0x0F), in.put(0x02), in.put(ModRM(3, RegNum(first), RegNum(second)));
  Emit(a, in);
}

// IN/OUT with an immediate port exist only for the accumulator: E4/E5 in, E6/E7 out.
static void portAcc(TAssembler& a, uint8_t op8, TRegister acc, uint8_t port) {
  if (acc != rdEAX && acc != rdAX && acc != rdAL) EncoderError("Invalid operand - expected accumulator");
  TInstr in;
  PutSizePrefix(in, RegBytes(acc));
  in.put(acc == rdAL ? op8 : op8 + 1);
  in.put(port);
  Emit(a, in);
}

void InAccImm(TAssembler& a, TRegister acc, uint8_t port) { portAcc(a, 0xE4, acc, port); }
void OutImmAcc(TAssembler& a, uint8_t port, TRegister acc) { portAcc(a, 0xE6, acc, port); }

}  // namespace kelvo
