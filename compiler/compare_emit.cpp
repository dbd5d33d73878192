// The compare instruction of a condition, for every pair of operands a condition accepts.
#include "assembler/encoders.h"
#include "compiler/operand_location.h"
#include "compiler/size_messages.h"
#include "frontend/compiler.h"
#include "frontend/token_codes.h"

namespace kelvo {

namespace {

bool isNumber(uint16_t code) { return code == tk::Number || code == tk::Hex; }

[[noreturn]] void invalidOperand(TCompiler& c, const char* number, const std::string& text) {
  c.Error(std::string(number) + ": Invalid operand \"" + text + "\"");
}

// CMP size [place], imm: the whole operand, index, scale and displacement included.
void compareLocationImm(TAssembler& a, const TLocation& loc, int32_t imm) {
  if (loc.isVar) return CmpVarImm(a, loc.size, loc.dataIdent, loc.offset, imm);
  if (loc.size != 1 && loc.size != 2 && loc.size != 4) EncoderError("Invalid operand size");
  CmpMemOperandImm(a, loc.size, loc.mem, imm);
}

}  // namespace

// A memory place on the left: a memory expression, local, parameter or global.
void TCompiler::compareMemory(const TCurrentToken& left, const TCurrentToken& right) {
  TAssembler& a = curFunc->recAssembler;
  TCurrentToken place = left;
  if (place.Token == tk::BaseExpr) {
    curBaseExpression = leftExpression_;
    place.Int = 0;
  }
  const TLocation loc = OperandLocation(place);
  const char* number = left.Token == tk::BaseExpr ? "10066" : left.Token == tk::Variable ? "10002" : "10003";
  if (right.Token == tk::Register) {
    LocAluLocReg(a, aluCmp, loc, right.Reg);  // CMP [place], reg
    return;
  }
  if (!isNumber(right.Token)) invalidOperand(*this, number, right.Str);
  CheckImmediate(right.Int, loc.size);
  compareLocationImm(a, loc, static_cast<int32_t>(right.Int));
}

void TCompiler::compareRegister(TRegister reg, const TCurrentToken& right) {
  TAssembler& a = curFunc->recAssembler;
  switch (right.Token) {
    case tk::String:
      if (right.Str.size() != 1 && right.Str.size() != 2 && right.Str.size() != 4)
        Error("string must be equal or smaller than register (1, 2 or 4 bytes)");
      CmpRegImm(a, reg, 0, static_cast<int32_t>(strToCharConst(right.Str)));
      return;
    case tk::Constant:
      if (!right.Data || right.Data->dataSubMode == smString) invalidOperand(*this, "10001", right.Str);
      CmpRegImm(a, reg, 0, static_cast<int32_t>(right.Data->dataAddress));
      return;
    case tk::LocalVar:
    case tk::LocalParam:
    case tk::Variable: {
      // CMP reg, [item]: also right for an item held through a register.
      LocAluRegLoc(a, aluCmp, reg, OperandLocation(right));
      return;
    }
    case tk::Register:
      if (regSize(right.Reg) != regSize(reg)) Error(SizeMessage(TSizeMessage::equalSize));
      CmpRegReg(a, reg, right.Reg);
      return;
    default:
      if (!isNumber(right.Token)) invalidOperand(*this, "10001", right.Str);
      CheckImmediate(right.Int, regSize(reg) / 8);
      if (right.Int == 0) TestRegReg(a, reg, reg);
      else CmpRegImm(a, reg, 0, static_cast<int32_t>(right.Int));
      return;
  }
}

bool TCompiler::EmitCompare(const TCurrentToken& left, const TCurrentToken& right) {
  switch (left.Token) {
    case tk::BaseExpr:
    case tk::LocalVar:
    case tk::LocalParam:
    case tk::Variable: compareMemory(left, right); return true;
    case tk::Register: compareRegister(left.Reg, right); return true;
    default: invalidOperand(*this, "10004", left.Str);
  }
}

}  // namespace kelvo
