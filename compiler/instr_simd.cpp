// The MMX and SSE instruction statements: operands read and checked, then one encoder call.
#include "assembler/encoders_simd.h"
#include "assembler/location.h"
#include "compiler/base_expression.h"
#include "compiler/simd_statements.h"
#include "frontend/compiler.h"
#include "frontend/token_codes.h"

namespace kelvo {

namespace {

// The current token, which is one of 20, 28, 29 and 30. A register-held local is reached
// through its register, never through a frame slot it does not occupy.
TLocation placeOf(const TCompiler& c) {
  const TCurrentToken& t = c.curToken;
  if (t.Token == tk::BaseExpr) return MemLocation(MemOperandOf(c.curBaseExpression));
  if (t.Token == tk::Variable) return VarLocation(static_cast<uint32_t>(t.Data->dataIdent), t.DataOffset);
  return MemLocation(c.InstrDataOperand(t));
}

void expect(TCompiler& c, std::initializer_list<uint16_t> codes) {
  if (c.ExpectToken(codes) == tk::Invalid) c.RaiseError();
}

// The operand of movntq and prefetchnta: an xmm register is listed, as in the other SSE
// statements, but has no form here and is refused with the same list.
void expectPlace(TCompiler& c) {
  static constexpr uint16_t kPlaces[] = {tk::BaseExpr, tk::Variable, tk::LocalVar, tk::LocalParam, tk::SseRegister};
  const uint16_t read = c.ExpectToken(kPlaces, 4);
  if (read == tk::SseRegister) c.SetExpectedError(kPlaces, 4);
  if (read == tk::Invalid || read == tk::SseRegister) c.RaiseError();
}

uint8_t vectorRegister(const TCompiler& c) { return static_cast<uint8_t>(c.curToken.Int & 7); }

// "," and then the register of `code` (tk::MmxRegister or tk::SseRegister).
uint8_t commaRegister(TCompiler& c, uint16_t code) {
  expect(c, {tk::Comma});
  expect(c, {code});
  return vectorRegister(c);
}

// A global bound to a register holds a pointer: its own storage is not the operand.
void refuseBoundGlobal(TCompiler& c) {
  if (c.curToken.Data->dataUseRegister) c.Error("Unsupported operation");
}

void checkGlobalSize(TCompiler& c, int32_t bytes) {
  if (c.curToken.Size < bytes)
    c.Error(bytes >= 8 ? "Variable must be qword size or above" : "Variable must be dword size or above");
}

void checkLocalSize(TCompiler& c, int32_t bytes) {
  if (c.curToken.Size < bytes)
    c.Error("Variable must be equal or above the size of the register. \"" + c.curToken.Str + "\"");
}

// The destination of a store (the current token, 20/28/29/30), at least `bytes` wide.
TLocation storePlace(TCompiler& c, int32_t bytes) {
  switch (c.curToken.Token) {
    case tk::BaseExpr:
      if (c.curBaseExpression.dtSize < bytes)
        c.Error(bytes >= 8 ? "Memory operand must be above 8 bytes size" : "Memory operand must be above 4 bytes size");
      break;
    case tk::Variable:
      checkGlobalSize(c, bytes);
      refuseBoundGlobal(c);
      break;
    default: checkLocalSize(c, bytes); break;
  }
  return placeOf(c);
}

// The source of a load (the current token, 20/28/29/30): globals of `globalBytes` and more,
// locals of `localBytes` and more, memory of exactly `memBytes` when that is not 0.
TLocation loadPlace(TCompiler& c, int32_t memBytes, int32_t globalBytes, int32_t localBytes) {
  switch (c.curToken.Token) {
    case tk::BaseExpr:
      if (memBytes && c.curToken.Size != memBytes) c.Error("DWORD memory operand expected");
      break;
    case tk::Variable:
      checkGlobalSize(c, globalBytes);
      refuseBoundGlobal(c);
      break;
    default: checkLocalSize(c, localBytes); break;
  }
  return placeOf(c);
}

// The source of an SSE arithmetic or load: xmm, dword memory, a global, a local.
void sseSource(TCompiler& c, TFormId op, uint8_t dst) {
  TAssembler& a = c.curFunc->recAssembler;
  expect(c, {tk::SseRegister, tk::BaseExpr, tk::Variable, tk::LocalVar, tk::LocalParam});
  if (c.curToken.Token == tk::SseRegister) return SseRegReg(a, op, dst, vectorRegister(c));
  const TLocation p = loadPlace(c, 4, 4, 8);
  if (p.isVar) SseRegVar(a, op, dst, p.dataIdent, p.offset);
  else SseRegMem(a, op, p.mem.regCount, dst, p.mem.base, p.mem.index, p.mem.disp, p.mem.scale);
}

// sseArith xmm, xmm|[mem]|global|local
void compileSseArith(TCompiler& c, TFormId op) {
  expect(c, {tk::SseRegister});
  const uint8_t dst = vectorRegister(c);
  expect(c, {tk::Comma});
  sseSource(c, op, dst);
}

// movups|movaps|movss xmm, source  or  movups|movaps|movss [mem]|global|local, xmm
void compileSseMove(TCompiler& c, TFormId op, TFormId store) {
  TAssembler& a = c.curFunc->recAssembler;
  expect(c, {tk::BaseExpr, tk::Variable, tk::LocalVar, tk::LocalParam, tk::SseRegister});
  if (c.curToken.Token == tk::SseRegister) {
    const uint8_t dst = vectorRegister(c);
    expect(c, {tk::Comma});
    return sseSource(c, op, dst);
  }
  const TLocation p = storePlace(c, 4);
  const uint8_t src = commaRegister(c, tk::SseRegister);
  if (p.isVar) SseVarReg(a, store, src, p.dataIdent, p.offset);
  else SseMemReg(a, store, p.mem.regCount, src, p.mem.base, p.mem.index, p.mem.disp, p.mem.scale);
}

// movntq qword [mem]|global|local, mm
void compileMovntq(TCompiler& c, TFormId op) {
  TAssembler& a = c.curFunc->recAssembler;
  expectPlace(c);
  const TLocation p = storePlace(c, 8);
  const uint8_t src = commaRegister(c, tk::MmxRegister);
  if (p.isVar) SseVarReg(a, op, src, p.dataIdent, p.offset);
  else SseRegMem(a, op, p.mem.regCount, src, p.mem.base, p.mem.index, p.mem.disp, p.mem.scale);
}

// prefetchnta [mem]|global|local
void compilePrefetchnta(TCompiler& c, TFormId op) {
  TAssembler& a = c.curFunc->recAssembler;
  expectPlace(c);
  if (c.curToken.Token == tk::Variable) refuseBoundGlobal(c);
  const TLocation p = placeOf(c);
  if (p.isVar) SseVarReg(a, op, 0, p.dataIdent, p.offset);
  else SseRegMem(a, op, p.mem.regCount, 0, p.mem.base, p.mem.index, p.mem.disp, p.mem.scale);
}

// mmxArith mm, mm|[mem]|global|local
void compileMmxArith(TCompiler& c, TFormId op) {
  TAssembler& a = c.curFunc->recAssembler;
  expect(c, {tk::MmxRegister});
  const uint8_t dst = vectorRegister(c);
  expect(c, {tk::Comma});
  expect(c, {tk::MmxRegister, tk::BaseExpr, tk::Variable, tk::LocalVar, tk::LocalParam});
  if (c.curToken.Token == tk::MmxRegister) return MmxRegReg(a, op, dst, vectorRegister(c));
  const TLocation p = loadPlace(c, 0, 8, 8);
  if (p.isVar) MmxRegVar(a, op, dst, p.dataIdent, p.offset);
  else MmxRegMem(a, op, p.mem.regCount, dst, p.mem.base, p.mem.index, p.mem.disp, p.mem.scale);
}

// movq mm, mm|[mem]|global|local  or  movq qword [mem]|global|local, mm
void compileMovq(TCompiler& c) {
  TAssembler& a = c.curFunc->recAssembler;
  expect(c, {tk::BaseExpr, tk::Variable, tk::LocalVar, tk::LocalParam, tk::MmxRegister});
  if (c.curToken.Token != tk::MmxRegister) {
    const TLocation p = storePlace(c, 8);
    const uint8_t src = commaRegister(c, tk::MmxRegister);
    if (p.isVar) MovqVarReg(a, src, p.dataIdent, p.offset);
    else MovqMemReg(a, p.mem.regCount, src, p.mem.base, p.mem.index, p.mem.disp, p.mem.scale);
    return;
  }
  const uint8_t dst = vectorRegister(c);
  expect(c, {tk::Comma});
  expect(c, {tk::MmxRegister, tk::BaseExpr, tk::Variable, tk::LocalVar, tk::LocalParam});
  if (c.curToken.Token == tk::MmxRegister) return MovqRegReg(a, dst, vectorRegister(c));
  const TLocation p = loadPlace(c, 0, 8, 8);
  if (p.isVar) MovqRegVar(a, dst, p.dataIdent, p.offset);
  else MovqRegMem(a, p.mem.regCount, dst, p.mem.base, p.mem.index, p.mem.disp, p.mem.scale);
}

// movd mm, r32|[mem]|global|local  or  movd r32|[mem]|global|local, mm
void compileMovd(TCompiler& c) {
  TAssembler& a = c.curFunc->recAssembler;
  expect(c, {tk::Register, tk::BaseExpr, tk::Variable, tk::LocalVar, tk::LocalParam, tk::MmxRegister});
  if (c.curToken.Token == tk::Register) {
    const TRegister reg = c.curToken.Reg;
    return MovdReg32Mmx(a, reg, commaRegister(c, tk::MmxRegister));
  }
  if (c.curToken.Token != tk::MmxRegister) {
    const TLocation p = storePlace(c, 4);
    const uint8_t src = commaRegister(c, tk::MmxRegister);
    if (p.isVar) MovdVarReg(a, src, p.dataIdent, p.offset);
    else MovdMemReg(a, p.mem.regCount, src, p.mem.base, p.mem.index, p.mem.disp, p.mem.scale);
    return;
  }
  const uint8_t dst = vectorRegister(c);
  expect(c, {tk::Comma});
  expect(c, {tk::Register, tk::BaseExpr, tk::Variable, tk::LocalVar, tk::LocalParam});
  if (c.curToken.Token == tk::Register) return MovdMmxReg32(a, dst, c.curToken.Reg);
  const TLocation p = loadPlace(c, 0, 4, 4);
  if (p.isVar) MovdRegVar(a, dst, p.dataIdent, p.offset);
  else MovdRegMem(a, p.mem.regCount, dst, p.mem.base, p.mem.index, p.mem.disp, p.mem.scale);
}

}  // namespace

bool TCompiler::CompileSimdInstruction(const TSimdStatement& row) {
  switch (row.handler) {
    case TSimdHandler::movd: compileMovd(*this); break;
    case TSimdHandler::movq: compileMovq(*this); break;
    case TSimdHandler::mmxArith: compileMmxArith(*this, row.form); break;
    case TSimdHandler::sseArith: compileSseArith(*this, row.form); break;
    case TSimdHandler::sseMove: compileSseMove(*this, row.form, row.store); break;
    case TSimdHandler::sfence: Sfence(curFunc->recAssembler); break;
    case TSimdHandler::movntq: compileMovntq(*this, row.form); break;
    case TSimdHandler::prefetchnta: compilePrefetchnta(*this, row.form); break;
  }
  return true;
}

}  // namespace kelvo
