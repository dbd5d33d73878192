// The mov instruction statement in its operand forms.
#include <cstring>

#include "assembler/encoders.h"
#include "compiler/size_messages.h"
#include "frontend/compiler.h"
#include "frontend/token_codes.h"
#include "output/data_image.h"

namespace kelvo {

namespace {

bool isAbsolute(const TCurrentToken& t) { return t.Token == tk::Variable && !t.Data->dataUseRegister; }

// A float literal stored into a 4, 8 or 10-byte item: the parts as (byte offset, bytes, value).
struct TFloatPart {
  uint32_t offset;
  int32_t bytes;
  uint32_t value;
};

int floatParts(long double value, int32_t size, TFloatPart parts[3]) {
  if (size == 4) {
    const float single = static_cast<float>(value);
    uint32_t bits;
    std::memcpy(&bits, &single, 4);
    parts[0] = {0, 4, bits};
    return 1;
  }
  if (size == 8) {
    const double dbl = static_cast<double>(value);
    uint64_t bits;
    std::memcpy(&bits, &dbl, 8);
    parts[0] = {0, 4, static_cast<uint32_t>(bits)};
    parts[1] = {4, 4, static_cast<uint32_t>(bits >> 32)};
    return 2;
  }
  if (size == 10) {
    const std::string b = encodeExtended(value);
    auto le = [&](size_t at, int n) {
      uint32_t v = 0;
      for (int i = n - 1; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(b[at + static_cast<size_t>(i)]);
      return v;
    };
    parts[0] = {0, 4, le(0, 4)};
    parts[1] = {4, 4, le(4, 4)};
    parts[2] = {8, 2, le(8, 2)};
    return 3;
  }
  return 0;
}

}  // namespace

// The item a mov writes, kept while its source is read. Only an item narrower than a register
// can be named by a message, so only such an item keeps its text.
struct TMovTarget {
  explicit TMovTarget(const TCurrentToken& t)
      : Token(t.Token), Data(t.Data), DataOffset(t.DataOffset), Size(t.Size),
        Str(t.Size < 4 ? t.Str.str() : std::string()) {}
  uint16_t Token;
  PData Data;
  uint32_t DataOffset;
  int32_t Size;
  std::string Str;
};

// A register is loaded from an item at least as wide (its low part) and stored into one at
// least as wide (the low part is written): never beyond the item's end.
static void requireWideEnough(TCompiler& c, TRegister reg, const TMovTarget& item) {
  if (item.Size < regSize(reg) / 8)
    c.Error("Variable must be equal or above the size of the register. \"" + item.Str + "\"");
}

// mov local-or-parameter-or-global, source.
static bool movToData(TCompiler& c) {
  TAssembler& a = c.curFunc->recAssembler;
  const bool absolute = isAbsolute(c.curToken);
  const TMemOperand place = absolute ? TMemOperand{} : c.InstrDataOperand(c.curToken);
  const TMovTarget item(c.curToken);
  if (!c.ExpectComma()) c.RaiseError();
  const uint16_t next = item.Token == tk::Variable
                            ? c.ExpectToken({tk::Register, tk::Hex, tk::Minus, tk::Number, tk::Float, tk::Variable,
                                             tk::ProcAddress})
                            : c.ExpectToken({tk::Hex, tk::Number, tk::Minus, tk::Register, tk::Float});
  if (next == tk::Invalid) c.RaiseError();
  item.Data->dataSubMode = smLong;
  const TCurrentToken& t = c.curToken;
  const uint32_t ident = static_cast<uint32_t>(item.Data->dataIdent);
  switch (next) {
    case tk::Register:
      requireWideEnough(c, t.Reg, item);
      if (absolute) MovVarReg(a, ident, t.Reg, item.DataOffset);
      else MovMemReg(a, 1, t.Reg, place.base, rdEAX, place.disp, 0);
      return true;
    case tk::ProcAddress:
      if (!absolute) c.Error("This operation is not supported");
      MovVarImm(a, item.Size, ident, t.Int, item.DataOffset, ftProcAddress, static_cast<uint32_t>(t.Int));
      return true;
    case tk::Variable: {
      // Through the accumulator, which the second XCHG gives back: four bytes into an item of
      // four or more, else two or one between items of that same width.
      if (!absolute || t.Data->dataUseRegister) c.Error("This operation is not supported");
      const bool narrow = item.Size < 4;
      if (narrow && (t.Size != item.Size || (t.Size != 1 && t.Size != 2)))
        c.Error(SizeMessage(TSizeMessage::sameSize, t.Str));
      const TRegister acc = !narrow ? rdEAX : t.Size == 2 ? rdAX : rdAL;
      if (!narrow) c.WarnWideRead(acc, t.Size, t.Str);
      const uint32_t source = static_cast<uint32_t>(t.Data->dataIdent);
      XchgRegVar(a, acc, source, t.DataOffset);
      MovVarReg(a, ident, acc, item.DataOffset);
      XchgRegVar(a, acc, source, t.DataOffset);
      return true;
    }
    case tk::Float: {
      item.Data->dataSubMode = smFloat;
      if (item.Data->dataUseRegister) c.Error("Float are not yet supported for this method");
      TFloatPart parts[3];
      const int count = floatParts(t.Ext, item.Size, parts);
      if (count == 0) c.Error(absolute ? "Error 2423: Unexpected float variable size" : "Unexpected float variable size");
      for (int i = 0; i < count; ++i) {
        const TFloatPart& p = parts[i];
        if (absolute) MovVarImm(a, p.bytes, ident, p.value, item.DataOffset + p.offset, ftNone, 0);
        else MovMemImm(a, 1, p.bytes, static_cast<int32_t>(p.value), place.base, rdEAX,
                       place.disp + static_cast<int32_t>(p.offset), 0, ftNone);
      }
      return true;
    }
    default: {
      int64_t value = 0;
      if (!c.ReadInstrNumber(value)) return false;
      c.CheckImmediate(value, item.Size);
      if (absolute) MovVarImm(a, item.Size, ident, value, item.DataOffset, ftNone, 0);
      else MovMemImm(a, 1, item.Size, static_cast<int32_t>(value), place.base, rdEAX, place.disp, 0, ftNone);
      return true;
    }
  }
}

// mov register, source.
static bool movToRegister(TCompiler& c) {
  TAssembler& a = c.curFunc->recAssembler;
  const TRegister reg = c.curToken.Reg;
  const int32_t bytes = regSize(reg) / 8;
  if (!c.ExpectComma()) c.RaiseError();
  if (c.ExpectToken({tk::Register, tk::BaseExpr, tk::Hex, tk::Number, tk::Minus, tk::ProcAddress, tk::LocalVar,
                     tk::LocalParam, tk::Variable, tk::Constant}) == tk::Invalid)
    c.RaiseError();
  const TCurrentToken& t = c.curToken;
  switch (t.Token) {
    case tk::BaseExpr: {
      const TBaseExpression& e = c.curBaseExpression;
      if (e.dt) c.WarnWideRead(reg, e.dtSize, t.Str);
      const TMemOperand m = MemOperandOf(e);
      MovRegMem(a, m.regCount, reg, m.base, m.index, m.disp, m.scale);
      return true;
    }
    case tk::Register:
      // The encoder takes the width from the destination: mov eax, bl would read EBX.
      if (regSize(t.Reg) != regSize(reg)) c.Error(SizeMessage(TSizeMessage::sameSize, t.Str));
      MovRegReg(a, reg, t.Reg);
      return true;
    case tk::ProcAddress:
      MovRegImm(a, reg, static_cast<int32_t>(t.Int), ftProcAddress);
      return true;
    case tk::Constant:
      if (t.Size < bytes)
        c.Error("Constant must be equal or above the size of the register. \"" + t.Str + "\"");
      if (t.Data->dataSubMode != smLong) c.Error("This feature is not implemented yet.");
      MovRegImm(a, reg, static_cast<int32_t>(t.Data->dataAddress), ftNone);
      return true;
    case tk::LocalVar: case tk::LocalParam: case tk::Variable: {
      c.WarnWideRead(reg, t.Size, t.Str);  // a load only reads the item
      if (isAbsolute(t)) {
        MovRegVar(a, static_cast<uint32_t>(t.Data->dataIdent), reg, t.DataOffset);
      } else {
        const TMemOperand m = c.InstrDataOperand(t);
        MovRegMem(a, 1, reg, m.base, rdEAX, m.disp, 0);
      }
      return true;
    }
    default: {
      int64_t value = 0;
      if (!c.ReadInstrNumber(value)) return false;
      c.CheckImmediate(value, bytes);
      MovRegImm(a, reg, static_cast<int32_t>(value), ftNone);
      return true;
    }
  }
}

// mov [memory], register or number or @procedure.
static bool movToMemory(TCompiler& c) {
  TAssembler& a = c.curFunc->recAssembler;
  const TBaseExpression e = c.curBaseExpression;
  const TMemOperand m = MemOperandOf(e);
  if (!c.ExpectComma()) c.RaiseError();
  if (c.ExpectToken({tk::Register, tk::Number, tk::Hex, tk::Minus, tk::ProcAddress}) == tk::Invalid) c.RaiseError();
  const TCurrentToken& t = c.curToken;
  if (t.Token == tk::Register) {
    if (e.dt && e.dtSize != regSize(t.Reg) / 8) c.Error(SizeMessage(TSizeMessage::sameSize, t.Str));
    MovMemReg(a, m.regCount, t.Reg, m.base, m.index, m.disp, m.scale);
    return true;
  }
  if (t.Token == tk::ProcAddress) {
    MovMemImm(a, m.regCount, e.dtSize, static_cast<int32_t>(t.Int), m.base, m.index, m.disp, m.scale,
              ftProcAddress);
    return true;
  }
  int64_t value = 0;
  if (!c.ReadInstrNumber(value)) return false;
  c.CheckImmediate(value, e.dtSize);
  MovMemImm(a, m.regCount, e.dtSize, static_cast<int32_t>(value), m.base, m.index, m.disp, m.scale, ftNone);
  return true;
}

// "mov dest, source;"
bool TCompiler::CompileMov() {
  TAssembler& a = curFunc->recAssembler;
  if (ExpectToken({tk::Register, tk::BaseExpr, tk::LocalVar, tk::LocalParam, tk::Segment, tk::SegOffset,
                   tk::Variable}) == tk::Invalid)
    RaiseError();
  switch (curToken.Token) {
    case tk::Register: return movToRegister(*this);
    case tk::BaseExpr: return movToMemory(*this);
    case tk::Segment: case tk::SegOffset: {
      const TSegment seg = curToken.Seg;
      const uint32_t address = static_cast<uint32_t>(curToken.Int);
      const bool memory = curToken.Token == tk::SegOffset;
      if (!ExpectComma()) RaiseError();
      if (ExpectToken({tk::Register}) == tk::Invalid) RaiseError();
      if (memory) MovSegMemReg(a, seg, address, curToken.Reg);
      else MovSegReg(a, seg, curToken.Reg);
      return true;
    }
    default: return movToData(*this);
  }
}

}  // namespace kelvo
