// Statements that begin with a global variable, and string variables.
#include "assembler/encoders.h"
#include "compiler/size_messages.h"
#include "frontend/compiler.h"
#include "frontend/token_codes.h"

namespace kelvo {

namespace {

// An address is four bytes: a narrower item would have its neighbours overwritten.
void requireAddressWidth(TCompiler& c, const TLocation& place) {
  if (place.size < 4) c.Error("Expected 32bit variable");
}

}  // namespace

// A float into a global item, in the item's own float format.
static void storeGlobalFloat(TCompiler& c, const TCurrentToken& var, const TLocation& place, long double value) {
  if (var.Data && var.Data->dataUseRegister) c.Error("Float are not yet supported for this method");
  if (var.Data) var.Data->dataSubMode = smFloat;
  c.StoreFloat(place, value);
}

// A number into a global: a size-8 item gets both dwords.
static void storeNumber(TAssembler& a, const TLocation& place, int64_t value) {
  if (place.size == 8) {
    LocMovLocImm(a, place.At(0, 4), 4, static_cast<uint32_t>(value));
    LocMovLocImm(a, place.At(4, 4), 4, static_cast<uint32_t>(static_cast<uint64_t>(value) >> 32));
    return;
  }
  LocMovLocImm(a, place, place.size, static_cast<uint32_t>(value));
}

// "item = value;" | "item op= value;" | "item++;" and the other statements on a data item
bool TCompiler::CompileDataStatement(PCurrentToken var, bool initialiser) {
  TAssembler& a = curFunc->recAssembler;
  const TLocation place = OperandLocation(*var);
  if (!initialiser) {
    if (!var->Data || var->Data->dataMode != dmVar) Error("Invalid assignment on data type");
    const uint16_t op = ExpectToken({tk::Assign, tk::PlusPlus, tk::MinusMinus});
    if (op == tk::Invalid) return false;
    if (op != tk::Assign) {
      LocIncDec(a, place, op == tk::PlusPlus);
      return true;
    }
  }
  const TWideHex wide(*this, place.size == 8);
  const uint16_t code =
      ExpectToken({tk::String, tk::MacroCall, tk::ProcCall, tk::Constant, tk::LocalVar, tk::LocalParam,
                   tk::Variable, tk::Minus, tk::Float, tk::ProcAddress, tk::Register, tk::Number, tk::Hex,
                   tk::DataAddress});
  switch (code) {
    case tk::Invalid: return false;
    case tk::String: {
      requireAddressWidth(*this, place);
      const PData s = AddAnonymousString(curToken.Str);
      LocMovLocImm(a, place, 4, s->dataAddress, ftAppendDataAddr);
      return true;
    }
    case tk::MacroCall:
      if (!curToken.Macro->isFunction) Error("Invalid assignment");
      curToken.Macro->Result = var;
      return InvokeMacro(curToken.Macro);
    case tk::ProcCall: StoreFunctionResult(curToken, place, false); return true;
    case tk::Constant:
      if (curToken.Data && curToken.Data->dataSubMode == smFloat) {
        storeGlobalFloat(*this, *var, place, curToken.Data->dataValExt);
        return true;
      }
      requireAddressWidth(*this, place);
      LocMovLocImm(a, place, 4, curToken.Data ? curToken.Data->dataAddress : 0, ftAppendDataAddr);
      return true;
    case tk::LocalVar: case tk::LocalParam: {
      if (curToken.Data && curToken.Data->dataUseRegister) Error("Unsupported operation");
      const TLocation source = OperandLocation(curToken);
      if (source.size != 1 && source.size != 2 && source.size != 4 && source.size != 8)
        Error("Unsupported assignment");
      LocCopy(a, place, source);
      return true;
    }
    case tk::Variable: LocCopy(a, place, OperandLocation(curToken)); return true;
    case tk::Minus:
      if (ExpectToken({tk::Number, tk::Float}) == tk::Invalid) return false;
      if (curToken.Token == tk::Float) storeGlobalFloat(*this, *var, place, -curToken.Ext);
      else storeNumber(a, place, -curToken.Int);
      return true;
    case tk::Float: storeGlobalFloat(*this, *var, place, curToken.Ext); return true;
    case tk::ProcAddress:
      requireAddressWidth(*this, place);
      LocMovLocImm(a, place, 4, 0, ftProcAddress, static_cast<uint32_t>(curToken.Int));
      return true;
    case tk::DataAddress:
      requireAddressWidth(*this, place);
      LocMovLocImm(a, place, 4, static_cast<uint32_t>(curToken.Int), ftAppendDataAddr);
      return true;
    case tk::Register:
      if (regSize(curToken.Reg) / 8 != place.size) Error(SizeMessage(TSizeMessage::equalSize, curToken.Str));
      LocMovLocReg(a, place, curToken.Reg);
      return true;
    default: storeNumber(a, place, curToken.Int); return true;
  }
}

// "item = 'text';" a string data item
bool TCompiler::CompileStringStatement(PCurrentToken var) {
  TAssembler& a = curFunc->recAssembler;
  const TLocation place = OperandLocation(*var);
  if (ExpectToken({tk::Assign}) == tk::Invalid) return false;
  const uint16_t code = GetToken();
  if (code == tk::String) {
    const std::string text = curToken.Str;
    const PFunction setter = FindProc("_internal_stringset");
    if (!setter) Error("Unknown Identifier \"_internal_stringset\"");
    PushImm(a, 4, static_cast<int32_t>(text.size() + 1), ftNone, 0);
    PushImm(a, 4, AddAnonymousString(text)->dataIdent, ftDataAddress, 0);
    LocPush(a, place, 4);
    setter->Called = true;
    CallRel(a, static_cast<uint32_t>(setter->FuncIndex));
    LocMovLocReg(a, place, rdEAX);
    return true;
  }
  if (code == tk::Register && curToken.Reg == rdEAX) {
    // A fresh string block: no characters yet, room for 24.
    LocMovLocReg(a, place, rdEAX);
    MovMemImm(a, 1, 4, 0, rdEAX, rdEAX, 0, 0, ftNone);
    MovMemImm(a, 1, 4, 24, rdEAX, rdEAX, 4, 0, ftNone);
    return true;
  }
  Error("Unexpected assignment");
}

}  // namespace kelvo
