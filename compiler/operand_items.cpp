// Statements that begin with a memory operand, a register member, a segment, or a local
// variable or parameter.
#include "assembler/encoders.h"
#include "compiler/size_messages.h"
#include "frontend/compiler.h"
#include "frontend/token_codes.h"

namespace kelvo {

namespace {

bool isMemorySource(uint16_t code) {
  return code == tk::LocalVar || code == tk::LocalParam || code == tk::Variable || code == tk::BaseExpr ||
         code == tk::RegPointer;
}

}  // namespace

// "= source" into a memory place: an item (copied), a register, a number, or a function.
// An untyped place ([eax]) takes the width of an item or register assigned to it.
static bool assignToPlace(TCompiler& c, TLocation place, bool acceptFunction, bool untyped) {
  TAssembler& a = c.curFunc->recAssembler;
  if (c.ExpectToken({tk::Assign}) == tk::Invalid) return false;
  const uint16_t code = c.ExpectToken({tk::LocalVar, tk::LocalParam, tk::Variable, tk::Register, tk::Number,
                                       tk::Hex, tk::Minus, tk::ProcCall});
  if (code == tk::Invalid) return false;
  if (isMemorySource(code)) {
    const TLocation source = c.OperandLocation(c.curToken);
    // An untyped place is a dword: a narrower item arrives widened, as a push would give it.
    if (untyped) place.size = source.size < 4 ? 4 : source.size;
    LocCopy(a, place, source);
    return true;
  }
  switch (code) {
    case tk::Register:
      if (untyped) place.size = regSize(c.curToken.Reg) / 8;
      if (regSize(c.curToken.Reg) / 8 != place.size)
        c.Error(SizeMessage(TSizeMessage::equalSize, c.curToken.Str));
      LocMovLocReg(a, place, c.curToken.Reg);
      return true;
    case tk::Minus:
      if (c.ExpectToken({tk::Number, tk::Hex}) == tk::Invalid) return false;
      c.curToken.Int = -c.curToken.Int;
      [[fallthrough]];
    case tk::Number: case tk::Hex:
      LocMovLocImm(a, place, place.size, static_cast<uint32_t>(c.curToken.Int));
      return true;
    default:  // a procedure
      if (!acceptFunction) {
        c.strLastError = "Expected number or register but found " + c.curToken.Str;
        return false;
      }
      c.StoreFunctionResult(c.curToken, place, false);
      return true;
  }
}

// "[address] = value;"
bool TCompiler::CompileMemoryAssign() {
  const bool untyped = curBaseExpression.dt == nullptr;
  return assignToPlace(*this, OperandLocation(curToken), false, untyped);
}

// "reg.member = value;"
bool TCompiler::CompileRegMemberAssign(PCurrentToken member) {
  return assignToPlace(*this, OperandLocation(*member), true, false);
}

// "seg:offset = reg;"
bool TCompiler::CompileSegMemAssign(PCurrentToken seg) {
  if (ExpectToken({tk::Assign}) == tk::Invalid || ExpectToken({tk::Register}) == tk::Invalid) return false;
  MovSegMemReg(curFunc->recAssembler, seg->Seg, static_cast<uint32_t>(seg->Int), curToken.Reg);
  return ExpectToken({tk::Semicolon}) != tk::Invalid;
}

// "seg = reg;"
bool TCompiler::CompileSegRegAssign(PCurrentToken seg) {
  if (ExpectToken({tk::Assign}) == tk::Invalid || ExpectToken({tk::Register}) == tk::Invalid) return false;
  MovSegReg(curFunc->recAssembler, seg->Seg, curToken.Reg);
  return ExpectToken({tk::Semicolon}) != tk::Invalid;
}

// A float into a local item: stored in the item's own float format.
static void storeLocalFloat(TCompiler& c, const TCurrentToken& item, const TLocation& place, long double value) {
  if (item.Data && item.Data->dataUseRegister) c.Error("Float are not yet supported for this method");
  if (item.Data) item.Data->dataSubMode = smFloat;
  c.StoreFloat(place, value);
}

// "[reg] = value;" and the other statements on a register pointer
bool TCompiler::CompilePointerStatement() {
  TAssembler& a = curFunc->recAssembler;
  const TCurrentToken item = curToken;
  const TLocation place = OperandLocation(item);
  const bool registerBound = item.Data && item.Data->dataUseRegister;
  const uint16_t op = ExpectToken({tk::PlusPlus, tk::MinusMinus, tk::Assign});
  if (op == tk::Invalid) return false;
  if (op != tk::Assign) {
    LocIncDec(a, place, op == tk::PlusPlus);
    return true;
  }
  const TWideHex wide(*this, place.size == 8);
  const uint16_t code =
      ExpectToken({tk::ProcCall, tk::Constant, tk::ProcAddress, tk::LocalVar, tk::LocalParam, tk::Variable,
                   tk::BaseExpr, tk::RegPointer, tk::Minus, tk::Float, tk::Number, tk::Hex, tk::Register,
                   tk::String, tk::DataAddress});
  if (code == tk::Invalid) return false;
  if (isMemorySource(code)) {
    LocCopy(a, place, OperandLocation(curToken));
    return true;
  }
  switch (code) {
    case tk::ProcCall: StoreFunctionResult(curToken, place, registerBound); return true;
    case tk::Constant:
      if (curToken.Data && curToken.Data->dataSubMode == smFloat) {
        storeLocalFloat(*this, item, place, curToken.Data->dataValExt);
        return true;
      }
      LocMovLocImm(a, place, place.size, curToken.Data ? curToken.Data->dataAddress : 0, ftAppendDataAddr);
      return true;
    case tk::Minus:
      if (ExpectToken({tk::Number, tk::Float}) == tk::Invalid) return false;
      if (curToken.Token == tk::Float) {
        storeLocalFloat(*this, item, place, -curToken.Ext);
        return true;
      }
      curToken.Int = -curToken.Int;
      break;
    case tk::Float: storeLocalFloat(*this, item, place, curToken.Ext); return true;
    case tk::String: {
      const PData s = AddAnonymousString(curToken.Str);
      LocMovLocImm(a, place, place.size, s->dataAddress, ftAppendDataAddr);
      return true;
    }
    case tk::DataAddress:
      LocMovLocImm(a, place, place.size, static_cast<uint32_t>(curToken.Int), ftAppendDataAddr);
      return true;
    default: break;
  }
  TCurrentToken source = curToken;
  TCurrentToken destination = item;
  destination.Token = tk::LocalVar;  // CompileVarOperand takes locals and parameters alike
  return CompileVarOperand(&destination, &source);
}

}  // namespace kelvo
