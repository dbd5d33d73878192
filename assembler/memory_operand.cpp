#include "assembler/memory_operand.h"

namespace kelvo {

static int scaleCode(int32_t scale) {
  switch (scale) {
    case 2: return 1;
    case 4: return 2;
    case 8: return 3;
    default: return 0;  // none or 1
  }
}

// Every check stands before the first byte, in the order the messages are documented.
static void checkMemOperand(const TMemOperand& m) {
  if (m.scale != 0 && m.scale != 1 && m.scale != 2 && m.scale != 4 && m.scale != 8)
    EncoderError("Invalid scale value");
  // Only the 3-bit number would reach the byte: a 16- or 8-bit register would silently
  // address through its 32-bit namesake.
  if ((m.regCount >= 1 && regSize(m.base) != 32) || (m.regCount >= 2 && regSize(m.index) != 32))
    EncoderError("32bit register expected");
  if (m.regCount >= 2 && m.base == rdESP && m.index == rdESP)
    EncoderError("Multiple base registers not allowed");
  if (m.regCount == 1 && m.scale > 0 && m.base == rdESP) EncoderError("Invalid use of register");
  if (m.regCount >= 2 && m.scale > 0 && m.index == rdESP) EncoderError("Invalid use of register");
}

static void putDisp(TInstr& in, int mod, int32_t disp) {
  if (mod == 1) in.put(static_cast<uint8_t>(disp));
  else if (mod == 2) in.put32(static_cast<uint32_t>(disp));
}

void PutMemOperand(TInstr& in, uint8_t regField, TMemOperand m, bool alwaysDisp) {
  checkMemOperand(m);
  if (m.regCount <= 0) {  // [disp32]: mod 00, r/m 101
    in.put(ModRM(0, regField, 5));
    in.put32(static_cast<uint32_t>(m.disp));
    return;
  }
  if (m.regCount == 1 && m.scale > 0) {  // [index*scale + disp32]: SIB base 101 without base
    in.put(ModRM(0, regField, 4));
    in.put(SIB(scaleCode(m.scale), RegNum(m.base), 5));
    in.put32(static_cast<uint32_t>(m.disp));
    return;
  }
  if (m.regCount == 1) {
    // r/m 100 means "SIB follows", so ESP as base needs SIB 0x24; mod 00 with r/m 101 means
    // disp32 without base, so EBP always carries a displacement.
    const int mod = DispMod(m.disp, alwaysDisp || m.base == rdEBP);
    in.put(ModRM(mod, regField, m.base));
    if (m.base == rdESP) in.put(SIB(0, 4, 4));
    putDisp(in, mod, m.disp);
    return;
  }
  if (m.index == rdESP) std::swap(m.base, m.index);  // ESP can only be a SIB base
  // A zero displacement is kept as one byte when either register is EBP.
  const int mod = DispMod(m.disp, alwaysDisp || m.base == rdEBP || m.index == rdEBP);
  in.put(ModRM(mod, regField, 4));
  in.put(SIB(scaleCode(m.scale), RegNum(m.index), RegNum(m.base)));
  putDisp(in, mod, m.disp);
}

void PutVarOperand(TInstr& in, uint8_t regField, uint32_t dataIdent, uint32_t offset) {
  PutAbsoluteFixOperand(in, regField, 0, ftDataAddress, dataIdent, offset);
}

void PutAbsoluteFixOperand(TInstr& in, uint8_t regField, uint32_t value, TFixType fix, uint32_t fixIndex,
                           uint32_t fixOffset) {
  in.put(ModRM(0, regField, 5));
  if (fix != ftNone) in.fixHere(fix, 32, fixIndex, fixOffset);
  in.put32(value);
}

void EncodeModRM(TAssembler& a, int32_t regCount, uint8_t regField, TRegister base, TRegister index,
                 int32_t disp, int32_t scale) {
  TInstr in;
  PutMemOperand(in, regField, {regCount, base, index, disp, scale});
  Emit(a, in);
}

}  // namespace kelvo
