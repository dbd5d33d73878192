#include "common/definitions.h"

namespace kelvo {

const char* const kRegisterNames[kRegisterCount] = {
    "eax", "ecx", "edx", "ebx", "esp", "ebp", "esi", "edi",
    "ax",  "cx",  "dx",  "bx",  "sp",  "bp",  "si",  "di",
    "al",  "cl",  "dl",  "bl",  "ah",  "ch",  "dh",  "bh",
};

const char* const kSegmentNames[kSegmentCount] = {"cs", "ss", "ds", "es", "fs", "gs"};

static char lowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

std::string lowerCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = lowerChar(c);
  return out;
}

bool sameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (lowerChar(a[i]) != lowerChar(b[i])) return false;
  return true;
}

bool isFloatType(const TDataType* t) {
  static const char* const kFloatTypes[] = {"single", "double", "extended", "real4", "real8", "real10"};
  if (!t) return false;
  for (const char* name : kFloatTypes)
    if (sameText(t->typeName, name)) return true;
  return false;
}

TCallMethod strToCallMethod(std::string_view text) {
  const std::string t = lowerCase(text);
  if (t == "stdcall") return cmStdcall;
  if (t == "fastcall") return cmFastcall;
  if (t == "cdecl") return cmCdecl;
  if (t == "kelcall") return cmKelCall;
  return cmUnknown;
}

TRegister strToReg(std::string_view text) {
  for (int i = 0; i < kRegisterCount; ++i)
    if (sameText(text, kRegisterNames[i])) return static_cast<TRegister>(i);
  // Register numbers written as digits stand for the 32-bit bank.
  if (text.size() == 1 && text[0] >= '1' && text[0] <= '7')
    return static_cast<TRegister>(text[0] - '0');
  return rdEAX;
}

TSegment strToSeg(std::string_view text) {
  for (int i = 0; i < kSegmentCount; ++i)
    if (sameText(text, kSegmentNames[i])) return static_cast<TSegment>(i);
  return segCS;
}

uint32_t strToCharConst(std::string_view text) {
  uint32_t value = 0;
  for (size_t i = 0; i < text.size() && i < 4; ++i)
    value |= static_cast<uint32_t>(static_cast<uint8_t>(text[i])) << (8 * i);
  return value;
}

uint16_t strToSubSystem(std::string_view text) { return text == "WIN32GUI" ? 2 : 3; }

// All the digits, as far as 64 bits hold them; the lexer refuses longer numbers.
int64_t hexToInt64(std::string_view digits) {
  uint64_t value = 0;
  for (char c : digits) {
    const char l = lowerChar(c);
    int d;
    if (l >= '0' && l <= '9') d = l - '0';
    else if (l >= 'a' && l <= 'f') d = l - 'a' + 10;
    else break;  // conversion stops at the first non-digit
    value = (value << 4) | static_cast<uint64_t>(d);
  }
  return static_cast<int64_t>(value);
}

// An empty size grows to one whole unit: the image writers rely on it.
uint32_t alignValue(uint32_t value, uint32_t alignment) {
  if (alignment >= value) return alignment;
  const uint32_t rest = value % alignment;
  return rest ? value + alignment - rest : value;
}

}  // namespace kelvo
