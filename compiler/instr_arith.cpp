// Instruction statements add and sub, lea and cmp.
#include "assembler/encoders.h"
#include "compiler/size_messages.h"
#include "frontend/compiler.h"
#include "frontend/token_codes.h"

namespace kelvo {

namespace {

// The ADD or the SUB encoders: add and sub read the same operands.
struct TAddSubOps {
  decltype(&AddMemImm) memImm;
  decltype(&AddVarImm) varImm;
  decltype(&AddMemReg) memReg;
  decltype(&AddRegMem) regMem;
  decltype(&AddVarReg) varReg;
  decltype(&AddRegVar) regVar;
  decltype(&AddRegImm) regImm;
  decltype(&AddRegReg) regReg;
};
constexpr TAddSubOps kAddOps = {AddMemImm, AddVarImm, AddMemReg, AddRegMem,
                                AddVarReg, AddRegVar, AddRegImm, AddRegReg};
constexpr TAddSubOps kSubOps = {SubMemImm, SubVarImm, SubMemReg, SubRegMem,
                                SubVarReg, SubRegVar, SubRegImm, SubRegReg};

bool isDataToken(uint16_t code) {
  return code == tk::LocalVar || code == tk::LocalParam || code == tk::Variable;
}

// Absolute (Var) addressing: a global that no register holds.
bool isAbsolute(const TCurrentToken& t) { return t.Token == tk::Variable && !t.Data->dataUseRegister; }

}  // namespace

// The data item an add or sub writes, kept while its source is read: what the encoders and a
// message take of the token, without copying the whole token.
struct TAddSubItem {
  explicit TAddSubItem(const TCurrentToken& t)
      : Token(t.Token), Data(t.Data), DataOffset(t.DataOffset), Size(t.Size), Str(t.Str.view()) {}
  uint16_t Token;
  PData Data;
  uint32_t DataOffset;
  int32_t Size;
  std::string Str;
  bool absolute() const { return Token == tk::Variable && !Data->dataUseRegister; }
};

// The operand of the register is as wide as the register: a data item or typed memory of
// another width would be read or written only in part, or beyond its end.
static void requireSameSize(TCompiler& c, TRegister reg, int32_t bytes, std::string_view text) {
  if (regSize(reg) / 8 != bytes) c.Error(SizeMessage(TSizeMessage::sameSize, text));
}

static bool compileAddSub(TCompiler& c, const TAddSubOps& ops) {
  TAssembler& a = c.curFunc->recAssembler;
  const uint16_t first = c.ExpectToken({tk::Register, tk::Variable, tk::BaseExpr, tk::LocalVar, tk::LocalParam});
  if (first == tk::Invalid) c.RaiseError();
  int64_t value = 0;
  if (first == tk::BaseExpr) {
    const TBaseExpression e = c.curBaseExpression;
    const TMemOperand m = MemOperandOf(e);
    if (!c.ExpectComma()) return false;
    if (c.ExpectToken({tk::Register, tk::Number, tk::Hex, tk::Minus}) == tk::Invalid) c.RaiseError();
    if (c.curToken.Token == tk::Register) {
      if (e.dt) requireSameSize(c, c.curToken.Reg, e.dtSize, c.curToken.Str);
      ops.memReg(a, m.regCount, c.curToken.Reg, m.base, m.index, m.disp, m.scale);
      return true;
    }
    if (!c.ReadInstrNumber(value)) return false;
    c.CheckImmediate(value, e.dtSize);
    ops.memImm(a, m.regCount, e.dtSize, static_cast<int32_t>(value), m.base, m.index, m.disp, m.scale, ftNone);
    return true;
  }
  if (isDataToken(first)) {
    const TAddSubItem item(c.curToken);
    if (!c.ExpectComma()) return false;
    if (c.ExpectToken({tk::Register, tk::Number, tk::Hex, tk::Minus}) == tk::Invalid) c.RaiseError();
    if (c.curToken.Token == tk::Register) {
      requireSameSize(c, c.curToken.Reg, item.Size, item.Str);
      if (item.absolute()) {
        ops.varReg(a, item.Data->dataIdent, c.curToken.Reg, item.DataOffset);
      } else {
        const TMemOperand m = c.InstrDataOperand(*item.Data, item.DataOffset);
        ops.memReg(a, 1, c.curToken.Reg, m.base, rdEAX, m.disp, 0);
      }
      return true;
    }
    if (!c.ReadInstrNumber(value)) return false;
    c.CheckImmediate(value, item.Size);
    if (item.absolute()) {
      ops.varImm(a, item.Size, item.Data->dataIdent, value, item.DataOffset, ftNone, 0);
    } else {
      const TMemOperand m = c.InstrDataOperand(*item.Data, item.DataOffset);
      ops.memImm(a, 1, item.Size, static_cast<int32_t>(value), m.base, rdEAX, m.disp, 0, ftNone);
    }
    return true;
  }
  const TRegister reg = c.curToken.Reg;
  if (!c.ExpectComma()) c.RaiseError();
  if (c.ExpectToken({tk::Variable, tk::Hex, tk::Number, tk::Minus, tk::Register, tk::LocalVar, tk::LocalParam,
                     tk::BaseExpr}) == tk::Invalid)
    c.RaiseError();
  const TCurrentToken& t = c.curToken;
  switch (t.Token) {
    case tk::BaseExpr: {
      const TBaseExpression& e = c.curBaseExpression;
      if (e.dt) c.WarnWideRead(reg, e.dtSize, t.Str);  // only read: no size check
      const TMemOperand m = MemOperandOf(e);
      ops.regMem(a, m.regCount, reg, m.base, m.index, m.disp, m.scale);
      return true;
    }
    case tk::LocalVar: case tk::LocalParam: case tk::Variable: {
      // A global is only read and keeps its warning; a local or parameter must match.
      if (t.Token == tk::Variable) c.WarnWideRead(reg, t.Size, t.Str);
      else requireSameSize(c, reg, t.Size, t.Str);
      if (isAbsolute(t)) {
        ops.regVar(a, t.Data->dataIdent, reg, t.DataOffset);
      } else {
        const TMemOperand m = c.InstrDataOperand(t);
        ops.regMem(a, 1, reg, m.base, rdEAX, m.disp, 0);
      }
      return true;
    }
    case tk::Register:
      requireSameSize(c, reg, regSize(t.Reg) / 8, t.Str);
      ops.regReg(a, reg, t.Reg);
      return true;
    default:
      if (!c.ReadInstrNumber(value)) return false;
      c.CheckImmediate(value, regSize(reg) / 8);
      ops.regImm(a, reg, static_cast<int32_t>(value), ftNone);
      return true;
  }
}

// "add dest, source;" with a register, memory operand or data item and a register or value
bool TCompiler::CompileAdd() { return compileAddSub(*this, kAddOps); }
// "sub dest, source;" with the operands of add
bool TCompiler::CompileSub() { return compileAddSub(*this, kSubOps); }

// --- lea

// "lea reg32, [address];" | "lea reg32, item;"
bool TCompiler::CompileLea() {
  TAssembler& a = curFunc->recAssembler;
  if (ExpectToken({tk::Register}) == tk::Invalid) RaiseError();
  const TRegister reg = curToken.Reg;
  if (curToken.Size != 32) Error("Expected 32 bit register as first operand");
  if (!ExpectComma()) RaiseError();
  if (ExpectToken({tk::BaseExpr, tk::LocalVar, tk::LocalParam, tk::ProcCall, tk::Constant, tk::Variable,
                   tk::String}) == tk::Invalid)
    RaiseError();
  const TCurrentToken& t = curToken;
  switch (t.Token) {
    case tk::BaseExpr: {
      const TMemOperand m = MemOperandOf(curBaseExpression);
      LeaRegMem(a, m.regCount, reg, m.base, m.index, m.disp, m.scale);
      break;
    }
    case tk::ProcCall:
      UseProcedure(*t.Proc);
      LeaRegVar(a, reg, static_cast<uint32_t>(t.Proc->FuncIndex), ftProcAddress, 0);
      break;
    case tk::String:
      LeaRegVar(a, reg, static_cast<uint32_t>(AddAnonymousString(t.Str)->dataIdent), ftDataAddress, 0);
      break;
    default:
      if (t.Token == tk::Constant || isAbsolute(t)) {
        LeaRegVar(a, reg, static_cast<uint32_t>(t.Data->dataIdent), ftDataAddress, t.DataOffset);
      } else {
        const TMemOperand m = InstrDataOperand(t);
        LeaRegMem(a, 1, reg, m.base, rdEAX, m.disp, 0);
      }
      break;
  }
  return true;
}

// --- cmp

// "cmp dest, source;" with the operands of add
bool TCompiler::CompileCmp() {
  TAssembler& a = curFunc->recAssembler;
  if (ExpectToken({tk::Register, tk::BaseExpr}) == tk::Invalid) RaiseError();
  int64_t value = 0;
  if (curToken.Token == tk::BaseExpr) {
    const TBaseExpression e = curBaseExpression;
    if (!e.dt) Error("Expected pointer data type");
    const int32_t size = e.dt->typeSize;
    if (size == -2 || size == -3 || size == -5)
      Error("Variable type not supported for this operation \"" + curToken.Str + "\".");
    if (!ExpectComma()) RaiseError();
    if (ExpectToken({tk::Number, tk::Hex, tk::Minus}) == tk::Invalid) RaiseError();
    if (!ReadInstrNumber(value)) return false;
    CheckImmediate(value, size);
    // The whole operand, displacement and scale included.
    CmpMemOperandImm(a, size, MemOperandOf(e), static_cast<int32_t>(value));
    return true;
  }
  const TRegister reg = curToken.Reg;
  const int32_t bytes = regSize(reg) / 8;
  if (!ExpectComma()) RaiseError();
  if (ExpectToken({tk::Minus, tk::Register, tk::Number, tk::Hex, tk::Constant, tk::String}) == tk::Invalid)
    RaiseError();
  const TCurrentToken& t = curToken;
  switch (t.Token) {
    case tk::Register:
      if (regSize(t.Reg) != regSize(reg)) Error(SizeMessage(TSizeMessage::equalSize));
      CmpRegReg(a, reg, t.Reg);
      return true;
    case tk::String:
      if (bytes != t.Length) Error(SizeMessage(TSizeMessage::equalSize));
      CmpRegImm(a, reg, 0, static_cast<int32_t>(strToCharConst(t.Str)));
      return true;
    case tk::Constant:
      if (t.Data->dataSubMode == smString) Error("Unsupported operand \"" + t.Str + "\".");
      CmpRegImm(a, reg, 0, static_cast<int32_t>(t.Data->dataAddress));
      return true;
    default:
      if (!ReadInstrNumber(value)) return false;
      CheckImmediate(value, bytes);
      CmpRegImm(a, reg, 0, static_cast<int32_t>(value));
      return true;
  }
}

}  // namespace kelvo
