// Memory forms with the full [base + index*scale + disp] operand, for statements whose
// operands the older single-register encoders cannot carry whole.
#include "assembler/encoders.h"
#include "assembler/short_forms.h"

namespace kelvo {

void CmpMemOperandImm(TAssembler& a, int32_t size, const TMemOperand& m, int32_t imm) {
  if (size != 1 && size != 2 && size != 4) EncoderError("Invalid operand size");
  TInstr in(a);
  PutAluLocImm(in, aluCmp, size, MemLocation(m), imm, FitsInt8(imm));
  Emit(a, in);
}

void CallMemOperand(TAssembler& a, const TMemOperand& m) {
  EncodeLoc(a, kForms[fmCallRm32], 4, 0, MemLocation(m));
}

static void incDecMem(TAssembler& a, TFormId form, int32_t size, const TMemOperand& m) {
  if (size != 1 && size != 2 && size != 4) EncoderError("Invalid operand size");
  EncodeLoc(a, kForms[form], size, 0, MemLocation(m));
}

void IncMem(TAssembler& a, int32_t size, const TMemOperand& m) { incDecMem(a, fmIncRm, size, m); }
void DecMem(TAssembler& a, int32_t size, const TMemOperand& m) { incDecMem(a, fmDecRm, size, m); }

}  // namespace kelvo
