// x87 instruction statements: the operands of each mnemonic read from the lexer and turned into
// one encoder form (memory by variable or base register, FPU stack registers, AX), and the
// statement "fpush", which loads a variable or a number onto the FPU stack.
#include "assembler/fpu_encoders.h"
#include "frontend/compiler.h"
#include "frontend/token_codes.h"

namespace kelvo {

namespace {

using TVarForm = void (*)(TAssembler&, int32_t, uint32_t, uint32_t);
using TPtrForm = void (*)(TAssembler&, int32_t, TRegister, int32_t);
using TTwoStForm = void (*)(TAssembler&, int32_t, int32_t);
using TOneStForm = void (*)(TAssembler&, int32_t);

// How a statement words its refusal of an index register or a scale.
enum TLimitWording : uint8_t {
  lwNamed,     // "Only base register for fild ..."
  lwNamedOne,  // "Only 1 base register for fadd ..."
  lwPlain,     // "Only base register is supported ..."
};

struct TFpuMemStatement {
  const char* mnemonic;
  TLimitWording wording;
  TVarForm var;
  TPtrForm ptr;
};

// One memory operand, ready for a Var or a Ptr form.
struct TFpuOperand {
  bool global = false;
  int32_t size = 0;
  uint32_t dataIdent = 0;
  uint32_t offset = 0;
  TRegister base = rdEBP;
  int32_t disp = 0;
};

constexpr const char* kRequest =
    " is supported at this time, make a forum request and it will immediatly be added for the following release";
constexpr const char* kScaleRequest =
    " is not supported at this time, make a forum request and it will immediatly be added for the following release";

void checkLimits(TCompiler& c, const char* mnemonic, TLimitWording wording) {
  const TBaseExpression& e = c.curBaseExpression;
  const std::string name = mnemonic;
  if (e.regcount > 1) {
    if (wording == lwNamed) c.Error("Only base register for " + name + kRequest);
    if (wording == lwNamedOne) c.Error("Only 1 base register for " + name + kRequest);
    c.Error(std::string("Only base register") + kRequest);
  }
  if (e.scale > 0) c.Error((wording == lwPlain ? std::string("Scale") : "Scale for " + name) + kScaleRequest);
}

// The operand the current token names (memory expression, global, local or parameter);
// `recastSize`, when not 0, replaces the item's own size.
TFpuOperand memoryOperand(TCompiler& c, const char* mnemonic, TLimitWording wording, int32_t recastSize = 0) {
  TFpuOperand op;
  const TCurrentToken& t = c.curToken;
  if (t.Token == tk::BaseExpr) {
    checkLimits(c, mnemonic, wording);
    TBaseExpression& e = c.curBaseExpression;
    if (e.dtSize == 0) e.dtSize = 4;
    op.size = e.dtSize;
    op.base = e.reg1;
    op.disp = static_cast<int32_t>(static_cast<uint32_t>(e.disp) + t.DataOffset);
    return op;
  }
  op.size = recastSize ? recastSize : t.Size;
  if (t.Token == tk::Variable && !t.Data->dataUseRegister) {
    op.global = true;
    op.dataIdent = static_cast<uint32_t>(t.Data->dataIdent);
    op.offset = t.DataOffset;
    return op;
  }
  // An item bound to a register by assume lies where that register points, as for the
  // integer statements; its frame slot or image address holds the pointer, not the value.
  const TMemOperand m = c.InstrDataOperand(t);
  op.base = m.base;
  op.disp = m.disp;
  return op;
}

void emitMemory(TCompiler& c, const TFpuMemStatement& s, int32_t recastSize = 0) {
  const TFpuOperand op = memoryOperand(c, s.mnemonic, s.wording, recastSize);
  TAssembler& a = c.curFunc->recAssembler;
  if (op.global) s.var(a, op.size, op.dataIdent, op.offset);
  else s.ptr(a, op.size, op.base, op.disp);
}

// A type name before a global, local or parameter: the item taken with the type's size.
void emitRecast(TCompiler& c, const TFpuMemStatement& s) {
  const int32_t size = c.curToken.DataType->typeSize;
  if (c.ExpectToken({tk::Variable, tk::LocalVar, tk::LocalParam}) == tk::Invalid) c.RaiseError();
  emitMemory(c, s, size);
}

uint16_t expect(TCompiler& c, std::initializer_list<uint16_t> codes) {
  const uint16_t code = c.ExpectToken(codes);
  if (code == tk::Invalid) c.RaiseError();
  return code;
}

void requireSemicolon(TCompiler& c) { expect(c, {tk::Semicolon}); }

int32_t readStack(TCompiler& c) {
  expect(c, {tk::FpuStack});
  return static_cast<int32_t>(c.curToken.Int);
}

// After st(i): ", st(j)" when a comma follows, giving j; otherwise `otherwise`.
int32_t optionalSecond(TCompiler& c, int32_t otherwise) {
  if (c.PeekToken() != tk::Comma) return otherwise;
  c.GetToken();
  return readStack(c);
}

bool isMemoryToken(uint16_t code) {
  return code == tk::BaseExpr || code == tk::Variable || code == tk::LocalVar || code == tk::LocalParam;
}

// fadd, fsub, fmul, fdiv (`strict`: the statement ends in ";") and fsubr, fdivr.
void compileArith(TCompiler& c, const TFpuMemStatement& s, TTwoStForm st, bool strict) {
  TAssembler& a = c.curFunc->recAssembler;
  const uint16_t code = expect(c, {tk::Semicolon, tk::TypeName, tk::BaseExpr, tk::FpuStack, tk::Variable,
                                   tk::LocalVar, tk::LocalParam});
  if (code == tk::Semicolon) return st(a, 1, 0);
  if (code == tk::FpuStack) {
    const auto i = static_cast<int32_t>(c.curToken.Int);
    if (!strict) return st(a, i, optionalSecond(c, 0));
    if (expect(c, {tk::Comma, tk::Semicolon}) == tk::Semicolon) return st(a, i, 0);
    const int32_t j = readStack(c);
    st(a, i, j);
    return requireSemicolon(c);
  }
  if (code == tk::TypeName) emitRecast(c, s);
  else emitMemory(c, s);
  if (strict) requireSemicolon(c);
}

// faddp (`strict`) and fsubp, fsubrp, fmulp, fdivp, fdivrp: st(i), st(0), then pop.
void compilePopping(TCompiler& c, TTwoStForm st, bool strict) {
  TAssembler& a = c.curFunc->recAssembler;
  if (expect(c, {tk::Semicolon, tk::FpuStack}) == tk::Semicolon) return st(a, 1, 0);
  const auto i = static_cast<int32_t>(c.curToken.Int);
  if (!strict) return st(a, i, optionalSecond(c, 0));
  if (expect(c, {tk::Comma, tk::Semicolon}) == tk::Semicolon) return st(a, i, 0);
  const int32_t j = readStack(c);
  st(a, i, j);
  requireSemicolon(c);
}

// fcomip (`strict`) and fcomi, fucomi, fucomip: st(0), st(j) into EFLAGS.
void compileCompareFlags(TCompiler& c, TTwoStForm st, bool strict) {
  TAssembler& a = c.curFunc->recAssembler;
  if (expect(c, {tk::Semicolon, tk::FpuStack}) == tk::Semicolon) return st(a, 0, 1);
  const auto i = static_cast<int32_t>(c.curToken.Int);
  if (!strict) {
    if (c.PeekToken() != tk::Comma) return st(a, 0, i);
    return st(a, i, optionalSecond(c, 0));
  }
  if (expect(c, {tk::Semicolon, tk::Comma}) == tk::Semicolon) return st(a, 0, i);
  const int32_t j = readStack(c);
  st(a, i, j);
  requireSemicolon(c);
}

// fucom, fucomp, fxch: ";" alone is st(1).
void compileOneStack(TCompiler& c, TOneStForm st) {
  TAssembler& a = c.curFunc->recAssembler;
  if (expect(c, {tk::Semicolon, tk::FpuStack}) == tk::Semicolon) return st(a, 1);
  st(a, static_cast<int32_t>(c.curToken.Int));
}

// fcom and fcomp: ";" alone is st(1); every other form ends in ";".
void compileCompare(TCompiler& c, const TFpuMemStatement& s, TOneStForm st, std::initializer_list<uint16_t> first) {
  TAssembler& a = c.curFunc->recAssembler;
  const uint16_t code = expect(c, first);
  if (code == tk::Semicolon) return st(a, 1);
  if (code == tk::FpuStack) st(a, static_cast<int32_t>(c.curToken.Int));
  else emitMemory(c, s);
  requireSemicolon(c);
}

// fld, fst, fstp: one stack register or memory; other statements: memory only. A type name
// in the list is a recast; `strict` statements end in ";".
void compileLoadStore(TCompiler& c, const TFpuMemStatement& s, TOneStForm st, std::initializer_list<uint16_t> first,
                      bool strict = false) {
  const uint16_t code = expect(c, first);
  if (code == tk::FpuStack) st(c.curFunc->recAssembler, static_cast<int32_t>(c.curToken.Int));
  else if (code == tk::TypeName) emitRecast(c, s);
  else emitMemory(c, s);
  if (strict) requireSemicolon(c);
}

void compileIntOp(TCompiler& c, TFpuIntOp regField) {
  expect(c, {tk::Variable, tk::LocalVar, tk::LocalParam, tk::BaseExpr});
  const TFpuOperand op = memoryOperand(c, "", lwPlain);
  TAssembler& a = c.curFunc->recAssembler;
  if (op.global) FpuIntOpVar(a, regField, op.size, op.dataIdent, op.offset);
  else FpuIntOpPtr(a, regField, op.size, op.base, op.disp);
}

// fnstsw, fstsw: AX or a word of memory.
void compileStatusWord(TCompiler& c, const TFpuMemStatement& s, void (*ax)(TAssembler&, TRegister)) {
  if (expect(c, {tk::Register, tk::Variable, tk::LocalVar, tk::LocalParam, tk::BaseExpr}) == tk::Register)
    return ax(c.curFunc->recAssembler, c.curToken.Reg);
  emitMemory(c, s);
}

void compileFcmov(TCompiler& c, TFcmovCode code) {
  const int32_t i = readStack(c);
  expect(c, {tk::Comma});
  const int32_t j = readStack(c);
  FcmovSt(c.curFunc->recAssembler, code.op1, code.op2, i, j);
  requireSemicolon(c);
}

// fpush: a float item loads with FLD, an integer item with FILD, by its declared type; a
// number becomes an extended constant in the data image.
void compileFpush(TCompiler& c) {
  const uint16_t code =
      expect(c, {tk::Variable, tk::LocalVar, tk::LocalParam, tk::Number, tk::Hex, tk::Float});
  TAssembler& a = c.curFunc->recAssembler;
  if (isMemoryToken(code)) {
    const bool isFloat = isFloatType(c.curToken.DataType);
    static constexpr TFpuMemStatement kLoad = {"fld", lwPlain, FldVar, FldPtr};
    static constexpr TFpuMemStatement kLoadInt = {"fild", lwPlain, FildVar, FildPtr};
    return emitMemory(c, isFloat ? kLoad : kLoadInt);
  }
  const long double value =
      code == tk::Float ? c.curToken.Ext : static_cast<long double>(c.curToken.Int);
  auto d = std::make_unique<TData>();
  d->dataMode = dmConst;
  d->dataType = c.FindType("extended");
  d->dataAddress = c.PEFile.dataMan.AddExtConst(value);
  d->dataValExt = value;
  d->dataSubMode = smFloat;
  d->defaultValue.ttype = tk::Invalid;
  d->dataIdent = static_cast<int32_t>(c.listData.size());
  const uint32_t ident = static_cast<uint32_t>(d->dataIdent);
  c.listData.push_back(std::move(d));
  c.DeclareIdent("", itData, static_cast<int32_t>(ident));
  FldVar(a, 10, ident, 0);
}

}  // namespace

bool TCompiler::CompileFpuInstruction(uint16_t code) {
  using S = TFpuMemStatement;
  static constexpr S kFadd = {"fadd", lwNamedOne, FaddVar, FaddPtr}, kFsub = {"fsub", lwNamed, FsubVar, FsubPtr},
                     kFmul = {"fmul", lwNamed, FmulVar, FmulPtr}, kFdiv = {"fdiv", lwNamed, FdivVar, FdivPtr},
                     kFsubr = {"fsubr", lwNamed, FsubrVar, FsubrPtr}, kFdivr = {"fdivr", lwNamed, FdivrVar, FdivrPtr},
                     kFcom = {"fcom", lwNamedOne, FcomVar, FcomPtr}, kFcomp = {"fcomp", lwNamed, FcompVar, FcompPtr},
                     kFld = {"fld", lwPlain, FldVar, FldPtr}, kFst = {"fst", lwPlain, FstVar, FstPtr},
                     kFstp = {"fstp", lwPlain, FstpVar, FstpPtr}, kFild = {"fild", lwNamed, FildVar, FildPtr},
                     kFist = {"fist", lwPlain, FistVar, FistPtr}, kFistp = {"fistp", lwPlain, FistpVar, FistpPtr},
                     kFbld = {"fbld", lwNamedOne, FbldVar, FbldPtr}, kFbstp = {"fbstp", lwNamedOne, FbstpVar, FbstpPtr},
                     kFldcw = {"fldcw", lwPlain, FldcwVar, FldcwPtr},
                     kFnstcw = {"fnstcw", lwPlain, FnstcwVar, FnstcwPtr},
                     kFstcw = {"fstcw", lwPlain, FstcwVar, FstcwPtr},
                     kFldenv = {"fldenv", lwPlain, FldenvVar, FldenvPtr},
                     kFnstenv = {"fnstenv", lwPlain, FnstenvVar, FnstenvPtr},
                     kFstenv = {"fstenv", lwPlain, FstenvVar, FstenvPtr},
                     kFrstor = {"frstor", lwPlain, FrstorVar, FrstorPtr},
                     kFnsave = {"fnsave", lwPlain, FnsaveVar, FnsavePtr},
                     kFsave = {"fsave", lwPlain, FsaveVar, FsavePtr},
                     kFnstsw = {"fnstsw", lwPlain, FnstswVar, FnstswPtr},
                     kFstsw = {"fstsw", lwPlain, FstswVar, FstswPtr};
  constexpr auto P = tk::LocalParam, L = tk::LocalVar, G = tk::Variable, M = tk::BaseExpr, St = tk::FpuStack,
                 T = tk::TypeName;
  switch (code) {
    case tk::MnFadd: compileArith(*this, kFadd, FaddSt, true); break;
    case tk::MnFsub: compileArith(*this, kFsub, FsubSt, true); break;
    case tk::MnFmul: compileArith(*this, kFmul, FmulSt, true); break;
    case tk::MnFdiv: compileArith(*this, kFdiv, FdivSt, true); break;
    case tk::MnFsubr: compileArith(*this, kFsubr, FsubrSt, false); break;
    case tk::MnFdivr: compileArith(*this, kFdivr, FdivrSt, false); break;
    case tk::MnFaddp: compilePopping(*this, FaddpSt, true); break;
    case tk::MnFsubp: compilePopping(*this, FsubpSt, false); break;
    case tk::MnFsubrp: compilePopping(*this, FsubrpSt, false); break;
    case tk::MnFmulp: compilePopping(*this, FmulpSt, false); break;
    case tk::MnFdivp: compilePopping(*this, FdivpSt, false); break;
    case tk::MnFdivrp: compilePopping(*this, FdivrpSt, false); break;
    case tk::MnFcomip: compileCompareFlags(*this, FcomipSt, true); break;
    case tk::MnFcomi: compileCompareFlags(*this, FcomiSt, false); break;
    case tk::MnFucomi: compileCompareFlags(*this, FucomiSt, false); break;
    case tk::MnFucomip: compileCompareFlags(*this, FucomipSt, false); break;
    case tk::MnFucom: compileOneStack(*this, FucomSt); break;
    case tk::MnFucomp: compileOneStack(*this, FucompSt); break;
    case tk::MnFxch: compileOneStack(*this, FxchSt); break;
    case tk::MnFfree: FfreeSt(curFunc->recAssembler, readStack(*this)); break;
    case tk::MnFcom: compileCompare(*this, kFcom, FcomSt, {tk::Semicolon, G, M, St, L, P}); break;
    case tk::MnFcomp: compileCompare(*this, kFcomp, FcompSt, {tk::Semicolon, St, G, L, P, M}); break;
    case tk::MnFld: compileLoadStore(*this, kFld, FldSt, {P, L, G, St, M}); break;
    case tk::MnFsp: compileLoadStore(*this, kFst, FstSt, {St, P, L, G, M}); break;
    case tk::MnFstp: compileLoadStore(*this, kFstp, FstpSt, {St, P, L, G, M}); break;
    case tk::MnFild: compileLoadStore(*this, kFild, nullptr, {M, G, L, P}); break;
    case tk::MnFist: compileLoadStore(*this, kFist, nullptr, {P, L, G, M}); break;
    case tk::MnFistp: compileLoadStore(*this, kFistp, nullptr, {P, L, G, M}); break;
    case tk::MnFbld: compileLoadStore(*this, kFbld, nullptr, {G, L, P, M, T}, true); break;
    case tk::MnFbstp: compileLoadStore(*this, kFbstp, nullptr, {G, L, P, M, T}, true); break;
    case tk::MnFiadd: compileIntOp(*this, fiAdd); break;
    case tk::MnFimul: compileIntOp(*this, fiMul); break;
    case tk::MnFicom: compileIntOp(*this, fiCom); break;
    case tk::MnFicomp: compileIntOp(*this, fiComp); break;
    case tk::MnFisub: compileIntOp(*this, fiSub); break;
    case tk::MnFisubr: compileIntOp(*this, fiSubr); break;
    case tk::MnFidiv: compileIntOp(*this, fiDiv); break;
    case tk::MnFidivr: compileIntOp(*this, fiDivr); break;
    case tk::MnFldcw: compileLoadStore(*this, kFldcw, nullptr, {G, L, P, M}); break;
    case tk::MnFnstcw: compileLoadStore(*this, kFnstcw, nullptr, {G, L, P, M}); break;
    case tk::MnFstcw: compileLoadStore(*this, kFstcw, nullptr, {G, L, P, M}); break;
    case tk::MnFldenv: compileLoadStore(*this, kFldenv, nullptr, {G, L, P, M}); break;
    case tk::MnFnstenv: compileLoadStore(*this, kFnstenv, nullptr, {G, L, P, M}); break;
    case tk::MnFstenv: compileLoadStore(*this, kFstenv, nullptr, {G, L, P, M}); break;
    case tk::MnFrstor: compileLoadStore(*this, kFrstor, nullptr, {G, L, P, M}); break;
    case tk::MnFnsave: compileLoadStore(*this, kFnsave, nullptr, {G, L, P, M}); break;
    case tk::MnFsave: compileLoadStore(*this, kFsave, nullptr, {G, L, P, M}); break;
    case tk::MnFnstsw: compileStatusWord(*this, kFnstsw, FnstswAx); break;
    case tk::MnFstsw: compileStatusWord(*this, kFstsw, FstswAx); break;
    case tk::MnFcmovb: compileFcmov(*this, kFcmovB); break;
    case tk::MnFcmove: compileFcmov(*this, kFcmovE); break;
    case tk::MnFcmovbe: compileFcmov(*this, kFcmovBe); break;
    case tk::MnFcmovu: compileFcmov(*this, kFcmovU); break;
    case tk::MnFcmovnb: compileFcmov(*this, kFcmovNb); break;
    case tk::MnFcmovne: compileFcmov(*this, kFcmovNe); break;
    case tk::MnFcmovnbe: compileFcmov(*this, kFcmovNbe); break;
    case tk::MnFcmovnu: compileFcmov(*this, kFcmovNu); break;
    case tk::MnFpush: compileFpush(*this); break;
    default: Error("\"" + curToken.Str + "\" statements are not supported by this build");
  }
  return true;
}

}  // namespace kelvo
