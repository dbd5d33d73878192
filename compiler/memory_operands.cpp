// Bracketed memory operands: "[base + index*scale + disp]" and "reg[disp]", read by the lexer
// into curBaseExpression and handed on as one token.
#include <charconv>

#include "compiler/base_expression.h"
#include "compiler/plain_operand.h"
#include "frontend/compiler.h"
#include "frontend/token_codes.h"

namespace kelvo {

namespace {

// Writes the text of an operand into a buffer of kBaseTextRoom characters.
class TTextWriter {
 public:
  explicit TTextWriter(char* room) : room_(room) {}
  // A register's name: a few letters, copied without measuring them first.
  void Add(const char* name) {
    while (*name != '\0' && size_ < kBaseTextRoom) room_[size_++] = *name++;
  }
  void Add(char c) { room_[size_++] = c; }
  // Scales and most displacements have one or two digits: those are written without the
  // general conversion.
  void Add(int64_t n) {
    if (n >= 0 && n < 100) {
      if (n >= 10) room_[size_++] = static_cast<char>('0' + n / 10);
      room_[size_++] = static_cast<char>('0' + n % 10);
      return;
    }
    size_ = addNumber(room_, size_, n);
  }
  std::string_view Text() const { return {room_, size_}; }

 private:
  // Any other number, by the general conversion; apart, so the common case stays small.
  [[gnu::noinline]] static size_t addNumber(char* room, size_t size, int64_t n) {
    return static_cast<size_t>(std::to_chars(room + size, room + kBaseTextRoom, n).ptr - room);
  }

  char* room_;
  size_t size_ = 0;
};

}  // namespace

std::string_view BaseExpressionText(const TBaseExpression& e, char* room) {
  TTextWriter text(room);
  text.Add('[');
  text.Add(kRegisterNames[e.reg1]);
  if (e.regcount == 2) {
    text.Add('+');
    text.Add(kRegisterNames[e.reg2]);
  }
  if (e.scale != 0) {
    text.Add('*');
    text.Add(int64_t{e.scale});
  }
  if (e.disp != 0) {
    text.Add(e.disp > 0 ? '+' : '-');
    text.Add(e.disp > 0 ? int64_t{e.disp} : -static_cast<int64_t>(e.disp));
  }
  text.Add(']');
  return text.Text();
}

// A register inside brackets: only the 32-bit ones address memory.
static TRegister bracketRegister(TCompiler& c) {
  if (c.curToken.Size != 32) c.Error("32bit register expected");
  return c.curToken.Reg;
}

// Token by token, for what the plain reading leaves: names, hexadecimal numbers, macros, text
// over lines, and every operand that is wrong. Apart, so the plain reading is all that most
// operands run through.
[[gnu::noinline]] static void readOperandTokens(TCompiler& c) {
  TBaseExpression& e = c.curBaseExpression;
  e = TBaseExpression{};
  if (c.ExpectToken({tk::Register}) == tk::Invalid) c.RaiseError();
  e.reg1 = bracketRegister(c);
  e.regcount = 1;
  int64_t disp = 0;
  auto readScale = [&] {
    if (c.ExpectToken({tk::Number}) == tk::Invalid) c.RaiseError();
    if (!ValidScale(c.curToken.Int)) c.Error("Invalid scaler value");
    e.scale = static_cast<int32_t>(c.curToken.Int);
  };
  auto addNumber = [&](bool negative) {
    if (c.ExpectToken({tk::Number}) == tk::Invalid) c.RaiseError();
    disp += negative ? -c.curToken.Int : c.curToken.Int;
    if (disp < kLowestDisp || disp > kHighestDisp) c.Error("Displacement out of range");
  };
  uint16_t next = c.ExpectToken({tk::RBracket, tk::Star, tk::Plus, tk::Minus});
  if (next == tk::Star) {
    readScale();
    next = c.ExpectToken({tk::RBracket, tk::Plus, tk::Minus});
  } else if (next == tk::Plus) {
    if (c.ExpectToken({tk::Number, tk::Register}) == tk::Invalid) c.RaiseError();
    if (c.curToken.Token == tk::Register) {
      e.reg2 = bracketRegister(c);
      e.regcount = 2;
      next = c.ExpectToken({tk::RBracket, tk::Star, tk::Plus, tk::Minus});
      if (next == tk::Star) {
        readScale();
        next = c.ExpectToken({tk::RBracket, tk::Plus, tk::Minus});
      }
    } else {
      disp = c.curToken.Int;
      next = c.ExpectToken({tk::RBracket, tk::Plus, tk::Minus});
    }
  }
  // Any number of "+ n" and "- n" to the closing bracket.
  while (next == tk::Plus || next == tk::Minus) {
    addNumber(next == tk::Minus);
    next = c.ExpectToken({tk::RBracket, tk::Plus, tk::Minus});
  }
  if (next == tk::Invalid) c.RaiseError();
  if (disp > kHighestDisp) c.Error("Displacement out of range");
  e.disp = static_cast<int32_t>(static_cast<uint32_t>(disp));
  char text[kBaseTextRoom];
  c.SetBuiltToken(tk::BaseExpr, BaseExpressionText(e, text));
}

void TCompiler::ParseBaseExpression() {
  // Its tokens are read one level deeper than the operand's.
  if (lexDepth_ < kMaxLexDepth && ReadPlainOperand(*this)) return;
  readOperandTokens(*this);
}

// "reg[n]": the reader stands on the register's last letter, "[" follows at once.
void TCompiler::ParseRegOffset(TRegister reg) {
  TBaseExpression& e = curBaseExpression;
  e = TBaseExpression{};
  e.reg1 = reg;
  e.regcount = 1;
  NextChar();  // the "["
  if (ExpectToken({tk::Number, tk::Minus, tk::RBracket}) == tk::Invalid) RaiseError();
  if (curToken.Token != tk::RBracket) {
    const bool negative = curToken.Token == tk::Minus;
    if (negative && ExpectToken({tk::Number}) == tk::Invalid) RaiseError();
    const int64_t n = negative ? -curToken.Int : curToken.Int;
    if (n < kLowestDisp || n > kHighestDisp) Error("Displacement out of range");
    e.disp = static_cast<int32_t>(static_cast<uint32_t>(n));
    if (ExpectToken({tk::RBracket}) == tk::Invalid) RaiseError();
  }
  SetToken(tk::BaseExpr, "reg[] pointer memory offset");
}

}  // namespace kelvo
