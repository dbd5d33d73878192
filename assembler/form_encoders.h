// The form encoders: every row of the form table (form_table.h) is encoded by these.
//
// `bytes` is the instruction's operand size (1, 2 or 4). For a row with plain classes it picks
// the byte opcode (w bit clear) and the 66 prefix for words; rows whose classes have a size of
// their own ignore it, except that it still sizes an "iz" immediate.
//
//   [9B] [67] [66] [segment] opcode bytes [+reg] [ModRM [SIB] [disp]] [immediate]
#pragma once

#include <cstdint>
#include <cstring>

#include "assembler/form_table.h"
#include "assembler/location.h"

namespace kelvo {

// The operand size an instruction of the row names: 2 or 4, or 0 where none shows in the
// bytes (byte operands, x87, MMX and SSE rows).
constexpr int OperandSize(const TForm& f, int bytes) {
  if (f.rules & frWord) return 2;
  if (f.rules & frDword) return 4;
  return (f.rules & frSized) && bytes != 1 ? bytes : 0;
}

// Prefixes and opcode bytes; `plus` is added to the last byte (+r and +i forms). The size
// prefixes follow the code's bit mode: 66 where the instruction's operand size is not the
// mode's own, and in 16-bit code 67 for a memory operand (`memory`) or the ECX count of JECXZ,
// since addressing is always 32-bit.
//   16-bit code: [67] [66] [segment] opcode      32-bit code: [66] [segment] opcode
// Always inline: a call would cost more than the bytes, and a constant row folds away.
[[gnu::always_inline]] inline void PutOpcode(TInstr& in, const TForm& f, int bytes, uint8_t segPrefix = 0,
                                             uint8_t plus = 0, bool memory = false) {
  // The 9B of an x87 waiting form is an instruction of its own: the prefixes belong to the
  // one behind it.
  const int wait = f.opLen > 1 && f.opcode[0] == 0x9B ? 1 : 0;
  if (wait) in.put(0x9B);
  if (in.mode == 16 && (memory || (f.rules & frEcx))) in.put(0x67);
  const int size = OperandSize(f, bytes);
  if (size != 0 && size * 8 != in.mode) in.put(0x66);
  if (segPrefix) in.put(segPrefix);
  const int last = f.opLen - 1;
  for (int i = wait; i < last; ++i) in.put(f.opcode[i]);
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
[[gnu::always_inline]] inline void PutModRMReg(TInstr& in, const TForm& f, int bytes, uint8_t regNum,
                                               uint8_t rmNum) {
  PutOpcode(in, f, bytes);
  in.put(ModRM(3, RegField(f, regNum), rmNum));
}
// ModRM with memory in r/m: a global data item (disp32 with its fix-up) or [base+index*scale+disp].
inline void PutModRMLoc(TInstr& in, const TForm& f, int bytes, uint8_t regNum, const TLocation& loc) {
  // Dword operands in 32-bit code under a one-byte opcode take no prefix.
  if (bytes == 4 && (f.rules & frOneByte) && in.mode == 32 && loc.segPrefix < 0) [[likely]] {
    in.put(f.opcode[0]);
  } else {
    PutOpcode(in, f, bytes, loc.segPrefix >= 0 ? kSegment[loc.segPrefix].prefix : 0, 0, true);
  }
  if (loc.isVar) PutVarOperand(in, RegField(f, regNum), loc.dataIdent, loc.offset);
  else PutMemOperand(in, RegField(f, regNum), loc.mem);
}
// "moffs": the accumulator's [disp32] without a ModRM byte, on a global data item.
inline void PutMoffsVar(TInstr& in, const TForm& f, int bytes, uint32_t dataIdent, uint32_t offset) {
  PutOpcode(in, f, bytes, 0, 0, true);
  in.fixHere(ftDataAddress, 32, dataIdent, offset);
  in.put32(0);
}

// --- whole instructions over the operands in the row's order. Inline, so that a named
// operation's constant row folds into straight-line code.
// Dword operands in 32-bit code under a one-byte opcode, the commonest instructions by far,
// take no prefix and no fix-up: they are written straight into the code.
inline bool PlainDword(const TAssembler& a, const TForm& f, int bytes) {
  return bytes == 4 && (f.rules & frOneByte) && a.cpuMode == 32 && !a.reverseMode;
}
// The opcode, with the register added for +r, and the ModRM byte of a register in r/m; the
// number of bytes written.
inline size_t putPlainOpcode(uint8_t* p, const TForm& f, uint8_t num) {
  if (f.enc == fePlusReg) {
    p[0] = static_cast<uint8_t>(f.opcode[0] + num);
    return 1;
  }
  p[0] = f.opcode[0];
  if (f.enc == feRaw) return 1;
  p[1] = ModRM(3, RegField(f, num), num);
  return 2;
}
// An immediate of the row's width (a dword for "iz"); the number of bytes it takes.
inline size_t putPlainImmediate(uint8_t* p, const TForm& f, uint32_t imm) {
  const uint8_t le[4] = {static_cast<uint8_t>(imm), static_cast<uint8_t>(imm >> 8), static_cast<uint8_t>(imm >> 16),
                         static_cast<uint8_t>(imm >> 24)};
  std::memcpy(p, le, 4);  // the block has room behind the instruction
  return f.immBytes == kImmOperandSize ? 4 : f.immBytes;
}
// The same instructions in every other case, through the generic pieces; out of line, so that
// the plain case carries no frame for them.
void EncodeRegRegSlow(TAssembler& a, const TForm& f, TRegister op0, TRegister op1);
void EncodeRegSlow(TAssembler& a, const TForm& f, TRegister reg);
void EncodeRegImmSlow(TAssembler& a, const TForm& f, TRegister reg, uint32_t imm);
inline void commitPlain(TAssembler& a, size_t n) {
  a.strCode.commit(n);
  a.fixUpsPlaced = static_cast<uint32_t>(a.FixUps.size());
}
// Two registers (/r, or an implicit accumulator with +r); the operand size is the first's.
inline void EncodeRegReg(TAssembler& a, const TForm& f, TRegister op0, TRegister op1) {
  const int bytes = RegBytes(op0);
  if (PlainDword(a, f, bytes)) [[likely]] {
    const uint8_t reg = RegNum(f.regIndex == 1 ? op1 : op0);
    uint8_t* p = a.strCode.blockRoom();
    if (f.enc == fePlusReg) return commitPlain(a, putPlainOpcode(p, f, reg));
    p[0] = f.opcode[0];
    p[1] = ModRM(3, RegField(f, reg), RegNum(f.rmIndex == 1 ? op1 : op0));
    return commitPlain(a, 2);
  }
  EncodeRegRegSlow(a, f, op0, op1);
}
// One register: +r, /digit, or "acc" forms; with an immediate when the row has one.
inline void PutReg(TInstr& in, const TForm& f, int bytes, TRegister reg) {
  const uint8_t num = RegNum(reg);
  PutOpcode(in, f, bytes, 0, f.enc == fePlusReg ? num : 0);
  if (f.enc != fePlusReg && f.enc != feRaw) in.put(ModRM(3, RegField(f, num), num));
}
// A row without operands.
inline void EncodeRaw(TAssembler& a, const TForm& f) {
  TInstr in(a);
  PutRaw(in, f, 4);
  Emit(a, in);
}
inline void EncodeReg(TAssembler& a, const TForm& f, TRegister reg) {
  if (PlainDword(a, f, RegBytes(reg))) [[likely]] {
    uint8_t* p = a.strCode.blockRoom();
    return commitPlain(a, putPlainOpcode(p, f, RegNum(reg)));
  }
  EncodeRegSlow(a, f, reg);
}
inline void EncodeRegImm(TAssembler& a, const TForm& f, TRegister reg, uint32_t imm) {
  if (PlainDword(a, f, RegBytes(reg))) [[likely]] {
    uint8_t* p = a.strCode.blockRoom();
    const size_t n = putPlainOpcode(p, f, RegNum(reg));
    return commitPlain(a, n + putPlainImmediate(p + n, f, imm));
  }
  EncodeRegImmSlow(a, f, reg, imm);
}
// Memory with a register or a digit; `regNum` is ignored by /digit rows.
inline void EncodeLoc(TAssembler& a, const TForm& f, int bytes, uint8_t regNum, const TLocation& loc) {
  TInstr in(a);
  PutModRMLoc(in, f, bytes, regNum, loc);
  Emit(a, in);
}
// Memory and an immediate; a fix-up kind other than ftNone is noted at the immediate.
inline void EncodeLocImm(TAssembler& a, const TForm& f, int bytes, const TLocation& loc, uint32_t imm,
                         TFixType fix = ftNone, uint32_t fixIndex = 0, uint32_t fixOffset = 0) {
  TInstr in(a);
  PutModRMLoc(in, f, bytes, 0, loc);
  PutImmediate(in, f, bytes, imm, fix, fixIndex, fixOffset);
  Emit(a, in);
}

// One 32-bit base register and a displacement ([ebp+8], [esi+12]: locals, parameters, pointers)
// under a PlainDword row: the operand is written straight into the code as PutMemOperand would
// put it. Any other operand is left to the generic pieces.
inline bool IsPlainBaseDisp(const TAssembler& a, const TForm& f, int bytes, const TLocation& loc) {
  const TMemOperand& m = loc.mem;
  return !loc.isVar && loc.segPrefix < 0 && m.regCount == 1 && m.scale == 0 && Is32(m.base) && PlainDword(a, f, bytes);
}
// The opcode, ModRM, the SIB of ESP and the displacement; the number of bytes written.
inline size_t putPlainBaseDisp(uint8_t* p, const TForm& f, uint8_t regNum, const TMemOperand& m) {
  const int mod = DispMod(m.disp, m.base == rdEBP);
  p[0] = f.opcode[0];
  p[1] = ModRM(mod, RegField(f, regNum), m.base);
  size_t n = 2;
  if (m.base == rdESP) p[n++] = SIB(0, 4, 4);
  const auto disp = static_cast<uint32_t>(m.disp);
  const uint8_t le[4] = {static_cast<uint8_t>(disp), static_cast<uint8_t>(disp >> 8), static_cast<uint8_t>(disp >> 16),
                         static_cast<uint8_t>(disp >> 24)};
  std::memcpy(p + n, le, 4);  // the block has room behind the instruction
  return n + (mod == 1 ? 1 : mod == 2 ? 4 : 0);
}
// With an immediate that takes no fix-up; false, writing nothing, for an operand that is not plain.
inline bool EncodePlainBaseDispImm(TAssembler& a, const TForm& f, int bytes, const TLocation& loc, uint32_t imm) {
  if (!IsPlainBaseDisp(a, f, bytes, loc)) return false;
  uint8_t* p = a.strCode.blockRoom();
  const size_t n = putPlainBaseDisp(p, f, 0, loc.mem);
  commitPlain(a, n + putPlainImmediate(p + n, f, imm));
  return true;
}

// A global data item under a PlainDword row, written straight into the code like the register
// forms: the disp32 at `at` (zero), with the fix-up of the item's address Emit would record for
// it. Returns the bytes written so far.
inline size_t putPlainVar(TAssembler& a, uint8_t* p, size_t at, uint32_t dataIdent, uint32_t offset) {
  std::memset(p + at, 0, 4);
  AddFixUp(a, ftDataAddress, 32, dataIdent, static_cast<uint32_t>(a.strCode.size() + at), offset, kJumpAlways);
  return at + 4;
}
// The row's opcode bytes as they stand are the instruction's start, as PutOpcode would put them
// for a memory operand: appended 32-bit code, no x87 wait, no operand-size prefix, no byte form.
// Beyond PlainDword's rows, those of two and more bytes (movzx, the 0F forms).
inline bool PlainOpcode(const TAssembler& a, const TForm& f, int bytes) {
  if (PlainDword(a, f, bytes)) return true;
  const int size = OperandSize(f, bytes);
  return a.cpuMode == 32 && !a.reverseMode && !(f.opLen > 1 && f.opcode[0] == 0x9B) && (size == 0 || size == 4) &&
         !(bytes == 1 && (f.rules & frByte));
}
// A global data item in r/m, with a register or a digit.
inline void EncodeVar(TAssembler& a, const TForm& f, int bytes, uint8_t regNum, uint32_t dataIdent, uint32_t offset) {
  if (PlainOpcode(a, f, bytes)) [[likely]] {
    uint8_t* p = a.strCode.blockRoom();
    std::memcpy(p, f.opcode, sizeof f.opcode);  // the block has room behind the instruction
    p[f.opLen] = ModRM(0, RegField(f, regNum), 5);
    return commitPlain(a, putPlainVar(a, p, f.opLen + 1u, dataIdent, offset));
  }
  EncodeLoc(a, f, bytes, regNum, VarLocation(dataIdent, offset));
}
// The accumulator and a global data item ("moffs"): no ModRM byte.
inline void EncodeMoffsVar(TAssembler& a, const TForm& f, int bytes, uint32_t dataIdent, uint32_t offset) {
  if (PlainDword(a, f, bytes)) [[likely]] {
    uint8_t* p = a.strCode.blockRoom();
    p[0] = f.opcode[0];
    return commitPlain(a, putPlainVar(a, p, 1, dataIdent, offset));
  }
  TInstr in(a);
  PutMoffsVar(in, f, bytes, dataIdent, offset);
  Emit(a, in);
}
// A global data item in r/m and an immediate without a fix-up.
inline void EncodeVarImm(TAssembler& a, const TForm& f, int bytes, uint32_t dataIdent, uint32_t offset, uint32_t imm) {
  if (PlainDword(a, f, bytes)) [[likely]] {
    uint8_t* p = a.strCode.blockRoom();
    p[0] = f.opcode[0];
    p[1] = ModRM(0, RegField(f, 0), 5);
    const size_t n = putPlainVar(a, p, 2, dataIdent, offset);
    return commitPlain(a, n + putPlainImmediate(p + n, f, imm));
  }
  EncodeLocImm(a, f, bytes, VarLocation(dataIdent, offset), imm);
}

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
