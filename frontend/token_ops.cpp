#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "frontend/compiler.h"
#include "frontend/lexer_scan.h"
#include "frontend/token_codes.h"
#include "frontend/token_values.h"

namespace kelvo {

static int64_t slowDecimalValue(std::string_view text) {
  int64_t value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return (ec == std::errc() && ptr == end) ? value : 0;
}

static int64_t decimalValue(std::string_view text) {
  if (!text.empty() && text.size() <= 18) {  // most numbers: no sign, and too short to overflow
    int64_t value = 0;
    for (const char c : text) {
      if (c < '0' || c > '9') return slowDecimalValue(text);
      value = value * 10 + (c - '0');
    }
    return value;
  }
  return slowDecimalValue(text);
}

static long double floatValue(const std::string& text) {
  char* end = nullptr;
  const long double value = std::strtold(text.c_str(), &end);
  return (end && *end == '\0' && !text.empty()) ? value : 0;
}

bool TCompiler::inSource(std::string_view text) const {
  if (!curFile) return false;
  const auto begin = reinterpret_cast<uintptr_t>(curFile->strSource.data());
  const auto at = reinterpret_cast<uintptr_t>(text.data());
  return at >= begin && at - begin + text.size() <= curFile->strSource.size();
}

// The text and code, every other field cleared. Text in the source being read stays there, as
// it does while the token is current; any other text is copied.
void TCompiler::resetToken(uint16_t code, std::string_view text, bool lasting) {
  if (lasting || inSource(text)) curToken.Str.refer(text);
  else curToken.Str.assign(text);
  clearTokenFields(code);
}

// A register whose number the lexer already knows from its word, just read from the source
// unless `readOn` says other tokens were read since.
uint16_t TCompiler::setRegisterToken(std::string_view word, TRegister r, bool readOn) {
  resetToken(tk::Register, word, !readOn);
  setRegisterFields(r);
  return tk::Register;
}

// Numbers, addresses, registers and segments carry a value worked out from their text.
static bool carriesValue(uint16_t code) {
  switch (code) {
    case tk::DataAddress: case tk::ProcAddress: case tk::Number: case tk::Hex: case tk::Float:
    case tk::Register: case tk::Segment:
      return true;
    default:
      return false;
  }
}

// A token just read from the source: its text is known to lie there. Most codes need no value
// worked out.
uint16_t TCompiler::setSourceToken(uint16_t code, std::string_view word) {
  if (carriesValue(code)) return setTokenText(code, word, true);
  return setPlainSourceToken(code, word);
}

uint16_t TCompiler::SetToken(uint16_t code, std::string_view text) { return setTokenText(code, text, false); }

uint16_t TCompiler::SetBuiltToken(uint16_t code, std::string_view text, bool referSource) {
  if (referSource) curToken.Str.refer(text);
  else curToken.Str.assign(text);
  clearTokenFields(code);
  setPlainSize();
  return code;
}

uint16_t TCompiler::setTokenText(uint16_t code, std::string_view text, bool lasting) {
  resetToken(code, text, lasting);
  TCurrentToken& t = curToken;
  const auto length = static_cast<int32_t>(t.Str.size());
  switch (code) {
    case tk::DataAddress: case tk::ProcAddress: case tk::Number:
      t.Length = length;
      t.Int = decimalValue(t.Str);
      setExtendedFromInt(t.Ext, t.Int);
      break;
    case tk::Hex:
      t.Length = length;
      t.Int = hexToInt64(t.Str);
      // Eight digits or fewer are a 32-bit value, negative from 0x80000000 on, as instructions
      // take them; only a literal for an 8-byte item has more.
      if ((static_cast<uint64_t>(t.Int) >> 32) == 0) t.Int = static_cast<int32_t>(t.Int);
      setExtendedFromInt(t.Ext, t.Int);
      break;
    case tk::Float:
      t.Length = length;
      t.Ext = floatValue(t.Str);
      t.Int = std::llrint(static_cast<double>(t.Ext));  // halves to even
      break;
    case tk::Register:
      setRegisterFields(strToReg(t.Str));
      break;
    case tk::Segment:
      t.Seg = strToSeg(t.Str);
      break;
    default:
      setPlainSize();
  }
  return code;
}

// Only the code and the reading position come back; the other fields show the peeked token.
uint16_t TCompiler::PeekToken() {
  TPeeked unused;
  return PeekToken(unused);
}

uint16_t TCompiler::PeekToken(TPeeked& peeked) {
  const int32_t pos = curFile->intCurChar, line = curFile->intCurLine, col = curFile->intCurLineChar;
  const uint16_t code = curToken.Token, previous = prevTokenType;
  const int32_t lines = intTotalLines;
  const TTokenStart start = tokenStart;
  const bool peeking = Settings.peekToken, skipping = Settings.skipPluginKeywords;
  Settings.peekToken = true;
  Settings.skipPluginKeywords = true;
  const uint16_t read = GetToken(false, false);
  Settings.peekToken = peeking;
  Settings.skipPluginKeywords = skipping;
  peeked = {read, prevTokenType, curFile->intCurChar, curFile->intCurLine, curFile->intCurLineChar, intTotalLines,
            tokenStart};
  curToken.Token = code;
  prevTokenType = previous;
  curFile->intCurChar = pos;
  curFile->intCurLine = line;
  curFile->intCurLineChar = col;
  intTotalLines = lines;  // a peek must not count a line twice
  tokenStart = start;
  return read;
}

void TCompiler::TakePeeked(const TPeeked& peeked) {
  curToken.Token = peeked.code;
  prevTokenType = peeked.previous;
  curFile->intCurChar = peeked.charPos;
  curFile->intCurLine = peeked.line;
  curFile->intCurLineChar = peeked.column;
  intTotalLines = peeked.lines;
  tokenStart = peeked.start;
}

uint16_t TCompiler::ExpectToken(const uint16_t* codes, int32_t high) {
  const uint16_t read = readExpected();
  for (int32_t i = 0; i <= high; ++i)
    if (codes[i] == read) return read;
  SetExpectedError(codes, high);
  return tk::Invalid;
}

bool TCompiler::TakePunctuation(char c, uint16_t code) {
  TAFile& f = *curFile;
  if (f.intCurChar >= f.intSourceLen) return false;
  const char* text = f.strSource.data();
  const auto at = static_cast<int32_t>(lex::pastBlanks(text + f.intCurChar) - text);  // the index of c
  if (text[at] != c) return false;
  // A plug-in may claim the character: then only the lexer's own path offers it.
  if (!CanTakeInPlace()) return false;
  TakeInPlace(at, 1, code, {text + at, 1});  // punctuation carries no value
  return true;
}

uint16_t TCompiler::TakeInPlace(int32_t at, int32_t length, uint16_t code, std::string_view text) {
  TAFile& f = *curFile;
  prevTokenType = curToken.Token;
  const int32_t column = f.intCurLineChar + at + length - f.intCurChar;
  f.intCurLineChar = column;
  f.intCurChar = at + length;
  tokenStart = {at, f.intCurLine, column - length};
  return setPlainSourceToken(code, text);
}

void TCompiler::SetExpectedError(const uint16_t* codes, int32_t high) {
  std::string expected;
  for (int32_t i = 0; i <= high; ++i) {
    if (i) expected += " or ";
    expected += opcodeToStr(codes[i]);
  }
  strLastError = "Expected " + expected + " but found " + curToken.Str;
}

void TCompiler::CopyToken(TCurrentToken* d, const TCurrentToken* s) {
  d->Token = s->Token;
  d->Str = s->Str;
  d->Reg = s->Reg;
  d->Seg = s->Seg;
  d->RegID = s->RegID;
  d->Int = s->Int;
  d->Ext = s->Ext;
  d->Length = s->Length;
  d->Size = s->Size;
  d->Data = s->Data;
  d->DataOffset = s->DataOffset;
  d->Proc = s->Proc;
  d->Macro = s->Macro;
}

PCurrentToken TCompiler::SaveToken() {
  NCTList.push_back(std::make_unique<TCurrentToken>(TokenCopy()));
  return NCTList.back().get();
}

TCurrentToken TCompiler::TokenCopy() {
  TCurrentToken saved;
  CopyToken(&saved, &curToken);
  saved.DataType = curToken.DataType;
  return saved;
}

void TCompiler::RestoreToken(const TCurrentToken* saved) { CopyToken(&curToken, saved); }

}  // namespace kelvo
