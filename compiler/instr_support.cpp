// What the instruction statements share: numbers with their sign, immediate ranges, where a
// data operand lies, and the label jumps.
#include "assembler/code_buffer.h"
#include "assembler/encoders.h"
#include "frontend/compiler.h"
#include "frontend/token_codes.h"

namespace kelvo {

// The "," between operands, the commonest token of all, is taken without the lexer when
// only blanks stand before it.
// The lexer's path stands apart, so that the common one costs no more than the look itself.
[[gnu::noinline]] static bool lexComma(TCompiler& c) { return c.ExpectToken({tk::Comma}) != tk::Invalid; }

bool TCompiler::ExpectComma() { return TakePunctuation(',', tk::Comma) || lexComma(*this); }

// "-" and the number after it, apart from the plain number most operands are.
[[gnu::noinline]] static bool readNegative(TCompiler& c, int64_t& value) {
  if (c.ExpectToken({tk::Number}) == tk::Invalid) return false;
  value = -c.curToken.Int;
  return true;
}

// Only a decimal number may follow "-".
bool TCompiler::ReadInstrNumber(int64_t& value) {
  if (curToken.Token == tk::Minus) return readNegative(*this, value);
  value = curToken.Int;
  return true;
}

// Apart from the check, which most statements pass: the text is built only when it is said.
[[gnu::noinline, gnu::cold]] static void warnCut(TCompiler& c, int64_t value, int32_t bytes) {
  c.Warning("Value " + std::to_string(value) + " is cut to " + std::to_string(bytes * 8) + " bits");
}

// An immediate wider than its operand is cut to the operand's bits, as the instruction is
// encoded: 300 into AL stores 44. Source written for this language relies on it, so it is
// said, not refused.
void TCompiler::CheckImmediate(int64_t value, int32_t bytes) {
  if (bytes <= 0 || bytes >= 8) return;
  const int64_t high = (int64_t{1} << (bytes * 8)) - 1;       // largest unsigned value
  const int64_t low = -(int64_t{1} << (bytes * 8 - 1));       // smallest signed value
  if (value < low || value > high) warnCut(*this, value, bytes);
}

// A register loaded from a narrower item reads the bytes after it too; the instruction only
// reads, so it is encoded as written and said.
void TCompiler::WarnWideRead(TRegister reg, int32_t itemBytes, std::string_view name) {
  const int32_t bytes = regSize(reg) / 8;
  if (itemBytes <= 0 || itemBytes >= bytes) return;
  Warning(std::to_string(bytes) + " bytes are read from the " + std::to_string(itemBytes) + "-byte item \"" +
          std::string(name) + "\"");
}

// A register-held item lies at [its register + offset]; a local or parameter at
// [localsReg + its frame offset + offset]. Frame offsets of locals are negative numbers
// kept in the unsigned dataAddress.
TMemOperand TCompiler::InstrDataOperand(const TCurrentToken& t) const { return InstrDataOperand(*t.Data, t.DataOffset); }

TMemOperand TCompiler::InstrDataOperand(const TData& d, uint32_t offset) const {
  if (d.dataUseRegister) return BaseDisp(d.dataRegister, static_cast<int32_t>(offset));
  return BaseDisp(Settings.localsReg, static_cast<int32_t>(d.dataAddress + offset));
}

// --- label jumps

// The label is a word the lexer does not know (16) or an "@name" label (22).
// Outside a macro body the label is the name as written, used where it stands; inside one,
// LabelJumpName gives the body's own labels their suffix. That path, with its name built as a
// string, stands apart, so the common jump saves no registers for it.
[[gnu::noinline]] static void macroLabelJump(TCompiler& c, uint16_t jumpKind) {
  TAssembler& a = c.curFunc->recAssembler;
  const auto at = static_cast<uint32_t>(a.strCode.size());
  EmitJumpToLabel(a, at, jumpKind, c.LabelJumpName());
}

static bool labelJump(TCompiler& c, uint16_t jumpKind) {
  if (c.curToken.Token == tk::Identifier && c.macroSys.MacroAt(c.curFile->macID)) {
    macroLabelJump(c, jumpKind);
    return true;
  }
  TAssembler& a = c.curFunc->recAssembler;
  EmitJumpToLabel(a, static_cast<uint32_t>(a.strCode.size()), jumpKind, c.curToken.Str.view());
  return true;
}

// "goto label;" | "jmp label;"
bool TCompiler::CompileGoto() {
  if (ExpectToken({tk::Identifier, tk::Label, tk::Register}) == tk::Invalid) return false;
  if (curToken.Token == tk::Register) {
    JmpReg(curFunc->recAssembler, curToken.Reg);
    return true;
  }
  return labelJump(*this, kJumpAlways);
}

// "jcc label;" a conditional jump (jo, jb, je, ... jecxz)
bool TCompiler::CompileJcc(uint16_t jumpKind) {
  if (ExpectToken({tk::Label, tk::Identifier}) == tk::Invalid) return false;
  return labelJump(*this, jumpKind);
}

}  // namespace kelvo

namespace kelvo {

// --- call and pop

// "call target;" a procedure, register or memory operand
bool TCompiler::CompileCallInstruction() {
  TAssembler& a = curFunc->recAssembler;
  if (ExpectToken({tk::ProcCall, tk::Register, tk::BaseExpr, tk::RegPointer}) == tk::Invalid) RaiseError();
  switch (curToken.Token) {
    case tk::ProcCall:
      UseProcedure(*curToken.Proc);
      CallRel(a, static_cast<uint32_t>(curToken.Proc->FuncIndex));
      break;
    case tk::Register: CallReg(a, curToken.Reg); break;
    // The whole operand: an index register or a scale is not dropped.
    case tk::BaseExpr: CallMemOperand(a, MemOperandOf(curBaseExpression)); break;
    default: CallMem(a, curToken.Reg, static_cast<int32_t>(curToken.DataOffset)); break;
  }
  return true;
}

// "pop reg|segment|item;"
bool TCompiler::CompilePop() {
  TAssembler& a = curFunc->recAssembler;
  if (ExpectToken({tk::Register, tk::Segment, tk::SegOffset}) == tk::Invalid) RaiseError();
  switch (curToken.Token) {
    case tk::Register: PopReg(a, curToken.Reg); break;
    case tk::Segment: PopSeg(a, curToken.Seg); break;
    default: PopSegMem(a, curToken.Seg, static_cast<uint32_t>(curToken.Int)); break;
  }
  return true;
}

}  // namespace kelvo

namespace kelvo {

// "push reg|segment|item|value;"
bool TCompiler::CompilePush() {
  if (ExpectToken({tk::BaseExpr, tk::Variable, tk::LocalVar, tk::LocalParam, tk::LocalAddress,
                   tk::RegPointerAddress, tk::Minus, tk::Identifier, tk::Number, tk::Hex, tk::String,
                   tk::ProcAddress, tk::DataAddress, tk::Register, tk::Segment, tk::SegOffset}) == tk::Invalid)
    RaiseError();
  if (curToken.Token == tk::BaseExpr) {
    const TBaseExpression& e = curBaseExpression;
    PushMem(curFunc->recAssembler, e.regcount, e.dtSize, e.reg1, e.reg2, e.disp, e.scale);
    return true;
  }
  const uint16_t code = curToken.Token;
  if (code == tk::Minus && ExpectToken({tk::Number}) == tk::Invalid) RaiseError();
  // PUSH has no byte form; only a call argument is widened to its slot.
  if (code == tk::Variable && curToken.Size == 1 && !curToken.Data->dataUseRegister)
    Error("Expected word or 2 word variable");
  return PushOperand(code, &curToken);
}

}  // namespace kelvo
