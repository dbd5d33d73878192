// The MMX and SSE encoder operations: one-line entries over the rows of form_rows_simd.h.
//
// Register operands are the numbers 0..7 of mm0..mm7 or xmm0..xmm7; a general register is a
// TRegister. Memory forms take [base + index*scale + disp] like the integer encoders, variable
// forms a global data item (ModRM reg·8 + 5 and a disp32 with its ftDataAddress fix-up). Every
// operation first checks its instruction-set switch and emits nothing when it is off.
#pragma once

#include <cstdint>

#include "assembler/code_buffer.h"
#include "assembler/form_table.h"

namespace kelvo {

// The generic operations take the row of their mnemonic (fmAddps, fmPaddd, ...), which the
// statements pick by token; the encoders add the operand bytes.

// --- SSE (packed and scalar single precision, and the SSE additions to MMX)
void Sfence(TAssembler& a);
void SseRegReg(TAssembler& a, TFormId form, uint8_t dst, uint8_t src);
void SseRegMem(TAssembler& a, TFormId form, int32_t regCount, uint8_t reg, TRegister base,
               TRegister index, int32_t disp, int32_t scale);
// The store row of a move (fmMovupsStore: 0F 11, the load opcode plus one).
void SseMemReg(TAssembler& a, TFormId form, int32_t regCount, uint8_t reg, TRegister base,
               TRegister index, int32_t disp, int32_t scale);
void SseRegVar(TAssembler& a, TFormId form, uint8_t reg, uint32_t dataIdent, uint32_t offset);
// The row as given, the variable as the ModRM operand (movntq, prefetchnta, stores).
void SseVarReg(TAssembler& a, TFormId form, uint8_t reg, uint32_t dataIdent, uint32_t offset);

// --- MMX packed integer
void MmxRegReg(TAssembler& a, TFormId form, uint8_t dst, uint8_t src);
void MmxRegMem(TAssembler& a, TFormId form, int32_t regCount, uint8_t reg, TRegister base,
               TRegister index, int32_t disp, int32_t scale);
void MmxRegVar(TAssembler& a, TFormId form, uint8_t reg, uint32_t dataIdent, uint32_t offset);

// --- MOVQ: 0F 6F loads, 0F 7F stores
void MovqRegReg(TAssembler& a, uint8_t dst, uint8_t src);
void MovqRegMem(TAssembler& a, int32_t regCount, uint8_t reg, TRegister base, TRegister index, int32_t disp,
                int32_t scale);
void MovqMemReg(TAssembler& a, int32_t regCount, uint8_t reg, TRegister base, TRegister index, int32_t disp,
                int32_t scale);
void MovqRegVar(TAssembler& a, uint8_t reg, uint32_t dataIdent, uint32_t offset);
void MovqVarReg(TAssembler& a, uint8_t reg, uint32_t dataIdent, uint32_t offset);

// --- MOVD: 0F 6E loads, 0F 7E stores; a general register must be a 32-bit one
void MovdMmxReg32(TAssembler& a, uint8_t mm, TRegister reg);
void MovdReg32Mmx(TAssembler& a, TRegister reg, uint8_t mm);
void MovdRegMem(TAssembler& a, int32_t regCount, uint8_t reg, TRegister base, TRegister index, int32_t disp,
                int32_t scale);
void MovdMemReg(TAssembler& a, int32_t regCount, uint8_t reg, TRegister base, TRegister index, int32_t disp,
                int32_t scale);
void MovdRegVar(TAssembler& a, uint8_t reg, uint32_t dataIdent, uint32_t offset);
void MovdVarReg(TAssembler& a, uint8_t reg, uint32_t dataIdent, uint32_t offset);

}  // namespace kelvo
