// The spine of the compiler: reads one statement at a time and hands it to its handler.
#include "assembler/code_buffer.h"
#include "assembler/form_encoders.h"
#include "compiler/operandless_table.h"
#include "compiler/simd_statements.h"
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
  // A procedure's body has its own open-body record for as long as it compiles.
  struct TBodyGuard {
    std::vector<TBodyState>* bodies;
    ~TBodyGuard() {
      if (!bodies) return;
      TLabelNames::Get().Release(bodies->back().labelOwner);
      bodies->pop_back();
    }
  } body{funcIndex >= 0 ? &openBodies : nullptr};
  if (body.bodies) openBodies.emplace_back();
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

static TStatementResult fromFlag(bool ok) {
  return ok ? TStatementResult::next : TStatementResult::failed;
}

TStatementResult TCompiler::CompileStatement(uint16_t code, bool directiveEnds, bool stopAtFileEnd) {
  using R = TStatementResult;
  switch (code) {
    case tk::Semicolon: return R::next;
    case tk::RBrace: return CompileClosingBrace();
    case tk::EndOfFile: return CompileFileEnd(stopAtFileEnd);
    case tk::Directive: return CompileDirectiveStatement(directiveEnds);
    case tk::Identifier:
      if (CompilerMode == cmMEAN && PeekToken() == tk::Assign) return CompileOtherStatement(code);
      return fromFlag(CompileJumpLabel());
    case tk::Entry: return fromFlag(CompileEntry());
    case tk::Program: Error("Program already has an entry section.");
    case tk::If: return fromFlag(CompileIf());
    case tk::While: return fromFlag(CompileWhile());
    case tk::Repeat: return fromFlag(CompileRepeat());
    case tk::For: return fromFlag(CompileCountedLoop());
    case tk::Case: return fromFlag(CompileCase());
    case tk::State: return fromFlag(CompileState(false));
    case tk::Default: return fromFlag(CompileState(true));
    case tk::Try: return fromFlag(CompileTryExcept());
    case tk::Break:
    case tk::Continue: return fromFlag(CompileLoopExit(code == tk::Break));
    case tk::ElseIf:
    case tk::Else: Error("Missing starting if statement.");
    case tk::Function:
    case tk::Procedure:
      if (PeekChar(1) == '*') return fromFlag(CompileProcPointerDecl(false, rdEAX, nullptr));
      return fromFlag(CompileProcDecl(false, rdEAX, nullptr));
    case tk::Bswap: return fromFlag(CompileBswap());
    // macros
    case tk::MacroVarStmt: return fromFlag(CompileMacroVarStatement());
    case tk::MacroCall:
      curToken.Macro->Result = nullptr;
      return fromFlag(InvokeMacro(curToken.Macro));
    case tk::Recast: return fromFlag(CompileRecast());
    case tk::Inline: return fromFlag(CompileInline());
    case tk::Macro: return fromFlag(CompileMacroDecl());
    case tk::Setae: return fromFlag(CompileSetae());
    case tk::Ret:
      CurBody().retAtOwnLevel = curFunc->braceCounter == 0;
      return fromFlag(CompileRet());
    // data declarations
    case tk::TypeName:
      return fromFlag(bInProcedure ? DeclareLocalData(curToken.DataType, false)
                                   : DeclareGlobalData(curToken.DataType, false));
    case tk::Signed:
    case tk::Unsigned:
    case tk::Global:
    case tk::Inherit: return fromFlag(CompileDataPrefix(code));
    case tk::Const: return fromFlag(CompileConst());
    case tk::Static: return fromFlag(CompileStatic());
    case tk::Enum: return fromFlag(CompileEnum());
    case tk::Type: return fromFlag(CompileTypeAlias());
    case tk::Uses: return fromFlag(CompileRegisterList());
    case tk::Blob: return fromFlag(CompileEmit());
    case tk::Label: return fromFlag(CompileLabel());
    case tk::Assume: return fromFlag(CompileAssume());
    // record, class and interface types
    case tk::Block: CompileBlockDecl(); return R::next;
    case tk::Class:
    case tk::Interface: return fromFlag(CompileClassDecl(code == tk::Interface));
    case tk::Drop: return fromFlag(CompileDrop());
    // imports and exports
    case tk::Imports: return fromFlag(CompileImports());
    case tk::Exports: return fromFlag(CompileExports());
    // operand statements and calls
    // A statement's first token lives as long as the statement: kept on the stack, so that a
    // long run of statements keeps nothing of them.
    case tk::Register: {
      TCurrentToken first = TokenCopy();
      return fromFlag(CompileRegisterStatement(&first));
    }
    case tk::BaseExpr: return fromFlag(CompileMemoryAssign());
    case tk::RegPointer: {
      TCurrentToken first = TokenCopy();
      return fromFlag(CompileRegMemberAssign(&first));
    }
    case tk::SegOffset: {
      TCurrentToken first = TokenCopy();
      return fromFlag(CompileSegMemAssign(&first));
    }
    case tk::Segment: {
      TCurrentToken first = TokenCopy();
      return fromFlag(CompileSegRegAssign(&first));
    }
    case tk::LocalVar:
    case tk::LocalParam: return fromFlag(CompilePointerStatement());
    case tk::Variable:
      if (curToken.DataType && sameText(curToken.DataType->typeName, "string"))
        return fromFlag(CompileStringStatement(SaveToken()));
      return fromFlag(CompileDataStatement(SaveToken(), false));
    case tk::ProcCall: {
      const PCurrentToken name = SaveToken();  // a peek leaves the peeked token's fields behind
      if (PeekToken() == tk::Assign) return fromFlag(CompileProcStatement(name));
      return fromFlag(CompileCall(name->Proc, false, name->DataOffset));
    }
    // integer instruction statements
    case tk::MnAdd: return fromFlag(CompileAdd());
    case tk::MnSub: return fromFlag(CompileSub());
    case tk::MnMov: return fromFlag(CompileMov());
    case tk::MnLea: return fromFlag(CompileLea());
    case tk::MnCmovz: return fromFlag(CompileCmovz());
    case tk::MnCmp: return fromFlag(CompileCmp());
    case tk::MnOr: return fromFlag(CompileOr());
    case tk::MnXor: return fromFlag(CompileXor());
    case tk::MnTest: return fromFlag(CompileTest());
    case tk::MnAnd: return fromFlag(CompileAnd());
    case tk::MnImul: return fromFlag(CompileImul());
    case tk::MnIdiv: case tk::MnDiv: case tk::MnMul: case tk::MnNeg: case tk::MnNot:
    case tk::MnSldt: case tk::MnVerr: case tk::MnVerw: return fromFlag(CompileOneRegister(code));
    case tk::MnIn: return fromFlag(CompileIn());
    case tk::MnOut: return fromFlag(CompileOut());
    case tk::MnLar: case tk::MnBt: case tk::MnBtc: case tk::MnBtr: case tk::MnBts:
    case tk::MnAdc: return fromFlag(CompileRegisterPair(code));
    case tk::MnCall: return fromFlag(CompileCallInstruction());
    case tk::MnMovzx: return fromFlag(CompileMovzx());
    case tk::MnRol: case tk::MnRor: return fromFlag(CompileRolRor(code));
    case tk::MnSar: case tk::MnShl: case tk::MnShr: case tk::MnSal: return fromFlag(CompileShift(code));
    case tk::MnXchg: return fromFlag(CompileXchg());
    case tk::MnPush: return fromFlag(CompilePush());
    case tk::MnPop: return fromFlag(CompilePop());
    case tk::MnInt: return fromFlag(CompileInt());
    case tk::MnInc: return fromFlag(CompileInc());
    case tk::MnDec: return fromFlag(CompileDec());
    case tk::MnJmp: return fromFlag(CompileGoto());
    case tk::MnJecxz: return fromFlag(CompileJcc(kJumpEcxZero));
    default:
      if (code >= tk::MnJo && code <= tk::MnJg) return fromFlag(CompileJcc(code - tk::MnJo));
      if (const TSimdStatement* simd = FindSimdStatement(code)) return fromFlag(CompileSimdInstruction(*simd));
      break;
  }
  if (const TForm* form = OperandlessForm(code, curToken.Str)) {
    EncodeRaw(curFunc->recAssembler, *form);
    return R::next;
  }
  if (code >= tk::MnF2xm1 && code <= tk::MnFpush) return fromFlag(CompileFpuInstruction(code));
  return CompileOtherStatement(code);
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
    return fromFlag(CompileConst());
  }
  Error("Unknown Identifier \"" + statementWord(*this) + "\"");
}

}  // namespace kelvo
