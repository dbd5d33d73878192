#include "assembler/form_encoders.h"

namespace kelvo {

static uint8_t segmentByte(const TLocation& loc) {
  return loc.segPrefix >= 0 ? kSegment[loc.segPrefix].prefix : 0;
}

// The generic path reads the operand roles from the row instead of from the operation's name.
void PutForm(TInstr& in, const TForm& f, int bytes, const TFormOperand* ops) {
  const uint8_t regNum = f.regIndex >= 0 ? ops[f.regIndex].num : 0;
  const TFormOperand* rm = f.rmIndex >= 0 ? &ops[f.rmIndex] : nullptr;
  switch (f.enc) {
    case feRaw:
      if (rm && rm->kind == TFormOperand::okLoc) {  // moffs
        PutOpcode(in, f, bytes, segmentByte(rm->loc), 0, true);
        if (rm->loc.isVar) {
          in.fixHere(ftDataAddress, 32, rm->loc.dataIdent, rm->loc.offset);
          in.put32(0);
        } else {
          in.put32(static_cast<uint32_t>(rm->loc.mem.disp));
        }
      } else {
        PutRaw(in, f, bytes);
      }
      break;
    case fePlusReg: PutPlusReg(in, f, bytes, regNum); break;
    case feModRM:
    case feDigit:
      if (rm->kind == TFormOperand::okLoc) PutModRMLoc(in, f, bytes, regNum, rm->loc);
      else PutModRMReg(in, f, bytes, regNum, rm->num);
      break;
  }
  if (f.immIndex >= 0) PutImmediate(in, f, bytes, ops[f.immIndex].imm);
}

void EncodeRegRegSlow(TAssembler& a, const TForm& f, TRegister op0, TRegister op1) {
  TInstr in(a);
  const int bytes = RegBytes(op0);
  const TRegister reg = f.regIndex == 1 ? op1 : op0;
  if (f.enc == fePlusReg) PutPlusReg(in, f, bytes, RegNum(reg));
  else PutModRMReg(in, f, bytes, RegNum(reg), RegNum(f.rmIndex == 1 ? op1 : op0));
  Emit(a, in);
}

void EncodeRegSlow(TAssembler& a, const TForm& f, TRegister reg) {
  TInstr in(a);
  PutReg(in, f, RegBytes(reg), reg);
  Emit(a, in);
}

void EncodeRegImmSlow(TAssembler& a, const TForm& f, TRegister reg, uint32_t imm) {
  TInstr in(a);
  PutReg(in, f, RegBytes(reg), reg);
  PutImmediate(in, f, RegBytes(reg), imm);
  Emit(a, in);
}

}  // namespace kelvo
