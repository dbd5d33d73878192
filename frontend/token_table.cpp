#include "frontend/token_table.h"

#include <algorithm>
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

// The word folded to one case, as the lexer folds it in place (see findKeywordInPlace).
constexpr TKeywordSlot keyOf(std::string_view word) {
  TKeywordSlot k;
  for (size_t i = 0; i < word.size(); ++i)
    (i < 8 ? k.low : k.high) |= uint64_t{static_cast<unsigned char>(word[i]) | 0x20u} << (8 * (i & 7));
  return k;
}

// The 32-, 16- and 8-bit registers stand in the table in the order of their numbers.
constexpr size_t kFirstRegister = [] {
  size_t i = 0;
  while (kKeywords[i].word != "eax") ++i;
  return i;
}();
static_assert(kKeywords[kFirstRegister + rdEDI].word == "edi" && kKeywords[kFirstRegister + rdDI].word == "di" &&
              kKeywords[kFirstRegister + rdBH].word == "bh");

}  // namespace

// Built while compiling, so a look-up never checks whether it is ready.
constexpr std::array<TKeywordSlot, keyword_index::kSize> keyword_index::kSlots = [] {
  std::array<TKeywordSlot, kSize> slots{};
  for (size_t i = 0; i < std::size(kKeywords); ++i) {
    const TKeyword& kw = kKeywords[i];
    TKeywordSlot k = keyOf(kw.word);
    size_t s = hash(k.low, k.high);
    while (slots[s].low != 0) s = (s + 1) & kMask;
    k.keyword = &kw;
    k.code = kw.code;
    k.kind = kw.kind;
    if (kw.kind == TWordKind::register32 || kw.kind == TWordKind::register16or8) k.reg = static_cast<uint8_t>(i - kFirstRegister);
    slots[s] = k;
  }
  return slots;
}();

namespace {

// The longest walk from a fixed word's home slot to the slot that holds it: every fixed word is
// found within a few probes.
constexpr size_t kLongestProbe = [] {
  using namespace keyword_index;
  size_t longest = 0;
  for (size_t s = 0; s < kSize; ++s) {
    if (kSlots[s].low == 0) continue;
    const size_t home = hash(kSlots[s].low, kSlots[s].high);
    longest = std::max(longest, ((s - home) & kMask) + 1);
  }
  return longest;
}();
static_assert(kLongestProbe <= 4);

// The lexer gives a plain word its code and its text only: no fixed word may stand for a token
// that carries a value worked out from its text.
constexpr bool kPlainWordsCarryNoValue = [] {
  for (const TKeyword& k : kKeywords)
    if (k.kind == TWordKind::plain)
      for (const uint16_t code : {tk::DataAddress, tk::ProcAddress, tk::Number, tk::Hex, tk::Float, tk::Register, tk::Segment})
        if (k.code == code) return false;
  return true;
}();
static_assert(kPlainWordsCarryNoValue);

// Folding one case in tells words apart only when they hold letters, digits and '_' alone.
constexpr bool kWordsAreFoldable = [] {
  for (const TKeyword& k : kKeywords)
    for (const char c : k.word)
      if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) return false;
  return true;
}();
static_assert(kWordsAreFoldable);

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

template <typename T>
static uint64_t load(const char* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

const TKeywordSlot* findKeywordSlot(std::string_view word) {
  using namespace keyword_index;
  const size_t n = word.size();
  if (n < kShortestKeyword || n > kLongestKeyword) return nullptr;
  // Two loads that may overlap read the 2 to 11 bytes without a loop and without a byte beyond
  // the word; where they overlap both hold the same bytes, so OR-ing them is safe.
  const char* p = word.data();
  uint64_t low = 0, high = 0;
  if (n >= 8) {
    low = load<uint64_t>(p);
    if (n > 8) high = load<uint64_t>(p + n - 8) >> (8 * (16 - n));
  } else if (n >= 4) {
    low = load<uint32_t>(p) | load<uint32_t>(p + n - 4) << (8 * (n - 4));
  } else {
    low = load<uint16_t>(p) | load<uint8_t>(p + n - 1) << (8 * (n - 1));
  }
  if (((low | high) & kOnes * 0x80) != 0) return nullptr;  // no fixed word has such a byte
  return find((low | kCaseBits) & kLowMask[n], (high | kCaseBits) & kHighMask[n]);
}

const TKeyword* findKeyword(std::string_view word) {
  const TKeywordSlot* slot = findKeywordSlot(word);
  return slot ? slot->keyword : nullptr;
}

std::span<const TKeyword> keywordTable() { return kKeywords; }

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
