#include "assembler/short_forms.h"

namespace kelvo {

void EncAluRegImm(TAssembler& a, TAluOp alu, TRegister reg, int32_t imm) {
  const TAluForms& rows = kAluForms[alu];
  const int bytes = RegBytes(reg);
  TFormId form = rows.rmImm;
  if (bytes != 1 && FitsInt8(imm)) form = rows.rmImm8;  // there is no sign-extended byte form
  else if (RegNum(reg) == 0) form = rows.accImm;  // AL, AX, EAX: no ModRM byte
  EncodeRegImm(a, kForms[form], reg, static_cast<uint32_t>(imm));
}

void PutAluLocImm(TInstr& in, TAluOp alu, int bytes, const TLocation& loc, int32_t imm, bool shortImm) {
  const TForm& f = kForms[bytes != 1 && shortImm ? kAluForms[alu].rmImm8 : kAluForms[alu].rmImm];
  PutModRMLoc(in, f, bytes, 0, loc);
  PutImmediate(in, f, bytes, static_cast<uint32_t>(imm));
}

}  // namespace kelvo
