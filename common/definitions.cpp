#include "common/definitions.h"

#include <cassert>

#include "common/record_pool.h"

namespace kelvo {

using TDataPool = TRecordPool<sizeof(TData), alignof(TData)>;

void* TData::operator new(size_t size) {
  assert(size == sizeof(TData));
  return TDataPool::take();
}

void TData::operator delete(void* record) noexcept { TDataPool::give(record); }

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
  const uint32_t found =
      type.typeMemberIndex.find(name, [&type](uint32_t i) { return std::string_view(type.typeVars[i]); });
  return found == TNameIndex::kNone ? -1 : static_cast<int32_t>(found);
}

void addMemberName(TDataType& type, std::string_view name) {
  type.typeMemberIndex.add(name, static_cast<uint32_t>(type.typeVars.size()));
  type.typeVars.emplace_back(name);
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

// The two letters of a 16-bit or 8-bit register name, lower-cased, as one number.
constexpr int twoLetters(char a, char b) { return (a << 8) | b; }

// 0-7 for "ax" to "di" (so also "eax" to "edi" after the "e"), 8-15 for "al" to "bh", else -1.
static int twoLetterRegister(char a, char b) {
  switch (twoLetters(lowerChar(a), lowerChar(b))) {
    case twoLetters('a', 'x'): return 0;
    case twoLetters('c', 'x'): return 1;
    case twoLetters('d', 'x'): return 2;
    case twoLetters('b', 'x'): return 3;
    case twoLetters('s', 'p'): return 4;
    case twoLetters('b', 'p'): return 5;
    case twoLetters('s', 'i'): return 6;
    case twoLetters('d', 'i'): return 7;
    case twoLetters('a', 'l'): return 8;
    case twoLetters('c', 'l'): return 9;
    case twoLetters('d', 'l'): return 10;
    case twoLetters('b', 'l'): return 11;
    case twoLetters('a', 'h'): return 12;
    case twoLetters('c', 'h'): return 13;
    case twoLetters('d', 'h'): return 14;
    case twoLetters('b', 'h'): return 15;
    default: return -1;
  }
}

TRegister strToReg(std::string_view text) {
  if (text.size() == 2) {
    const int r = twoLetterRegister(text[0], text[1]);
    if (r >= 0) return static_cast<TRegister>(r + rdAX);
  } else if (text.size() == 3 && lowerChar(text[0]) == 'e') {
    const int r = twoLetterRegister(text[1], text[2]);
    if (r >= 0 && r < 8) return static_cast<TRegister>(r);
  }
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
