#include "common/definitions.h"

namespace kelvo {

const char* const kRegisterNames[kRegisterCount] = {
    "eax", "ecx", "edx", "ebx", "esp", "ebp", "esi", "edi",
    "ax",  "cx",  "dx",  "bx",  "sp",  "bp",  "si",  "di",
    "al",  "cl",  "dl",  "bl",  "ah",  "ch",  "dh",  "bh",
};

const char* const kSegmentNames[kSegmentCount] = {"cs", "ss", "ds", "es", "fs", "gs"};


std::string lowerCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = lowerChar(c);
  return out;
}

int32_t memberPosition(const TDataType& type, std::string_view name) {
  thread_local std::string key;  // reused, so a lookup does not allocate
  key.assign(name);
  for (char& c : key) c = lowerChar(c);
  const auto found = type.typeMemberIndex.find(key);
  return found == type.typeMemberIndex.end() ? -1 : static_cast<int32_t>(found->second);
}

void addMemberName(TDataType& type, std::string_view name) {
  type.typeMemberIndex.emplace(lowerCase(name), static_cast<uint32_t>(type.typeVars.size()));
  type.typeVars.emplace_back(name);
}

bool sameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (lowerChar(a[i]) != lowerChar(b[i])) return false;
  return true;
}

uint16_t strToVarKind(std::string_view text) {
  const std::string t = lowerCase(text);
  if (t == "string") return 21;
  if (t == "int") return 120;
  if (t == "float") return 122;
  if (t == "register") return 105;
  if (t == "segment") return 106;
  return 13;
}

TCallMethod strToCallMethod(std::string_view text) {
  const std::string t = lowerCase(text);
  if (t == "stdcall") return cmStdcall;
  if (t == "fastcall") return cmFastcall;
  if (t == "cdecl") return cmCdecl;
  if (t == "kelcall") return cmKelCall;
  return cmUnknown;
}

namespace {

// Up to four characters lower-cased into one number, so a name compares in one step.
uint32_t packedName(std::string_view text) {
  uint32_t key = 0;
  for (char c : text) key = (key << 8) | static_cast<uint8_t>(lowerChar(c));
  return key;
}

template <size_t N>
struct TPackedNames {
  uint32_t keys[N];
  explicit TPackedNames(const char* const (&names)[N]) {
    for (size_t i = 0; i < N; ++i) keys[i] = packedName(names[i]);
  }
  int find(std::string_view text) const {
    if (text.size() < 2 || text.size() > 3) return -1;
    const uint32_t key = packedName(text);
    for (size_t i = 0; i < N; ++i)
      if (keys[i] == key) return static_cast<int>(i);
    return -1;
  }
};

}  // namespace

TRegister strToReg(std::string_view text) {
  static const TPackedNames registers(kRegisterNames);
  const int found = registers.find(text);
  if (found >= 0) return static_cast<TRegister>(found);
  // Register numbers written as digits stand for the 32-bit bank.
  if (text.size() == 1 && text[0] >= '1' && text[0] <= '7')
    return static_cast<TRegister>(text[0] - '0');
  return rdEAX;
}

TSegment strToSeg(std::string_view text) {
  static const TPackedNames segments(kSegmentNames);
  const int found = segments.find(text);
  return found >= 0 ? static_cast<TSegment>(found) : segCS;
}

uint32_t strToCharConst(std::string_view text) {
  uint32_t value = 0;
  for (size_t i = 0; i < text.size() && i < 4; ++i)
    value |= static_cast<uint32_t>(static_cast<uint8_t>(text[i])) << (8 * i);
  return value;
}

uint16_t strToSubSystem(std::string_view text) { return text == "WIN32GUI" ? 2 : 3; }

int32_t hexToInt(std::string_view digits) {
  uint32_t value = 0;
  for (char c : digits) {
    const char l = lowerChar(c);
    int d;
    if (l >= '0' && l <= '9') d = l - '0';
    else if (l >= 'a' && l <= 'f') d = l - 'a' + 10;
    else break;  // conversion stops at the first non-digit
    value = (value << 4) | static_cast<uint32_t>(d);
  }
  return static_cast<int32_t>(value);
}

// All the digits, as far as 64 bits hold them; the lexer refuses longer numbers.
int64_t hexToInt64(std::string_view digits) {
  uint64_t value = 0;
  for (char c : digits) {
    const char l = lowerChar(c);
    int d;
    if (l >= '0' && l <= '9') d = l - '0';
    else if (l >= 'a' && l <= 'f') d = l - 'a' + 10;
    else break;
    value = (value << 4) | static_cast<uint64_t>(d);
  }
  return static_cast<int64_t>(value);
}

uint16_t alignWord(uint16_t value, uint16_t alignment) {
  if (alignment == 0) return value;
  const uint16_t rest = value % alignment;
  return rest ? static_cast<uint16_t>(value + alignment - rest) : value;
}

// An empty size grows to one whole unit: the image writers rely on it.
uint32_t alignValue(uint32_t value, uint32_t alignment) {
  if (alignment >= value) return alignment;
  const uint32_t rest = value % alignment;
  return rest ? value + alignment - rest : value;
}

}  // namespace kelvo
