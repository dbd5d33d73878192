// The scanning loop of the lexer: blanks, line ends, character classes and operators.
#include <array>

#include "frontend/compiler.h"
#include "frontend/lexer_scan.h"
#include "frontend/token_codes.h"

namespace kelvo {
namespace {

enum TCharClass : uint8_t {
  ccNone, ccAt, ccSingle, ccParen, ccBracket, ccOperator, ccPlusMinus, ccString, ccOrdinal,
  ccSlash, ccDollar, ccHash, ccDigit, ccWord,
};

constexpr std::array<TCharClass, 126> makeClasses() {
  std::array<TCharClass, 126> t{};
  for (auto& c : t) c = ccNone;
  t['@'] = ccAt;
  for (char c : {';', ')', ']', '{', '}', ':', ',', '.', '%', '?'}) t[static_cast<size_t>(c)] = ccSingle;
  t['('] = ccParen;
  t['['] = ccBracket;
  for (char c : {'>', '<', '!', '=', '&', '|', '*'}) t[static_cast<size_t>(c)] = ccOperator;
  t['+'] = ccPlusMinus;
  t['-'] = ccPlusMinus;
  t['\''] = ccString;
  t['"'] = ccOrdinal;
  t['/'] = ccSlash;
  t['$'] = ccDollar;
  t['#'] = ccHash;
  for (char c = '0'; c <= '9'; ++c) t[static_cast<size_t>(c)] = ccDigit;
  for (char c = 'a'; c <= 'z'; ++c) t[static_cast<size_t>(c)] = ccWord;
  for (char c = 'A'; c <= 'Z'; ++c) t[static_cast<size_t>(c)] = ccWord;
  t['_'] = ccWord;
  return t;
}
constexpr std::array<TCharClass, 126> kClasses = makeClasses();

uint16_t singleCode(char c) {
  switch (c) {
    case ';': return tk::Semicolon;
    case ')': return tk::RParen;
    case ']': return tk::RBracket;
    case '{': return tk::LBrace;
    case '}': return tk::RBrace;
    case ':': return tk::Colon;
    case ',': return tk::Comma;
    case '.': return tk::Dot;
    case '%': return tk::Percent;
    default: return tk::Question;
  }
}

}  // namespace

void TCompiler::RewindToTokenStart() {
  curFile->intCurChar = tokenStart.charPos;
  curFile->intCurLine = tokenStart.line;
  curFile->intCurLineChar = tokenStart.column;
}

void TCompiler::startLine() {
  curFile->strSource.passed(curFile->intCurChar);
  ++curFile->intCurLine;
  curFile->intCurLineChar = 0;
  ++intTotalLines;
}

// A NUL byte inside the text is no end of file.
void TCompiler::checkNotNul(char c) {
  if (c == '\0' && curFile->intCurChar <= curFile->intSourceLen) Error("Invalid character #0 in source");
}

// Reads on past blanks, line ends and other control characters as NextChar would, one by one;
// returns the first character that is none of these, or the zero at the end. The token starts
// there: its place is noted from the walk's own figures, not read back from the file's record,
// which was just written.
char TCompiler::nextNonBlank() {
  TAFile& f = *curFile;
  const char* s = f.strSource.data();
  const int32_t len = f.intSourceLen;
  int32_t p = f.intCurChar;
  int32_t columnBase = f.intCurLineChar - p;  // the column is columnBase + p
  for (;;) {
    char c = '\0';
    if (p < len) {
      const char* q = lex::pastBlanks(s + p);
      p = static_cast<int32_t>(q - s);
      c = *q;
    }
    ++p;
    if (static_cast<unsigned char>(c) > 32 || c == '\0') {
      f.intCurChar = p;
      f.intCurLineChar = columnBase + p;
      if (c != '\0' && lexDepth_ == 1) tokenStart = {p - 1, f.intCurLine, columnBase + p - 1};
      return c;
    }
    if (c == '\r' || (c == '\n' && (p < 2 || s[p - 2] != '\r'))) {
      f.intCurChar = p;
      startLine();
      columnBase = -p;
    } else if (c == '\n') {
      columnBase = -p;
    }
  }
}

uint16_t TCompiler::scanToken(bool keepMacroVarName, bool noStatementForms) {
  prevTokenType = curToken.Token;
  for (;;) {
    const char c = nextNonBlank();
    const auto u = static_cast<unsigned char>(c);
    if (c == '\0') {
      checkNotNul(c);
      if (curFile->intCurChar > curFile->intSourceLen + 1) PrevChar();  // stay just past the end
      SetToken(tk::EndOfFile);
      ++intTotalLines;
      return tk::EndOfFile;
    }
    if (!Settings.skipPluginKeywords && pluginSys && pluginSys->HasEntries() && offerCharToPlugins(c))
      return curToken.Token;
    if (u >= 126) return SetToken(tk::Identifier, lastChars(1));
    switch (kClasses[u]) {
      case ccNone: return setSourceToken(tk::Identifier, lastChars(1));
      case ccAt: return lexAt();
      case ccSingle: return c == '?' ? SetToken(tk::Question, ".") : setSourceToken(singleCode(c), lastChars(1));
      case ccParen: return lexParen(noStatementForms);
      case ccBracket: return lexBracket();
      case ccOperator: return lexOperator(c);
      case ccPlusMinus: return lexPlusMinus(c);
      case ccString: return lexString('\'', true);
      case ccOrdinal: return lexOrdinal();
      case ccSlash: {
        const int comment = lexSlash();
        if (comment < 0) return SetToken(tk::Slash, "/");
        if (comment > 0) return tk::EndOfFile;
        continue;
      }
      case ccDollar: return lexDollar(keepMacroVarName, noStatementForms);
      case ccHash: return lexHash();
      case ccDigit: return lexNumber(c);
      case ccWord: {
        uint16_t code = 0;
        if (lexWord(c, code) == 0) return code;
        continue;  // a plug-in keyword or a string rewrite: the next token is the answer
      }
    }
  }
}

uint16_t TCompiler::GetToken(bool keepMacroVarName, bool noStatementForms) {
  struct TDepth {
    int& depth;
    ~TDepth() { --depth; }
  } guard{++lexDepth_};
  if (lexDepth_ > kMaxLexDepth) Error("Source nested too deeply");
  return scanToken(keepMacroVarName, noStatementForms);
}

// True when a plug-in took the character as its token. Apart, so the scanning loop stays small.
bool TCompiler::offerCharToPlugins(char c) {
  const int32_t col = curFile->intCurLineChar, pos = curFile->intCurChar, line = curFile->intCurLine;
  const char lower = lowerChar(c);
  const TPluginAnswer answer = OfferPluginToken(std::string_view(&lower, 1));
  if (answer == TPluginAnswer::accepted) return true;
  if (answer == TPluginAnswer::declined) {
    curFile->intCurLineChar = col;
    curFile->intCurChar = pos;
    curFile->intCurLine = line;
  }
  return false;
}

// Two-character operators: the second character must follow at once.
uint16_t TCompiler::lexOperator(char c) {
  const char n = PeekChar(1);
  auto two = [&](uint16_t code, const char* text) {
    NextChar();
    return SetToken(code, text);
  };
  switch (c) {
    case '>':
      return n == '>' ? two(tk::ShiftRight, ">>") : SetToken(tk::Greater, ">");
    case '<':
      if (n == '<') return two(tk::ShiftLeft, "<<");
      if (n == '=') return two(tk::LessEqual, "<=");
      if (n == '>') return two(tk::NotEqual, "<>");
      return SetToken(tk::Less, "<");
    case '!':
      return n == '=' ? two(tk::NotEqual, "!=") : SetToken(tk::Not, "!");
    case '=':
      if (n == '!') return two(tk::NotEqual, "=!");
      if (n == '=') return two(tk::Equal, "==");
      if (n == '>') return two(tk::GreaterEqual, "=>");
      return SetToken(tk::Assign, "=");
    case '&':
      return n == '&' ? two(tk::LogicAnd, "&&") : SetToken(tk::BitAnd, "&");
    case '|':
      return n == '|' ? two(tk::LogicOr, "||") : SetToken(tk::BitOr, "|");
    default:  // '*'
      return n == '=' ? two(tk::StarAssign, "*=") : SetToken(tk::Star, "*");
  }
}

}  // namespace kelvo
