// The regular integer instruction families as data, and the few form encoders that serve them.
//
// The named encoder operations (encoders.h) are thin entries over these rows. What does not fit
// a row (accumulator and moffs short forms, segment prefixes, the 64-bit splits, fix-up
// immediates) is written out in the operation itself with a comment saying why.
#pragma once

#include <cstdint>

#include "assembler/instruction.h"
#include "assembler/memory_operand.h"

namespace kelvo {

// The eight arithmetic/logic operations share one opcode layout: for row base B,
//   B+0 r/m8,r8   B+1 r/m,r   B+2 r8,r/m8   B+3 r,r/m   B+4 AL,ib   B+5 eAX,iz
// and the immediate group 80 (r/m8,ib) 81 (r/m,iz) 83 (r/m,ib sign-extended) with /digit.
struct TAluRow {
  const char* mnemonic;
  uint8_t base;
  uint8_t digit;
};
enum TAluOp : uint8_t { aluAdd, aluOr, aluAdc, aluSbb, aluAnd, aluSub, aluXor, aluCmp };
inline constexpr TAluRow kAlu[8] = {
    {"add", 0x00, 0}, {"or", 0x08, 1},  {"adc", 0x10, 2}, {"sbb", 0x18, 3},
    {"and", 0x20, 4}, {"sub", 0x28, 5}, {"xor", 0x30, 6}, {"cmp", 0x38, 7},
};

// One-operand forms: opcode for byte operands, opcode for word/dword operands, /digit.
struct TGroupRow {
  const char* mnemonic;
  uint8_t op8;
  uint8_t op;
  uint8_t digit;
};
inline constexpr TGroupRow kNot = {"not", 0xF6, 0xF7, 2};
inline constexpr TGroupRow kNeg = {"neg", 0xF6, 0xF7, 3};
inline constexpr TGroupRow kMul = {"mul", 0xF6, 0xF7, 4};
inline constexpr TGroupRow kDiv = {"div", 0xF6, 0xF7, 6};
inline constexpr TGroupRow kIdiv = {"idiv", 0xF6, 0xF7, 7};
inline constexpr TGroupRow kIncRM = {"inc", 0xFE, 0xFF, 0};
inline constexpr TGroupRow kDecRM = {"dec", 0xFE, 0xFF, 1};
inline constexpr TGroupRow kMovImm = {"mov", 0xC6, 0xC7, 0};

// The immediate group of an arithmetic row: 80 /digit ib, 81 /digit iz.
constexpr TGroupRow AluGroup(TAluOp alu) { return {kAlu[alu].mnemonic, 0x80, 0x81, kAlu[alu].digit}; }

// Rotates and shifts by an immediate: D0/D1 for a count of 1, C0/C1 ib otherwise.
enum TShiftOp : uint8_t { shRol, shRor, shShl, shSal, shShr, shSar };
inline constexpr TGroupRow kShift[6] = {
    {"rol", 0xC0, 0xC1, 0}, {"ror", 0xC0, 0xC1, 1}, {"shl", 0xC0, 0xC1, 4},
    {"sal", 0xC0, 0xC1, 4}, {"shr", 0xC0, 0xC1, 5}, {"sar", 0xC0, 0xC1, 7},
};

// Bit tests, register by register: 0F op, ModRM C0 + second·8 + first. Need a 386.
struct TBitRow {
  const char* cpuMessage;
  uint8_t op;
};
enum TBitOp : uint8_t { btBt, btBtc, btBtr, btBts };
inline constexpr TBitRow kBit[4] = {
    {"Instruction \"BT\" is not available on current CPU mode.", 0xA3},
    {"Instruction \"BTC\" is not available on current CPU mode.", 0xBB},
    {"Instruction \"BTR\" is not available on current CPU mode.", 0xB3},
    {"Instruction \"BTS\" is not available on current CPU mode.", 0xAB},
};

// Descriptor-table group 0F 00 /digit on a 16-bit register. Need a 286.
struct TSystemRow {
  const char* cpuMessage;
  uint8_t digit;
};
enum TSystemOp : uint8_t { sysSldt, sysVerr, sysVerw };
inline constexpr TSystemRow kSystem[3] = {
    {"Instruction \"SLDT\" is not available on current CPU mode.", 0},
    {"Instruction \"VERR\" is not available on current CPU mode.", 4},
    {"Instruction \"VERW\" is not available on current CPU mode.", 5},
};

// Segment registers: override prefix (0 for DS, which is the default) and ModRM number.
struct TSegmentRow {
  uint8_t prefix;
  uint8_t number;
};
inline constexpr TSegmentRow kSegment[kSegmentCount] = {
    /* CS */ {0x2E, 1}, /* SS */ {0x36, 2}, /* DS */ {0x00, 3},
    /* ES */ {0x26, 0}, /* FS */ {0x64, 4}, /* GS */ {0x65, 5},
};

// --- operand size
constexpr bool Is32(TRegister r) { return r < rdAX; }
constexpr bool Is16(TRegister r) { return r >= rdAX && r < rdAL; }
constexpr bool Is8(TRegister r) { return r >= rdAL; }
constexpr int RegBytes(TRegister r) { return Is32(r) ? 4 : (Is16(r) ? 2 : 1); }
// 66 for word operands, emitted whatever the procedure's bit mode is.
inline void PutSizePrefix(TInstr& in, int bytes) {
  if (bytes == 2) in.put(0x66);
}
// 66 for word operands unless the procedure is 16-bit code (the Prefix16 rule).
inline void PutModePrefix(TInstr& in, const TAssembler& a, int bytes) {
  if (bytes == 2 && a.cpuMode != 16) in.put(0x66);
}
inline uint8_t Sized(uint8_t op8, uint8_t op, int bytes) { return bytes == 1 ? op8 : op; }

// --- form encoders
// [66] op ModRM(11, reg, rm): every register-to-register form; the size is `reg`'s unless given.
void EncRegReg(TAssembler& a, uint8_t op8, uint8_t op, TRegister reg, TRegister rm);
void EncRegRegSized(TAssembler& a, int bytes, uint8_t op8, uint8_t op, TRegister reg, TRegister rm);
// [66] op ModRM(11, /digit, reg): one-operand register forms.
void EncGroupReg(TAssembler& a, const TGroupRow& row, TRegister reg);
// [66] op + memory operand, register in the reg field.
void PutRegMem(TInstr& in, uint8_t op8, uint8_t op, TRegister reg, const TMemOperand& m);
// [66] op ModRM(00, reg, 101) disp32 with the data fix-up: register and global data item.
void PutVarReg(TInstr& in, uint8_t op8, uint8_t op, TRegister reg, uint32_t dataIdent, uint32_t offset);
// ALU register, immediate: 83 ib when it fits, else the accumulator form, else 81/80.
void EncAluRegImm(TAssembler& a, TAluOp alu, TRegister reg, int32_t imm);
// Memory destinations take the full-width immediate (80/81, C6/C7 ... iz); a fix-up kind
// other than ftNone is noted at the immediate.
void PutGroupMemImm(TInstr& in, const TGroupRow& row, int bytes, const TMemOperand& m, uint32_t imm,
                    TFixType fix = ftNone, uint32_t fixIndex = 0, uint32_t fixOffset = 0);
// The same on a global data item (ModRM 05 + disp32 with its data fix-up).
void PutGroupVarImm(TInstr& in, const TGroupRow& row, int bytes, uint32_t dataIdent, uint32_t offset,
                    uint32_t imm, TFixType fix = ftNone, uint32_t fixIndex = 0);
// Compare-style memory, immediate: 83 /digit ib when `shortImm` (word and dword only).
void PutAluMemImm(TInstr& in, TAluOp alu, int bytes, const TMemOperand& m, int32_t imm, bool shortImm);
void PutAluVarImm(TInstr& in, TAluOp alu, int bytes, uint32_t dataIdent, uint32_t offset, int32_t imm,
                  bool shortImm);

}  // namespace kelvo
