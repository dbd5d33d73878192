// Cases for CMP, TEST, XOR, OR, ADC, NOT, NEG, MUL, INC, DEC, shifts, XCHG and MOVZX.
#pragma once

#include <tuple>

#include "assembler/encoders.h"
#include "tests/assembler/encoder_forms.h"
#include "tests/assembler/forms_moves_arith.h"

namespace forms {

inline std::string localText(int32_t disp) { return memText(LocalOperand(disp)); }

inline void genCompareMemory(TGenerator& g) {
  auto memImm = [&](int size, TRegister base, int32_t disp, int64_t imm) {
    const bool full = size != 1 && !(imm >= -128 && imm <= 127);
    g.add("CmpMemImm", sizeTag(size) + "m(base)," + (full ? "i" + sizeTag(size) : "i8"),
          "cmp " + ptr(size) + memText(BaseDisp(base, disp)) + ", " + g.imm(imm, full),
          [&](TAssembler& a) { CmpMemImm(a, size, base, static_cast<int32_t>(imm), disp); });
  };
  for (int size : {1, 2, 4}) {
    for (TRegister base : regs(4))
      for (int32_t disp : displacements()) memImm(size, base, disp, size == 1 ? 100 : 1000);
    for (int64_t imm : immediates())
      if (fits(imm, size)) memImm(size, rdESI, 0x200, imm);
  }
  for (TRegister r : allRegs())
    for (TRegister base : regs(4))
      for (int32_t disp : {0, 127, -129})
        g.add("CmpMemReg", "m(base)," + regTag(r), "cmp " + memText(BaseDisp(base, disp)) + ", " + R(r),
              [&](TAssembler& a) { CmpMemReg(a, base, r, disp); });
  for (const TVarRef& v : variables()) {
    for (int size : {1, 2, 4})
      for (int64_t imm : immediates()) {
        if (!fits(imm, size)) continue;
        const bool full = size != 1 && !(imm >= -128 && imm <= 127);
        g.add("CmpVarImm", sizeTag(size) + (full ? ",i" + sizeTag(size) : ",i8"),
              "cmp " + ptr(size) + varText(v.ident, v.offset) + ", " + g.imm(imm, full),
              [&](TAssembler& a) { CmpVarImm(a, size, v.ident, v.offset, static_cast<int32_t>(imm)); })
            .expect = {varFix(v.ident, v.offset)};
      }
    for (int direction : {0, 1})
      for (TRegister r : allRegs()) {
        const std::string var = varText(v.ident, v.offset);
        g.add("CmpVarReg", direction ? regTag(r) + ",var" : "var," + regTag(r),
              "cmp " + (direction ? R(r) + ", " + var : var + ", " + R(r)),
              [&](TAssembler& a) { CmpVarReg(a, direction, r, v.ident, v.offset); })
            .expect = {varFix(v.ident, v.offset)};
      }
  }
}

inline void genCompareLocalAndRegister(TGenerator& g) {
  for (int size : {1, 2, 4})
    for (int32_t disp : localDisplacements())
      for (int64_t imm : immediates()) {
        if (!fits(imm, size)) continue;
        const bool full = size != 1 && !(imm >= 0 && imm <= 127);  // short form for 0..127 only
        g.add("CmpLocalImm", sizeTag(size) + (full ? ",i" + sizeTag(size) : ",i8"),
              "cmp " + ptr(size) + localText(disp) + ", " + g.imm(imm, full),
              [&](TAssembler& a) { CmpLocalImm(a, size, disp, static_cast<int32_t>(imm)); });
      }
  for (int direction : {0, 1})
    for (TRegister r : allRegs())
      for (int32_t disp : localDisplacements())
        g.add("CmpLocalReg", direction ? regTag(r) + ",local" : "local," + regTag(r),
              "cmp " + (direction ? R(r) + ", " + localText(disp) : localText(disp) + ", " + R(r)),
              [&](TAssembler& a) { CmpLocalReg(a, direction, r, disp); });
  genRegReg(g, "CmpRegReg", {1, 2, 4}, CmpRegReg, loadForm("cmp"));
  genAluRegImm(g, "CmpRegImm", "cmp", [](TAssembler& a, TRegister r, int32_t v) { CmpRegImm(a, r, 0, v); });
  for (int kind : {1, 2, 4})
    for (TRegister r : regs(4))
      for (int64_t imm : immediates()) {
        if (!fits(imm, kind)) continue;
        const bool full = kind != 1 && !(imm >= -128 && imm <= 127);
        g.add("CmpRegImm", sizeTag(kind) + "[reg]" + (full ? ",i" + sizeTag(kind) : ",i8"),
              "cmp " + ptr(kind) + memText(BaseDisp(r, 0)) + ", " + g.imm(imm, full),
              [&](TAssembler& a) { CmpRegImm(a, r, kind, static_cast<int32_t>(imm)); });
      }
  for (int size : {1, 2, 4})
    for (TRegister base : regs(4))
      for (TRegister index : regs(4)) {
        if (base == rdESP && index == rdESP) continue;
        const TMemOperand m{2, base, index, 0, 0};
        for (int64_t imm : {5, 1000}) {
          const bool full = size != 1 && imm > 127;
          g.add("CmpBaseIndexImm", sizeTag(size) + memTag(m) + (full ? ",i" + sizeTag(size) : ",i8"),
                dispHint(m) + "cmp " + ptr(size) + memText(m) + ", " + g.imm(size == 1 ? 5 : imm, full),
                [&](TAssembler& a) { CmpBaseIndexImm(a, base, index, size == 1 ? 5 : static_cast<int32_t>(imm), size); });
        }
      }
}

inline void genLogic(TGenerator& g) {
  for (TRegister r : allRegs())
    for (int64_t imm : immediates())
      if (fits(imm, bytesOf(r)))
        g.add("TestRegImm", (RegNum(r) == 0 ? "acc" : regTag(r)) + ",i" + sizeTag(bytesOf(r)),
              "test " + R(r) + ", " + num(imm), [&](TAssembler& a) { TestRegImm(a, r, static_cast<int32_t>(imm)); });
  genRegReg(g, "TestRegReg", {1, 2, 4}, TestRegReg, [](TRegister f, TRegister s) { return "test " + R(f) + ", " + R(s); });
  for (TRegister r : allRegs())
    for (TRegister base : regs(4))
      g.add("TestMemReg", "m(base)," + regTag(r), "test " + memText(BaseDisp(base, 0)) + ", " + R(r),
            [&](TAssembler& a) { TestMemReg(a, r, base); });
  genAluRegImm(g, "XorRegImm", "xor", XorRegImm);
  genRegReg(g, "XorRegReg", {1, 2, 4}, XorRegReg, loadForm("xor"));
  const TMemOperand xorMems[] = {{2, rdEBX, rdESI, 0x1000, 0}, {2, rdEAX, rdECX, 0, 0},  {2, rdEBP, rdEDI, -128, 2},
                                 {2, rdEAX, rdESP, 4, 0},      {2, rdESP, rdEBP, 0, 0},  {2, rdEDX, rdEBP, 127, 8},
                                 {2, rdECX, rdEAX, 128, 4},    {2, rdESI, rdEBX, -129, 1}};
  for (TRegister r : allRegs())
    for (const TMemOperand& m : xorMems)
      g.add("XorRegMem", regTag(r) + "," + memTag(m),
            std::string(m.disp == 0 ? "{disp8} " : "") + "xor " + R(r) + ", " + memText(m),
            [&](TAssembler& a) { XorRegMem(a, r, m.base, m.disp, m.index, m.scale); });
  genRegReg(g, "OrRegReg", {1, 2, 4}, OrRegReg, loadForm("or"));
  for (TRegister f : regs(2))
    g.add("OrRegReg", "r16,r16 (16-bit code)", "{load} or " + R(f) + ", cx",
          [&](TAssembler& a) { OrRegReg(a, f, rdCX); }, true);
  genRegReg(g, "AdcRegReg", {1, 2, 4}, AdcRegReg, loadForm("adc"));
  const std::tuple<const char*, const char*, void (*)(TAssembler&, TRegister)> unary[] = {
      {"NotReg", "not", NotReg}, {"NegReg", "neg", NegReg}, {"MulReg", "mul", MulReg},
      {"IncReg", "inc", IncReg}, {"DecReg", "dec", DecReg}};
  for (const auto& [op, mnemonic, encode] : unary)
    for (TRegister r : allRegs())
      g.add(op, regTag(r), std::string(mnemonic) + " " + R(r), [&](TAssembler& a) { encode(a, r); });
}

inline void genIncDecShiftXchg(TGenerator& g) {
  for (int size : {1, 2, 4}) {
    for (int32_t disp : localDisplacements()) {
      g.add("IncLocal", sizeTag(size), "inc " + ptr(size) + localText(disp), [&](TAssembler& a) { IncLocal(a, size, disp); });
      g.add("DecLocal", sizeTag(size), "dec " + ptr(size) + localText(disp), [&](TAssembler& a) { DecLocal(a, size, disp); });
    }
    for (const TVarRef& v : variables()) {
      g.add("IncVar", sizeTag(size), "inc " + ptr(size) + varText(v.ident, v.offset),
            [&](TAssembler& a) { IncVar(a, size, v.ident, v.offset); })
          .expect = {varFix(v.ident, v.offset)};
      g.add("DecVar", sizeTag(size), "dec " + ptr(size) + varText(v.ident, v.offset),
            [&](TAssembler& a) { DecVar(a, size, v.ident, v.offset); })
          .expect = {varFix(v.ident, v.offset)};
    }
  }
  const std::tuple<const char*, const char*, void (*)(TAssembler&, TRegister, uint8_t)> shifts[] = {
      {"RolRegImm", "rol", RolRegImm}, {"RorRegImm", "ror", RorRegImm}, {"ShlRegImm", "shl", ShlRegImm},
      {"SalRegImm", "sal", SalRegImm}, {"ShrRegImm", "shr", ShrRegImm}, {"SarRegImm", "sar", SarRegImm}};
  for (const auto& [op, mnemonic, encode] : shifts)
    for (TRegister r : allRegs())
      for (int count : {0, 1, 2, 31, 255})
        g.add(op, regTag(r) + (count == 1 ? ",1" : ",i8"), std::string(mnemonic) + " " + R(r) + ", " + num(count),
              [&](TAssembler& a) { encode(a, r, static_cast<uint8_t>(count)); });
  genRegReg(g, "XchgRegReg", {4}, XchgRegReg, [](TRegister f, TRegister s) {
    // GNU puts the second operand in the reg field, we the first; xchg is symmetric.
    return f == rdEAX || s == rdEAX ? "xchg " + R(f) + ", " + R(s) : "xchg " + R(s) + ", " + R(f);
  });
  for (TRegister r : allRegs()) {
    for (int32_t disp : localDisplacements())
      g.add("XchgRegLocal", regTag(r) + ",local", "xchg " + localText(disp) + ", " + R(r),
            [&](TAssembler& a) { XchgRegLocal(a, r, disp); });
    for (const TVarRef& v : variables())
      g.add("XchgRegVar", regTag(r) + ",var", "xchg " + varText(v.ident, v.offset) + ", " + R(r),
            [&](TAssembler& a) { XchgRegVar(a, r, v.ident, v.offset); })
          .expect = {varFix(v.ident, v.offset)};
  }
  for (TRegister r : allRegs()) {
    if (bytesOf(r) == 1) continue;
    for (int bits : {8, 16}) {
      if (bytesOf(r) == 2 && bits == 16) continue;
      for (const TVarRef& v : variables())
        g.add("MovzxRegVar", regTag(r) + ",var" + num(bits),
              "movzx " + R(r) + ", " + ptr(bits / 8) + varText(v.ident, v.offset),
              [&](TAssembler& a) { MovzxRegVar(a, r, v.ident, v.offset, bits); })
            .expect = {varFix(v.ident, v.offset)};
    }
  }
}

inline void generateCompareAndLogic(TGenerator& g) {
  genCompareMemory(g);
  genCompareLocalAndRegister(g);
  genLogic(g);
  genIncDecShiftXchg(g);
}

}  // namespace forms
