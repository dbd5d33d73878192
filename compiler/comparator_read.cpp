// Every condition has a comparator, and every counted loop an "=", mostly right after the
// operand before: one look at two characters costs a small part of a pass through the lexer.
#include "compiler/comparator_read.h"

#include <string_view>

#include "frontend/compiler.h"
#include "frontend/lexer_scan.h"
#include "frontend/token_codes.h"

namespace kelvo {

namespace {

// The comparator or "=" spelled at `p`, split from the characters after it as the lexer splits
// operators; false for any other operator, and for any other text.
[[gnu::always_inline]] inline bool operatorAt(const char* p, uint16_t& code, std::string_view& text) {
  const char second = p[0] == '\0' ? '\0' : p[1];  // a zero byte follows every text
  auto found = [&](uint16_t c, std::string_view t) {
    code = c;
    text = t;
    return true;
  };
  switch (p[0]) {
    case '<':
      if (second == '=') return found(tk::LessEqual, "<=");
      if (second == '>') return found(tk::NotEqual, "<>");
      return second != '<' && found(tk::Less, "<");
    case '>': return second != '>' && found(tk::Greater, ">");
    case '!': return second == '=' && found(tk::NotEqual, "!=");
    case '=':
      if (second == '=') return found(tk::Equal, "==");
      if (second == '!') return found(tk::NotEqual, "=!");
      if (second == '>') return found(tk::GreaterEqual, "=>");
      return found(tk::Assign, "=");
    default: return false;
  }
}

// The operator on the reader's line, read as the lexer reads it when it is "=" and `assign`
// asks for "=", or a comparator and it does not; 0, with nothing read, for any other. Inlined,
// with the look at the characters, into each reader: a call and a clone each cost a condition more.
[[gnu::always_inline]] inline uint16_t readOperator(TCompiler& c, bool assign) {
  if (!c.CanTakeInPlace()) return 0;
  const TAFile& f = *c.curFile;
  if (f.intCurChar >= f.intSourceLen) return 0;
  const char* source = f.strSource.data();
  const auto at = static_cast<int32_t>(lex::pastBlanks(source + f.intCurChar) - source);  // 0-based
  uint16_t code = 0;
  std::string_view text;
  if (!operatorAt(source + at, code, text) || (code == tk::Assign) != assign) return 0;
  return c.TakeInPlace(at, static_cast<int32_t>(text.size()), code, text);  // a literal, as the lexer's text is
}

}  // namespace

uint16_t ReadComparator(TCompiler& c) { return readOperator(c, false); }

bool ReadAssign(TCompiler& c) { return readOperator(c, true) != 0; }

}  // namespace kelvo
