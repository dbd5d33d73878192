// if / elseif / else, while and repeat: compares and jumps between generated labels, the
// bodies compiled by the block compiler.
#include "assembler/code_buffer.h"
#include "compiler/label_binding.h"
#include "compiler/structured_labels.h"
#include "frontend/compiler.h"
#include "frontend/lexer_scan.h"
#include "frontend/token_codes.h"

namespace kelvo {

void TCompiler::DefineLabel(TLabelName name) {
  AddLabelNamed(*this, name, static_cast<uint32_t>(curFunc->recAssembler.strCode.size()));
}

void TCompiler::JumpToLabel(uint16_t kind, TLabelName label) {
  TAssembler& a = curFunc->recAssembler;
  EmitJumpToLabel(a, static_cast<uint32_t>(a.strCode.size()), kind, label);
}

// Whether the next token is the one-character token `c` (code `code`): the character decides
// unless a comment stands between, so most look-aheads cost no second reading of a token.
bool TCompiler::NextIsChar(char c, uint16_t code) {
  const char next = PeekNonBlank();
  if (next == '/') return PeekToken() == code;
  return next == c;
}

// The code of else or elseif when the word at `p` is one, with its length; 0 for any other
// text. Fixed words are found whatever their case; the zero byte after the text ends a look.
static uint16_t elseAt(const char* p, int32_t& length) {
  auto is = [p](int i, char lower) { return (p[i] | 0x20) == lower; };
  if (!is(0, 'e') || !is(1, 'l') || !is(2, 's') || !is(3, 'e')) return 0;
  length = 4;
  if (!lex::isWordChar(p[4])) return tk::Else;
  length = 6;
  return is(4, 'i') && is(5, 'f') && !lex::isWordChar(p[6]) ? tk::ElseIf : 0;
}

// The else or elseif that comes next, read; 0, with nothing read, for any other token. On the
// line of the "}" before it, where it mostly stands, it is taken in place; past a line end the
// lexer reads it, and the lexer looks past a comment, or wherever a plug-in or a macro could
// take the word.
uint16_t TCompiler::takeElse() {
  const TAFile& f = *curFile;
  if (f.intCurChar >= f.intSourceLen) return 0;
  const char* const text = f.strSource.data();
  const char* const next = text + f.intCurChar;
  const char* word = next;
  while (static_cast<unsigned char>(*word - 1) < 32) ++word;
  const bool plainWords = !macroNamedLikeKeyword_ && lexerReadsPlain() && lexDepth_ < kMaxLexDepth;
  if (*word == '/' || (!plainWords && (*word | 0x20) == 'e')) {
    const uint16_t code = PeekToken();
    if (code != tk::Else && code != tk::ElseIf) return 0;
    GetToken();
    return code;
  }
  int32_t length = 0;
  const uint16_t code = plainWords ? elseAt(word, length) : 0;
  if (code == 0) return 0;
  if (lexDepth_ != 0 || lex::pastBlanks(next) != word) {
    GetToken();
    return code;
  }
  const auto at = static_cast<int32_t>(word - text);
  return TakeInPlace(at, length, code, {word, static_cast<size_t>(length)});
}

static char punctuationChar(uint16_t code) {
  switch (code) {
    case tk::LParen: return '(';
    case tk::RParen: return ')';
    case tk::LBrace: return '{';
    case tk::Colon: return ':';
    case tk::Semicolon: return ';';
    default: return 0;
  }
}

// The punctuation of the structured statements is mostly taken without the lexer.
void TCompiler::ExpectOrRaise(uint16_t code) {
  if (const char c = punctuationChar(code); c != 0 && TakePunctuation(c, code)) return;
  if (ExpectToken({code}) == tk::Invalid) RaiseError();
}

// Compiles a body whose "{" was just read; its "}" closes the innermost level. A file that
// ends first leaves the level open, which is reported where the file ends.
void TCompiler::CompileBracedBody(const char* failure) {
  const uint32_t open = CurBody().openBraces();
  const int32_t line = curFile->intCurLine;
  if (!CompileBlock(-1, false, false, false)) Error(failure);
  if (CurBody().openBraces() >= open) Error("\"{\" of line " + std::to_string(line) + " is not closed");
}

// A branch body: braced, or one statement after which the branch's level is closed here.
void TCompiler::compileBranchBody(uint32_t level, const char* failure) {
  // Mostly "{" follows at once and is taken without the lexer.
  if (TakePunctuation('{', tk::LBrace)) return CompileBracedBody(failure);
  if (NextIsChar('{', tk::LBrace)) {
    GetToken(false, true);
    return CompileBracedBody(failure);
  }
  if (!CompileBlock(-1, false, true, false)) Error("Error 43123");
  if (curToken.Token == tk::EndOfFile) Error("Expected a statement but found the end of the file");
  TBodyState& body = CurBody();
  if (body.braceLevel.empty() || body.braceLevel.back().id != level) Error("Expected a statement but found \"}\"");
  body.PopBrace();
}

// Comparisons joined by "and" and "or" up to ")". A false comparison jumps to `falseLabel`; one
// followed by "or" jumps when true to `bodyLabel`, which is defined after the chain.
void TCompiler::CompileConditionChain(TLabelName falseLabel, TLabelName bodyLabel) {
  bool sawOr = false;
  uint16_t last = kJumpNone;
  for (;;) {
    last = CompileCondition(false);
    const uint16_t next = TakePunctuation(')', tk::RParen)
                              ? static_cast<uint16_t>(tk::RParen)
                              : ExpectToken({tk::RParen, tk::MnAnd, tk::MnOr});
    if (next == tk::Invalid) RaiseError();
    if (next == tk::MnOr) {
      JumpToLabel(InvertJump(last), bodyLabel);
      sawOr = true;
    } else {
      JumpToLabel(last, falseLabel);
    }
    if (next == tk::RParen) break;
  }
  if (!sawOr) return;
  JumpToLabel(last, falseLabel);
  DefineLabel(bodyLabel);
}

// One if or elseif branch from its "(": the condition chain and the body.
void TCompiler::compileIfBranch(uint32_t branch, const char* failure) {
  ExpectOrRaise('(', tk::LParen);
  CompileConditionChain(LevelLabel(llEndIf, branch), LevelLabel(llDoIf, branch));
  compileBranchBody(branch, failure);
}

// "if (condition) { ... } [elseif (condition) { ... }]... [else { ... }]"
bool TCompiler::CompileIf() {
  const uint32_t first = CurBody().PushBrace(btIf).id;
  uint32_t branch = first;
  compileIfBranch(branch, "Error 34512313");
  uint16_t next = takeElse();
  if (next != tk::ElseIf && next != tk::Else) {
    // A lone branch has no exit label: nothing but its false jumps lands after it.
    DefineLabel(LevelLabel(llEndIf, branch));
    return true;
  }
  const TLabelName exitLabel = LevelLabel(llExitIf, first);
  while (next == tk::ElseIf) {
    JumpToLabel(kJumpAlways, exitLabel);
    DefineLabel(LevelLabel(llEndIf, branch));
    branch = CurBody().PushBrace(btIf).id;
    compileIfBranch(branch, "Error 512313");
    next = takeElse();
  }
  if (next == tk::Else) {
    JumpToLabel(kJumpAlways, exitLabel);
    DefineLabel(LevelLabel(llEndIf, branch));
    compileBranchBody(CurBody().PushBrace(btIf).id, "Error 512313");
  } else {
    DefineLabel(LevelLabel(llEndIf, branch));
  }
  DefineLabel(exitLabel);
  return true;
}

// "while (condition) { ... }"
bool TCompiler::CompileWhile() {
  const uint32_t n = CurBody().PushBrace(btWhile).id;
  const TLabelName head = LevelLabel(llDoWhile, n);
  const TLabelName end = LevelLabel(llEndWhile, n);
  DefineLabel(head);
  ExpectOrRaise('(', tk::LParen);
  // A comparison followed by "or" enters the body directly, not the head.
  CompileConditionChain(end, LevelLabel(llWhileBody, n));
  ExpectOrRaise('{', tk::LBrace);
  CompileBracedBody("Error 21234234");
  JumpToLabel(kJumpAlways, head);
  DefineLabel(end);
  return true;
}

// "repeat { ... } while (condition);" | "repeat { ... } until (condition);" | "repeat { ... };"
bool TCompiler::CompileRepeat() {
  ExpectOrRaise('{', tk::LBrace);
  const uint32_t n = CurBody().PushBrace(btRepeat).id;
  const TLabelName start = LevelLabel(llRepStart, n);
  DefineLabel(start);
  if (NextIsChar('}', tk::RBrace)) {
    GetToken();
    CurBody().PopBrace();
  } else {
    CompileBracedBody("Error 2334234");
  }
  const uint16_t form = ExpectToken({tk::While, tk::Until, tk::Semicolon});
  if (form == tk::Invalid) RaiseError();
  DefineLabel(LevelLabel(llRepNext, n));  // where continue goes: the test
  uint16_t code = kJumpAlways;
  if (form == tk::Until) {
    ExpectOrRaise('(', tk::LParen);
    code = CompileUntilCondition(false);
  } else if (form == tk::While) {
    ExpectOrRaise('(', tk::LParen);
    code = CompileUntilCondition(true);
  }
  if (form != tk::Semicolon) ExpectOrRaise(';', tk::Semicolon);
  JumpToLabel(code, start);
  DefineLabel(LevelLabel(llRepEnd, n));
  return true;
}

}  // namespace kelvo
