// The spine of the compiler: reads one statement at a time and hands it to its handler.
#include "assembler/code_buffer.h"
#include "assembler/form_encoders.h"
#include "compiler/operandless_table.h"
#include "compiler/simd_statements.h"
#include "compiler/statement_table.h"
#include "frontend/compiler.h"
#include "frontend/token_codes.h"

namespace kelvo {

// Bodies nest by recursion; past this depth the source is refused rather than the stack.
constexpr int kMaxBlockDepth = 400;

// Reported where the nesting went too deep in the file the reader wrote: a branch or macro
// body is a text of its own, whose lines count from its start.
[[noreturn]] static void reportNestingTooDeep(TCompiler& c) {
  TAFile* f = c.curFile;
  int32_t charPos = f->intCurChar, line = f->intCurLine, column = f->intCurLineChar;
  if (f->originFile >= 0) {
    TAFile* loaded = c.listFiles[static_cast<size_t>(f->originFile)].get();
    if (!loaded->strSource.isMapped()) {  // a mapped file may have given that page back
      f->PlaceInOrigin(charPos, line, column);
      f = loaded;
      c.curFile = f;
    }
  }
  f->intCurChar = charPos;
  f->intCurLine = line;
  f->intCurLineChar = column < 1 ? 1 : column;
  c.Error("Blocks are nested too deeply");
}

bool TCompiler::CompileBlock(int32_t funcIndex, bool directiveEnds, bool singleStatement,
                             bool stopAtFileEnd) {
  struct TDepth {
    int& depth;
    ~TDepth() { --depth; }
  } guard{++blockDepth_};
  if (blockDepth_ > kMaxBlockDepth) reportNestingTooDeep(*this);
  // A procedure's body has its own open-body record for as long as it compiles; its open
  // levels take the room the last body gave back.
  struct TBodyGuard {
    std::vector<TBodyState>* bodies;
    std::vector<TBraceLevel>& room;
    ~TBodyGuard() {
      if (!bodies) return;
      TLabelNames::Get().Release(bodies->back().labelOwner);
      room.swap(bodies->back().braceLevel);
      room.clear();
      bodies->pop_back();
    }
  } body{funcIndex >= 0 ? &openBodies : nullptr, bodyRoom_.braceLevels};
  if (body.bodies) openBodies.emplace_back().braceLevel.swap(bodyRoom_.braceLevels);
  const PFunction saved = curFunc;
  if (funcIndex >= 0) curFunc = listProcedures[static_cast<size_t>(funcIndex)].get();
  for (;;) {
    const uint16_t code = GetToken(false, false);
    const TStatementResult result = CompileStatement(code, directiveEnds, stopAtFileEnd);
    if (result == TStatementResult::failed) RaiseError();
    if (result == TStatementResult::endBlock) break;
    if (singleStatement) {
      while (PeekToken() == tk::Semicolon) GetToken();
      return true;
    }
  }
  if (funcIndex >= 0) {
    SmartIdents.PopScope(SmartIdents.F_CurScope);
    curFunc = saved;
  }
  return true;
}

// Statements the table leaves out: those that need the block's settings, and instructions
// found by a search of their own.
static TStatementResult compileUnlisted(TCompiler& c, uint16_t code, bool directiveEnds,
                                        bool stopAtFileEnd) {
  using R = TStatementResult;
  if (code == tk::EndOfFile) return c.CompileFileEnd(stopAtFileEnd);
  if (code == tk::Directive) return c.CompileDirectiveStatement(directiveEnds);
  if (const TSimdStatement* simd = FindSimdStatement(code))
    return c.CompileSimdInstruction(*simd) ? R::next : R::failed;
  if (const TForm* form = OperandlessForm(code, c.curToken.Str)) {
    EncodeRaw(c.curFunc->recAssembler, *form);
    return R::next;
  }
  if (code >= tk::MnF2xm1 && code <= tk::MnFpush) return c.CompileFpuInstruction(code) ? R::next : R::failed;
  return c.CompileOtherStatement(code);
}

TStatementResult TCompiler::CompileStatement(uint16_t code, bool directiveEnds, bool stopAtFileEnd) {
  if (const TStatementHandler handler = StatementHandler(code)) return handler(*this, code);
  return compileUnlisted(*this, code, directiveEnds, stopAtFileEnd);
}

// The statement's first token as written: an address form ("@name", "ptr name") carries a
// number in its text, which would not tell the reader what was written.
static std::string statementWord(const TCompiler& c) {
  const TCurrentToken& t = c.curToken;
  const bool rewritten = t.Token == tk::ProcAddress || t.Token == tk::DataAddress ||
                         t.Token == tk::LocalAddress || t.Token == tk::RegPointerAddress;
  const int32_t from = c.tokenStart.charPos, to = c.curFile->intCurChar;
  if (!rewritten || from < 0 || from >= to || to > c.curFile->intSourceLen) return t.Str;
  return c.curFile->strSource.substr(static_cast<size_t>(from), static_cast<size_t>(to - from));
}

// A statement start that no handler takes.
TStatementResult TCompiler::CompileOtherStatement(uint16_t code) {
  if (CompilerMode == cmMEAN && PeekToken() == tk::Assign) {
    RewindToTokenStart();  // the name is read again as the constant's
    return CompileConst() ? TStatementResult::next : TStatementResult::failed;
  }
  Error("Unknown Identifier \"" + statementWord(*this) + "\"");
}

}  // namespace kelvo
