// The instruction forms the operand statements and calls emit on a place in memory (TLocation),
// whatever kind of place it is, and the copies and pushes built from them.
#pragma once

#include <cstdint>

#include "assembler/code_buffer.h"
#include "assembler/form_table.h"
#include "assembler/location.h"
#include "assembler/memory_operand.h"
#include "assembler/short_forms.h"

namespace kelvo {

void LocMovRegLoc(TAssembler& a, TRegister reg, const TLocation& loc);   // MOV reg, [loc]
void LocMovLocReg(TAssembler& a, const TLocation& loc, TRegister reg);   // MOV [loc], reg
// MOV size [loc], imm; a fix-up kind other than ftNone patches the immediate (dword only).
void LocMovLocImm(TAssembler& a, const TLocation& loc, int32_t bytes, uint32_t imm, TFixType fix = ftNone,
                  uint32_t fixIndex = 0);
void LocAluRegLoc(TAssembler& a, TAluOp alu, TRegister reg, const TLocation& loc);  // op reg, [loc]
void LocAluLocReg(TAssembler& a, TAluOp alu, const TLocation& loc, TRegister reg);  // op [loc], reg
void LocPush(TAssembler& a, const TLocation& loc, int32_t bytes);  // bytes 2 or 4
void LocPop(TAssembler& a, const TLocation& loc, int32_t bytes);   // bytes 2 or 4
void LocIncDec(TAssembler& a, const TLocation& loc, bool inc);
void LocLea(TAssembler& a, TRegister reg, const TLocation& loc);
void LocXchg(TAssembler& a, TRegister reg, const TLocation& loc);

// The item's value into a 32-bit register, widened by its signedness when it is narrower.
void LocLoadWide(TAssembler& a, TRegister reg32, const TLocation& loc);
// Copies the value of `src` to `dst`: equal sizes move exactly that many bytes, a narrower
// source is widened by its signedness, a wider one gives its low bytes. Leaves every register
// as it was.
void LocCopy(TAssembler& a, const TLocation& dst, const TLocation& src);
// Pushes the whole item, highest dword first, each slot a dword; a 2-byte item is zero-extended
// and a 1-byte item widened; returns the bytes pushed.
int32_t LocPushValue(TAssembler& a, const TLocation& loc);

// The 8- or 16-bit register of the same number as `reg32`; rdAL..rdBL exist only for the
// first four.
TRegister SizedRegister(TRegister reg32, int32_t bytes);

}  // namespace kelvo
