// Lexer: words. Plug-in words, macro calls, fixed words, registers, then the identifier table.
#include "frontend/compiler.h"
#include "frontend/lexer_scan.h"
#include "frontend/token_codes.h"

namespace kelvo {

// Returns 0 with the token in `code`, or 1 when scanning must start over. The word is a view
// into the source: it is copied only into the token that the caller gets.
int TCompiler::lexWord(char /*first*/, uint16_t& code) {
  TAFile& f = *curFile;
  const int32_t start = f.intCurChar;
  const int32_t end = lex::advanceWhile(f, lex::isWordChar);
  const std::string_view word(f.strSource.data() + (start - 1), static_cast<size_t>(end - start + 1));
  if (pluginSys && pluginSys->HasEntries()) {
    const int offered = offerWordToPlugins(word, code);
    if (offered >= 0) return offered;
  }
  return lexKnownWord(word, findKeyword(word), code);
}

// The rest of lexWord, once the plug-ins have let the word pass: `kw` is its fixed word, if any.
int TCompiler::lexKnownWord(std::string_view word, const TKeyword* kw, uint16_t& code) {
  // A macro call beats a keyword of the same name; any other macro the identifier table finds.
  if (kw && macroNamedLikeKeyword_ && PeekNonBlank() == '(') {
    const TIdentifier* e = SmartIdents.Find(SmartIdents.F_CurScope, word);
    if (e && e->identType == itMacro) {
      if (const PMacro m = macroSys.MacroAt(e->identPos)) {
        code = lexMacro(m);
        return 0;
      }
    }
  }
  if (kw) {
    // "int" is the interrupt instruction only before its number; anywhere else it is the type.
    if (kw->code != tk::MnInt || intStartsInstruction()) {
      code = lexFixedWord(*kw, word);
      return 0;
    }
  }
  return lexIdentifierWord(word, code);
}

// -1 when no plug-in took the word; else lexWord's answer.
int TCompiler::offerWordToPlugins(std::string_view word, uint16_t& code) {
  TAFile& f = *curFile;
  wordLower_.assign(word);
  for (char& c : wordLower_) c = lowerChar(c);
  const int32_t col = f.intCurLineChar, pos = f.intCurChar, line = f.intCurLine;
  auto putBack = [&] {
    f.intCurLineChar = col;
    f.intCurChar = pos;
    f.intCurLine = line;
  };
  curToken.Str.assign(word);  // a handler may read the word
  switch (OfferPluginToken(wordLower_)) {
    case TPluginAnswer::accepted: code = curToken.Token; return 0;
    case TPluginAnswer::declined: putBack(); break;
    case TPluginAnswer::noEntry: break;
  }
  if (!Settings.skipPluginKeywords) {
    switch (OfferPluginKeyword(wordLower_)) {
      case TPluginAnswer::accepted: return 1;  // the keyword was consumed
      case TPluginAnswer::declined: putBack(); break;
      case TPluginAnswer::noEntry: break;
    }
  }
  return -1;
}

// "int" followed by a number or a constant's name is the interrupt instruction.
bool TCompiler::intStartsInstruction() const {
  const TAFile& f = *curFile;
  int32_t pos = f.intCurChar + 1;
  while (f.CharAt(pos) != '\0' && static_cast<unsigned char>(f.CharAt(pos)) <= 32) ++pos;
  if (lex::isDigit(f.CharAt(pos))) return true;
  int32_t end = pos;
  while (lex::isWordChar(f.CharAt(end))) ++end;
  if (end == pos) return false;
  const std::string_view name = std::string_view(f.strSource).substr(static_cast<size_t>(pos - 1),
                                                                     static_cast<size_t>(end - pos));
  const TIdentifier* e = SmartIdents.Find(SmartIdents.F_CurScope, name);
  if (!e || e->identType != itData || e->identPos < 0 || static_cast<size_t>(e->identPos) >= listData.size())
    return false;
  return listData[static_cast<size_t>(e->identPos)]->dataMode == dmConst;
}

uint16_t TCompiler::lexFixedWord(const TKeyword& kw, std::string_view word) {
  switch (kw.kind) {
    case TWordKind::plain: return setSourceToken(kw.code, word);
    case TWordKind::register16or8: return setRegisterToken(word, keywordRegister(kw));
    case TWordKind::register32: return lexRegister32(word, keywordRegister(kw));
    case TWordKind::fpuStack: return lexFpuStack();
    case TWordKind::segment: return lexSegment(word);
    case TWordKind::mmxRegister: case TWordKind::sseRegister:
      setTokenText(kw.code, kw.word, true);
      curToken.Int = kw.word.back() - '0';
      return kw.code;
    default:
      curToken.Str.assign(word);
      return lexFunction(kw);
  }
}

// A 32-bit register may be followed at once by ".member", "[...]" or ":kind".
uint16_t TCompiler::lexRegister32(std::string_view word, TRegister reg) {
  switch (PeekChar(1)) {
    case '.':
      curToken.Str.assign(word);  // the member path starts with the register as written
      ParseRegPointer(reg);
      return curToken.Token;
    case '[':
      curToken.Str.assign(word);
      ParseRegOffset(reg);
      return curToken.Token;
    case ':': {
      NextChar();
      const char after = PeekChar(1);
      if (after == '\0' || after == '\n' || after == '\r' || after == ' ') {
        PrevChar();  // the ":" is the next token
        return setRegisterToken(word, reg);
      }
      GetToken();
      const uint16_t kind = strToVarKind(curToken.Str);
      rsReg32[regNumber(reg)].castKind = kind;
      if (kind == tk::Invalid) Error("Invalid register type cast");
      return setRegisterToken(word, reg, true);  // the word stays where it was read
    }
    default:
      return setRegisterToken(word, reg);
  }
}

uint16_t TCompiler::lexFpuStack() {
  int64_t n = 0;
  const char digit = PeekChar(2);
  const bool plain = !(pluginSys && pluginSys->HasEntries());  // else a plug-in may take "(" or ")"
  if (plain && PeekChar(1) == '(' && digit >= '0' && digit <= '7' && PeekChar(3) == ')') {  // "st(n)" as usually written
    n = digit - '0';
    curFile->intCurChar += 3;
    curFile->intCurLineChar += 3;
  } else if (PeekToken() == tk::LParen) {
    GetToken();
    expectOrRaise({tk::Number});
    n = curToken.Int;
    if (n < 0 || n > 7) Error("Expected FPU stack position st(0-7)");
    expectOrRaise({tk::RParen});
  }
  static constexpr std::string_view kNames[8] = {"st(0)", "st(1)", "st(2)", "st(3)",
                                                  "st(4)", "st(5)", "st(6)", "st(7)"};
  setTokenText(tk::FpuStack, kNames[n], true);
  curToken.Int = n;
  return tk::FpuStack;
}

uint16_t TCompiler::lexSegment(std::string_view word) {
  if (PeekChar(1) != ':') return SetToken(tk::Segment, word);
  const TSegment seg = strToSeg(word);
  NextChar();
  expectOrRaise({tk::Number});
  const int64_t offset = curToken.Int;
  SetToken(tk::SegOffset, lowerCase(word) + ":" + curToken.Str);
  curToken.Seg = seg;
  curToken.Int = offset;
  return tk::SegOffset;
}

int TCompiler::lexIdentifierWord(std::string_view word, uint16_t& code) {
  const TIdentifier* e = SmartIdents.Find(SmartIdents.F_CurScope, word);
  const auto pos = e ? static_cast<size_t>(e->identPos) : 0;
  if (!e || e->identPos < 0) {
    code = setSourceToken(tk::Identifier, word);
    return 0;
  }
  switch (e->identType) {
    case itProcedure: case itFunction:
      if (pos >= listProcedures.size()) break;
      code = setSourceToken(tk::ProcCall, word);
      curToken.Proc = listProcedures[pos].get();
      return 0;
    case itType:
      if (pos >= listTypes.size()) break;
      code = lexTypeName(word, listTypes[pos].get());
      return 0;
    case itMacro:
      if (const PMacro m = macroSys.MacroAt(e->identPos)) {
        code = lexMacro(m);
        return 0;
      }
      break;
    case itData:
      if (pos >= listData.size()) break;
      return lexData(listData[pos].get(), word, code);
    default:
      break;
  }
  code = setSourceToken(tk::Identifier, word);
  return 0;
}

// "type*" is the pointer type; a type before "[reg...]" types that memory operand.
uint16_t TCompiler::lexTypeName(std::string_view word, PDataType type) {
  if (PeekChar(1) == '*') {
    NextChar();
    if (compilerPtrType) type = compilerPtrType;
  }
  if (PeekNonBlank() == '[') {
    expectOrRaise({tk::BaseExpr});
    curBaseExpression.dt = type;
    curBaseExpression.dtSize = type->typeSize;
    curToken.Token = tk::BaseExpr;
    curToken.Size = type->typeSize;
    return tk::BaseExpr;
  }
  setPlainSourceToken(tk::TypeName, word);
  curToken.DataType = type;
  curToken.Size = type->typeSize;
  return tk::TypeName;
}

uint16_t TCompiler::lexMacro(PMacro m) {
  if (!m->depreciated.empty() && !Settings.peekToken)
    Warning(m->Name + " is depreciated, please use " + m->depreciated);
  curToken.Macro = m;
  curToken.Token = tk::MacroCall;
  curToken.Str = m->Name;
  if (Settings.peekToken || !m->isFunction) return tk::MacroCall;
  curToken.Token = tk::Invalid;
  CopyToken(&m->resultToken, &curToken);
  m->Result = &m->resultToken;
  if (!InvokeMacro(m)) RaiseError();
  if (m->Result->Token == tk::Invalid) Error("Macro " + m->Name + " did not return anything");
  RestoreToken(m->Result);
  return curToken.Token;
}

}  // namespace kelvo
