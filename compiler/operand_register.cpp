// Statements that begin with a register: assignment, calls through it, ++/--, shifts,
// += and -=, and "as" for the type it points to.
#include "assembler/encoders.h"
#include "compiler/size_messages.h"
#include "frontend/compiler.h"
#include "frontend/token_codes.h"

namespace kelvo {

// "reg as type" or "reg as nothing": what the register points to from here on.
static void setPointsTo(TCompiler& c, TRegister reg) {
  if (regSize(reg) != 32) c.Error("Invalid use of as with this register");
  if (c.ExpectToken({tk::TypeName, tk::Nothing}) == tk::Invalid) c.RaiseError();
  TRegState& state = c.rsReg32[regNumber(reg)];
  if (c.curToken.Token == tk::TypeName) {
    state.pointsTo = c.curToken.DataType;
    return;
  }
  if (state.pointsTo && state.pointsTo->typeInterface)
    c.rsReg32[regNumber(state.pointsTo->typeClassUseReg)].interfaceLoaded = false;
  state.pointsTo = nullptr;
}

// "reg = value;" | "reg op= value;" | "reg++;" | "reg();" and the other register statements
bool TCompiler::CompileRegisterStatement(PCurrentToken regToken) {
  TAssembler& a = curFunc->recAssembler;
  const TRegister reg = regToken->Reg;
  const uint16_t code = GetToken();
  switch (code) {
    case tk::Assign: return CompileRegisterAssign(regToken);
    case tk::LParen: return CompileRegisterCall(reg);
    case tk::PlusPlus: IncReg(a, reg); return true;
    case tk::MinusMinus: DecReg(a, reg); return true;
    case tk::ShiftRight: case tk::ShiftLeft: {
      if (ExpectToken({tk::Number, tk::Hex}) == tk::Invalid) return false;
      const auto count = static_cast<uint8_t>(curToken.Int);
      if (code == tk::ShiftRight) ShrRegImm(a, reg, count);
      else ShlRegImm(a, reg, count);
      return true;
    }
    case tk::PlusAssign: case tk::MinusAssign: {
      const bool add = code == tk::PlusAssign;
      if (ExpectToken({tk::LocalVar, tk::LocalParam, tk::Variable, tk::Register, tk::Number, tk::Hex,
                       tk::BaseExpr, tk::RegPointer}) == tk::Invalid)
        return false;
      if (curToken.Token == tk::Number || curToken.Token == tk::Hex) {
        if (add) AddRegImm(a, reg, static_cast<int32_t>(curToken.Int), ftNone);
        else SubRegImm(a, reg, static_cast<int32_t>(curToken.Int), ftNone);
        return true;
      }
      if (curToken.Token == tk::Register) {
        if (regSize(curToken.Reg) != regSize(reg)) Error(SizeMessage(TSizeMessage::equalSize, curToken.Str));
        if (add) AddRegReg(a, reg, curToken.Reg);
        else SubRegReg(a, reg, curToken.Reg);
        return true;
      }
      const TLocation loc = OperandLocation(curToken);
      // The item is read at the register's width: a narrower item would take bytes beyond it.
      if (loc.size < regSize(reg) / 8) Error(SizeMessage(TSizeMessage::equalSize, curToken.Str));
      LocAluRegLoc(a, add ? aluAdd : aluSub, reg, loc);
      return true;
    }
    case tk::As:
      setPointsTo(*this, reg);
      if (PeekToken() == tk::Assign) {
        GetToken();
        return CompileRegisterAssign(regToken);
      }
      return ExpectToken({tk::Semicolon}) != tk::Invalid;
    case tk::Semicolon: return true;
    default:
      strLastError = "Expected = but found " + curToken.Str;
      return false;
  }
}

// MOV reg, label: a label not seen yet is named by "offset" and patched when it is.
static void loadLabel(TCompiler& c, TRegister reg) {
  TFunction& f = *c.curFunc;
  const int32_t known = c.FindLabel(c.curToken.Str);
  if (known >= 0) {
    MovRegImm(f.recAssembler, reg, known, ftLabelAddress);
    return;
  }
  f.ofsLabels.emplace_back(c.curToken.Str, static_cast<int64_t>(f.recAssembler.strCode.size()));
  MovRegImm(f.recAssembler, reg, static_cast<int32_t>(f.ofsLabels.size() - 1), ftOffsetLabelAddress);
}

// A global into a register also records what the register now holds and points to.
static void loadGlobal(TCompiler& c, TRegister reg) {
  TAssembler& a = c.curFunc->recAssembler;
  const TLocation loc = c.OperandLocation(c.curToken);
  if (loc.size < regSize(reg) / 8) LocLoadWide(a, static_cast<TRegister>(regNumber(reg)), loc);
  else LocMovRegLoc(a, reg, loc);
  if (regSize(reg) != 32) return;
  TRegState& state = c.rsReg32[regNumber(reg)];
  const PData d = c.curToken.Data;
  state.loadedFrom = d;
  if (d && d->dataPtrType && d->dataPtrType->typeInterface) {
    state.pointsTo = d->dataPtrType;
    state.interfaceLoaded = true;
  } else {
    state.pointsTo = c.curToken.DataType;
  }
}

// "reg = value|item|expression;"
bool TCompiler::CompileRegisterAssign(PCurrentToken regToken) {
  TAssembler& a = curFunc->recAssembler;
  const TRegister reg = regToken->Reg;
  curClassReg = reg;
  const uint16_t code =
      ExpectToken({tk::BaseExpr, tk::String, tk::Label, tk::RegPointer, tk::MacroCall, tk::ProcCall,
                   tk::LocalVar, tk::LocalParam, tk::Variable, tk::Minus, tk::DataAddress, tk::LocalAddress,
                   tk::RegPointerAddress, tk::Register, tk::Number, tk::Hex, tk::Constant, tk::ProcAddress, tk::MnOr,
                   tk::MnXor});
  switch (code) {
    case tk::Invalid: return false;
    case tk::String:
      if (regSize(reg) == 8) Error("Assign const string to registers using ord(..)");
      CompileVarOperand(regToken, &curToken);
      break;
    case tk::Label: loadLabel(*this, reg); break;
    case tk::MacroCall:
      curToken.Macro->Result = regToken;
      if (!InvokeMacro(curToken.Macro)) return false;
      break;
    case tk::ProcCall: {
      const PFunction proc = curToken.Proc;
      if (!CompileCall(proc, false, curToken.DataOffset)) return false;
      if (regNumber(reg) != 0 || regSize(reg) != 32) MovRegReg(a, reg, SizedRegister(rdEAX, regSize(reg) / 8));
      break;
    }
    case tk::Variable: loadGlobal(*this, reg); break;
    case tk::BaseExpr: case tk::RegPointer: case tk::LocalVar: case tk::LocalParam: {
      const TLocation loc = OperandLocation(curToken);
      // A narrower item is widened by its signedness rather than read past its end.
      if (loc.size < regSize(reg) / 8) LocLoadWide(a, static_cast<TRegister>(regNumber(reg)), loc);
      else LocMovRegLoc(a, reg, loc);
      break;
    }
    case tk::Minus:
      if (ExpectToken({tk::Number}) == tk::Invalid) return false;
      MovRegImm(a, reg, static_cast<int32_t>(-curToken.Int), ftNone);
      break;
    case tk::MnOr: OrRegReg(a, reg, reg); break;
    case tk::MnXor: XorRegReg(a, reg, reg); break;
    case tk::Register:
      if (regSize(curToken.Reg) != regSize(reg)) Error(SizeMessage(TSizeMessage::equalSize, curToken.Str));
      MovRegReg(a, reg, curToken.Reg);
      break;
    default: CompileVarOperand(regToken, &curToken); break;
  }
  if (PeekToken() == tk::As) {
    GetToken();
    if (regSize(reg) != 32) Error("Invalid register usage with \"as\"");
    if (ExpectToken({tk::TypeName}) == tk::Invalid) return false;
    rsReg32[regNumber(reg)].pointsTo = curToken.DataType;
  }
  return true;
}

}  // namespace kelvo
