// Most memory operands are a register or two, a scale and a displacement: reading them a
// character at a time costs a small part of reading each of their tokens through the lexer.
#include "compiler/plain_operand.h"

#include "compiler/base_expression.h"
#include "frontend/compiler.h"
#include "frontend/lexer_scan.h"
#include "frontend/token_codes.h"
#include "plugins/plugin_manager.h"

namespace kelvo {

namespace {

constexpr size_t kLongestNumber = 18;  // decimal digits that always fit 64 bits

// The 32-bit register named by the three word characters at `p` in any letter case, or -1:
// the eight names the fixed words give, told apart without a look-up. OR-ing 0x20 lowers a
// capital and turns no other word character into a letter.
int register32At(const char* p) {
  if ((p[0] | 0x20) != 'e') return -1;
  const char b = static_cast<char>(p[2] | 0x20);
  switch (p[1] | 0x20) {
    case 'a': return b == 'x' ? rdEAX : -1;
    case 'c': return b == 'x' ? rdECX : -1;
    case 'd': return b == 'x' ? rdEDX : b == 'i' ? rdEDI : -1;
    case 'b': return b == 'x' ? rdEBX : b == 'p' ? rdEBP : -1;
    case 's': return b == 'p' ? rdESP : b == 'i' ? rdESI : -1;
    default: return -1;
  }
}

// The characters after "[" as the lexer would split them; `at` is the index of the next one.
class TOperandScan {
 public:
  explicit TOperandScan(const TAFile& f) : text_(f.strSource.data()), at_(f.intCurChar), end_(f.intSourceLen) {}

  int32_t At() const { return at_; }
  // No blank, no capital and no leading zero so far.
  bool Compact() const { return compact_; }
  uint16_t Last() const { return last_; }

  // The characters an operand may continue with, as a set of bits.
  enum : uint8_t { kClose = 1, kStar = 2, kPlus = 4, kMinus = 8 };
  // The next character after blanks, read when it is in the set `ops`; 0 (nothing read) if not.
  [[gnu::noinline]] char Operator(uint8_t ops) {
    skipBlanks();
    const char c = next();
    const uint8_t bit = c == ']' ? kClose : c == '*' ? kStar : c == '+' ? kPlus : c == '-' ? kMinus : 0;
    if ((bit & ops) == 0) return 0;
    ++at_;
    return c;
  }
  // A 32-bit register's name, ended by a character that is not part of a word. Any other
  // word is left unread.
  [[gnu::noinline]] bool Register(TRegister& reg) {
    const int32_t start = skipBlanks();
    int32_t end = start;
    while (end < end_ && lex::isWordChar(text_[end])) ++end;
    const int r = end - start == 3 ? register32At(text_ + start) : -1;
    if (r < 0) return false;
    at_ = end;
    compact_ &= text_[start] >= 'a' && text_[start + 1] >= 'a' && text_[start + 2] >= 'a';  // letters only
    reg = static_cast<TRegister>(r);
    last_ = tk::Register;
    return true;
  }
  // Decimal digits not followed by ".": neither a hexadecimal nor a float literal.
  [[gnu::noinline]] bool Number(int64_t& value) {
    const int32_t start = skipBlanks();
    if (next() == '0' && at_ + 1 < end_ && text_[at_ + 1] == 'x') return false;
    uint64_t n = 0;  // wraps past kLongestNumber digits, which are refused
    for (; at_ < end_ && lex::isDigit(text_[at_]); ++at_) n = n * 10 + static_cast<uint64_t>(text_[at_] - '0');
    const auto digits = static_cast<size_t>(at_ - start);
    if (digits == 0 || digits > kLongestNumber || next() == '.') return false;
    compact_ &= digits == 1 || text_[start] != '0';
    value = static_cast<int64_t>(n);
    last_ = tk::Number;
    return true;
  }

 private:
  char next() const { return at_ < end_ ? text_[at_] : '\0'; }
  int32_t skipBlanks() {
    if (at_ < end_ && (text_[at_] == ' ' || text_[at_] == '\t')) {
      at_ = static_cast<int32_t>(lex::pastBlanks(text_ + at_) - text_);
      compact_ = false;
    }
    return at_;
  }

  const char* text_;
  int32_t at_;
  int32_t end_;
  uint16_t last_ = tk::Invalid;  // the code of the last token read
  bool compact_ = true;
};

constexpr uint8_t kAny = TOperandScan::kClose | TOperandScan::kStar | TOperandScan::kPlus | TOperandScan::kMinus;
constexpr uint8_t kAfterScale = TOperandScan::kClose | TOperandScan::kPlus | TOperandScan::kMinus;

// "reg*scale" or "reg" after "+": the index part.
bool readScale(TOperandScan& s, TBaseExpression& e) {
  int64_t scale = 0;
  if (!s.Number(scale) || !ValidScale(scale)) return false;
  e.scale = static_cast<int32_t>(scale);
  return true;
}

// The operand up to and including "]", in the forms and with the checks of the token-by-token
// reading in memory_operands.cpp. `terms` counts the numbers added or taken away, `sign` is the
// last one's.
bool scanOperand(TOperandScan& s, TBaseExpression& e, int& terms, char& sign) {
  e.regcount = 1;
  if (!s.Register(e.reg1)) return false;
  int64_t disp = 0;
  char next = s.Operator(kAny);
  if (next == '*') {
    if (!readScale(s, e)) return false;
    next = s.Operator(kAfterScale);
  } else if (next == '+') {
    if (s.Register(e.reg2)) {
      e.regcount = 2;
      next = s.Operator(kAny);
      if (next == '*') {
        if (!readScale(s, e)) return false;
        next = s.Operator(kAfterScale);
      }
    } else {
      if (!s.Number(disp)) return false;
      terms = 1;
      sign = '+';
      next = s.Operator(kAfterScale);
    }
  }
  while (next == '+' || next == '-') {
    int64_t n = 0;
    if (!s.Number(n)) return false;
    ++terms;
    sign = next;
    disp += next == '-' ? -n : n;
    if (disp < kLowestDisp || disp > kHighestDisp) return false;
    next = s.Operator(kAfterScale);
  }
  if (next != ']' || disp > kHighestDisp) return false;
  e.disp = static_cast<int32_t>(static_cast<uint32_t>(disp));
  return true;
}

// The operand's text is its token's text as written: "[", no blank, small letters, and at most
// one number, neither zero nor written with a leading zero, that keeps its sign in 32 bits.
bool writtenAsText(const TOperandScan& s, const char* text, int32_t begin, int terms, char sign, int32_t disp) {
  if (begin < 1 || text[begin - 1] != '[' || !s.Compact()) return false;
  return terms == 0 || (terms == 1 && (sign == '+' ? disp > 0 : disp < 0));
}

// The text built, for an operand written otherwise.
[[gnu::noinline]] void setBuiltText(TCompiler& c, const TBaseExpression& e) {
  char text[kBaseTextRoom];
  c.SetBuiltToken(tk::BaseExpr, BaseExpressionText(e, text));
}

}  // namespace

bool ReadPlainOperand(TCompiler& c) {
  // A plug-in may take any word or character as a token of its own.
  if (c.pluginSys && c.pluginSys->HasEntries()) return false;
  TAFile& f = *c.curFile;
  TOperandScan s(f);
  TBaseExpression e;
  int terms = 0;
  char sign = 0;
  if (!scanOperand(s, e, terms, sign)) return false;
  const int32_t begin = f.intCurChar;
  // All on one line: the reader moves on as over the tokens, the last before "]" counting as
  // the token before the operand's.
  const int32_t read = s.At() - f.intCurChar;
  f.intCurChar += read;
  f.intCurLineChar += read;
  c.prevTokenType = s.Last();
  c.curBaseExpression = e;
  // Most operands are written as their text would be built: the token refers to them.
  const char* source = f.strSource.data();
  if (writtenAsText(s, source, begin, terms, sign, e.disp)) {
    c.SetBuiltToken(tk::BaseExpr, {source + begin - 1, static_cast<size_t>(s.At() - begin + 1)}, true);
    return true;
  }
  setBuiltText(c, e);
  return true;
}

}  // namespace kelvo
