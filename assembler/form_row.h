// The row type of the instruction-form table, and the compile-time reader that turns a row
// written in the processor manual's notation into the packed record the form encoders read.
//
// A row is written as three strings: mnemonic, operand classes, encoding. For example
//   "add",   "r/m, imm8s",      "83 /0 ib"
//   "fadd",  "st(0), st(i)",    "D8 C0+i"
//   "addss", "xmm, xmm/m32",    "F3 0F 58 /r"
// and read once by the compiler (consteval): a misspelt row does not build.
#pragma once

#include <cstdint>

namespace kelvo {

// Operand classes. Plain "r", "r/m", "m", "imm" and "acc" take the instruction's operand size
// (from a register's bank or a memory operand's size); the others have a size of their own.
enum TOpClass : uint8_t {
  ocNone,
  ocReg, ocReg8, ocReg16, ocReg32,   // "r" "r8" "r16" "r32"
  ocRM, ocRM8, ocRM16, ocRM32,       // "r/m" "r/m8" "r/m16" "r/m32"
  ocR32M16,                          // "r32/m16": a dword register or a word in memory
  ocMem, ocMem8, ocMem16, ocMem32, ocMem64, ocMem80, ocMem128,  // "m" "m8" ... "m128"
  ocMoffs,                           // "moffs": [disp32] without ModRM (accumulator moves)
  ocImm,                             // "imm": the operand size, 1, 2 or 4 bytes
  ocImm8, ocImm8S, ocImm16, ocImm32, // "imm8", "imm8s" (-128..127, sign-extended), ...
  ocRel8, ocRel,                     // "rel8", "rel": a jump's displacement, short or the operand size
  ocAcc, ocOne, ocCL, ocDX, ocAX,    // "acc" (AL/AX/EAX), "1", "cl", "dx", "ax": implicit
  ocSreg,                            // "sreg"
  ocCS, ocSS, ocDS, ocES, ocFS, ocGS,  // one segment register, implicit (TSegment order)
  ocSt0, ocSti,                      // "st(0)" implicit, "st(i)"
  ocMm, ocMmM32, ocMmM64,            // "mm", "mm/m32", "mm/m64"
  ocXmm, ocXmmM32, ocXmmM64, ocXmmM128,  // "xmm", "xmm/m32", "xmm/m64", "xmm/m128"
};

// How the operands reach the bytes.
enum TFormEnc : uint8_t {
  feRaw,      // opcode bytes only (operands implicit)
  fePlusReg,  // "+r" / "+i": the register or ST(i) number added to the last opcode byte
  feModRM,    // "/r": a register in the reg field, a register or memory in r/m
  feDigit,    // "/0".."/7": the digit in the reg field, the operand in r/m
};

// Size rules: which operand sizes a row serves and how the size shows in the bytes.
// Rows whose classes all have a size of their own ("r32", "m64", "xmm") serve that size only.
// Rows with plain classes serve word and dword operands, word ones behind the 66 prefix, and
// byte operands as the rule says.
enum TFormRule : uint8_t {
  frNone = 0,
  frByte = 1,      // byte operands too, with the opcode's w bit (bit 0 of the last byte) clear
  frOnlyByte = 2,  // byte operands only; the opcode is written as the byte form
  frWord = 4,      // operand size 16 whatever the operands (cbw, lodsw)
  frDword = 8,     // operand size 32 whatever the operands (cwde, lodsd, bswap r32)
  frEcx = 0x10,    // counts in ECX (jecxz): 67 in 16-bit code
  frOneByte = 0x40,  // set by the reader: one opcode byte and no fixed word size, so dword
                     // operands in 32-bit code take the opcode alone
  frSized = 0x80,  // set by the reader: a plain class (or imm8s), so word operands take 66
};

inline constexpr uint8_t kImmOperandSize = 0xFF;  // "iz": 2 or 4 bytes by operand size

struct TForm {
  const char* mnemonic;
  TOpClass ops[3];
  uint8_t opcode[4];  // every byte of the encoding before ModRM, mandatory prefixes included
  uint8_t opLen;
  TFormEnc enc;
  int8_t digit;      // feDigit: the reg-field value
  int8_t regIndex;   // operand index in the reg field or added to the opcode; -1 none
  int8_t rmIndex;    // operand index in r/m; -1 none
  int8_t immIndex;   // operand index of the immediate; -1 none
  uint8_t immBytes;  // 0, 1, 2, 4 or kImmOperandSize
  uint8_t rules;     // TFormRule bits
};

namespace form_reader {

consteval bool Same(const char* a, int len, const char* b) {
  int i = 0;
  for (; i < len; ++i)
    if (b[i] == 0 || a[i] != b[i]) return false;
  return b[i] == 0;
}

struct TClassName {
  const char* name;
  TOpClass cls;
};
inline constexpr TClassName kClassNames[] = {
    {"r", ocReg},         {"r8", ocReg8},        {"r16", ocReg16},      {"r32", ocReg32},
    {"r/m", ocRM},        {"r/m8", ocRM8},       {"r/m16", ocRM16},     {"r/m32", ocRM32},
    {"r32/m16", ocR32M16},
    {"m", ocMem},         {"m8", ocMem8},        {"m16", ocMem16},      {"m32", ocMem32},
    {"m64", ocMem64},     {"m80", ocMem80},      {"m128", ocMem128},    {"moffs", ocMoffs},
    {"imm", ocImm},       {"imm8", ocImm8},      {"imm8s", ocImm8S},    {"imm16", ocImm16},
    {"imm32", ocImm32},   {"rel8", ocRel8},      {"rel", ocRel},        {"acc", ocAcc},
    {"1", ocOne},         {"cl", ocCL},
    {"dx", ocDX},         {"ax", ocAX},          {"sreg", ocSreg},      {"st(0)", ocSt0},
    {"cs", ocCS},         {"ss", ocSS},          {"ds", ocDS},          {"es", ocES},
    {"fs", ocFS},         {"gs", ocGS},          {"st(i)", ocSti},     {"mm", ocMm},          {"mm/m32", ocMmM32},   {"mm/m64", ocMmM64},
    {"xmm", ocXmm},       {"xmm/m32", ocXmmM32}, {"xmm/m64", ocXmmM64}, {"xmm/m128", ocXmmM128},
};

consteval TOpClass ClassOf(const char* text, int len) {
  for (const TClassName& c : kClassNames)
    if (Same(text, len, c.name)) return c.cls;
  throw "unknown operand class";
}

consteval int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  throw "bad hex digit";
}

}  // namespace form_reader

// Classes a register number or ST(i) is encoded from; the others are implicit or memory.
constexpr bool IsRegClass(TOpClass c) {
  return c == ocReg || c == ocReg8 || c == ocReg16 || c == ocReg32 || c == ocSreg || c == ocSti ||
         c == ocMm || c == ocXmm;
}
constexpr bool IsRMClass(TOpClass c) {
  return (c >= ocRM && c <= ocMem128) || c == ocMmM32 || c == ocMmM64 || c == ocXmmM32 || c == ocXmmM64 ||
         c == ocXmmM128;
}
constexpr bool IsImmClass(TOpClass c) { return c >= ocImm && c <= ocRel; }

consteval TForm MakeForm(const char* mnemonic, const char* operands, const char* encoding,
                         uint8_t rules = frNone) {
  using namespace form_reader;
  TForm f{mnemonic, {ocNone, ocNone, ocNone}, {0, 0, 0, 0}, 0, feRaw, 0, -1, -1, -1, 0, rules};
  // operands: comma-separated classes
  int count = 0;
  for (const char* p = operands; *p;) {
    while (*p == ' ') ++p;
    const char* start = p;
    while (*p && *p != ',') ++p;
    int len = static_cast<int>(p - start);
    while (len > 0 && start[len - 1] == ' ') --len;
    if (count == 3) throw "more than three operands";
    f.ops[count++] = ClassOf(start, len);
    if (*p == ',') ++p;
  }
  // encoding: hex bytes, then at most one of +r +i /r /digit, then at most one immediate
  for (const char* p = encoding; *p;) {
    if (*p == ' ') { ++p; continue; }
    if (*p == '+') {
      f.enc = fePlusReg;
      p += 2;
    } else if (*p == '/') {
      f.enc = p[1] == 'r' ? feModRM : feDigit;
      if (f.enc == feDigit) f.digit = static_cast<int8_t>(Hex(p[1]));
      p += 2;
    } else if (*p == 'i' || (*p == 'c' && (p[1] == 'b' || p[1] == 'w' || p[1] == 'd' || p[1] == 'z'))) {
      // "ib" "iw" "id" "iz" an immediate, "cb" "cz" a jump displacement (lower case, so that
      // the opcode byte CB stays an opcode)
      f.immBytes = p[1] == 'b' ? 1 : p[1] == 'w' ? 2 : p[1] == 'd' ? 4 : kImmOperandSize;
      p += 2;
    } else {
      if (f.opLen == 4) throw "more than four opcode bytes";
      f.opcode[f.opLen++] = static_cast<uint8_t>(Hex(p[0]) * 16 + Hex(p[1]));
      p += 2;
    }
  }
  if (f.opLen == 0) throw "no opcode byte";
  // operand roles follow from the classes
  for (int i = 0; i < count; ++i) {
    const TOpClass c = f.ops[i];
    if (IsImmClass(c)) {
      f.immIndex = static_cast<int8_t>(i);
    } else if (IsRMClass(c) && f.rmIndex < 0 && f.enc != fePlusReg) {
      f.rmIndex = static_cast<int8_t>(i);
    } else if (IsRegClass(c)) {
      if (f.regIndex < 0) f.regIndex = static_cast<int8_t>(i);
      else if (f.rmIndex < 0) f.rmIndex = static_cast<int8_t>(i);  // two registers: second in r/m
      else throw "too many register operands";
    } else if (c == ocMoffs) {
      f.rmIndex = static_cast<int8_t>(i);
    } else if (IsRMClass(c)) {
      throw "too many memory operands";
    }
  }
  for (int i = 0; i < count; ++i) {
    const TOpClass c = f.ops[i];
    if (c == ocReg || c == ocRM || c == ocMem || c == ocImm || c == ocImm8S || c == ocAcc || c == ocRel)
      f.rules |= frSized;
  }
  if ((f.immIndex >= 0) != (f.immBytes != 0)) throw "immediate class and size disagree";
  if (f.opLen == 1 && (f.rules & frWord) == 0) f.rules |= frOneByte;
  if (f.enc == feDigit) {
    if (f.regIndex >= 0 && f.rmIndex < 0) f.rmIndex = f.regIndex;  // "/digit" on a register class
    else if (f.regIndex >= 0) throw "a /digit form has no register operand";
    f.regIndex = -1;
    if (f.rmIndex < 0) throw "a /digit form needs an r/m operand";
  }
  if (f.enc == feModRM && (f.regIndex < 0 || f.rmIndex < 0)) throw "a /r form needs two operands";
  if (f.enc == fePlusReg && f.regIndex < 0) throw "a +r form needs a register operand";
  if (f.enc == feRaw && (f.regIndex >= 0 || (f.rmIndex >= 0 && f.ops[f.rmIndex] != ocMoffs)))
    throw "an explicit operand needs an encoding";
  return f;
}

}  // namespace kelvo
