// Walks every integer encoder operation over its operand forms. Each case holds the bytes and
// fix-ups our operation produced and the same instruction as GNU Intel-syntax text.
//
// GNU picks the shortest encoding where we follow fixed rules; these controls make it pick
// ours, so that the bytes can be compared exactly:
//   {load}          register pairs use the reg, r/m opcode (03, 2B, 8B, 3B, 33, 0B, 13, 23)
//   {disp8}         a zero displacement kept as one byte (EBP as index; XOR reg, mem always)
//   OFFSET imm_N    a constant defined at the end: GNU must leave a full-width immediate
//                   (memory destinations always take 81/C7 ... iz; words like 65535 take iw)
//   data16          MOV segment, 16-bit register carries 66 in 32-bit code
//   xchg b, a       GNU puts the second operand in the reg field; xchg is symmetric
//   sldt e..        SLDT to a word register without 66 is, to GNU, SLDT to the dword register
//   .byte 0x66      MOV seg:[address], 16-bit register puts 66 before the segment prefix
// Not compared at all: MOV between the accumulator and an absolute [address] without a
// register through ModRM (8B 05 / 89 05); GNU can only write the moffs form (A1 / A3).
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "assembler/code_buffer.h"
#include "assembler/memory_operand.h"

namespace forms {

using namespace kelvo;

struct TExpectFix {
  TFixType kind;
  uint32_t index;
  uint32_t offset;
  uint32_t field;  // what our code holds in the patched field
};

struct TCase {
  std::string op;    // encoder operation
  std::string form;  // operand classes
  std::string text;  // GNU lines
  std::string bytes;
  std::vector<TFixUp> fixups;
  std::vector<TExpectFix> expect;
  bool code16 = false;
};

inline std::string R(TRegister r) { return kRegisterNames[r]; }
inline std::string num(int64_t v) { return std::to_string(v); }
inline std::string ptr(int bytes) { return bytes == 1 ? "byte ptr " : (bytes == 2 ? "word ptr " : "dword ptr "); }
inline std::string sizeTag(int bytes) { return bytes == 1 ? "8" : (bytes == 2 ? "16" : "32"); }
inline std::string regTag(TRegister r) { return "r" + sizeTag(regSize(r) / 8); }
inline int bytesOf(TRegister r) { return regSize(r) / 8; }

inline std::vector<TRegister> regs(int bytes) {
  const int first = bytes == 4 ? rdEAX : (bytes == 2 ? rdAX : rdAL);
  std::vector<TRegister> list;
  for (int i = 0; i < 8; ++i) list.push_back(static_cast<TRegister>(first + i));
  return list;
}
inline std::vector<TRegister> allRegs() {
  std::vector<TRegister> list;
  for (int i = 0; i < kRegisterCount; ++i) list.push_back(static_cast<TRegister>(i));
  return list;
}

inline const std::vector<TMemOperand>& memOperands() {
  static const std::vector<TMemOperand> list = {
      // no register
      {0, rdEAX, rdEAX, 0x1000, 0}, {0, rdEAX, rdEAX, 0x12345678, 0},
      // base only, displacement edges
      {1, rdEAX, rdEAX, 0, 0}, {1, rdECX, rdEAX, -128, 0}, {1, rdEDX, rdEAX, 127, 0},
      {1, rdEBX, rdEAX, 128, 0}, {1, rdESI, rdEAX, -129, 0}, {1, rdEDI, rdEAX, 0x12345678, 0},
      {1, rdESP, rdEAX, 0, 0}, {1, rdESP, rdEAX, 8, 0}, {1, rdESP, rdEAX, -128, 0},
      {1, rdESP, rdEAX, 128, 0}, {1, rdESP, rdEAX, -129, 0},
      {1, rdEBP, rdEAX, 0, 0}, {1, rdEBP, rdEAX, -128, 0}, {1, rdEBP, rdEAX, 127, 0},
      {1, rdEBP, rdEAX, 128, 0}, {1, rdEBP, rdEAX, -129, 0},
      // base + index*scale + disp
      {2, rdEAX, rdECX, 0, 0}, {2, rdEAX, rdECX, 16, 4}, {2, rdEBX, rdESI, -128, 4},
      {2, rdEDX, rdEDI, 128, 8}, {2, rdESI, rdEAX, -129, 2}, {2, rdEDI, rdEDX, 127, 1},
      {2, rdECX, rdEBX, 0, 8}, {2, rdEBP, rdECX, 0, 0}, {2, rdEBP, rdECX, 0, 4},
      {2, rdEAX, rdEBP, 0, 0}, {2, rdESI, rdEBP, 127, 8}, {2, rdEBP, rdEBP, 0, 1},
      {2, rdEAX, rdESP, 0, 0}, {2, rdEBP, rdESP, -4, 0}, {2, rdESP, rdEAX, 0, 2},
      {2, rdESP, rdEBP, 0x100, 0}, {2, rdESP, rdEBP, 0, 0},
      // index*scale + disp32 without base
      {1, rdECX, rdEAX, 0, 2}, {1, rdEAX, rdEAX, 16, 4}, {1, rdEBP, rdEAX, -129, 8},
      {1, rdEDI, rdEAX, 128, 1}, {1, rdEBX, rdEAX, -128, 2},
  };
  return list;
}

inline const std::vector<int64_t>& immediates() {
  static const std::vector<int64_t> list = {0,   1,     -1,    127,        128,
                                            -128, -129, 255,   32767,      65535,
                                            0x7FFFFFFF, -0x80000000LL};
  return list;
}
inline bool fits(int64_t v, int bytes) {
  if (bytes == 1) return v >= -128 && v <= 255;
  if (bytes == 2) return v >= -32768 && v <= 65535;
  return v >= INT32_MIN && v <= UINT32_MAX;
}
inline const std::vector<int32_t>& displacements() {
  static const std::vector<int32_t> list = {0, -128, 127, 128, -129};
  return list;
}
inline const std::vector<int32_t>& localDisplacements() {
  static const std::vector<int32_t> list = {0, -4, -128, 127, 128, -129, -300, 0x1000};
  return list;
}
struct TVarRef {
  uint32_t ident;
  uint32_t offset;
};
inline const std::vector<TVarRef>& variables() {
  static const std::vector<TVarRef> list = {{0, 0}, {7, 4}, {300, 0x1000}};
  return list;
}

inline std::string hexNum(uint32_t v) {
  char text[16];
  snprintf(text, sizeof text, "0x%X", v);
  return text;
}

inline std::string memText(const TMemOperand& m) {
  if (m.regCount <= 0) return "[" + hexNum(static_cast<uint32_t>(m.disp)) + "]";
  std::string t = "[" + R(m.base);
  if (m.regCount == 1 && m.scale > 0) t += "*" + num(m.scale);
  if (m.regCount >= 2) t += "+" + R(m.index) + (m.scale > 0 ? "*" + num(m.scale) : "");
  if (m.disp > 0) t += "+" + num(m.disp);
  if (m.disp < 0) t += "-" + num(-static_cast<int64_t>(m.disp));
  return t + "]";
}

// Our zero displacement stays a byte whenever EBP is the SIB index; GNU needs telling.
inline std::string dispHint(const TMemOperand& m) {
  if (m.regCount < 2 || m.disp != 0) return "";
  TRegister base = m.base, index = m.index;
  if (index == rdESP) std::swap(base, index);
  return index == rdEBP && base != rdEBP ? "{disp8} " : "";
}

inline std::string memTag(const TMemOperand& m) {
  if (m.regCount <= 0) return "m(abs)";
  if (m.regCount == 1) return m.scale > 0 ? "m(index*s)" : "m(base)";
  return "m(base+index)";
}

inline std::string varText(uint32_t ident, uint32_t offset) {
  return "[var" + num(ident) + (offset ? "+" + num(offset) : "") + "]";
}
inline TExpectFix varFix(uint32_t ident, uint32_t offset) { return {ftDataAddress, ident, offset, 0}; }

class TGenerator {
 public:
  std::vector<TCase> cases;
  std::map<int64_t, std::string> constants;

  TCase& add(const std::string& op, const std::string& form, const std::string& text,
             const std::function<void(TAssembler&)>& encode, bool code16 = false) {
    TAssembler a;
    if (code16) a.cpuMode = 16;
    encode(a);
    TCase c;
    c.op = op;
    c.form = form;
    c.text = text;
    c.bytes = a.strCode;
    c.fixups = a.FixUps;
    c.code16 = code16;
    cases.push_back(std::move(c));
    return cases.back();
  }

  // A constant GNU learns only at the end, so it keeps the immediate at full width.
  std::string wide(int64_t v) {
    auto found = constants.find(v);
    if (found != constants.end()) return "OFFSET " + found->second;
    const std::string name = "imm_" + num(static_cast<int64_t>(constants.size()));
    constants[v] = name;
    return "OFFSET " + name;
  }
  std::string imm(int64_t v, bool fullWidth) { return fullWidth ? wide(v) : num(v); }
};

using TRegRegOp = void (*)(TAssembler&, TRegister, TRegister);

// Same-sized pairs; `text` writes the GNU line for (first, second).
inline void genRegReg(TGenerator& g, const char* op, std::initializer_list<int> sizes, TRegRegOp encode,
                      const std::function<std::string(TRegister, TRegister)>& text) {
  for (int size : sizes)
    for (TRegister first : regs(size))
      for (TRegister second : regs(size))
        g.add(op, regTag(first) + "," + regTag(second), text(first, second),
              [&](TAssembler& a) { encode(a, first, second); });
}
inline std::function<std::string(TRegister, TRegister)> loadForm(const std::string& mnemonic) {
  return [mnemonic](TRegister d, TRegister s) { return "{load} " + mnemonic + " " + R(d) + ", " + R(s); };
}

// The ModRM encoder on its own, behind an opcode byte emitted separately (LEA).
inline void genEncodeModRM(TGenerator& g) {
  for (uint8_t field = 0; field < 8; ++field)
    for (const TMemOperand& m : memOperands())
      g.add("EncodeModRM", memTag(m), dispHint(m) + "lea " + R(static_cast<TRegister>(field)) + ", " + memText(m),
            [&](TAssembler& a) {
              const uint8_t lea = 0x8D;
              EmitBytes(a, &lea, 1);
              EncodeModRM(a, m.regCount, field, m.base, m.index, m.disp, m.scale);
            });
}

}  // namespace forms
