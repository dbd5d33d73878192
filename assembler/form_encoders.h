// The form encoders: every row of the form table (form_table.h) is encoded by these.
//
// `bytes` is the instruction's operand size (1, 2 or 4). For a row with plain classes it picks
// the byte opcode (w bit clear) and the 66 prefix for words; rows whose classes have a size of
// their own ignore it, except that it still sizes an "iz" immediate.
//
//   [66] [segment] opcode bytes [+reg] [ModRM [SIB] [disp]] [immediate]
#pragma once

#include <cstdint>

#include "assembler/form_table.h"
#include "assembler/location.h"

namespace kelvo {

// Prefixes and opcode bytes; `plus` is added to the last byte (+r and +i forms).
inline void PutOpcode(TInstr& in, const TForm& f, int bytes, uint8_t segPrefix = 0, uint8_t plus = 0) {
  if (bytes == 2 && (f.rules & frSized) && in.wordPrefix) in.put(0x66);
  if (segPrefix) in.put(segPrefix);
  const int last = f.opLen - 1;
  for (int i = 0; i < last; ++i) in.put(f.opcode[i]);
  uint8_t op = f.opcode[last];
  if (bytes == 1 && (f.rules & frByte)) op = static_cast<uint8_t>(op & ~1u);
  in.put(static_cast<uint8_t>(op + plus));
}

// The reg field of a ModRM form: the row's /digit, or the register operand's number.
inline uint8_t RegField(const TForm& f, uint8_t regNum) {
  return f.enc == feDigit ? static_cast<uint8_t>(f.digit) : regNum;
}

// The immediate, its width from the row ("ib", "iw", "id", or "iz" the operand size); a fix-up
// kind other than ftNone is noted at the field.
inline void PutImmediate(TInstr& in, const TForm& f, int bytes, uint32_t imm, TFixType fix = ftNone,
                         uint32_t fixIndex = 0, uint32_t fixOffset = 0) {
  const int width = f.immBytes == kImmOperandSize ? bytes : f.immBytes;
  if (fix != ftNone) in.fixHere(fix, static_cast<uint8_t>(width * 8), fixIndex, fixOffset);
  in.putImm(imm, width);
}

// --- the forms, each as one piece of an instruction
// opcode only (implicit operands).
inline void PutRaw(TInstr& in, const TForm& f, int bytes) { PutOpcode(in, f, bytes); }
// +r / +i: the number added to the last opcode byte.
inline void PutPlusReg(TInstr& in, const TForm& f, int bytes, uint8_t num) { PutOpcode(in, f, bytes, 0, num); }
// ModRM with a register in r/m: reg field `regNum` (or the digit), r/m `rmNum`.
inline void PutModRMReg(TInstr& in, const TForm& f, int bytes, uint8_t regNum, uint8_t rmNum) {
  PutOpcode(in, f, bytes);
  in.put(ModRM(3, RegField(f, regNum), rmNum));
}
// ModRM with memory in r/m: a global data item (disp32 with its fix-up) or [base+index*scale+disp].
void PutModRMLoc(TInstr& in, const TForm& f, int bytes, uint8_t regNum, const TLocation& loc);
// "moffs": the accumulator's [disp32] without a ModRM byte, on a global data item.
void PutMoffsVar(TInstr& in, const TForm& f, int bytes, uint32_t dataIdent, uint32_t offset);

// --- whole instructions over the operands in the row's order
// Two registers (/r, or an implicit accumulator with +r); the operand size is the first's.
void EncodeRegReg(TAssembler& a, const TForm& f, TRegister op0, TRegister op1);
// One register: +r, /digit, or "acc" forms without an immediate.
void EncodeReg(TAssembler& a, const TForm& f, TRegister reg);
// A register (or the implicit accumulator) and an immediate.
void EncodeRegImm(TAssembler& a, const TForm& f, TRegister reg, uint32_t imm);
// Memory with a register, a digit, and/or an immediate; `regNum` is ignored by /digit rows.
void EncodeLoc(TAssembler& a, const TForm& f, int bytes, uint8_t regNum, const TLocation& loc);
void EncodeLocImm(TAssembler& a, const TForm& f, int bytes, const TLocation& loc, uint32_t imm,
                  TFixType fix = ftNone, uint32_t fixIndex = 0, uint32_t fixOffset = 0);

// --- any row with any operands (the generic path: the forms test and table-driven statements)
struct TFormOperand {
  enum TKind : uint8_t { okNone, okReg, okNumber, okLoc, okImm } kind = okNone;
  uint8_t num = 0;  // okReg: RegNum; okNumber: st(i), mm or xmm number
  TLocation loc;
  uint32_t imm = 0;
};
// Appends the row with `ops` (in the row's operand order) to `in`.
void PutForm(TInstr& in, const TForm& f, int bytes, const TFormOperand* ops);

}  // namespace kelvo
