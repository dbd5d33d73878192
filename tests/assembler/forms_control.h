// Cases for calls, jumps, RET, INT, POP, SETAE, BSWAP, bit tests, SLDT/VERR/VERW, LAR, IN, OUT.
#pragma once

#include <tuple>

#include "assembler/encoders.h"
#include "tests/assembler/encoder_forms.h"

namespace forms {

using TBaseDispOp = void (*)(TAssembler&, TRegister, int32_t);

// [base + disp] forms over every 32-bit base and the displacement edges.
inline void genBaseDisp(TGenerator& g, const char* op, const std::string& prefix, TBaseDispOp encode) {
  for (TRegister base : regs(4))
    for (int32_t disp : displacements()) {
      const TMemOperand m = BaseDisp(base, disp);
      g.add(op, memTag(m), prefix + memText(m), [&](TAssembler& a) { encode(a, base, disp); });
    }
}

inline void genCallsAndJumps(TGenerator& g) {
  genBaseDisp(g, "CallMem", "call dword ptr ", CallMem);
  for (TRegister r : regs(4)) {
    g.add("CallReg", "r32", "call " + R(r), [&](TAssembler& a) { CallReg(a, r); });
    g.add("JmpReg", "r32", "jmp " + R(r), [&](TAssembler& a) { JmpReg(a, r); });
  }
  for (const TVarRef& v : variables())
    g.add("CallVar", "var", "call dword ptr " + varText(v.ident, v.offset),
          [&](TAssembler& a) { CallVar(a, v.ident, v.offset); })
        .expect = {varFix(v.ident, v.offset)};
  for (uint32_t proc : {0u, 7u, 4000u}) {
    g.add("CallRel", "rel32", "call proc" + num(proc), [&](TAssembler& a) { CallRel(a, proc); }).expect = {
        {ftCall, proc, 0, 0}};
    g.add("CallRel", "rel16 (16-bit code)", "call proc" + num(proc), [&](TAssembler& a) { CallRel(a, proc); }, true)
        .expect = {{ftCall, proc, 0, 0}};
  }
  for (uint32_t slot : {0u, 0x2040u})
    g.add("EmitImportJump", "slot", "jmp dword ptr [base0]", [&](TAssembler& a) { EmitImportJump(a, slot); })
        .expect = {{ftAppendBase, 0, 0, slot}};
  for (uint16_t count : {0, 8, 65535})
    g.add("EmitRetImm", "i16", "ret " + num(count), [&](TAssembler& a) { EmitRetImm(a, count); });
  for (int vector : {0, 3, 0x21, 0x80, 255})
    g.add("IntImm", vector == 3 ? "int3" : "i8", "int " + num(vector),
          [&](TAssembler& a) { IntImm(a, static_cast<uint8_t>(vector)); });
}

inline void genPop(TGenerator& g) {
  for (int size : {2, 4})
    for (TRegister r : regs(size)) g.add("PopReg", regTag(r), "pop " + R(r), [&](TAssembler& a) { PopReg(a, r); });
  for (int s = 0; s < kSegmentCount; ++s) {
    const auto seg = static_cast<TSegment>(s);
    const std::string name = kSegmentNames[s];
    if (seg != segCS) g.add("PopSeg", "seg", "pop " + name, [&](TAssembler& a) { PopSeg(a, seg); });
    for (uint32_t address : {0u, 0x1000u}) {
      const std::string where = (seg == segDS ? "" : name + ":") + "[" + hexNum(address) + "]";
      g.add("PopSegMem", "seg:m", "pop dword ptr " + where, [&](TAssembler& a) { PopSegMem(a, seg, address); });
    }
  }
  genBaseDisp(g, "PopMem", "pop dword ptr ", PopMem);
  for (const TVarRef& v : variables())
    g.add("PopVar", "var", "pop dword ptr " + varText(v.ident, v.offset),
          [&](TAssembler& a) { PopVar(a, v.ident, v.offset); })
        .expect = {varFix(v.ident, v.offset)};
}

using TRegOp = void (*)(TAssembler&, TRegister);

inline void genSystem(TGenerator& g) {
  for (const TVarRef& v : variables())
    g.add("SetaeVar", "var8", "setae byte ptr " + varText(v.ident, v.offset),
          [&](TAssembler& a) { SetaeVar(a, 1, v.ident, v.offset); })
        .expect = {varFix(v.ident, v.offset)};
  for (TRegister r : regs(1)) g.add("SetaeReg", "r8", "setae " + R(r), [&](TAssembler& a) { SetaeReg(a, r); });
  for (TRegister r : regs(4)) g.add("BswapReg", "r32", "bswap " + R(r), [&](TAssembler& a) { BswapReg(a, r); });
  const std::tuple<const char*, const char*, TRegRegOp> bitTests[] = {
      {"BtRegReg", "bt", BtRegReg}, {"BtcRegReg", "btc", BtcRegReg},
      {"BtrRegReg", "btr", BtrRegReg}, {"BtsRegReg", "bts", BtsRegReg}};
  for (const auto& [op, mnemonic, encode] : bitTests)
    genRegReg(g, op, {2, 4}, encode, [m = std::string(mnemonic)](TRegister f, TRegister s) {
      return m + " " + R(f) + ", " + R(s);
    });
  // No 66 on a word register: GNU calls that SLDT to the dword register (same low word).
  const std::tuple<const char*, const char*, TRegOp, bool> systemOps[] = {
      {"SldtReg", "sldt", SldtReg, true}, {"VerrReg", "verr", VerrReg, false}, {"VerwReg", "verw", VerwReg, false}};
  for (const auto& [op, mnemonic, encode, asDword] : systemOps)
    for (TRegister r : regs(2))
      g.add(op, "r16", std::string(mnemonic) + " " + R(asDword ? static_cast<TRegister>(r - rdAX) : r),
            [&](TAssembler& a) { encode(a, r); });
  genRegReg(g, "LarRegReg", {2, 4}, LarRegReg, [](TRegister f, TRegister s) { return "lar " + R(f) + ", " + R(s); });
  for (TRegister acc : {rdEAX, rdAX, rdAL})
    for (int port : {0, 0x60, 255}) {
      g.add("InAccImm", regTag(acc), "in " + R(acc) + ", " + num(port),
            [&](TAssembler& a) { InAccImm(a, acc, static_cast<uint8_t>(port)); });
      g.add("OutImmAcc", regTag(acc), "out " + num(port) + ", " + R(acc),
            [&](TAssembler& a) { OutImmAcc(a, static_cast<uint8_t>(port), acc); });
    }
}

inline void generateControlAndStack(TGenerator& g) {
  genCallsAndJumps(g);
  genPop(g);
  genSystem(g);
}

}  // namespace forms
