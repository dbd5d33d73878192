// The table of instruction forms: one row per form, read by a handful of form encoders
// (form_encoders.h) that every named encoder operation goes through.
//
// How to add a form
//   1. Add one row to the row list of its family: form_rows_integer.h, form_rows_x87.h or
//      form_rows_simd.h. A row is
//        F(Id, "mnemonic", "operand classes", "encoding", rule)
//      written as the processor manual writes it:
//        F(AddRmImm8, "add",   "r/m, imm8s",   "83 /0 ib",    frNone)
//        F(FaddM32,   "fadd",  "m32",          "D8 /0",       frNone)
//        F(FaddSt0Sti, "fadd", "st(0), st(i)", "D8 C0+i",     frNone)
//        F(AddssXmm,  "addss", "xmm, xmm/m32", "F3 0F 58 /r", frNone)
//      Operand classes (form_row.h has the full list): r r8 r16 r32, r/m r/m8 r/m16 r/m32 r32/m16,
//      m m8 m16 m32 m64 m80 m128, moffs, imm imm8 imm8s imm16 imm32, rel8 rel, acc 1 cl dx ax, sreg,
//      cs ss ds es fs gs,
//      st(0) st(i), mm mm/m32 mm/m64, xmm xmm/m32 xmm/m64 xmm/m128. Plain r, r/m, m, imm and
//      acc take the instruction's operand size; the others have their own.
//      Encoding: opcode bytes in hex (mandatory prefixes such as 9B, 66, F2, F3 included),
//      then "+r" or "+i" (number added to the last byte), "/r" (register in the reg field,
//      the r/m operand in r/m) or "/0".."/7" (digit in the reg field), then "ib", "iw", "id"
//      or "iz" (immediate of the operand size), or "cb" / "cz" for a jump's displacement. The
//      rule is frNone, frByte (byte operands too, through the opcode's w bit), frOnlyByte, or
//      frWord / frDword for a form that names its operand size itself (lodsw, cwde, bswap r32).
//      The row is checked when the compiler reads it: a misspelt class or encoding does not
//      build. Where forms of one mnemonic overlap, put the shortest first.
//   2. Add one line to tests/assembler/forms.list with an instruction that takes the form
//      (scripts/forms_list.py adds its bytes from GNU as); the forms test encodes every line
//      with this table and checks that every row has a line.
//   3. A named operation (encoders.h) is then one line over the row (form_encoders.h), e.g.
//        EncodeLoc(a, kForms[fmFaddM32], 4, 0, VarLocation(dataIdent, offset));   // D8 05 [var]
//        EncodeLoc(a, kForms[fmAddssXmm], 4, xmm, MemLocation({regCount, base, index, disp, scale}));
//      and for registers PutModRMReg / PutPlusReg with the register's number (st(i), mm and
//      xmm numbers 0..7 as they are) into a TInstr, then Emit. Memory operands are TLocation
//      (location.h): a global data item with its fix-up, or [base + index*scale + disp].
//
// What does not fit a row is written out once in the operation that needs it, with a
// comment saying why: choosing between the short and the full forms, jump relaxation,
// fix-up immediates, the 64-bit splits, and forms kept deliberately longer.
#pragma once

#include <cstdint>

#include "assembler/form_row.h"
#include "assembler/form_rows_integer.h"
#include "assembler/form_rows_plain.h"
#include "assembler/form_rows_simd.h"
#include "assembler/form_rows_x87.h"
#include "assembler/instruction.h"
#include "assembler/memory_operand.h"

namespace kelvo {

#define KELVO_FORMS(F) KELVO_FORMS_INTEGER(F) KELVO_FORMS_PLAIN(F) KELVO_FORMS_X87(F) KELVO_FORMS_SIMD(F)

// fmAddRmImm8, fmFaddM32, ...: a row's position in kForms.
enum TFormId : uint16_t {
#define KELVO_FORM_ID(id, mnemonic, operands, encoding, rule) fm##id,
  KELVO_FORMS(KELVO_FORM_ID)
#undef KELVO_FORM_ID
  kFormCount
};

inline constexpr TForm kForms[kFormCount] = {
#define KELVO_FORM_ROW(id, mnemonic, operands, encoding, rule) MakeForm(mnemonic, operands, encoding, rule),
    KELVO_FORMS(KELVO_FORM_ROW)
#undef KELVO_FORM_ROW
};

// The eight arithmetic/logic operations by family, for the operations that take one of them
// as an argument (TAluOp): their five rows each.
enum TAluOp : uint8_t { aluAdd, aluOr, aluAdc, aluSbb, aluAnd, aluSub, aluXor, aluCmp };
struct TAluForms {
  TFormId rmImm8, accImm, rmImm, rmReg, regRm;
};
inline constexpr TAluForms kAluForms[8] = {
    {fmAddRmImm8, fmAddAccImm, fmAddRmImm, fmAddRmR, fmAddRRm},
    {fmOrRmImm8, fmOrAccImm, fmOrRmImm, fmOrRmR, fmOrRRm},
    {fmAdcRmImm8, fmAdcAccImm, fmAdcRmImm, fmAdcRmR, fmAdcRRm},
    {fmSbbRmImm8, fmSbbAccImm, fmSbbRmImm, fmSbbRmR, fmSbbRRm},
    {fmAndRmImm8, fmAndAccImm, fmAndRmImm, fmAndRmR, fmAndRRm},
    {fmSubRmImm8, fmSubAccImm, fmSubRmImm, fmSubRmR, fmSubRRm},
    {fmXorRmImm8, fmXorAccImm, fmXorRmImm, fmXorRmR, fmXorRRm},
    {fmCmpRmImm8, fmCmpAccImm, fmCmpRmImm, fmCmpRmR, fmCmpRRm},
};

// Rotates and shifts by an immediate: the count-1 row and the imm8 row.
enum TShiftOp : uint8_t { shRol, shRor, shShl, shSal, shShr, shSar };
struct TShiftForms {
  TFormId byOne, byImm;
};
inline constexpr TShiftForms kShiftForms[6] = {
    {fmRolRm1, fmRolRmImm}, {fmRorRm1, fmRorRmImm}, {fmShlRm1, fmShlRmImm},
    {fmSalRm1, fmSalRmImm}, {fmShrRm1, fmShrRmImm}, {fmSarRm1, fmSarRmImm},
};

// Bit tests, register by register. Need a 386.
struct TBitRow {
  const char* cpuMessage;
  TFormId form;
};
enum TBitOp : uint8_t { btBt, btBtc, btBtr, btBts };
inline constexpr TBitRow kBit[4] = {
    {"Instruction \"BT\" is not available on current CPU mode.", fmBtRmR},
    {"Instruction \"BTC\" is not available on current CPU mode.", fmBtcRmR},
    {"Instruction \"BTR\" is not available on current CPU mode.", fmBtrRmR},
    {"Instruction \"BTS\" is not available on current CPU mode.", fmBtsRmR},
};

// Descriptor-table group 0F 00 /digit on a 16-bit register. Need a 286.
struct TSystemRow {
  const char* cpuMessage;
  TFormId form;
};
enum TSystemOp : uint8_t { sysSldt, sysVerr, sysVerw };
inline constexpr TSystemRow kSystem[3] = {
    {"Instruction \"SLDT\" is not available on current CPU mode.", fmSldtRm16},
    {"Instruction \"VERR\" is not available on current CPU mode.", fmVerrRm16},
    {"Instruction \"VERW\" is not available on current CPU mode.", fmVerwRm16},
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

// Label jumps by kind (condition codes 0..15): the short row and the near one.
struct TJumpForms {
  TFormId short8, near;
};
inline constexpr TJumpForms kJccForms[16] = {
    {fmJoRel8, fmJoRel}, {fmJnoRel8, fmJnoRel}, {fmJbRel8, fmJbRel}, {fmJaeRel8, fmJaeRel},
    {fmJeRel8, fmJeRel}, {fmJneRel8, fmJneRel}, {fmJbeRel8, fmJbeRel}, {fmJaRel8, fmJaRel},
    {fmJsRel8, fmJsRel}, {fmJnsRel8, fmJnsRel}, {fmJpRel8, fmJpRel}, {fmJnpRel8, fmJnpRel},
    {fmJlRel8, fmJlRel}, {fmJgeRel8, fmJgeRel}, {fmJleRel8, fmJleRel}, {fmJgRel8, fmJgRel},
};

// --- operand size
constexpr bool Is32(TRegister r) { return r < rdAX; }
constexpr bool Is16(TRegister r) { return r >= rdAX && r < rdAL; }
constexpr bool Is8(TRegister r) { return r >= rdAL; }
constexpr int RegBytes(TRegister r) { return Is32(r) ? 4 : (Is16(r) ? 2 : 1); }
// 66 for word operands unless the procedure is 16-bit code (the Prefix16 rule).
inline void PutModePrefix(TInstr& in, const TAssembler& a, int bytes) {
  if (bytes == 2 && a.cpuMode != 16) in.put(0x66);
}
}  // namespace kelvo
