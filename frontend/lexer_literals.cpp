// Lexer: strings, ordinal strings, numbers and comments.
#include <charconv>

#include "frontend/compiler.h"
#include "frontend/lexer_scan.h"
#include "frontend/token_codes.h"

namespace kelvo {

using lex::advanceWhile;

// Reads up to the closing quote; false at the end of the text. Line ends inside count as lines.
bool TCompiler::readQuoted(char quote, std::string& text) {
  text.clear();
  for (;;) {
    // A run of plain characters at once: no quote, escape, line end or zero byte.
    TAFile& f = *curFile;
    const char* run = f.strSource.data() + f.intCurChar;
    advanceWhile(f, [quote](char b) { return b != quote && b != '\\' && static_cast<unsigned char>(b) > 13; });
    text.append(run, static_cast<size_t>(f.strSource.data() + f.intCurChar - run));
    char c = NextChar();
    if (c == '\0') {
      checkNotNul(c);
      return false;
    }
    if (c == quote) return true;
    char value = c;
    if (c == '\\') {
      c = NextChar();
      if (c == '\0') {
        checkNotNul(c);
        return false;
      }
      value = c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
    }
    if (c == '\r') {
      startLine();
    } else if (c == '\n') {
      if (curFile->CharAt(curFile->intCurChar - 1) == '\r') curFile->intCurLineChar = 0;
      else startLine();
    }
    text += value;
  }
}

// "+" after a literal joins strings, constants and character codes to it, one after another.
void TCompiler::appendJoined(std::string& text, bool allowConstants) {
  while (PeekToken() == tk::Plus) {
    GetToken();
    noJoin_ = true;  // the operand is one literal; this loop does the joining
    const uint16_t code = allowConstants
                              ? ExpectToken({tk::Number, tk::Hex, tk::String, tk::Constant})
                              : ExpectToken({tk::Number, tk::Hex, tk::String});
    noJoin_ = false;
    switch (code) {
      case tk::String:
        text += curToken.Str;
        break;
      case tk::Constant:
        if (!curToken.Data || curToken.Data->dataSubMode != smString) Error("Unexpected constant type");
        text += curToken.Data->strVal;
        break;
      case tk::Number: case tk::Hex:
        text += static_cast<char>(curToken.Int & 0xFF);
        break;
      default:
        RaiseError();
    }
  }
}

uint16_t TCompiler::lexString(char quote, bool allowConstants) {
  const bool join = !noJoin_;
  noJoin_ = false;
  std::string text;
  if (!readQuoted(quote, text)) return SetToken(tk::EndOfFile);
  if (join) appendJoined(text, allowConstants);
  return SetToken(tk::String, text);
}

// A double-quoted text of up to four characters is the number they make, first one lowest.
uint16_t TCompiler::lexOrdinal() {
  const bool join = !noJoin_;
  noJoin_ = false;
  std::string text;
  if (!readQuoted('"', text)) return SetToken(tk::EndOfFile);
  if (join) appendJoined(text, false);
  if (text.size() > 4) Error("Ordinal strings can only be between 0 and 4 characters.");
  return SetToken(tk::Number, std::to_string(strToCharConst(text)));
}

// -1: a plain "/"; 0: a comment was skipped; 1: the text ended inside a comment.
int TCompiler::lexSlash() {
  TAFile& f = *curFile;
  const char next = PeekChar(1);
  if (next != '*' && next != '/') return -1;
  const char* s = f.strSource.data();
  const int32_t len = f.intSourceLen;
  int32_t p = f.intCurChar + 1;  // the second character of the opener
  int32_t col = f.intCurLineChar + 1;
  auto endOfText = [&] {
    f.intCurChar = len + 1;
    f.intCurLineChar = col + (len + 1 - p);
    SetToken(tk::EndOfFile);
    return 1;
  };
  if (next == '/') {  // up to the line end, which the scanning loop then reads
    while (p < len && s[p] != '\r' && s[p] != '\n') {
      ++p;
      ++col;
      if (s[p - 1] == '\0') {
        f.intCurChar = p;
        f.intCurLineChar = col;
        checkNotNul('\0');
      }
    }
    if (p >= len) return endOfText();
    f.intCurChar = p;
    f.intCurLineChar = col;
    return 0;
  }
  for (;;) {
    ++p;
    ++col;
    if (p > len) return endOfText();
    const char c = s[p - 1];
    if (c == '*' && p < len && s[p] == '/') break;
    if (c == '\r' || (c == '\n' && s[p - 2] != '\r')) {
      ++f.intCurLine;
      ++intTotalLines;
      col = 0;
    } else if (c == '\n') {
      col = 0;
    } else if (c == '\0') {
      f.intCurChar = p;
      f.intCurLineChar = col;
      checkNotNul(c);
    }
  }
  f.intCurChar = p + 1;
  f.intCurLineChar = col + 1;
  return 0;
}

// Digits past what the destination holds would be lost: refuse them where they are written.
void TCompiler::checkHexWidth(std::string_view digits) {
  size_t first = 0;
  while (first < digits.size() && digits[first] == '0') ++first;
  const size_t significant = digits.size() - first;
  const size_t limit = hexWide_ ? 16 : 8;
  if (significant <= limit) return;
  Error("Hexadecimal number 0x" + std::string(digits) + " does not fit " + std::to_string(limit * 4) + " bits");
}

// A decimal number past the 64-bit range would be taken as 0: refuse it where it is written.
void TCompiler::checkDecimalWidth(std::string_view digits) {
  if (digits.size() <= 18) return;
  int64_t value = 0;
  if (std::from_chars(digits.data(), digits.data() + digits.size(), value).ec == std::errc::result_out_of_range)
    Error("Decimal number " + std::string(digits) + " does not fit 64 bits");
}

uint16_t TCompiler::lexNumber(char first) {
  TAFile& f = *curFile;
  const int32_t start = f.intCurChar;
  if (first == '0' && PeekChar(1) == 'x') {
    NextChar();
    if (!lex::isHexDigit(PeekChar(1))) Error("Hexadecimal digits expected after \"0x\"");
    advanceWhile(f, lex::isHexDigit);
    const std::string_view digits = std::string_view(f.strSource).substr(static_cast<size_t>(start + 1),
                                                                         static_cast<size_t>(f.intCurChar - start - 1));
    checkHexWidth(digits);
    return setSourceToken(tk::Hex, digits);
  }
  advanceWhile(f, lex::isDigit);
  uint16_t code = tk::Number;
  if (PeekChar(1) == '.') {
    NextChar();
    advanceWhile(f, lex::isDigit);
    code = tk::Float;
  } else {
    checkDecimalWidth(std::string_view(f.strSource).substr(static_cast<size_t>(start - 1),
                                                           static_cast<size_t>(f.intCurChar - start + 1)));
  }
  return setSourceToken(code, std::string_view(f.strSource).substr(static_cast<size_t>(start - 1),
                                                             static_cast<size_t>(f.intCurChar - start + 1)));
}

}  // namespace kelvo
