// Memory forms with the full [base + index*scale + disp] operand, for statements whose
// operands the older single-register encoders cannot carry whole.
#include "assembler/encoders.h"
#include "assembler/form_table.h"

namespace kelvo {

void CmpMemOperandImm(TAssembler& a, int32_t size, const TMemOperand& m, int32_t imm) {
  if (size != 1 && size != 2 && size != 4) EncoderError("Invalid operand size");
  TInstr in;
  PutAluMemImm(in, aluCmp, size, m, imm, FitsInt8(imm));
  Emit(a, in);
}

void CallMemOperand(TAssembler& a, const TMemOperand& m) {
  TInstr in;
  in.put(0xFF);
  PutMemOperand(in, 2, m);
  Emit(a, in);
}

static void incDecMem(TAssembler& a, const TGroupRow& row, int32_t size, const TMemOperand& m) {
  if (size != 1 && size != 2 && size != 4) EncoderError("Invalid operand size");
  TInstr in;
  PutSizePrefix(in, size);
  in.put(Sized(row.op8, row.op, size));
  PutMemOperand(in, row.digit, m);
  Emit(a, in);
}

void IncMem(TAssembler& a, int32_t size, const TMemOperand& m) { incDecMem(a, kIncRM, size, m); }
void DecMem(TAssembler& a, int32_t size, const TMemOperand& m) { incDecMem(a, kDecRM, size, m); }

}  // namespace kelvo
