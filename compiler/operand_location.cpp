#include "compiler/operand_location.h"

#include "assembler/encoders.h"
#include "assembler/instruction.h"

namespace kelvo {

TLocation TLocation::At(int32_t bytes, int32_t newSize) const {
  TLocation l = *this;
  if (isVar) l.offset += static_cast<uint32_t>(bytes);
  else l.mem.disp += bytes;
  l.size = newSize;
  return l;
}

static void putPlace(TInstr& in, uint8_t regField, const TLocation& loc) {
  if (loc.isVar) PutVarOperand(in, regField, loc.dataIdent, loc.offset);
  else PutMemOperand(in, regField, loc.mem);
}

static void putSegment(TInstr& in, const TLocation& loc) {
  if (loc.segPrefix >= 0 && kSegment[loc.segPrefix].prefix) in.put(kSegment[loc.segPrefix].prefix);
}

void LocEmit(TAssembler& a, uint8_t op8, uint8_t op, uint8_t regField, const TLocation& loc, int32_t bytes) {
  TInstr in;
  PutSizePrefix(in, bytes);
  putSegment(in, loc);
  in.put(Sized(op8, op, bytes));
  putPlace(in, regField, loc);
  Emit(a, in);
}

void LocEmit0F(TAssembler& a, uint8_t op, TRegister reg, const TLocation& loc) {
  TInstr in;
  putSegment(in, loc);
  in.put(0x0F), in.put(op);
  putPlace(in, static_cast<uint8_t>(RegNum(reg)), loc);
  Emit(a, in);
}

void LocMovRegLoc(TAssembler& a, TRegister reg, const TLocation& loc) {
  LocEmit(a, 0x8A, 0x8B, RegNum(reg), loc, RegBytes(reg));
}

void LocMovLocReg(TAssembler& a, const TLocation& loc, TRegister reg) {
  LocEmit(a, 0x88, 0x89, RegNum(reg), loc, RegBytes(reg));
}

void LocMovLocImm(TAssembler& a, const TLocation& loc, int32_t bytes, uint32_t imm, TFixType fix,
                  uint32_t fixIndex) {
  if (bytes != 1 && bytes != 2 && bytes != 4) EncoderError("Invalid operand size");
  if (fix != ftNone && bytes != 4) EncoderError("Expected 32 bit ptr size");
  TInstr in;
  PutSizePrefix(in, bytes);
  putSegment(in, loc);
  in.put(Sized(0xC6, 0xC7, bytes));
  putPlace(in, 0, loc);
  if (fix != ftNone) in.fixHere(fix, 32, fixIndex, 0);
  in.putImm(imm, bytes);
  Emit(a, in);
}

void LocAluRegLoc(TAssembler& a, TAluOp alu, TRegister reg, const TLocation& loc) {
  LocEmit(a, kAlu[alu].base + 2, kAlu[alu].base + 3, RegNum(reg), loc, RegBytes(reg));
}

void LocPush(TAssembler& a, const TLocation& loc, int32_t bytes) { LocEmit(a, 0xFF, 0xFF, 6, loc, bytes); }
void LocPop(TAssembler& a, const TLocation& loc, int32_t bytes) { LocEmit(a, 0x8F, 0x8F, 0, loc, bytes); }

void LocIncDec(TAssembler& a, const TLocation& loc, bool inc) {
  if (loc.size != 1 && loc.size != 2 && loc.size != 4) EncoderError("Invalid operand size");
  LocEmit(a, 0xFE, 0xFF, inc ? 0 : 1, loc, loc.size);
}

void LocLea(TAssembler& a, TRegister reg, const TLocation& loc) { LocEmit(a, 0x8D, 0x8D, RegNum(reg), loc, 4); }
void LocXchg(TAssembler& a, TRegister reg, const TLocation& loc) {
  LocEmit(a, 0x86, 0x87, RegNum(reg), loc, RegBytes(reg));
}
void LocCall(TAssembler& a, const TLocation& loc) { LocEmit(a, 0xFF, 0xFF, 2, loc, 4); }

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
  // MOVZX 0F B6/B7, MOVSX 0F BE/BF
  const uint8_t op = static_cast<uint8_t>((loc.isSigned ? 0xBE : 0xB6) + (loc.size == 2 ? 1 : 0));
  LocEmit0F(a, op, reg32, loc);
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
    static const uint8_t kPushZeroWord[] = {0x66, 0x6A, 0x00};
    EmitBytes(a, kPushZeroWord, sizeof kPushZeroWord);
    LocPush(a, loc.At(at, 2), 2);
    pushed += 4;
  } else if (tail != 0) {  // widened through EAX, which the exchange gives back
    PushReg(a, rdEAX);
    TLocation part = loc.At(at, tail == 1 ? 1 : 2);
    part.isSigned = loc.size == 1 && loc.isSigned;
    LocLoadWide(a, rdEAX, part);
    static const uint8_t kXchgEaxTop[] = {0x87, 0x04, 0x24};  // XCHG EAX, [ESP]
    EmitBytes(a, kXchgEaxTop, sizeof kXchgEaxTop);
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
