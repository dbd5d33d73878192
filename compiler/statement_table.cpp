#include "compiler/statement_table.h"

#include <array>

#include "frontend/token_codes.h"

namespace kelvo {

namespace {

using R = TStatementResult;

constexpr R fromFlag(bool ok) { return static_cast<R>(ok); }

template <bool (TCompiler::*Handler)()>
R plain(TCompiler& c, uint16_t) {
  return fromFlag((c.*Handler)());
}

template <bool (TCompiler::*Handler)(uint16_t)>
R withCode(TCompiler& c, uint16_t code) {
  return fromFlag((c.*Handler)(code));
}

R closingBrace(TCompiler& c, uint16_t) { return c.CompileClosingBrace(); }
R emptyStatement(TCompiler&, uint16_t) { return R::next; }

R identifier(TCompiler& c, uint16_t code) {
  if (c.CompilerMode == cmMEAN && c.PeekToken() == tk::Assign) return c.CompileOtherStatement(code);
  return fromFlag(c.CompileJumpLabel());
}

[[noreturn]] R secondProgram(TCompiler& c, uint16_t) { c.Error("Program already has an entry section."); }
[[noreturn]] R elseWithoutIf(TCompiler& c, uint16_t) { c.Error("Missing starting if statement."); }

R state(TCompiler& c, uint16_t code) { return fromFlag(c.CompileState(code == tk::Default)); }
R loopExit(TCompiler& c, uint16_t code) { return fromFlag(c.CompileLoopExit(code == tk::Break)); }

R procedure(TCompiler& c, uint16_t) {
  if (c.PeekChar(1) == '*') return fromFlag(c.CompileProcPointerDecl(false, rdEAX, nullptr));
  return fromFlag(c.CompileProcDecl(false, rdEAX, nullptr));
}

R macroCall(TCompiler& c, uint16_t) {
  c.curToken.Macro->Result = nullptr;
  return fromFlag(c.InvokeMacro(c.curToken.Macro));
}

R ret(TCompiler& c, uint16_t) {
  c.CurBody().retAtOwnLevel = c.CurBody().openBraces() == 0;
  return fromFlag(c.CompileRet());
}

R dataDeclaration(TCompiler& c, uint16_t) {
  return fromFlag(c.bInProcedure ? c.DeclareLocalData(c.curToken.DataType, false)
                                 : c.DeclareGlobalData(c.curToken.DataType, false));
}

R blockDeclaration(TCompiler& c, uint16_t) {
  c.CompileBlockDecl();
  return R::next;
}

R classDeclaration(TCompiler& c, uint16_t code) { return fromFlag(c.CompileClassDecl(code == tk::Interface)); }

// A statement's first token lives as long as the statement: kept on the stack, so that a long
// run of statements keeps nothing of them.
template <bool (TCompiler::*Handler)(PCurrentToken)>
R withFirstToken(TCompiler& c, uint16_t) {
  TCurrentToken first = c.TokenCopy();
  return fromFlag((c.*Handler)(&first));
}

R variable(TCompiler& c, uint16_t) {
  if (c.curToken.DataType && sameText(c.curToken.DataType->typeName, "string"))
    return fromFlag(c.CompileStringStatement(c.SaveToken()));
  return fromFlag(c.CompileDataStatement(c.SaveToken(), false));
}

R procCall(TCompiler& c, uint16_t) {
  const PCurrentToken name = c.SaveToken();  // a peek leaves the peeked token's fields behind
  if (c.PeekToken() == tk::Assign) return fromFlag(c.CompileProcStatement(name));
  return fromFlag(c.CompileCall(name->Proc, false, name->DataOffset));
}

R conditionalJump(TCompiler& c, uint16_t code) { return fromFlag(c.CompileJcc(code - tk::MnJo)); }
R jumpIfEcxZero(TCompiler& c, uint16_t) { return fromFlag(c.CompileJcc(kJumpEcxZero)); }

struct TRow {
  uint16_t code;
  TStatementHandler handler;
};

constexpr TRow kRows[] = {
    {tk::Semicolon, emptyStatement},
    {tk::RBrace, closingBrace},
    {tk::Identifier, identifier},
    {tk::Entry, plain<&TCompiler::CompileEntry>},
    {tk::Program, secondProgram},
    {tk::If, plain<&TCompiler::CompileIf>},
    {tk::While, plain<&TCompiler::CompileWhile>},
    {tk::Repeat, plain<&TCompiler::CompileRepeat>},
    {tk::For, plain<&TCompiler::CompileCountedLoop>},
    {tk::Case, plain<&TCompiler::CompileCase>},
    {tk::State, state},
    {tk::Default, state},
    {tk::Try, plain<&TCompiler::CompileTryExcept>},
    {tk::Break, loopExit},
    {tk::Continue, loopExit},
    {tk::ElseIf, elseWithoutIf},
    {tk::Else, elseWithoutIf},
    {tk::Function, procedure},
    {tk::Procedure, procedure},
    {tk::Bswap, plain<&TCompiler::CompileBswap>},
    // macros
    {tk::MacroVarStmt, plain<&TCompiler::CompileMacroVarStatement>},
    {tk::MacroCall, macroCall},
    {tk::Recast, plain<&TCompiler::CompileRecast>},
    {tk::Inline, plain<&TCompiler::CompileInline>},
    {tk::Macro, plain<&TCompiler::CompileMacroDecl>},
    {tk::Setae, plain<&TCompiler::CompileSetae>},
    {tk::Ret, ret},
    // data declarations
    {tk::TypeName, dataDeclaration},
    {tk::Signed, withCode<&TCompiler::CompileDataPrefix>},
    {tk::Unsigned, withCode<&TCompiler::CompileDataPrefix>},
    {tk::Global, withCode<&TCompiler::CompileDataPrefix>},
    {tk::Inherit, withCode<&TCompiler::CompileDataPrefix>},
    {tk::Const, plain<&TCompiler::CompileConst>},
    {tk::Static, plain<&TCompiler::CompileStatic>},
    {tk::Enum, plain<&TCompiler::CompileEnum>},
    {tk::Type, plain<&TCompiler::CompileTypeAlias>},
    {tk::Uses, plain<&TCompiler::CompileRegisterList>},
    {tk::Blob, plain<&TCompiler::CompileEmit>},
    {tk::Label, plain<&TCompiler::CompileLabel>},
    {tk::Assume, plain<&TCompiler::CompileAssume>},
    // record, class and interface types
    {tk::Block, blockDeclaration},
    {tk::Class, classDeclaration},
    {tk::Interface, classDeclaration},
    {tk::Drop, plain<&TCompiler::CompileDrop>},
    // imports and exports
    {tk::Imports, plain<&TCompiler::CompileImports>},
    {tk::Exports, plain<&TCompiler::CompileExports>},
    // operand statements and calls
    {tk::Register, withFirstToken<&TCompiler::CompileRegisterStatement>},
    {tk::BaseExpr, plain<&TCompiler::CompileMemoryAssign>},
    {tk::RegPointer, withFirstToken<&TCompiler::CompileRegMemberAssign>},
    {tk::SegOffset, withFirstToken<&TCompiler::CompileSegMemAssign>},
    {tk::Segment, withFirstToken<&TCompiler::CompileSegRegAssign>},
    {tk::LocalVar, plain<&TCompiler::CompilePointerStatement>},
    {tk::LocalParam, plain<&TCompiler::CompilePointerStatement>},
    {tk::Variable, variable},
    {tk::ProcCall, procCall},
    // integer instruction statements
    {tk::MnAdd, plain<&TCompiler::CompileAdd>},
    {tk::MnSub, plain<&TCompiler::CompileSub>},
    {tk::MnMov, plain<&TCompiler::CompileMov>},
    {tk::MnLea, plain<&TCompiler::CompileLea>},
    {tk::MnCmovz, plain<&TCompiler::CompileCmovz>},
    {tk::MnCmp, plain<&TCompiler::CompileCmp>},
    {tk::MnOr, plain<&TCompiler::CompileOr>},
    {tk::MnXor, plain<&TCompiler::CompileXor>},
    {tk::MnTest, plain<&TCompiler::CompileTest>},
    {tk::MnAnd, plain<&TCompiler::CompileAnd>},
    {tk::MnImul, plain<&TCompiler::CompileImul>},
    {tk::MnIdiv, withCode<&TCompiler::CompileOneRegister>},
    {tk::MnDiv, withCode<&TCompiler::CompileOneRegister>},
    {tk::MnMul, withCode<&TCompiler::CompileOneRegister>},
    {tk::MnNeg, withCode<&TCompiler::CompileOneRegister>},
    {tk::MnNot, withCode<&TCompiler::CompileOneRegister>},
    {tk::MnSldt, withCode<&TCompiler::CompileOneRegister>},
    {tk::MnVerr, withCode<&TCompiler::CompileOneRegister>},
    {tk::MnVerw, withCode<&TCompiler::CompileOneRegister>},
    {tk::MnIn, plain<&TCompiler::CompileIn>},
    {tk::MnOut, plain<&TCompiler::CompileOut>},
    {tk::MnLar, withCode<&TCompiler::CompileRegisterPair>},
    {tk::MnBt, withCode<&TCompiler::CompileRegisterPair>},
    {tk::MnBtc, withCode<&TCompiler::CompileRegisterPair>},
    {tk::MnBtr, withCode<&TCompiler::CompileRegisterPair>},
    {tk::MnBts, withCode<&TCompiler::CompileRegisterPair>},
    {tk::MnAdc, withCode<&TCompiler::CompileRegisterPair>},
    {tk::MnCall, plain<&TCompiler::CompileCallInstruction>},
    {tk::MnMovzx, plain<&TCompiler::CompileMovzx>},
    {tk::MnRol, withCode<&TCompiler::CompileRolRor>},
    {tk::MnRor, withCode<&TCompiler::CompileRolRor>},
    {tk::MnSar, withCode<&TCompiler::CompileShift>},
    {tk::MnShl, withCode<&TCompiler::CompileShift>},
    {tk::MnShr, withCode<&TCompiler::CompileShift>},
    {tk::MnSal, withCode<&TCompiler::CompileShift>},
    {tk::MnXchg, plain<&TCompiler::CompileXchg>},
    {tk::MnPush, plain<&TCompiler::CompilePush>},
    {tk::MnPop, plain<&TCompiler::CompilePop>},
    {tk::MnInt, plain<&TCompiler::CompileInt>},
    {tk::MnInc, plain<&TCompiler::CompileInc>},
    {tk::MnDec, plain<&TCompiler::CompileDec>},
    {tk::MnJmp, plain<&TCompiler::CompileGoto>},
    {tk::MnJecxz, jumpIfEcxZero},
};

constexpr std::array<TStatementHandler, kStatementTableSize> buildTable() {
  std::array<TStatementHandler, kStatementTableSize> table{};
  for (const TRow& row : kRows) table[row.code] = row.handler;  // out of range: not a constant
  for (uint16_t code = tk::MnJo; code <= tk::MnJg; ++code) table[code] = conditionalJump;
  return table;
}

}  // namespace

constexpr std::array<TStatementHandler, kStatementTableSize> kStatementHandlers = buildTable();

}  // namespace kelvo
