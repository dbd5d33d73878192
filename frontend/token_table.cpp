#include "frontend/token_table.h"

#include <array>
#include <cstring>
#include <string>
#include <type_traits>

#include "common/definitions.h"
#include "frontend/token_codes.h"

namespace kelvo {
namespace {

using K = TWordKind;

constexpr TKeyword kKeywords[] = {
    // the statement keywords and mnemonics, from the one list of token codes
#define KELVO_TOKEN(name, code)
#define KELVO_WORD(name, code, word) {word, tk::name, K::plain},
#define KELVO_ALIAS(name, word) {word, tk::name, K::plain},
#include "frontend/token_list.def"
#undef KELVO_TOKEN
#undef KELVO_WORD
#undef KELVO_ALIAS
    // program kinds and calling conventions
    {"mscoff", tk::SubSystem, K::plain}, {"win32gui", tk::SubSystem, K::plain},
    {"win32cui", tk::SubSystem, K::plain}, {"win32dll", tk::SubSystem, K::plain},
    {"bootloader", tk::SubSystem, K::plain}, {"cdecl", tk::CallMethod, K::plain},
    {"stdcall", tk::CallMethod, K::plain}, {"kelcall", tk::CallMethod, K::plain},
    {"fastcall", tk::CallMethod, K::plain},
    // registers
    {"eax", tk::Register, K::register32}, {"ecx", tk::Register, K::register32},
    {"edx", tk::Register, K::register32}, {"ebx", tk::Register, K::register32},
    {"esp", tk::Register, K::register32}, {"ebp", tk::Register, K::register32},
    {"esi", tk::Register, K::register32}, {"edi", tk::Register, K::register32},
    {"ax", tk::Register, K::register16or8}, {"cx", tk::Register, K::register16or8},
    {"dx", tk::Register, K::register16or8}, {"bx", tk::Register, K::register16or8},
    {"sp", tk::Register, K::register16or8}, {"bp", tk::Register, K::register16or8},
    {"si", tk::Register, K::register16or8}, {"di", tk::Register, K::register16or8},
    {"al", tk::Register, K::register16or8}, {"cl", tk::Register, K::register16or8},
    {"dl", tk::Register, K::register16or8}, {"bl", tk::Register, K::register16or8},
    {"ah", tk::Register, K::register16or8}, {"ch", tk::Register, K::register16or8},
    {"dh", tk::Register, K::register16or8}, {"bh", tk::Register, K::register16or8},
    {"cs", tk::Segment, K::segment}, {"ss", tk::Segment, K::segment},
    {"ds", tk::Segment, K::segment}, {"es", tk::Segment, K::segment},
    {"fs", tk::Segment, K::segment}, {"gs", tk::Segment, K::segment},
    {"st", tk::FpuStack, K::fpuStack}, {"mm0", tk::MmxRegister, K::mmxRegister},
    {"mm1", tk::MmxRegister, K::mmxRegister}, {"mm2", tk::MmxRegister, K::mmxRegister},
    {"mm3", tk::MmxRegister, K::mmxRegister}, {"mm4", tk::MmxRegister, K::mmxRegister},
    {"mm5", tk::MmxRegister, K::mmxRegister}, {"mm6", tk::MmxRegister, K::mmxRegister},
    {"mm7", tk::MmxRegister, K::mmxRegister}, {"xmm0", tk::SseRegister, K::sseRegister},
    {"xmm1", tk::SseRegister, K::sseRegister}, {"xmm2", tk::SseRegister, K::sseRegister},
    {"xmm3", tk::SseRegister, K::sseRegister}, {"xmm4", tk::SseRegister, K::sseRegister},
    {"xmm5", tk::SseRegister, K::sseRegister}, {"xmm6", tk::SseRegister, K::sseRegister},
    {"xmm7", tk::SseRegister, K::sseRegister},
    // compile-time functions
    {"ord", tk::Number, K::fnOrd}, {"low", tk::Number, K::fnLow}, {"high", tk::Number, K::fnHigh},
    {"ptr", tk::DataAddress, K::fnPtr}, {"loadfs", tk::String, K::fnLoadfs},
    {"offset", tk::DataAddress, K::fnOffset}, {"sizeof", tk::Number, K::fnSizeof},
    {"defined", tk::Number, K::fnDefined}, {"deftype", tk::String, K::fnDeftype},
    {"vartype", tk::String, K::fnVartype}, {"arrcount", tk::Number, K::fnArrcount},
};

// Open addressing over a power of two: one probe for nearly every word. A word is at most 11
// characters, so folded to one case and padded with zeros it is two 64-bit numbers: hashed by two
// multiplications and compared in two steps.
class TKeywordIndex {
 public:
  constexpr TKeywordIndex() {
    for (size_t i = 0; i < std::size(kKeywords); ++i) {
      const TKey k = keyOf(kKeywords[i].word);
      size_t s = hash(k) & kMask;
      while (keys_[s].low != 0) s = (s + 1) & kMask;
      keys_[s] = k;
      entries_[s] = static_cast<int16_t>(i);
    }
  }
  // A slot holds its key itself, so a probe compares at once rather than after a second load;
  // only the slots of the words a program uses are ever read.
  const TKeyword* find(std::string_view word) const {
    const TKey k = keyOf(word);
    if (k.low == kNoWord) return nullptr;
    for (size_t s = hash(k) & kMask;; s = (s + 1) & kMask) {
      const TKey& other = keys_[s];
      if (other.low == k.low && other.high == k.high) return &kKeywords[entries_[s]];
      if (other.low == 0) return nullptr;  // a free slot: every key has a first byte
    }
  }

 private:
  struct TKey {
    uint64_t low = 0, high = 0;
  };
  static constexpr size_t kSize = 2048, kMask = kSize - 1;
  static constexpr uint64_t kOnes = 0x0101010101010101ull, kHighBits = kOnes * 0x80;
  static constexpr uint64_t kNoWord = kHighBits;  // the key of a word with bytes no fixed word has
  static constexpr uint64_t kCaseBits = kOnes * 0x20;
  // The word (2 to 11 letters, digits and '_', any case) folded into its two numbers: setting
  // bit 5 of each byte makes capitals small, leaves digits as they are and turns '_' into 0x7F,
  // which no other word character becomes. One OR, where lowering would take a range test.
  static constexpr TKey keyOf(std::string_view word) {
    TKey k;
    if (std::is_constant_evaluated()) {
      for (size_t i = 0; i < word.size(); ++i)
        (i < 8 ? k.low : k.high) |= uint64_t{static_cast<unsigned char>(word[i])} << (8 * (i & 7));
    } else {
      // Two loads that may overlap read the 2 to 16 bytes without a loop and without a byte
      // beyond the word; where they overlap both hold the same bytes, so OR-ing them is safe.
      const char* p = word.data();
      const size_t n = word.size();
      if (n >= 8) {
        k.low = load<uint64_t>(p);
        if (n > 8) k.high = load<uint64_t>(p + n - 8) >> (8 * (16 - n));
      } else if (n >= 4) {
        k.low = load<uint32_t>(p) | (uint64_t{load<uint32_t>(p + n - 4)} << (8 * (n - 4)));
      } else {
        k.low = load<uint16_t>(p) | (uint64_t{static_cast<unsigned char>(p[n - 1])} << (8 * (n - 1)));
      }
    }
    if (((k.low | k.high) & kHighBits) != 0) return {kNoWord, 0};  // no fixed word has such a byte
    const size_t n = word.size();
    k.low |= kCaseBits >> (n >= 8 ? 0 : 8 * (8 - n));
    if (n > 8) k.high |= kCaseBits >> (8 * (16 - n));
    return k;
  }
  template <typename T>
  static T load(const char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
  }
  static constexpr size_t hash(const TKey& k) {
    const uint64_t h = k.low * 0x9E3779B97F4A7C15ull ^ k.high * 0xC2B2AE3D27D4EB4Full;
    return static_cast<size_t>(h >> 40);
  }
  std::array<TKey, kSize> keys_{};
  std::array<int16_t, kSize> entries_{};
};

// Folding one case in tells words apart only when they hold letters, digits and '_' alone.
constexpr bool kWordsAreFoldable = [] {
  for (const TKeyword& k : kKeywords)
    for (const char c : k.word)
      if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) return false;
  return true;
}();
static_assert(kWordsAreFoldable);

// Built while compiling, so a look-up never checks whether it is ready.
constexpr TKeywordIndex kKeywordIndex;
const TKeywordIndex& keywordIndex() { return kKeywordIndex; }

// Display names of the codes that have one; every other code shows "opcode".
struct TDisplayName {
  uint16_t code;
  const char* text;
};
constexpr TDisplayName kDisplayNames[] = {
    {tk::Semicolon, ";"}, {tk::Colon, ":"}, {tk::Comma, ","}, {tk::Dot, "."}, {tk::Hash, "#"}, {tk::Assign, "="}, {tk::LParen, "("}, {tk::RParen, ")"}, {tk::LBrace, "{"},
    {tk::RBrace, "}"}, {tk::LBracket, "["}, {tk::RBracket, "]"},
    {tk::Invalid, "invalid token"}, {tk::EndOfFile, "end of file"}, {tk::Directive, "directive"}, {tk::Identifier, "identifier"},
    {tk::SubSystem, "sub system"}, {tk::MacroVarStmt, "$variable"}, {tk::CallMethod, "call method"}, {tk::BaseExpr, "[expression]"},
    {tk::String, "constant string"}, {tk::Label, "@label"}, {tk::RegPointer, "register pointer"}, {tk::SegOffset, "segment:offset"},
    {tk::MacroCall, "macro call"}, {tk::ProcCall, "procedure/function call"}, {tk::Constant, "constant"}, {tk::LocalVar, "local variable"},
    {tk::LocalParam, "local parameter"}, {tk::Variable, "variable"},
    {tk::Slash, "/"}, {tk::Plus, "+"}, {tk::Star, "*"}, {tk::Minus, "-"}, {tk::PlusPlus, "++"}, {tk::MinusMinus, "--"}, {tk::Equal, "=="}, {tk::NotEqual, "!="},
    {tk::Less, "<"}, {tk::Greater, ">"}, {tk::LessEqual, "<="}, {tk::GreaterEqual, "=>"}, {tk::ShiftRight, ">>"}, {tk::ShiftLeft, "<<"}, {tk::PlusAssign, "+="}, {tk::MinusAssign, "-="},
    {tk::StarAssign, "*="}, {tk::Percent, "%"}, {tk::Dollar, "$"},
    {tk::TypeName, "data type"}, {tk::DataAddress, "data address"}, {tk::ProcAddress, "procedure address"},
    {tk::LocalAddress, "local variable address"}, {tk::Register, "register"}, {tk::Segment, "segment"}, {tk::FpuStack, "fpu stack"},
    {tk::Number, "number"}, {tk::Hex, "hexadecimal"}, {tk::Float, "float number"},
    {tk::Macro, "macro"},
    {tk::MnAdd, "add"}, {tk::MnAnd, "and"}, {tk::MnCall, "call"}, {tk::MnCmp, "cmp"}, {tk::MnDec, "dec"}, {tk::MnIn, "in"},
    {tk::MnInt, "int"}, {tk::MnInto, "into"}, {tk::MnLeave, "leave"}, {tk::MnMov, "mov"}, {tk::MnMul, "mul"}, {tk::MnNeg, "neg"},
    {tk::MnNop, "nop"}, {tk::MnNot, "not"}, {tk::MnOr, "or"}, {tk::MnOut, "out"}, {tk::MnPop, "pop"}, {tk::MnPush, "push"},
    {tk::Ret, "ret"}, {tk::MnSub, "sub"}, {tk::MnWait, "wait"}, {tk::MnXchg, "xchg"}, {tk::MnXor, "xor"},
    {tk::MmxRegister, "mmx register"},
};

// Statement keywords (but not try/except/finally), the first x87 and the first MMX
// mnemonics show their word.
bool showsItsWord(uint16_t code) {
  if (code >= tk::Entry && code <= tk::Union) return code < tk::Try || code > tk::Finally;
  return (code >= tk::MnF2xm1 && code <= tk::MnFcompp) || (code >= tk::MnMovd && code <= tk::MnPsubsb);
}

class TDisplayTable {
 public:
  TDisplayTable() {
    names_.fill(nullptr);
    for (const TDisplayName& d : kDisplayNames) names_[d.code] = d.text;
    for (const TKeyword& k : kKeywords)
      if (k.kind == TWordKind::plain && showsItsWord(k.code) && !names_[k.code]) names_[k.code] = k.word.data();
  }
  const char* find(uint16_t code) const { return code < names_.size() ? names_[code] : nullptr; }

 private:
  std::array<const char*, 700> names_{};
};

}  // namespace

const TKeyword* findKeyword(std::string_view word) {
  if (word.size() < kShortestKeyword || word.size() > kLongestKeyword) return nullptr;
  return keywordIndex().find(word);
}

std::span<const TKeyword> keywordTable() { return kKeywords; }

// The 32-, 16- and 8-bit registers stand in the table in the order of their numbers.
constexpr size_t kFirstRegister = [] {
  size_t i = 0;
  while (kKeywords[i].word != "eax") ++i;
  return i;
}();
static_assert(kKeywords[kFirstRegister + rdEDI].word == "edi" && kKeywords[kFirstRegister + rdDI].word == "di" &&
              kKeywords[kFirstRegister + rdBH].word == "bh");

TRegister keywordRegister(const TKeyword& kw) {
  return static_cast<TRegister>(&kw - kKeywords - static_cast<std::ptrdiff_t>(kFirstRegister));
}

std::string opcodeToStr(uint16_t code) {
  static const TDisplayTable table;
  const char* name = table.find(code);
  return name ? name : "opcode";
}

uint16_t strToVarKind(std::string_view text) {
  const std::string t = lowerCase(text);
  if (t == "string") return tk::String;
  if (t == "int") return tk::Number;
  if (t == "float") return tk::Float;
  if (t == "register") return tk::Register;
  if (t == "segment") return tk::Segment;
  return tk::Invalid;
}

}  // namespace kelvo
