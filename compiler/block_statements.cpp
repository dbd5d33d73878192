// The statements that the block compiler handles itself: braces, file ends, labels,
// entry, break and continue, bswap and setae.
#include "assembler/code_buffer.h"
#include "assembler/encoders.h"
#include "compiler/label_binding.h"
#include "compiler/structured_labels.h"
#include "frontend/compiler.h"
#include "frontend/token_codes.h"

namespace kelvo {

namespace {

// Apart from the common closing brace: a message's text, or the procedure's return, would make
// every "}" save registers it never needs.
[[gnu::noinline, gnu::cold]] void warnEmptyBlock(TCompiler& c) { c.Warning("Empty block statement"); }

// "}" ending a procedure's body
[[gnu::noinline]] TStatementResult closeBody(TCompiler& c) {
  if (!c.bInProcedure) c.Error("Unexpected character \"}\".");
  if (c.prevTokenType != tk::Ret || !c.CurBody().retAtOwnLevel) c.CompileRet();
  c.listUses.clear();
  // The link step keeps the frame for the locals; an earlier return did not undo it.
  if (c.curFunc->HasFrame() && c.CurBody().framelessRetLine > 0)
    c.Error("Locals must be declared before the first ret (line " + std::to_string(c.CurBody().framelessRetLine) + ")");
  return TStatementResult::endBlock;
}

}  // namespace

// "}" closing the innermost open level
TStatementResult TCompiler::CompileClosingBrace() {
  if (CurBody().openBraces() == 0) return closeBody(*this);
  CurBody().PopBrace();
  if (prevTokenType == tk::LBrace) warnEmptyBlock(*this);
  return TStatementResult::endBlock;
}

// the end of a source file
TStatementResult TCompiler::CompileFileEnd(bool stopAtFileEnd) {
  if (curFile == exitedFile_) exitedFile_ = nullptr;  // what "#exit" left ends here
  if (!stopAtFileEnd && curFile->intID <= 0 && bInProcedure && curFunc->FuncIndex > 0)
    Warning("Procedure \"" + curFunc->Name + "\" has no closing \"}\" and no return");
  if (stopAtFileEnd || curFile->intID <= 0 || curFile->macID >= 0 || curFile->isBranchText)
    return TStatementResult::endBlock;
  // The end of an included file: reading goes on in the file that included it.
  curFile->boolAssembled = true;
  curFile = listFiles[static_cast<size_t>(curFile->intParent)].get();
  return TStatementResult::next;
}

// A directive, or "#name = value;" defining a macro variable.
TStatementResult TCompiler::CompileDirectiveStatement(bool directiveEnds) {
  TCurrentToken directive;
  CopyToken(&directive, &curToken);
  if (PeekToken() == tk::Assign)
    return CompileMacroVarDefinition(directive.Str) ? TStatementResult::next : TStatementResult::failed;
  RestoreToken(&directive);
  const bool ends = CompileDirective();
  return ends && directiveEnds ? TStatementResult::endBlock : TStatementResult::next;
}

namespace {

// Inside a macro body a label gets the body's suffix: that name is built as a string, apart
// from the common label, which is named by the word as written without a copy of it.
[[gnu::noinline]] TLabelName macroLabelName(TCompiler& c) {
  return TLabelNames::Get().Intern(c.LocalLabelName(c.curToken.Str));
}

[[noreturn, gnu::noinline, gnu::cold]] void labelTwice(TCompiler& c, TLabelName id) {
  c.Error("Label Identifier Redeclared " + TLabelNames::Get().Text(id));
}

}  // namespace

// "@name:" a label local to the procedure
bool TCompiler::CompileJumpLabel() {
  const TLabelName id = macroSys.MacroAt(curFile->macID) ? macroLabelName(*this)
                                                         : TLabelNames::Get().Intern(curToken.Str.view());
  if (!TakePunctuation(':', tk::Colon) && ExpectToken({tk::Colon}) == tk::Invalid) return false;
  if (!AddNewLabel(*this, id, static_cast<uint32_t>(curFunc->recAssembler.strCode.size()))) labelTwice(*this, id);
  return true;
}

// "entry:" in a program, "entry function|procedure ..." in a DLL
bool TCompiler::CompileEntry() {
  if (entryDeclared_) Error("Code entry already declared");
  entryDeclared_ = true;
  if (PEFile.F_FileType == petDLL) {
    if (ExpectToken({tk::Function, tk::Procedure}) == tk::Invalid) return false;
    if (!CompileProcDecl(false, rdEAX, nullptr)) return false;
    PEFile.F_entryFuncID = lastAddedProc->FuncIndex;
    lastAddedProc->Called = true;
    return true;
  }
  if (curFunc->FuncIndex != 0) Error("Code entry must begin on main scope level");
  if (ExpectToken({tk::Colon}) == tk::Invalid) return false;
  warnSkippedInitialisers();
  PEFile.entryOffset = static_cast<uint32_t>(curFunc->recAssembler.strCode.size());
  return true;
}

namespace {

// What may stand between break or continue and its ";": a level, a condition, or both.
struct TExitForm {
  uint32_t depth = 0;
  uint16_t condition = kJumpAlways;
};

// Apart from the plain "break;", which most exits are.
[[gnu::noinline]] bool readExitForm(TCompiler& c, TExitForm& form) {
  if (c.ExpectToken({tk::Semicolon, tk::Number, tk::If}) == tk::Invalid) return false;
  if (c.curToken.Token == tk::Number) {
    form.depth = static_cast<uint32_t>(c.curToken.Int);
    if (c.PeekToken() == tk::If) c.GetToken();  // "break 1 if (...)": a level and a condition
  }
  if (c.curToken.Token == tk::If) {
    c.ExpectOrRaise(tk::LParen);
    form.condition = c.CompileUntilCondition(true);
  }
  return true;
}

[[noreturn, gnu::noinline, gnu::cold]] void noLevelToLeave(TCompiler& c, bool isBreak) {
  c.Error(isBreak ? "break does not have a valid loop to exit" : "continue can only reside inside a loop.");
}

// Leaving a try block: only a taken exit removes its records.
[[gnu::noinline]] void leaveTryBlocks(TCompiler& c, uint16_t condition, TLabelName label, int32_t index) {
  const TLabelName stay = LevelLabel(llStay, ++c.CurBody().braceLabelID);
  c.JumpToLabel(InvertJump(condition), stay);
  c.UnwindTryFrames(index);
  c.JumpToLabel(kJumpAlways, label);
  c.DefineLabel(stay);
}

}  // namespace

// break and continue: a jump to the end or the test of an enclosing loop or case, removing
// the exception records of the try blocks it leaves.
// "break;" | "continue;"
bool TCompiler::CompileLoopExit(bool isBreak) {
  TExitForm form;
  if (!TakePunctuation(';', tk::Semicolon) && !readExitForm(*this, form)) return false;
  const int32_t index = isBreak ? CurBody().FindLoopBrace(form.depth) : findContinueLevel(form.depth);
  if (index < 0) noLevelToLeave(*this, isBreak);
  const TBraceLevel level = CurBody().braceLevel[static_cast<size_t>(index)];
  if (form.condition == kJumpNone) return true;
  const TLabelName label =
      isBreak ? LevelLabel(level.bracetype == btWhile ? llEndWhile : level.bracetype == btCase ? llExitCase : llRepEnd,
                           level.id)
              : LevelLabel(level.bracetype == btWhile ? llDoWhile : llRepNext, level.id);
  if (TryFramesAbove(index) == 0) {
    JumpToLabel(form.condition, label);
    return true;
  }
  leaveTryBlocks(*this, form.condition, label, index);
  return true;
}

// continue counts the while, repeat and case levels as break does; a case it selects goes to
// the loop around that case.
int32_t TCompiler::findContinueLevel(uint32_t n) const {
  const std::vector<TBraceLevel>& levels = CurBody().braceLevel;
  int32_t i = CurBody().FindLoopBrace(n);
  if (i < 0 || levels[static_cast<size_t>(i)].bracetype != btCase) return i;
  while (i-- > 0) {
    const TBraceType kind = levels[static_cast<size_t>(i)].bracetype;
    if (kind == btWhile || kind == btRepeat) return i;
  }
  return -1;
}

// "bswap reg32;"
bool TCompiler::CompileBswap() {
  if (ExpectToken({tk::Register}) == tk::Invalid) return false;
  if (curToken.Size != 32) Error("32bit register expected");
  BswapReg(curFunc->recAssembler, curToken.Reg);
  return true;
}

// "setae reg8|variable;" (also setnb, setnc)
bool TCompiler::CompileSetae() {
  if (ExpectToken({tk::Variable, tk::Register}) == tk::Invalid) return false;
  if (curToken.Token == tk::Register) {
    SetaeReg(curFunc->recAssembler, curToken.Reg);
  } else {
    SetaeVar(curFunc->recAssembler, curToken.Size, curToken.Data->dataIdent, curToken.DataOffset);
  }
  return true;
}

// The return sequence: pop the "uses" registers, undo the frame, return by convention.
// "ret;" | "retn;"
bool TCompiler::CompileRet() {
  TAssembler& a = curFunc->recAssembler;
  UnwindTryFrames(-1);  // a return from a try block leaves no handler registered
  for (auto r = listUses.rbegin(); r != listUses.rend(); ++r) PopReg(a, *r);
  if (!curFunc->HasFrame() && curFunc->localFixupOffset != 0 && CurBody().framelessRetLine == 0)
    CurBody().framelessRetLine = curFile->intCurLine;
  if (curFunc->HasFrame()) {
    // LEAVE restores ESP from EBP: right only when the frame register is EBP, and not in
    // 16-bit code, where it pops a word of the dword the prologue pushed.
    if (curCPUMode < 486 && Settings.localsReg == rdEBP && a.cpuMode != 16) {
      EmitLeave(a);
    } else {
      MovRegReg(a, rdESP, Settings.localsReg);
      PopReg(a, Settings.localsReg);
    }
  }
  if (curFunc->intParamCount > 0) {
    switch (curFunc->CallMethod) {
      case cmStdcall:
      case cmFastcall:
      case cmKelCall: EmitRetImm(a, static_cast<uint16_t>(curFunc->dwTotalParamSize)); return true;
      case cmCdecl: break;
      default: Error("unknown calling convension");
    }
  }
  EmitRet(a);
  return true;
}

}  // namespace kelvo
