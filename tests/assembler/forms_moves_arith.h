// Cases for PUSH, ADD, SUB, LEA, AND, CMOVZ, IMUL, IDIV, DIV, MOV and the ModRM encoder.
#pragma once

#include "assembler/encoders.h"
#include "tests/assembler/encoder_forms.h"

namespace forms {

// Form names for counting: accumulator and sign-extended byte forms count apart.
inline std::string aluImmTag(TRegister r, int64_t imm) {
  const int bytes = bytesOf(r);
  if (bytes == 1) return (r == rdAL ? "al" : "r8") + std::string(",i8");
  if (imm >= -128 && imm <= 127) return regTag(r) + ",i8";
  return (RegNum(r) == 0 ? "acc" : regTag(r)) + ",i" + sizeTag(bytes);
}

inline void genPush(TGenerator& g) {
  for (int size : {1, 2, 4})
    for (const TMemOperand& m : memOperands())
      g.add("PushMem", sizeTag(size) + memTag(m), dispHint(m) + "push " + ptr(size == 2 ? 2 : 4) + memText(m),
            [&](TAssembler& a) { PushMem(a, m.regCount, size, m.base, m.index, m.disp, m.scale); });
  for (int size : {2, 4})
    for (const TVarRef& v : variables()) {
      const std::string text = size == 2 ? "push word ptr 0\npush word ptr " + varText(v.ident, v.offset)
                                         : "push dword ptr " + varText(v.ident, v.offset);
      g.add("PushVar", sizeTag(size), text, [&](TAssembler& a) { PushVar(a, size, v.ident, v.offset); })
          .expect = {varFix(v.ident, v.offset)};
    }
  for (int size : {2, 4})
    for (int64_t imm : immediates()) {
      if (!fits(imm, size)) continue;
      const bool full = !(imm >= -128 && imm <= 127);
      g.add("PushImm", sizeTag(size) + (full ? ",i" + sizeTag(size) : ",i8"),
            "push " + ptr(size) + g.imm(imm, full),
            [&](TAssembler& a) { PushImm(a, size, static_cast<int32_t>(imm), ftNone, 0); });
    }
  for (TFixType kind : {ftDataAddress, ftProcAddress})
    for (uint32_t offset : {0u, 8u})
      g.add("PushImm", "i32+fix", "push OFFSET sym3" + std::string(offset ? "+8" : ""),
            [&](TAssembler& a) { PushImm(a, 4, 3, kind, offset); })
          .expect = {{kind, 3, offset, 3}};
  for (int s = 0; s < kSegmentCount; ++s)
    for (uint32_t address : {0u, 0x30u, 0x12345678u}) {
      const auto seg = static_cast<TSegment>(s);
      const std::string name = kSegmentNames[s];
      const std::string text = address == 0 ? "push " + name
                               : seg == segDS ? "push dword ptr [" + hexNum(address) + "]"
                                              : "push dword ptr " + name + ":[" + hexNum(address) + "]";
      g.add("PushSeg", address ? "seg:m" : "seg", text, [&](TAssembler& a) { PushSeg(a, seg, address); });
    }
  for (int size : {2, 4})
    for (TRegister r : regs(size)) g.add("PushReg", regTag(r), "push " + R(r), [&](TAssembler& a) { PushReg(a, r); });
  g.add("EmitPushad", "", "pushad", [](TAssembler& a) { EmitPushad(a); });
  g.add("EmitPopad", "", "popad", [](TAssembler& a) { EmitPopad(a); });
}

using TMemImmOp = void (*)(TAssembler&, int32_t, int32_t, int32_t, TRegister, TRegister, int32_t, int32_t, TFixType);
using TVarImmOp = void (*)(TAssembler&, int32_t, uint32_t, int64_t, uint32_t, TFixType, uint32_t);

// Memory destinations always take the full-width immediate.
inline void genMemImm(TGenerator& g, const char* op, const char* mnemonic, TMemImmOp encode) {
  auto one = [&](int size, const TMemOperand& m, int64_t imm) {
    g.add(op, sizeTag(size) + memTag(m) + ",i" + sizeTag(size),
          dispHint(m) + mnemonic + " " + ptr(size) + memText(m) + ", " + g.imm(imm, size != 1),
          [&](TAssembler& a) {
            encode(a, m.regCount, size, static_cast<int32_t>(imm), m.base, m.index, m.disp, m.scale, ftNone);
          });
  };
  for (int size : {1, 2, 4}) {
    for (const TMemOperand& m : memOperands()) one(size, m, size == 1 ? 100 : 1000);
    for (int64_t imm : immediates())
      if (fits(imm, size)) one(size, {2, rdEBX, rdESI, 8, 4}, imm);
  }
  for (const TMemOperand& m : {memOperands()[2], memOperands()[20], memOperands()[35]})
    g.add(op, "32" + memTag(m) + ",i32+fix",
          dispHint(m) + mnemonic + " dword ptr " + memText(m) + ", OFFSET sym9",
          [&](TAssembler& a) { encode(a, m.regCount, 4, 9, m.base, m.index, m.disp, m.scale, ftDataAddress); })
        .expect = {{ftDataAddress, 9, 0, 9}};
}

// Size 8 is two dword instructions; `high` is the mnemonic for the upper half.
inline void genVarImm(TGenerator& g, const char* op, const char* low, const char* high, TVarImmOp encode) {
  for (const TVarRef& v : variables()) {
    for (int size : {1, 2, 4})
      for (int64_t imm : immediates()) {
        if (!fits(imm, size)) continue;
        g.add(op, sizeTag(size) + ",i" + sizeTag(size),
              std::string(low) + " " + ptr(size) + varText(v.ident, v.offset) + ", " + g.imm(imm, size != 1),
              [&](TAssembler& a) { encode(a, size, v.ident, imm, v.offset, ftNone, 0); })
            .expect = {varFix(v.ident, v.offset)};
      }
    for (int64_t imm : {int64_t{0x100000001}, int64_t{-1}, int64_t{0x7FFFFFFFFFFFFFFF}, int64_t{0x123456789ABCDEF0}}) {
      const auto lo = static_cast<uint32_t>(imm), hi = static_cast<uint32_t>(static_cast<uint64_t>(imm) >> 32);
      g.add(op, "64", std::string(low) + " dword ptr " + varText(v.ident, v.offset) + ", " + g.wide(lo) + "\n" +
                          high + " dword ptr " + varText(v.ident, v.offset + 4) + ", " + g.wide(hi),
            [&](TAssembler& a) { encode(a, 8, v.ident, imm, v.offset, ftNone, 0); })
          .expect = {varFix(v.ident, v.offset), varFix(v.ident, v.offset + 4)};
    }
    g.add(op, "32,i32+fix", std::string(low) + " dword ptr " + varText(v.ident, v.offset) + ", OFFSET sym12",
          [&](TAssembler& a) { encode(a, 4, v.ident, 0x44, v.offset, ftDataAddress, 12); })
        .expect = {varFix(v.ident, v.offset), {ftDataAddress, 12, 0, 0x44}};
  }
}

using TRegMemOp = void (*)(TAssembler&, int32_t, TRegister, TRegister, TRegister, int32_t, int32_t);
using TVarRegOp = void (*)(TAssembler&, uint32_t, TRegister, uint32_t);

// `load`: reg, [mem]; otherwise [mem], reg.
inline void genRegMem(TGenerator& g, const char* op, const char* mnemonic, bool load, TRegMemOp encode,
                      const std::vector<TRegister>& registers) {
  for (TRegister r : registers)
    for (const TMemOperand& m : memOperands()) {
      // GNU writes the accumulator with an absolute address as moffs only (see the list above).
      if (m.regCount == 0 && RegNum(r) == 0 && std::string(mnemonic) == "mov") continue;
      const std::string operands = load ? R(r) + ", " + memText(m) : memText(m) + ", " + R(r);
      g.add(op, load ? regTag(r) + "," + memTag(m) : memTag(m) + "," + regTag(r),
            dispHint(m) + mnemonic + " " + operands,
            [&](TAssembler& a) { encode(a, m.regCount, r, m.base, m.index, m.disp, m.scale); });
    }
}

inline void genVarReg(TGenerator& g, const char* op, const char* mnemonic, bool load, TVarRegOp encode) {
  for (TRegister r : allRegs())
    for (const TVarRef& v : variables()) {
      const std::string var = varText(v.ident, v.offset);
      g.add(op, load ? regTag(r) + ",var" : "var," + regTag(r),
            std::string(mnemonic) + " " + (load ? R(r) + ", " + var : var + ", " + R(r)),
            [&](TAssembler& a) { encode(a, v.ident, r, v.offset); })
          .expect = {varFix(v.ident, v.offset)};
    }
}

using TRegImmOp = void (*)(TAssembler&, TRegister, int32_t);

inline void genAluRegImm(TGenerator& g, const char* op, const char* mnemonic, TRegImmOp encode) {
  for (TRegister r : allRegs())
    for (int64_t imm : immediates()) {
      if (!fits(imm, bytesOf(r))) continue;
      const bool full = bytesOf(r) != 1 && !(imm >= -128 && imm <= 127);
      g.add(op, aluImmTag(r, imm), std::string(mnemonic) + " " + R(r) + ", " + g.imm(imm, full),
            [&](TAssembler& a) { encode(a, r, static_cast<int32_t>(imm)); });
    }
}

inline void genAddSub(TGenerator& g) {
  genMemImm(g, "AddMemImm", "add", AddMemImm);
  genMemImm(g, "SubMemImm", "sub", SubMemImm);
  genVarImm(g, "AddVarImm", "add", "adc", AddVarImm);
  genVarImm(g, "SubVarImm", "sub", "sbb", SubVarImm);
  genRegMem(g, "AddMemReg", "add", false, AddMemReg, allRegs());
  genRegMem(g, "SubMemReg", "sub", false, SubMemReg, allRegs());
  genRegMem(g, "AddRegMem", "add", true, AddRegMem, allRegs());
  genRegMem(g, "SubRegMem", "sub", true, SubRegMem, allRegs());
  genVarReg(g, "AddVarReg", "add", false, AddVarReg);
  genVarReg(g, "SubVarReg", "sub", false, SubVarReg);
  genVarReg(g, "AddRegVar", "add", true, AddRegVar);
  genVarReg(g, "SubRegVar", "sub", true, SubRegVar);
  genAluRegImm(g, "AddRegImm", "add", [](TAssembler& a, TRegister r, int32_t v) { AddRegImm(a, r, v, ftNone); });
  genAluRegImm(g, "SubRegImm", "sub", [](TAssembler& a, TRegister r, int32_t v) { SubRegImm(a, r, v, ftNone); });
  genRegReg(g, "AddRegReg", {1, 2, 4}, AddRegReg, loadForm("add"));
  genRegReg(g, "SubRegReg", {1, 2, 4}, SubRegReg, loadForm("sub"));
}

inline void genLeaAndMul(TGenerator& g) {
  std::vector<TRegister> wide = regs(4);
  for (TRegister r : regs(2)) wide.push_back(r);
  for (TRegister r : wide) {
    g.add("LeaRegVar", regTag(r) + ",abs", "lea " + R(r) + ", [0x1000]",
          [&](TAssembler& a) { LeaRegVar(a, r, 0x1000, ftNone, 0); });
    for (uint32_t offset : {0u, 12u})
      g.add("LeaRegVar", regTag(r) + ",var", "lea " + R(r) + ", " + varText(5, offset),
            [&](TAssembler& a) { LeaRegVar(a, r, 5, ftDataAddress, offset); })
          .expect = {{ftDataAddress, 5, offset, 5}};
  }
  genRegMem(g, "LeaRegMem", "lea", true, LeaRegMem, wide);
  genRegReg(g, "AndRegReg", {1, 2, 4}, AndRegReg, loadForm("and"));
  genAluRegImm(g, "AndRegImm", "and", AndRegImm);
  genRegReg(g, "CmovzRegReg", {2, 4}, CmovzRegReg,
            [](TRegister d, TRegister s) { return "cmovz " + R(d) + ", " + R(s); });
  for (TRegister r : wide)
    for (int64_t imm : immediates()) {
      if (!fits(imm, bytesOf(r))) continue;
      const bool full = !(imm >= -128 && imm <= 127);
      g.add("ImulRegImm", regTag(r) + (full ? ",i" + sizeTag(bytesOf(r)) : ",i8"),
            "imul " + R(r) + ", " + R(r) + ", " + g.imm(imm, full),
            [&](TAssembler& a) { ImulRegImm(a, r, static_cast<int32_t>(imm)); });
    }
  for (TRegister r : allRegs()) {
    g.add("IdivReg", regTag(r), "idiv " + R(r), [&](TAssembler& a) { IdivReg(a, r); });
    g.add("DivReg", regTag(r), "div " + R(r), [&](TAssembler& a) { DivReg(a, r); });
  }
}

inline void genMoves(TGenerator& g) {
  genVarImm(g, "MovVarImm", "mov", "mov", MovVarImm);
  genMemImm(g, "MovMemImm", "mov", MovMemImm);
  genVarReg(g, "MovVarReg", "mov", false, MovVarReg);
  genVarReg(g, "MovRegVar", "mov", true, MovRegVar);
  genRegMem(g, "MovMemReg", "mov", false, MovMemReg, allRegs());
  genRegMem(g, "MovRegMem", "mov", true, MovRegMem, allRegs());
  for (int size : {2, 4})
    for (TRegister r : regs(size))
      for (int s = 0; s < kSegmentCount; ++s) {
        const auto seg = static_cast<TSegment>(s);
        const std::string where = (seg == segDS ? "" : std::string(kSegmentNames[s]) + ":") + "[0x30]";
        // A word register with a segment: 66 comes first, where GNU would put the segment.
        const bool prefixFirst = size == 2 && seg != segDS;
        g.add("MovSegMemReg", "seg:m," + regTag(r),
              prefixFirst ? ".byte 0x66\nmov " + where + ", " + R(static_cast<TRegister>(r - rdAX))
                          : "mov " + where + ", " + R(r),
              [&](TAssembler& a) { MovSegMemReg(a, seg, 0x30, r); });
      }
  for (int s = 0; s < kSegmentCount; ++s) {
    const auto seg = static_cast<TSegment>(s);
    if (seg == segCS) continue;
    const std::string name = kSegmentNames[s];
    for (TRegister r : regs(4))
      g.add("MovSegReg", "seg,r32", "mov " + name + ", " + R(r), [&](TAssembler& a) { MovSegReg(a, seg, r); });
    for (TRegister r : regs(2)) {
      g.add("MovSegReg", "seg,r16", "data16 mov " + name + ", " + R(r), [&](TAssembler& a) { MovSegReg(a, seg, r); });
      g.add("MovSegReg", "seg,r16 (16-bit code)", "mov " + name + ", " + R(r),
            [&](TAssembler& a) { MovSegReg(a, seg, r); }, true);
    }
  }
  genRegReg(g, "MovRegReg", {1, 2, 4}, MovRegReg, [](TRegister d, TRegister s) {
    return d == s ? std::string() : "{load} mov " + R(d) + ", " + R(s);  // the same register: nothing
  });
  for (TRegister r : allRegs())
    for (int64_t imm : immediates())
      if (fits(imm, bytesOf(r)))
        g.add("MovRegImm", regTag(r) + ",i" + sizeTag(bytesOf(r)), "mov " + R(r) + ", " + num(imm),
              [&](TAssembler& a) { MovRegImm(a, r, static_cast<int32_t>(imm), ftNone); });
  for (TRegister r : regs(4))
    g.add("MovRegImm", "r32,i32+fix", "mov " + R(r) + ", OFFSET sym5",
          [&](TAssembler& a) { MovRegImm(a, r, 5, ftDataAddress); })
        .expect = {{ftDataAddress, 5, 0, 5}};
  for (TRegister r : regs(2)) {
    g.add("MovRegImm", "r16,i16 (16-bit code)", "mov " + R(r) + ", 1000",
          [&](TAssembler& a) { MovRegImm(a, r, 1000, ftNone); }, true);
    g.add("MovRegImm", "r16,i16+fix (16-bit code)", "mov " + R(r) + ", OFFSET sym6",
          [&](TAssembler& a) { MovRegImm(a, r, 6, ftDataAddress); }, true)
        .expect = {{ftDataAddress, 6, 0, 6}};
  }
}

inline void generateMovesAndArithmetic(TGenerator& g) {
  genPush(g);
  genAddSub(g);
  genLeaAndMul(g);
  genMoves(g);
}

}  // namespace forms
