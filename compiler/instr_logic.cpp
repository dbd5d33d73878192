// Instruction statements on registers: logic, multiply and divide, bit tests, shifts, ports,
// xchg, movzx, int, inc and dec, cmovz.
#include "assembler/encoders.h"
#include "compiler/size_messages.h"
#include "frontend/compiler.h"
#include "frontend/token_codes.h"

namespace kelvo {

// "[%d,%d]: " with the column before the reader, as or and movzx put it in their messages.
static std::string positionPrefix(const TCompiler& c) {
  return "[" + std::to_string(c.curFile->intCurLine) + "," + std::to_string(c.curFile->intCurLineChar - 1) + "]: ";
}

// Reads "register ," and gives the register.
static bool registerAndComma(TCompiler& c, TRegister& reg) {
  if (c.ExpectToken({tk::Register}) == tk::Invalid) return false;
  reg = c.curToken.Reg;
  return c.ExpectComma();
}

// "or dest, source;"
bool TCompiler::CompileOr() {
  TRegister reg;
  if (!registerAndComma(*this, reg)) return false;
  if (ExpectToken({tk::Register, tk::Number}) == tk::Invalid) RaiseError();
  if (curToken.Token == tk::Number) {
    strLastError = positionPrefix(*this) + "Not implemented.";
    return false;
  }
  if (regSize(reg) != regSize(curToken.Reg)) {
    strLastError = positionPrefix(*this) + SizeMessage(TSizeMessage::registersStop);
    return false;
  }
  OrRegReg(curFunc->recAssembler, reg, curToken.Reg);
  return true;
}

// "xor dest, source;"
bool TCompiler::CompileXor() {
  TAssembler& a = curFunc->recAssembler;
  TRegister reg;
  if (!registerAndComma(*this, reg)) return false;
  if (ExpectToken({tk::BaseExpr, tk::Register, tk::Number, tk::Minus}) == tk::Invalid) RaiseError();
  if (curToken.Token == tk::BaseExpr) {
    const TBaseExpression& e = curBaseExpression;
    if (e.regcount != 2) Error("Error 234234, not supported");
    XorRegMem(a, reg, e.reg1, e.disp, e.reg2, e.scale);
    return true;
  }
  if (curToken.Token == tk::Register) {
    if (regSize(reg) != regSize(curToken.Reg)) Error(SizeMessage(TSizeMessage::registersStop));
    XorRegReg(a, reg, curToken.Reg);
    return true;
  }
  int64_t value = 0;
  if (!ReadInstrNumber(value)) return false;
  CheckImmediate(value, regSize(reg) / 8);
  XorRegImm(a, reg, static_cast<int32_t>(value));
  return true;
}

// test reg, [reg] arrives as a memory operand: only the plain one-register form is TEST's.
// "test dest, source;"
bool TCompiler::CompileTest() {
  TAssembler& a = curFunc->recAssembler;
  TRegister reg;
  if (!registerAndComma(*this, reg)) return false;
  if (ExpectToken({tk::Minus, tk::Hex, tk::Number, tk::Register, tk::LBracket, tk::BaseExpr}) == tk::Invalid)
    return false;
  switch (curToken.Token) {
    case tk::LBracket:
      if (ExpectToken({tk::Register}) == tk::Invalid) return false;
      {
        const TRegister base = curToken.Reg;
        if (ExpectToken({tk::RBracket}) == tk::Invalid) return false;
        TestMemReg(a, reg, base);
      }
      return true;
    case tk::BaseExpr: {
      const TBaseExpression& e = curBaseExpression;
      if (e.regcount != 1 || e.scale > 1 || e.disp != 0) Error("Only [register] is supported here");
      TestMemReg(a, reg, e.reg1);
      return true;
    }
    case tk::Register:
      if (regSize(reg) != regSize(curToken.Reg)) Error(SizeMessage(TSizeMessage::sameSize));
      TestRegReg(a, reg, curToken.Reg);
      return true;
    default: {
      int64_t value = 0;
      if (!ReadInstrNumber(value)) return false;
      CheckImmediate(value, regSize(reg) / 8);
      TestRegImm(a, reg, static_cast<int32_t>(value));
      return true;
    }
  }
}

// "and dest, source;"
bool TCompiler::CompileAnd() {
  TAssembler& a = curFunc->recAssembler;
  TRegister reg;
  if (!registerAndComma(*this, reg)) RaiseError();
  if (ExpectToken({tk::Hex, tk::Number, tk::Minus, tk::Register}) == tk::Invalid) RaiseError();
  if (curToken.Token == tk::Register) {
    AndRegReg(a, reg, curToken.Reg);
    return true;
  }
  int64_t value = 0;
  if (!ReadInstrNumber(value)) return false;
  CheckImmediate(value, regSize(reg) / 8);
  AndRegImm(a, reg, static_cast<int32_t>(value));
  return true;
}

// "imul reg, number;"
bool TCompiler::CompileImul() {
  TRegister reg;
  if (ExpectToken({tk::Register}) == tk::Invalid) RaiseError();
  reg = curToken.Reg;
  if (!ExpectComma()) return false;
  if (ExpectToken({tk::Number, tk::Hex}) == tk::Invalid) RaiseError();
  const int64_t value = curToken.Int;
  CheckImmediate(value, regSize(reg) / 8);
  ImulRegImm(curFunc->recAssembler, reg, static_cast<int32_t>(value));
  return true;
}

// "mul|div|idiv|neg|not|... reg;" an instruction on one register
bool TCompiler::CompileOneRegister(uint16_t code) {
  if (ExpectToken({tk::Register}) == tk::Invalid) return false;
  TAssembler& a = curFunc->recAssembler;
  const TRegister reg = curToken.Reg;
  switch (code) {
    case tk::MnIdiv: IdivReg(a, reg); break;
    case tk::MnDiv: DivReg(a, reg); break;
    case tk::MnMul: MulReg(a, reg); break;
    case tk::MnNeg: NegReg(a, reg); break;
    case tk::MnNot: NotReg(a, reg); break;
    case tk::MnSldt: SldtReg(a, reg); break;
    case tk::MnVerr: VerrReg(a, reg); break;
    default: VerwReg(a, reg); break;
  }
  return true;
}

static bool readPort(TCompiler& c, uint8_t& port) {
  if (c.ExpectToken({tk::Number}) == tk::Invalid) return false;
  if (c.curToken.Int < 0 || c.curToken.Int > 255) c.Error("Invalid port (expected 0-255)");
  port = static_cast<uint8_t>(c.curToken.Int);
  return true;
}

// "in reg, port;"
bool TCompiler::CompileIn() {
  TRegister reg;
  uint8_t port = 0;
  if (!registerAndComma(*this, reg) || !readPort(*this, port)) return false;
  InAccImm(curFunc->recAssembler, reg, port);
  return true;
}

// "out port, reg;"
bool TCompiler::CompileOut() {
  uint8_t port = 0;
  if (!readPort(*this, port) || !ExpectComma() || ExpectToken({tk::Register}) == tk::Invalid) return false;
  OutImmAcc(curFunc->recAssembler, port, curToken.Reg);
  return true;
}

// "bt|btc|btr|bts|... reg, reg;" two registers of one size
bool TCompiler::CompileRegisterPair(uint16_t code) {
  TRegister first;
  if (!registerAndComma(*this, first) || ExpectToken({tk::Register}) == tk::Invalid) return false;
  const TRegister second = curToken.Reg;
  if (regSize(first) != regSize(second)) Error(SizeMessage(TSizeMessage::sameSize));
  TAssembler& a = curFunc->recAssembler;
  switch (code) {
    case tk::MnLar: LarRegReg(a, first, second); break;
    case tk::MnBt: BtRegReg(a, first, second); break;
    case tk::MnBtc: BtcRegReg(a, first, second); break;
    case tk::MnBtr: BtrRegReg(a, first, second); break;
    case tk::MnBts: BtsRegReg(a, first, second); break;
    default: AdcRegReg(a, first, second); break;
  }
  return true;
}

// "cmovz reg, reg;"
bool TCompiler::CompileCmovz() {
  TRegister first;
  if (!registerAndComma(*this, first) || ExpectToken({tk::Register}) == tk::Invalid) RaiseError();
  if (regSize(first) != regSize(curToken.Reg)) Error(SizeMessage(TSizeMessage::sameSize));
  CmovzRegReg(curFunc->recAssembler, first, curToken.Reg);
  return true;
}

// --- shifts and rotates by a count

static bool readCount(TCompiler& c, TRegister& reg, uint8_t& count) {
  if (!registerAndComma(c, reg)) return false;
  if (c.ExpectToken({tk::Number, tk::Hex, tk::Minus}) == tk::Invalid) return false;
  int64_t value = 0;
  if (!c.ReadInstrNumber(value)) return false;
  count = static_cast<uint8_t>(value);
  return true;
}

// "rol|ror dest, count;"
bool TCompiler::CompileRolRor(uint16_t code) {
  TRegister reg;
  uint8_t count = 0;
  if (!readCount(*this, reg, count)) return false;
  if (code == tk::MnRol) RolRegImm(curFunc->recAssembler, reg, count);
  else RorRegImm(curFunc->recAssembler, reg, count);
  return true;
}

// "shl|shr|sal|sar dest, count;"
bool TCompiler::CompileShift(uint16_t code) {
  TRegister reg;
  uint8_t count = 0;
  if (!readCount(*this, reg, count)) return false;
  TAssembler& a = curFunc->recAssembler;
  switch (code) {
    case tk::MnSar: SarRegImm(a, reg, count); break;
    case tk::MnShl: ShlRegImm(a, reg, count); break;
    case tk::MnShr: ShrRegImm(a, reg, count); break;
    case tk::MnSal: SalRegImm(a, reg, count); break;
    default: Error("Error 23324, please report to developers");
  }
  return true;
}

// --- xchg and movzx

// The lexer has already read an index written after the name ("name[2]") into DataOffset.
// "xchg reg, reg|variable;"
bool TCompiler::CompileXchg() {
  TRegister reg;
  if (!registerAndComma(*this, reg)) return false;
  if (ExpectToken({tk::Variable, tk::Register}) == tk::Invalid) RaiseError();
  TAssembler& a = curFunc->recAssembler;
  if (curToken.Token == tk::Register) {
    if (regSize(reg) != regSize(curToken.Reg)) Error(SizeMessage(TSizeMessage::registersEqual));
    XchgRegReg(a, reg, curToken.Reg);
    return true;
  }
  if (curToken.Size != regSize(reg) / 8) Error(SizeMessage(TSizeMessage::sameSize, curToken.Str));
  if (curToken.Data->dataUseRegister) Error("This operation is not supported");
  XchgRegVar(a, reg, static_cast<uint32_t>(curToken.Data->dataIdent), curToken.DataOffset);
  return true;
}

// The source of movzx: a global variable, by the token the lexer gives it or as a plain word.
static bool movzxSource(TCompiler& c, PData& item, uint32_t& offset) {
  if (c.ExpectToken({tk::Variable, tk::Identifier, tk::LocalVar, tk::LocalParam}) == tk::Invalid) return false;
  if (c.curToken.Token == tk::Identifier) {
    const TIdentifier* e = c.SmartIdents.Find(c.SmartIdents.F_CurScope, c.curToken.Str);
    if (!e) {
      c.strLastError = positionPrefix(c) + "Undeclared identifier \"" + c.curToken.Str + "\".";
      return false;
    }
    item = e->identType == itData ? c.listData[static_cast<size_t>(e->identPos)].get() : nullptr;
    offset = 0;
  } else {
    item = c.curToken.Data;
    offset = c.curToken.DataOffset;
  }
  if (!item || item->dataMode != dmVar || item->dataUseRegister) {
    c.strLastError = positionPrefix(c) + "Expected variable but recieved \"" + c.curToken.Str + "\".";
    return false;
  }
  return true;
}

// "movzx reg, reg|item|byte|word [address];"
bool TCompiler::CompileMovzx() {
  if (ExpectToken({tk::Register}) == tk::Invalid) return false;
  const TRegister reg = curToken.Reg;
  const bool wide = regSize(reg) == 32 || regSize(reg) == 16;
  const std::string regText = wide ? std::string() : curToken.Str.str();  // only a message shows it
  if (!ExpectComma()) return false;
  int32_t bits = 8;
  if (regSize(reg) == 32) {
    if (ExpectToken({tk::TypeName, tk::Identifier}) == tk::Invalid) return false;
    const PDataType type = curToken.Token == tk::TypeName ? curToken.DataType : FindType(curToken.Str);
    if (!type) {
      strLastError = positionPrefix(*this) + "Unknown data type \"" + curToken.Str + "\".";
      return false;
    }
    if (type->typeSize != 1 && type->typeSize != 2) {
      strLastError = positionPrefix(*this) + "Expected word or byte but received \"" + curToken.Str + "\".";
      return false;
    }
    bits = type->typeSize * 8;
  } else if (regSize(reg) != 16) {
    strLastError = positionPrefix(*this) + "32bit or 16bit register expected but recieved \"" + regText + "\".";
    return false;
  }
  PData item = nullptr;
  uint32_t offset = 0;
  if (!movzxSource(*this, item, offset)) return false;
  MovzxRegVar(curFunc->recAssembler, reg, static_cast<uint32_t>(item->dataIdent), offset, bits);
  return true;
}

// --- int, inc and dec

// "int number|const;"
bool TCompiler::CompileInt() {
  if (ExpectToken({tk::Number, tk::Hex, tk::Constant}) == tk::Invalid) RaiseError();
  uint64_t value = static_cast<uint64_t>(curToken.Int);
  if (curToken.Token == tk::Constant) {
    if (curToken.Data->dataSubMode != smLong) Error("int can only accept numbers, hexadecimal or const operands");
    value = curToken.Data->dataAddress;
    if (value > 255) Error("invalid operation");
  } else if (value > 255) {
    Error("int only accepts numbers from 0-255");
  }
  IntImm(curFunc->recAssembler, static_cast<uint8_t>(value));
  return true;
}

// The three messages of a bad inc or dec operand, by the check that failed.
struct TIncDecMessages {
  const char* notFound;
  const char* notData;
  const char* wrongMode;
};

// A data item as the operand: apart, so that the register form, by far the most written,
// carries none of its frame.
[[gnu::noinline]] static bool incDecItem(TCompiler& c, bool dec, const TIncDecMessages& msg) {
  TAssembler& a = c.curFunc->recAssembler;
  const TCurrentToken& t = c.curToken;
  PData item = t.Data;
  uint32_t offset = t.DataOffset;
  int32_t size = t.Size;
  if (t.Token == tk::Identifier) {
    const TIdentifier* e = c.SmartIdents.Find(c.SmartIdents.F_CurScope, t.Str);
    if (!e) c.Error(std::string(msg.notFound) + t.Str + "\"");
    if (e->identType != itData) c.Error(std::string(msg.notData) + t.Str + "\"");
    item = c.listData[static_cast<size_t>(e->identPos)].get();
    offset = 0;
    size = item->dataType ? item->dataType->typeSize : 0;
  }
  if (item->dataMode != dmVar && item->dataMode != dmLocalVar && item->dataMode != dmLocalParam)
    c.Error(std::string(msg.wrongMode) + t.Str + "\"");
  if (item->dataMode == dmVar && !item->dataUseRegister) {
    if (dec) DecVar(a, size, static_cast<uint32_t>(item->dataIdent), offset);
    else IncVar(a, size, static_cast<uint32_t>(item->dataIdent), offset);
    return true;
  }
  TCurrentToken place;
  place.Data = item;
  place.DataOffset = offset;
  const TMemOperand m = c.InstrDataOperand(place);
  if (dec) DecMem(a, size, m);
  else IncMem(a, size, m);
  return true;
}

static bool incDec(TCompiler& c, bool dec, const TIncDecMessages& msg) {
  if (c.ExpectToken({tk::Register, tk::Identifier, tk::Variable, tk::LocalVar, tk::LocalParam}) == tk::Invalid)
    return false;
  if (c.curToken.Token != tk::Register) return incDecItem(c, dec, msg);
  TAssembler& a = c.curFunc->recAssembler;
  if (dec) DecReg(a, c.curToken.Reg);
  else IncReg(a, c.curToken.Reg);
  return true;
}

// "inc reg|item;"
bool TCompiler::CompileInc() {
  return incDec(*this, false, {"10011: Invalid operand \"", "10012: Invalid operand \"", "10013: Invalid operand \""});
}

// "dec reg|item;"
bool TCompiler::CompileDec() {
  return incDec(*this, true, {"16011: Invalid operand \"", "17011: Invalid operand \"", "17011: Invalid operand \""});
}

}  // namespace kelvo
