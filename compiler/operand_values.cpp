// The shared operand code generators: where an operand lives, pushing one operand, loading one
// into a register or a local, and storing function results and float values.
#include <cstring>

#include "assembler/encoders.h"
#include "assembler/instruction.h"
#include "compiler/size_messages.h"
#include "frontend/compiler.h"
#include "frontend/token_codes.h"
#include "output/data_image.h"

namespace kelvo {

namespace {

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

uint32_t singleBits(long double value) {
  const float f = static_cast<float>(value);
  uint32_t bits = 0;
  std::memcpy(&bits, &f, 4);
  return bits;
}

uint64_t doubleBits(long double value) {
  const double d = static_cast<double>(value);
  uint64_t bits = 0;
  std::memcpy(&bits, &d, 8);
  return bits;
}

// Dword n (0-based) of the value's bytes in a float of `size` bytes; the 10-byte form is
// padded to 12 with zeros.
uint32_t floatDword(long double value, int32_t size, int32_t n) {
  if (size == 4) return singleBits(value);
  if (size == 8) return static_cast<uint32_t>(doubleBits(value) >> (32 * n));
  std::string bytes = encodeExtended(value);
  bytes.resize(12, '\0');
  uint32_t dword = 0;
  std::memcpy(&dword, bytes.data() + 4 * n, 4);
  return dword;
}

}  // namespace

TLocation TCompiler::OperandLocation(const TCurrentToken& t) {
  TLocation loc;
  loc.size = t.Size;
  if (t.Data) loc.isSigned = t.Data->dataSigned || (t.Data->dataType && t.Data->dataType->typeSigned);
  switch (t.Token) {
    case tk::BaseExpr: {
      const bool queued = t.Int > 0 && static_cast<size_t>(t.Int) <= queuedBaseExpressions.size();
      const TBaseExpression& e = queued ? queuedBaseExpressions[static_cast<size_t>(t.Int - 1)] : curBaseExpression;
      loc.mem = MemOperandOf(e);
      loc.size = e.dtSize > 0 ? e.dtSize : 4;
      if (e.dt) loc.isSigned = e.dt->typeSigned;
      return loc;
    }
    case tk::RegPointer:
    case tk::RegPointerAddress:
      loc.mem = BaseDisp(t.Reg, static_cast<int32_t>(t.DataOffset));
      return loc;
    case tk::SegOffset:
      loc.mem = AbsoluteOperand(static_cast<uint32_t>(t.Int));
      loc.segPrefix = static_cast<int8_t>(t.Seg);
      loc.size = 4;
      return loc;
    default: break;
  }
  const PData d = t.Data;
  if (!d) Error("10007: Invalid operand " + quoted(t.Str) + " [" + opcodeToStr(t.Token) + "]");
  if (d->dataUseRegister) {
    loc.mem = BaseDisp(d->dataRegister, static_cast<int32_t>(t.DataOffset));
  } else if (d->dataMode == dmLocalVar || d->dataMode == dmLocalParam) {
    loc.mem = BaseDisp(Settings.localsReg, static_cast<int32_t>(d->dataAddress + t.DataOffset));
  } else {
    loc.isVar = true;
    loc.dataIdent = static_cast<uint32_t>(d->dataIdent);
    loc.offset = t.DataOffset;
  }
  return loc;
}

PData TCompiler::AddAnonymousString(const std::string& text) {
  auto d = std::make_unique<TData>();
  d->dataType = compilerPtrType;
  d->dataMode = dmConst;
  d->dataSubMode = smString;
  d->dataAddress = PEFile.dataMan.AddString(text);
  d->strVal = text;
  d->strLength = static_cast<int32_t>(text.size());
  d->defaultValue.ttype = 13;
  d->dataIdent = static_cast<int32_t>(listData.size());
  PData result = d.get();
  listData.push_back(std::move(d));
  SmartIdents.Declare({}, itData, result->dataIdent);
  return result;
}

void TCompiler::RequireFunction(PFunction proc) {
  if (!proc->isFunction) Error("Invalid assignment to procedure " + quoted(proc->Name));
}

// The result of a function call (in EAX) into an item of 1, 2 or 4 bytes; `call` is the
// function's token, with a method slot's offset.
void TCompiler::StoreFunctionResult(const TCurrentToken& call, const TLocation& place, bool registerBound) {
  RequireFunction(call.Proc);
  if (place.size != 1 && place.size != 2 && place.size != 4)
    Error(registerBound ? "Operating invalid, Error 32455" : "Operating invalid, Error 112455");
  CompileCall(call.Proc, false, call.DataOffset);
  LocMovLocReg(curFunc->recAssembler, place, SizedRegister(rdEAX, place.size));
}

// A float value stored in the item's own format: single, double or the 10-byte extended.
void TCompiler::StoreFloat(const TLocation& place, long double value) {
  TAssembler& a = curFunc->recAssembler;
  switch (place.size) {
    case 4: LocMovLocImm(a, place, 4, singleBits(value)); return;
    case 8:
      LocMovLocImm(a, place, 4, floatDword(value, 8, 0));
      LocMovLocImm(a, place.At(4, 4), 4, floatDword(value, 8, 1));
      return;
    case 10:
      LocMovLocImm(a, place, 4, floatDword(value, 10, 0));
      LocMovLocImm(a, place.At(4, 4), 4, floatDword(value, 10, 1));
      LocMovLocImm(a, place.At(8, 2), 2, floatDword(value, 10, 2) & 0xFFFF);
      return;
    default: Error("Error 2423: Unexpected float variable size");
  }
}

// A float pushed in the format of `size` bytes: highest dword first.
static void pushFloat(TAssembler& a, long double value, int32_t size) {
  const int32_t dwords = size == 4 ? 1 : (size == 8 ? 2 : 3);
  for (int32_t n = dwords; n-- > 0;)
    PushImm(a, 4, static_cast<int32_t>(floatDword(value, size, n)), ftNone, 0);
}

bool TCompiler::PushOperand(uint16_t code, PCurrentToken t) {
  TAssembler& a = curFunc->recAssembler;
  lastPushSize = 4;
  switch (code) {
    case tk::BaseExpr: case tk::SegOffset: {
      TLocation loc = OperandLocation(*t);
      LocPush(a, loc, 4);
      return true;
    }
    case tk::String: {
      const PData s = AddAnonymousString(t->Str);
      PushImm(a, 4, s->dataIdent, ftDataAddress, 0);
      return true;
    }
    case tk::Constant: {
      const PData d = t->Data;
      if (!d) Error("11011: Invalid operand " + quoted(t->Str));
      if (d->dataSubMode == smString) {
        PushImm(a, 4, d->dataIdent, ftDataAddress, 0);
      } else if (d->dataSubMode == smFloat) {
        const int32_t size = t->Size == 8 || t->Size == 10 ? t->Size : 4;
        pushFloat(a, d->dataValExt, size);
        lastPushSize = size == 10 ? 12 : size;
      } else {
        PushImm(a, 4, static_cast<int32_t>(d->dataAddress), ftNone, 0);
      }
      return true;
    }
    case tk::RegPointer: case tk::LocalVar: case tk::LocalParam: case tk::Variable:
      lastPushSize = LocPushValue(a, OperandLocation(*t));
      return true;
    case tk::Minus: PushImm(a, 4, static_cast<int32_t>(-t->Int), ftNone, 0); return true;
    case tk::TypeName: Error("11011: Invalid operand " + quoted(t->Str));
    case tk::DataAddress: PushImm(a, 4, static_cast<int32_t>(t->Int), ftAppendDataAddr, 0); return true;
    case tk::ProcAddress: PushImm(a, 4, static_cast<int32_t>(t->Int), ftProcAddress, 0); return true;
    case tk::LocalAddress: case tk::RegPointerAddress: {
      // The address itself: the base register, then the offset added in place.
      const TLocation loc = OperandLocation(*t);
      PushReg(a, loc.mem.base);
      if (loc.mem.disp != 0) {
        TInstr in(a);  // ADD dword [ESP], offset
        PutAluMemImm(in, aluAdd, 4, BaseDisp(rdESP, 0), loc.mem.disp, FitsInt8(loc.mem.disp));
        Emit(a, in);
      }
      return true;
    }
    case tk::Register:
      if (regSize(t->Reg) == 8) Error("Expected 32bit or 16bit register");
      PushReg(a, t->Reg);
      lastPushSize = regSize(t->Reg) / 8;
      return true;
    case tk::Segment: PushSeg(a, t->Seg, 0); return true;
    case tk::Number: case tk::Hex: PushImm(a, 4, static_cast<int32_t>(t->Int), ftNone, 0); return true;
    case tk::Float: {
      if (t->Size != 4 && t->Size != 8 && t->Size != 10) Error("Unknown float type");
      pushFloat(a, t->Ext, t->Size);
      lastPushSize = t->Size == 10 ? 12 : t->Size;
      return true;
    }
    default: Error("Unsupported operation; 2345");
  }
}

// The size check of a register load from a data item.
static bool fitsRegister(const TCurrentToken& dst, int32_t itemSize) { return dst.Size / 8 <= itemSize; }

// "item = source;" where source is another item or a register
bool TCompiler::CompileVarOperand(PCurrentToken dst, PCurrentToken src) {
  TAssembler& a = curFunc->recAssembler;
  if (dst->Token == tk::Register) {
    const TRegister reg = dst->Reg;
    const std::string sizeError = "Variable must be equal or above the size of the register. " + quoted(src->Str);
    switch (src->Token) {
      case tk::Constant: {
        const PData d = src->Data;
        if (!d || d->dataSubMode != smLong) Error("This feature is not implemented yet.");
        if (!fitsRegister(*dst, src->Size)) Error(sizeError);
        MovRegImm(a, reg, static_cast<int32_t>(d->dataAddress), ftNone);
        return true;
      }
      case tk::LocalVar: case tk::LocalParam: case tk::Variable: case tk::RegPointer: case tk::BaseExpr: {
        const TLocation loc = OperandLocation(*src);
        if (!fitsRegister(*dst, loc.size)) Error(sizeError);
        LocMovRegLoc(a, reg, loc);
        return true;
      }
      case tk::Minus: MovRegImm(a, reg, static_cast<int32_t>(-src->Int), ftNone); return true;
      case tk::DataAddress: MovRegImm(a, reg, static_cast<int32_t>(src->Int), ftAppendDataAddr); return true;
      case tk::ProcAddress: MovRegImm(a, reg, static_cast<int32_t>(src->Int), ftProcAddress); return true;
      case tk::LocalAddress: case tk::RegPointerAddress: LocLea(a, reg, OperandLocation(*src)); return true;
      case tk::Register:
        if (regSize(src->Reg) != regSize(reg)) Error(SizeMessage(TSizeMessage::equalSize, src->Str));
        MovRegReg(a, reg, src->Reg);
        return true;
      case tk::Number: case tk::Hex:
        if (src->Int == 0) XorRegReg(a, reg, reg);
        else MovRegImm(a, reg, static_cast<int32_t>(src->Int), ftNone);
        return true;
      case tk::String: {
        const PData s = AddAnonymousString(src->Str);
        MovRegImm(a, reg, static_cast<int32_t>(s->dataAddress), ftAppendDataAddr);
        return true;
      }
      case tk::Float: {
        if (src->Size != 4) Error("This feature is not implemented yet.");
        MovRegImm(a, reg, static_cast<int32_t>(singleBits(src->Ext)), ftNone);
        return true;
      }
      default:
        Error("10007: Invalid operand " + quoted(src->Str) + " [" + opcodeToStr(src->Token) + "]");
    }
  }
  if (dst->Token != tk::LocalVar) Error("10008: Invalid operand " + quoted(dst->Str));
  const TLocation place = OperandLocation(*dst);
  switch (src->Token) {
    case tk::ProcCall: StoreFunctionResult(*src, place, dst->Data && dst->Data->dataUseRegister); return true;
    case tk::Constant: {
      const PData d = src->Data;
      if (d && d->dataSubMode == smFloat) {
        StoreFloat(place, d->dataValExt);
        return true;
      }
      if (place.size < 4) Error("Expected 32bit variable");  // four bytes would pass the item
      LocMovLocImm(a, place, 4, d ? d->dataAddress : 0, ftAppendDataAddr, d ? d->dataAddress : 0);
      return true;
    }
    case tk::ProcAddress:
      if (place.size < 4) Error("Expected 32bit variable");
      LocMovLocImm(a, place, 4, static_cast<uint32_t>(src->Int), ftProcAddress, static_cast<uint32_t>(src->Int));
      return true;
    case tk::Register:
      if (regSize(src->Reg) / 8 != place.size) Error(SizeMessage(TSizeMessage::equalSize, src->Str));
      LocMovLocReg(a, place, src->Reg);
      return true;
    case tk::Number: case tk::Hex: case tk::Minus: {
      const int64_t v = src->Token == tk::Minus ? -src->Int : src->Int;
      if (place.size == 8) {
        LocMovLocImm(a, place.At(0, 4), 4, static_cast<uint32_t>(v));
        LocMovLocImm(a, place.At(4, 4), 4, static_cast<uint32_t>(static_cast<uint64_t>(v) >> 32));
      } else {
        LocMovLocImm(a, place, place.size, static_cast<uint32_t>(v));
      }
      return true;
    }
    case tk::Float: StoreFloat(place, src->Ext); return true;
    default: Error("Unexpected token, Error 5432442");
  }
}

}  // namespace kelvo
