// The scanning loop of the lexer: blanks, line ends, character classes and operators.
#include <array>

#include "frontend/compiler.h"
#include "frontend/lexer_scan.h"
#include "frontend/token_codes.h"

namespace kelvo {
namespace {

// ccBlank, ccLineEnd and ccEnd only the quick path sees: the scanning loop is past them.
enum TCharClass : uint8_t {
  ccNone, ccAt, ccSingle, ccParen, ccBracket, ccOperator, ccPlusMinus, ccString, ccOrdinal,
  ccSlash, ccDollar, ccHash, ccDigit, ccWord, ccBlank, ccLineEnd, ccEnd,
};

constexpr std::array<TCharClass, 256> makeClasses() {
  std::array<TCharClass, 256> t{};
  for (auto& c : t) c = ccNone;
  for (int c = 1; c <= 32; ++c) t[static_cast<size_t>(c)] = ccBlank;  // any control character
  t['\r'] = ccLineEnd;
  t['\n'] = ccLineEnd;
  t[0] = ccEnd;
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
constexpr std::array<TCharClass, 256> kClasses = makeClasses();

// The codes of the ccSingle characters, one load each.
constexpr std::array<uint16_t, 128> kSingleCodes = [] {
  std::array<uint16_t, 128> t{};
  for (auto& code : t) code = tk::Question;
  t[';'] = tk::Semicolon;
  t[')'] = tk::RParen;
  t[']'] = tk::RBracket;
  t['{'] = tk::LBrace;
  t['}'] = tk::RBrace;
  t[':'] = tk::Colon;
  t[','] = tk::Comma;
  t['.'] = tk::Dot;
  t['%'] = tk::Percent;
  return t;
}();
uint16_t singleCode(char c) { return kSingleCodes[static_cast<unsigned char>(c) & 127]; }

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
  return scanOn(keepMacroVarName, noStatementForms);
}

uint16_t TCompiler::scanOn(bool keepMacroVarName, bool noStatementForms) {
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
    switch (kClasses[u]) {
      case ccNone: case ccBlank: case ccLineEnd: case ccEnd: return setSourceToken(tk::Identifier, lastChars(1));
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
  lexChoices_ = static_cast<uint8_t>((keepMacroVarName ? kKeepMacroVarName : 0) | (noStatementForms ? kNoStatementForms : 0));
  return readQuick();
}

// The commonest tokens (fixed words and registers, one-character punctuation, decimal numbers)
// are read here: no depth guard, no frame, no call but the one that hands over the rest. What
// this path leaves is exactly what the full path would: it gives up before it reads anything of
// a token it does not take, with the reader just before that token.
uint16_t TCompiler::readQuick() {
  if (lexDepth_ >= kMaxLexDepth || !lexerReadsPlain()) return getTokenFull();
  TAFile& f = *curFile;
  const char* const s = f.strSource.data();
  if (f.intCurChar >= f.intSourceLen) return getTokenFull();
  const char* q = s + f.intCurChar;  // the next character
  const char* line = q - f.intCurLineChar;  // the line's first character
  // Leaves the reader just before q, as though the full path had read the blanks.
  auto handOver = [&] {
    f.intCurChar = static_cast<int32_t>(q - s);
    f.intCurLineChar = static_cast<int32_t>(q - line);
    return getTokenFull();
  };
  TCharClass cls;
  for (;;) {
    cls = kClasses[static_cast<unsigned char>(*q)];
    if (cls == ccBlank) {
      ++q;
      continue;
    }
    if (cls != ccLineEnd) break;
    if (*q == '\r' || q == s || q[-1] != '\r') {  // "\r\n" is one line end
      if (f.strSource.forgetsAt(static_cast<int32_t>(q - s) + 1)) return handOver();  // it gives the pages back
      ++f.intCurLine;
      ++intTotalLines;
    }
    line = ++q;
  }
  if (cls == ccEnd) return handOver();  // the end, or a zero byte: no token starts there
  const char c = *q;
  const auto at = static_cast<int32_t>(q - s);
  prevTokenType = curToken.Token;
  if (lexDepth_ == 0) tokenStart = {at, f.intCurLine, static_cast<int32_t>(q - line)};
  switch (cls) {
    case ccSingle:
      if (c == '?') break;
      f.intCurChar = at + 1;
      f.intCurLineChar = static_cast<int32_t>(q + 1 - line);
      return setPlainSourceToken(singleCode(c), {q, 1});
    case ccWord: {
      const char* end = q + 1;
      while (lex::isWordChar(*end)) ++end;
      f.intCurChar = static_cast<int32_t>(end - s);
      f.intCurLineChar = static_cast<int32_t>(end - line);
      const std::string_view word(q, static_cast<size_t>(end - q));
      // The index reads 16 bytes from the word on: near the end of the text the full path looks.
      if (at + 16 > f.intSourceLen + 1) return continueWord(word);
      const TKeywordSlot* kw = findKeywordInPlace(q, word.size());
      if (kw && !macroNamedLikeKeyword_) {
        switch (kw->kind) {
          case TWordKind::plain:
            if (kw->code == tk::MnInt) break;
            return setPlainSourceToken(kw->code, word);
          case TWordKind::register32:
            if (*end == '.' || *end == '[' || *end == ':') break;
            [[fallthrough]];
          case TWordKind::register16or8:
            return setPlainRegisterToken(word, static_cast<TRegister>(kw->reg));
          default:
            break;
        }
      }
      return continueWord(word, kw ? kw->keyword : nullptr);
    }
    case ccDigit: {
      if (c == '0' && q[1] == 'x') break;
      const char* end = q + 1;
      uint64_t value = static_cast<uint64_t>(c - '0');  // wraps harmlessly past 18 digits, which go on
      while (lex::isDigit(*end)) value = value * 10 + static_cast<uint64_t>(*end++ - '0');
      if (*end == '.' || end - q > 18) break;  // a float, or a number that may not fit
      f.intCurChar = static_cast<int32_t>(end - s);
      f.intCurLineChar = static_cast<int32_t>(end - line);
      return setDecimalToken({q, static_cast<size_t>(end - q)}, static_cast<int64_t>(value));
    }
    default:
      break;
  }
  return handOver();
}

namespace {
// Counts how deep tokens are read inside tokens.
struct TDepth {
  int& depth;
  ~TDepth() { --depth; }
};
}  // namespace

// Reads with plug-in keywords skipped when the call asked for it: the quick path never looks at
// plug-ins, so only a path it hands over to needs the setting.
template <typename... A>
uint16_t TCompiler::withChoices(uint16_t (TCompiler::*read)(A...), A... args) {
  if ((lexChoices_ & kSkipPluginKeywords) == 0) return (this->*read)(args...);
  const bool skipping = Settings.skipPluginKeywords;
  Settings.skipPluginKeywords = true;
  const uint16_t code = (this->*read)(args...);
  Settings.skipPluginKeywords = skipping;
  return code;
}

uint16_t TCompiler::getTokenFull() { return withChoices(&TCompiler::readFull); }

uint16_t TCompiler::readFull() {
  const bool keepMacroVarName = lexChoices_ & kKeepMacroVarName, noStatementForms = lexChoices_ & kNoStatementForms;
  TDepth guard{++lexDepth_};
  if (lexDepth_ > kMaxLexDepth) Error("Source nested too deeply");
  return scanToken(keepMacroVarName, noStatementForms);
}

// The rest of a word the quick path read and looked up, or left to look up.
uint16_t TCompiler::continueWord(std::string_view word) { return continueWord(word, findKeyword(word)); }

uint16_t TCompiler::continueWord(std::string_view word, const TKeyword* kw) {
  return withChoices(&TCompiler::readWordRest, word, kw);
}

uint16_t TCompiler::readWordRest(std::string_view word, const TKeyword* kw) {
  const bool keepMacroVarName = lexChoices_ & kKeepMacroVarName, noStatementForms = lexChoices_ & kNoStatementForms;
  TDepth guard{++lexDepth_};
  uint16_t code = 0;
  if (lexKnownWord(word, kw, code) == 0) return code;
  return scanOn(keepMacroVarName, noStatementForms);  // a string rewrite: the next token is the answer
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
