#include "assembler/form_encoders.h"

namespace kelvo {

static uint8_t segmentByte(const TLocation& loc) {
  return loc.segPrefix >= 0 ? kSegment[loc.segPrefix].prefix : 0;
}

static void putPlace(TInstr& in, uint8_t regField, const TLocation& loc) {
  if (loc.isVar) PutVarOperand(in, regField, loc.dataIdent, loc.offset);
  else PutMemOperand(in, regField, loc.mem);
}

void PutModRMLoc(TInstr& in, const TForm& f, int bytes, uint8_t regNum, const TLocation& loc) {
  PutOpcode(in, f, bytes, segmentByte(loc));
  putPlace(in, RegField(f, regNum), loc);
}

void PutMoffsVar(TInstr& in, const TForm& f, int bytes, uint32_t dataIdent, uint32_t offset) {
  PutOpcode(in, f, bytes);
  in.fixHere(ftDataAddress, 32, dataIdent, offset);
  in.put32(0);
}

void EncodeRegReg(TAssembler& a, const TForm& f, TRegister op0, TRegister op1) {
  TInstr in;
  const int bytes = RegBytes(op0);
  const TRegister reg = f.regIndex == 1 ? op1 : op0;
  if (f.enc == fePlusReg) {
    PutPlusReg(in, f, bytes, RegNum(reg));
  } else {
    const TRegister rm = f.rmIndex == 1 ? op1 : op0;
    PutModRMReg(in, f, bytes, RegNum(reg), RegNum(rm));
  }
  Emit(a, in);
}

void EncodeReg(TAssembler& a, const TForm& f, TRegister reg) {
  TInstr in;
  const int bytes = RegBytes(reg);
  if (f.enc == fePlusReg) PutPlusReg(in, f, bytes, RegNum(reg));
  else if (f.enc == feRaw) PutRaw(in, f, bytes);
  else PutModRMReg(in, f, bytes, RegNum(reg), RegNum(reg));
  Emit(a, in);
}

void EncodeRegImm(TAssembler& a, const TForm& f, TRegister reg, uint32_t imm) {
  TInstr in;
  const int bytes = RegBytes(reg);
  if (f.enc == fePlusReg) PutPlusReg(in, f, bytes, RegNum(reg));
  else if (f.enc == feRaw) PutRaw(in, f, bytes);
  else PutModRMReg(in, f, bytes, RegNum(reg), RegNum(reg));
  PutImmediate(in, f, bytes, imm);
  Emit(a, in);
}

void EncodeLoc(TAssembler& a, const TForm& f, int bytes, uint8_t regNum, const TLocation& loc) {
  TInstr in;
  PutModRMLoc(in, f, bytes, regNum, loc);
  Emit(a, in);
}

void EncodeLocImm(TAssembler& a, const TForm& f, int bytes, const TLocation& loc, uint32_t imm, TFixType fix,
                  uint32_t fixIndex, uint32_t fixOffset) {
  TInstr in;
  PutModRMLoc(in, f, bytes, 0, loc);
  PutImmediate(in, f, bytes, imm, fix, fixIndex, fixOffset);
  Emit(a, in);
}

// The generic path reads the operand roles from the row instead of from the operation's name.
void PutForm(TInstr& in, const TForm& f, int bytes, const TFormOperand* ops) {
  const uint8_t regNum = f.regIndex >= 0 ? ops[f.regIndex].num : 0;
  const TFormOperand* rm = f.rmIndex >= 0 ? &ops[f.rmIndex] : nullptr;
  switch (f.enc) {
    case feRaw:
      if (rm && rm->kind == TFormOperand::okLoc) {  // moffs
        PutOpcode(in, f, bytes, segmentByte(rm->loc));
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

}  // namespace kelvo
