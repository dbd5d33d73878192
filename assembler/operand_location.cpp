#include "assembler/operand_location.h"

#include "assembler/encoders.h"
#include "assembler/form_encoders.h"
#include "assembler/instruction.h"

namespace kelvo {

static void regLoc(TAssembler& a, TFormId form, TRegister reg, const TLocation& loc) {
  EncodeLoc(a, kForms[form], RegBytes(reg), RegNum(reg), loc);
}

void LocMovRegLoc(TAssembler& a, TRegister reg, const TLocation& loc) { regLoc(a, fmMovRRm, reg, loc); }
void LocMovLocReg(TAssembler& a, const TLocation& loc, TRegister reg) { regLoc(a, fmMovRmR, reg, loc); }

void LocMovLocImm(TAssembler& a, const TLocation& loc, int32_t bytes, uint32_t imm, TFixType fix,
                  uint32_t fixIndex) {
  if (bytes != 1 && bytes != 2 && bytes != 4) EncoderError("Invalid operand size");
  if (fix != ftNone && bytes != 4) EncoderError("Expected 32 bit ptr size");
  EncodeLocImm(a, kForms[fmMovRmImm], bytes, loc, imm, fix, fixIndex);
}

void LocAluRegLoc(TAssembler& a, TAluOp alu, TRegister reg, const TLocation& loc) {
  regLoc(a, kAluForms[alu].regRm, reg, loc);
}

void LocAluLocReg(TAssembler& a, TAluOp alu, const TLocation& loc, TRegister reg) {
  regLoc(a, kAluForms[alu].rmReg, reg, loc);
}

void LocPush(TAssembler& a, const TLocation& loc, int32_t bytes) { EncodeLoc(a, kForms[fmPushRm], bytes, 0, loc); }
void LocPop(TAssembler& a, const TLocation& loc, int32_t bytes) { EncodeLoc(a, kForms[fmPopRm], bytes, 0, loc); }

void LocIncDec(TAssembler& a, const TLocation& loc, bool inc) {
  if (loc.size != 1 && loc.size != 2 && loc.size != 4) EncoderError("Invalid operand size");
  EncodeLoc(a, kForms[inc ? fmIncRm : fmDecRm], loc.size, 0, loc);
}

// The address is always a dword: no 66 even for a word register.
void LocLea(TAssembler& a, TRegister reg, const TLocation& loc) { EncodeLoc(a, kForms[fmLeaRM], 4, RegNum(reg), loc); }
void LocXchg(TAssembler& a, TRegister reg, const TLocation& loc) { regLoc(a, fmXchgRRm, reg, loc); }

TRegister SizedRegister(TRegister reg32, int32_t bytes) {
  const int n = regNumber(reg32);
  if (bytes == 2) return static_cast<TRegister>(rdAX + n);
  if (bytes == 1) return static_cast<TRegister>(rdAL + n);  // only n < 4 is the low byte
  return static_cast<TRegister>(n);
}

void LocLoadWide(TAssembler& a, TRegister reg32, const TLocation& loc) {
  if (loc.size >= 4) {
    LocMovRegLoc(a, reg32, loc);
    return;
  }
  const TFormId form = loc.isSigned ? (loc.size == 2 ? fmMovsxR32Rm16 : fmMovsxRRm8)
                                     : (loc.size == 2 ? fmMovzxR32Rm16 : fmMovzxRRm8);
  EncodeLoc(a, kForms[form], 4, RegNum(reg32), loc);
}

// The bytes from `at` to the end of the item, up to four, into EAX widened.
static void copyThroughEax(TAssembler& a, const TLocation& dst, const TLocation& src) {
  PushReg(a, rdEAX);
  if (src.size >= 4) LocMovRegLoc(a, rdEAX, src.At(0, 4));
  else LocLoadWide(a, rdEAX, src);
  const int32_t low = dst.size >= 4 ? 4 : dst.size;
  LocMovLocReg(a, dst.At(0, low), SizedRegister(rdEAX, low));
  if (dst.size == 8) {  // the high half: the sign of the value, or zero
    if (src.size >= 8) {
      LocMovRegLoc(a, rdEAX, src.At(4, 4));
    } else if (src.isSigned) {
      SarRegImm(a, rdEAX, 31);
    } else {
      XorRegReg(a, rdEAX, rdEAX);
    }
    LocMovLocReg(a, dst.At(4, 4), rdEAX);
  }
  PopReg(a, rdEAX);
}

void LocCopy(TAssembler& a, const TLocation& dst, const TLocation& src) {
  const bool sameSize = dst.size == src.size;
  if (!sameSize || dst.size == 1 || (dst.size % 2) != 0) {
    if (dst.size > 8 || src.size > 8) {
      if (!sameSize) EncoderError("Operands must be equal size ");
    } else {
      copyThroughEax(a, dst, src);
      return;
    }
  }
  // Equal sizes: dword by dword, then a last word; PUSH/POP leave the registers alone.
  int32_t at = 0;
  for (; dst.size - at >= 4; at += 4) {
    LocPush(a, src.At(at, 4), 4);
    LocPop(a, dst.At(at, 4), 4);
  }
  if (dst.size - at >= 2) {
    LocPush(a, src.At(at, 2), 2);
    LocPop(a, dst.At(at, 2), 2);
    at += 2;
  }
  if (dst.size - at == 1) copyThroughEax(a, dst.At(at, 1), src.At(at, 1));
}

int32_t LocPushValue(TAssembler& a, const TLocation& loc) {
  const int32_t tail = loc.size % 4;
  if (tail == 3 || loc.size <= 0) EncoderError("Unsupported operation; 2345");
  int32_t at = loc.size - tail;
  int32_t pushed = 0;
  if (tail == 2) {  // a zero word above the value: the slot holds it zero-extended
    PushImm(a, 2, 0, ftNone, 0);
    LocPush(a, loc.At(at, 2), 2);
    pushed += 4;
  } else if (tail != 0) {  // widened through EAX, which the exchange gives back
    PushReg(a, rdEAX);
    TLocation part = loc.At(at, tail == 1 ? 1 : 2);
    part.isSigned = loc.size == 1 && loc.isSigned;
    LocLoadWide(a, rdEAX, part);
    LocXchg(a, rdEAX, MemLocation(BaseDisp(rdESP, 0)));
    pushed += 4;
  }
  while (at > 0) {
    at -= 4;
    LocPush(a, loc.At(at, 4), 4);
    pushed += 4;
  }
  return pushed;
}

}  // namespace kelvo
