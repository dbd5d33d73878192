// The integer encoder operations, one per instruction and operand form.
//
// Each takes the procedure's code buffer first, checks its operands (a bad one is reported
// through the encoder's host, encoder_host.h, before any byte is emitted), records the fix-ups
// it needs and appends the whole instruction at once, encoded from its row of the form table. Names say mnemonic and operand forms:
//   Reg a register (its bank is the size)   Imm an immediate      Seg a segment register
//   Mem [base + index*scale + disp]          Var a global data item (ftDataAddress fix-up)
//   Local [EBP + disp]                       Rel a relative call   Acc the accumulator
// Sizes of memory and variable forms are byte counts.
//
// Where each lives: moves and arithmetic in moves_arith.cpp; calls, jumps, stack and system
// instructions in control_stack.cpp; compare, logic, shifts, inc/dec, xchg and movzx in
// compare_logic.cpp; the rows in form_rows_*.h, read through form_table.h and encoded by
// form_encoders.h; the choices between short and full forms in short_forms.h; memory operands
// in memory_operand.h; the buffer, fix-ups and label jumps in code_buffer.h.
#pragma once

#include <array>
#include <cstdint>

#include "assembler/code_buffer.h"
#include "assembler/instruction.h"
#include "assembler/memory_operand.h"

namespace kelvo {

// --- PUSH
void PushMem(TAssembler& a, int32_t regCount, int32_t size, TRegister base, TRegister index, int32_t disp,
             int32_t scale);
void PushVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset);
void PushImm(TAssembler& a, int32_t size, int32_t imm, TFixType fix, uint32_t fixOffset);
void PushSeg(TAssembler& a, TSegment seg, uint32_t address);
void PushReg(TAssembler& a, TRegister reg);

// --- ADD and SUB
void AddMemImm(TAssembler& a, int32_t regCount, int32_t size, int32_t imm, TRegister base, TRegister index,
               int32_t disp, int32_t scale, TFixType fix);
void SubMemImm(TAssembler& a, int32_t regCount, int32_t size, int32_t imm, TRegister base, TRegister index,
               int32_t disp, int32_t scale, TFixType fix);
void AddVarImm(TAssembler& a, int32_t size, uint32_t dataIdent, int64_t imm, uint32_t offset, TFixType fix,
               uint32_t fixIndex);
void SubVarImm(TAssembler& a, int32_t size, uint32_t dataIdent, int64_t imm, uint32_t offset, TFixType fix,
               uint32_t fixIndex);
void AddMemReg(TAssembler& a, int32_t regCount, TRegister reg, TRegister base, TRegister index, int32_t disp,
               int32_t scale);
void SubMemReg(TAssembler& a, int32_t regCount, TRegister reg, TRegister base, TRegister index, int32_t disp,
               int32_t scale);
void AddRegMem(TAssembler& a, int32_t regCount, TRegister reg, TRegister base, TRegister index, int32_t disp,
               int32_t scale);
void SubRegMem(TAssembler& a, int32_t regCount, TRegister reg, TRegister base, TRegister index, int32_t disp,
               int32_t scale);
void AddVarReg(TAssembler& a, uint32_t dataIdent, TRegister reg, uint32_t offset);
void SubVarReg(TAssembler& a, uint32_t dataIdent, TRegister reg, uint32_t offset);
void AddRegVar(TAssembler& a, uint32_t dataIdent, TRegister reg, uint32_t offset);
void SubRegVar(TAssembler& a, uint32_t dataIdent, TRegister reg, uint32_t offset);
void AddRegImm(TAssembler& a, TRegister reg, int32_t imm, TFixType fix);
void SubRegImm(TAssembler& a, TRegister reg, int32_t imm, TFixType fix);
void AddRegReg(TAssembler& a, TRegister dst, TRegister src);
void SubRegReg(TAssembler& a, TRegister dst, TRegister src);

// --- LEA, AND, CMOVZ, IMUL, IDIV, DIV
void LeaRegVar(TAssembler& a, TRegister reg, uint32_t value, TFixType fix, uint32_t fixOffset);
void LeaRegMem(TAssembler& a, int32_t regCount, TRegister reg, TRegister base, TRegister index, int32_t disp,
               int32_t scale);
void AndRegReg(TAssembler& a, TRegister dst, TRegister src);
void AndRegImm(TAssembler& a, TRegister reg, int32_t imm);
void CmovzRegReg(TAssembler& a, TRegister dst, TRegister src);
void ImulRegImm(TAssembler& a, TRegister reg, int32_t imm);
void IdivReg(TAssembler& a, TRegister reg);
void DivReg(TAssembler& a, TRegister reg);

// --- MOV
void MovVarImm(TAssembler& a, int32_t size, uint32_t dataIdent, int64_t imm, uint32_t offset, TFixType fix,
               uint32_t fixIndex);
void MovMemImm(TAssembler& a, int32_t regCount, int32_t size, int32_t imm, TRegister base, TRegister index,
               int32_t disp, int32_t scale, TFixType fix);
void MovVarReg(TAssembler& a, uint32_t dataIdent, TRegister reg, uint32_t offset);
void MovRegVar(TAssembler& a, uint32_t dataIdent, TRegister reg, uint32_t offset);
void MovMemReg(TAssembler& a, int32_t regCount, TRegister reg, TRegister base, TRegister index, int32_t disp,
               int32_t scale);
void MovRegMem(TAssembler& a, int32_t regCount, TRegister reg, TRegister base, TRegister index, int32_t disp,
               int32_t scale);
void MovSegMemReg(TAssembler& a, TSegment seg, uint32_t address, TRegister reg);
void MovSegReg(TAssembler& a, TSegment seg, TRegister reg);
void MovRegReg(TAssembler& a, TRegister dst, TRegister src);
void MovRegImm(TAssembler& a, TRegister reg, int32_t imm, TFixType fix);

// --- calls and jumps
void CallMem(TAssembler& a, TRegister base, int32_t disp);
void CallReg(TAssembler& a, TRegister reg);
void CallVar(TAssembler& a, uint32_t dataIdent, uint32_t offset);
void CallRel(TAssembler& a, uint32_t procIndex);
void JmpReg(TAssembler& a, TRegister reg);
void EmitImportJump(TAssembler& a, uint32_t slotAddress);
void EmitRetImm(TAssembler& a, uint16_t count);
// The area the encoder leaves for a label jump: room for its longest form.
inline constexpr uint32_t kLabelJumpArea = 6;
// Writes a label jump in the form LabelJumpForm gives, with the displacement counted from its
// end, into the six-byte area left for it; NOPs fill the rest of the area.
void WriteLabelJump(uint8_t* area, int form, int32_t rel);
// Each label jump form is built once from its row; the layout asks for them several times
// per jump. Rows: the condition codes 0..15, JMP, JECXZ; columns: near and short in 32-bit
// code, then in 16-bit code.
inline constexpr int kLabelJumpForms = 18 * 4;
inline int LabelJumpForm(uint16_t kind, bool shortForm, uint16_t mode) {
  assert(kind < 16 || kind == kJumpAlways || kind == kJumpEcxZero);
  const int row = kind < 16 ? kind : kind == kJumpAlways ? 16 : 17;
  return row * 4 + (shortForm ? 1 : 0) + (mode == 16 ? 2 : 0);
}
extern const std::array<uint8_t, kLabelJumpForms> kLabelJumpSizes;  // by LabelJumpForm
inline uint32_t LabelJumpSize(uint16_t kind, bool shortForm, uint16_t mode) {
  return kLabelJumpSizes[LabelJumpForm(kind, shortForm, mode)];
}
void IntImm(TAssembler& a, uint8_t vector);

// --- POP
void PopReg(TAssembler& a, TRegister reg);
void PopSeg(TAssembler& a, TSegment seg);
void PopSegMem(TAssembler& a, TSegment seg, uint32_t address);
void PopMem(TAssembler& a, TRegister base, int32_t disp);
void PopVar(TAssembler& a, uint32_t dataIdent, uint32_t offset);

// --- system and bit instructions
void SetaeVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset);
void SetaeReg(TAssembler& a, TRegister reg);
void BswapReg(TAssembler& a, TRegister reg);
void BtRegReg(TAssembler& a, TRegister first, TRegister second);
void BtcRegReg(TAssembler& a, TRegister first, TRegister second);
void BtrRegReg(TAssembler& a, TRegister first, TRegister second);
void BtsRegReg(TAssembler& a, TRegister first, TRegister second);
void SldtReg(TAssembler& a, TRegister reg);
void VerrReg(TAssembler& a, TRegister reg);
void VerwReg(TAssembler& a, TRegister reg);
void LarRegReg(TAssembler& a, TRegister first, TRegister second);
void InAccImm(TAssembler& a, TRegister acc, uint8_t port);
void OutImmAcc(TAssembler& a, uint8_t port, TRegister acc);

// --- CMP
void CmpMemImm(TAssembler& a, int32_t size, TRegister base, int32_t imm, int32_t disp);
void CmpMemReg(TAssembler& a, TRegister base, TRegister reg, int32_t disp);
void CmpVarImm(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset, int32_t imm);
// direction 1: CMP reg, [item]; otherwise CMP [item], reg. The same for CmpLocalReg.
void CmpVarReg(TAssembler& a, int32_t direction, TRegister reg, uint32_t dataIdent, uint32_t offset);
void CmpLocalImm(TAssembler& a, int32_t size, int32_t disp, int32_t imm);
void CmpLocalReg(TAssembler& a, int32_t direction, TRegister reg, int32_t disp);
void CmpRegReg(TAssembler& a, TRegister first, TRegister second);
// kind 0: CMP reg, imm; kind 1, 2, 4: CMP size [reg], imm.
void CmpRegImm(TAssembler& a, TRegister reg, int32_t kind, int32_t imm);
void CmpBaseIndexImm(TAssembler& a, TRegister base, TRegister index, int32_t imm, int32_t size);

// --- TEST, XOR, OR, ADC, NOT, NEG, MUL
void TestRegImm(TAssembler& a, TRegister reg, int32_t imm);
void TestRegReg(TAssembler& a, TRegister first, TRegister second);
void TestMemReg(TAssembler& a, TRegister reg, TRegister base);
void XorRegImm(TAssembler& a, TRegister reg, int32_t imm);
void XorRegReg(TAssembler& a, TRegister first, TRegister second);
void XorRegMem(TAssembler& a, TRegister reg, TRegister base, int32_t disp, TRegister index, int32_t scale = 0);
void OrRegReg(TAssembler& a, TRegister first, TRegister second);
void AdcRegReg(TAssembler& a, TRegister first, TRegister second);
void NotReg(TAssembler& a, TRegister reg);
void NegReg(TAssembler& a, TRegister reg);
void MulReg(TAssembler& a, TRegister reg);

// --- INC and DEC
void IncReg(TAssembler& a, TRegister reg);
void DecReg(TAssembler& a, TRegister reg);
void IncLocal(TAssembler& a, int32_t size, int32_t disp);
void DecLocal(TAssembler& a, int32_t size, int32_t disp);
void IncVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset);
void DecVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset);

// --- rotates and shifts by an immediate count
void RolRegImm(TAssembler& a, TRegister reg, uint8_t count);
void RorRegImm(TAssembler& a, TRegister reg, uint8_t count);
void ShlRegImm(TAssembler& a, TRegister reg, uint8_t count);
void SalRegImm(TAssembler& a, TRegister reg, uint8_t count);
void ShrRegImm(TAssembler& a, TRegister reg, uint8_t count);
void SarRegImm(TAssembler& a, TRegister reg, uint8_t count);
void SarMemImm(TAssembler& a, int32_t size, const TMemOperand& m, uint8_t count);

// --- XCHG and MOVZX
void XchgRegReg(TAssembler& a, TRegister first, TRegister second);
void XchgRegLocal(TAssembler& a, TRegister reg, int32_t disp);
void XchgRegVar(TAssembler& a, TRegister reg, uint32_t dataIdent, uint32_t offset);
void MovzxRegVar(TAssembler& a, TRegister reg, uint32_t dataIdent, uint32_t offset, int32_t sourceBits);

// --- whole memory operands for the instruction statements
void CmpMemOperandImm(TAssembler& a, int32_t size, const TMemOperand& m, int32_t imm);
void CallMemOperand(TAssembler& a, const TMemOperand& m);
void IncMem(TAssembler& a, int32_t size, const TMemOperand& m);
void DecMem(TAssembler& a, int32_t size, const TMemOperand& m);

}  // namespace kelvo
