// The x87 operations over the rows of form_rows_x87.h: which row each operand size picks, the
// operand checks with their messages, and the named operations as one-line entries.
//
// Every x87 instruction with an operand is an escape byte D8..DF followed by ModRM:
//   memory   [9B] esc ModRM(mod, /digit, r/m) [SIB] [disp]   the escape and digit pick the size
//   st(i)    esc (row base + i)                               ModRM with mod 11, r/m = i
#include <cassert>

#include "assembler/form_encoders.h"
#include "assembler/fpu_encoders.h"

namespace kelvo {

namespace {

// --- memory forms: the row for each operand size, and the messages for the others

struct TFpuSize {
  uint8_t size;  // bytes; 0 ends the list
  TFormId form;
};

struct TFpuMemOp {
  TFpuSize sizes[3];
  bool anySize;  // environment and state: the size is taken and ignored
  const char* varMessage;
  const char* ptrMessage;
};

enum TFpuMemId : uint8_t {
  fmAdd, fmMul, fmCom, fmComp, fmSub, fmSubr, fmDiv, fmDivr,
  fmLd, fmSt, fmStp, fmIld, fmIst, fmIstp, fmBld, fmBstp,
  fmLdcw, fmNstcw, fmStcw, fmNstsw, fmStsw, fmLdenv, fmNstenv, fmStenv, fmRstor, fmNsave, fmSave,
};

constexpr TFpuMemOp kFpuMem[] = {
    {{{4, fmFaddM32}, {8, fmFaddM64}}, false,
     "Expected single or double variable type or recast via. fadd single variable;",
     "Expected single or double pointer type. e.g. fadd double [eax];"},
    {{{4, fmFmulM32}, {8, fmFmulM64}}, false, "fmul expected single or double variable type",
     "fmul expected single or double pointer type. e.g. fadd double [eax];"},
    {{{4, fmFcomM32}, {8, fmFcomM64}}, false, "fcom expected single or double variable type",
     "fcom expected single or double type"},
    {{{4, fmFcompM32}, {8, fmFcompM64}}, false, "fcomp expected single or double variable type",
     "fcomp expected single or double pointer type"},
    {{{4, fmFsubM32}, {8, fmFsubM64}}, false, "fsub expected single or double variable type",
     "fsub expected single or double pointer type"},
    {{{4, fmFsubrM32}, {8, fmFsubrM64}}, false, "fsubr expected single or double variable type",
     "fsubr expected single or double pointer type"},
    {{{4, fmFdivM32}, {8, fmFdivM64}}, false, "fdiv expected single or double variable type",
     "fdiv expected single or double pointer type. e.g. fadd double [eax];"},
    {{{4, fmFdivrM32}, {8, fmFdivrM64}}, false, "fdivr expected single or double variable type",
     "fdivr expected single or double pointer type"},
    {{{4, fmFldM32}, {8, fmFldM64}, {10, fmFldM80}}, false, "fld expected single, double or extended variable type",
     "fld expected single, double or extended pointer type"},
    {{{4, fmFstM32}, {8, fmFstM64}}, false, "fst expected single or double variable type",
     "fst expected single or double pointer type"},
    {{{4, fmFstpM32}, {8, fmFstpM64}}, false, "fstp expected single or double variable type",
     "fstp expected single or double pointer type"},
    {{{2, fmFildM16}, {4, fmFildM32}, {8, fmFildM64}}, false, "fild expected word, dword or qword variable type",
     "fild expected word, dword or qword pointer type"},
    {{{2, fmFistM16}, {4, fmFistM32}}, false, "fist expected word or dword variable type",
     "fist expected word or dword pointer type"},
    {{{2, fmFistpM16}, {4, fmFistpM32}, {8, fmFistpM64}}, false, "fistp expected word, dword or qword variable type",
     "fistp expected word, dword or qword pointer type"},
    {{{10, fmFbldM80}}, false, "fbld expected extended variable type or recast via. fbld extended variable;",
     "fbld expected extended type. e.g. fbld extended [eax];"},
    {{{10, fmFbstpM80}}, false, "fbstp expected extended variable type or recast via. fbstp extended variable;",
     "fbstp expected extended type. e.g. fbstp extended [eax];"},
    {{{2, fmFldcwM16}}, false, "fldcw expected word variable type", "fldcw expected word pointer type"},
    {{{2, fmFnstcwM16}}, false, "fnstcw expected word variable type", "fnstcw expected word pointer type"},
    {{{2, fmFstcwM16}}, false, "fstcw expected word variable type", "fstcw expected word pointer type"},
    {{{2, fmFnstswM16}}, false, "fnstsw expected word variable type", "fnstsw expected word pointer type"},
    {{{2, fmFstswM16}}, false, "fstsw expected word variable type", "fstsw expected word pointer type"},
    // A word operand, as the statement has always taken it, not the 14- or 28-byte block.
    {{{2, fmFldenvM}}, false, "fldenv expected word variable type", "fldenv expected word pointer type"},
    {{{0, fmFnstenvM}}, true, "", ""},
    {{{0, fmFstenvM}}, true, "", ""},
    {{{0, fmFrstorM}}, true, "", ""},
    {{{0, fmFnsaveM}}, true, "", ""},
    {{{0, fmFsaveM}}, true, "", ""},
};

// fiadd .. fidivr by digit: the word row, then the dword row.
constexpr TFormId kFpuIntOp[8][2] = {
    {fmFiaddM16, fmFiaddM32},   {fmFimulM16, fmFimulM32}, {fmFicomM16, fmFicomM32}, {fmFicompM16, fmFicompM32},
    {fmFisubM16, fmFisubM32}, {fmFisubrM16, fmFisubrM32}, {fmFidivM16, fmFidivM32}, {fmFidivrM16, fmFidivrM32},
};
constexpr TFpuMemOp kFpuIntOpSizes = {{{2, fmFiaddM16}, {4, fmFiaddM32}}, false,
                                      "Expected word or dword variable type", "Expected word or dword pointer type"};

// The row for `size`, or the build stops with `message`.
TFormId fpuSize(const TFpuMemOp& op, int32_t size, const char* message) {
  if (op.anySize) return op.sizes[0].form;
  for (const TFpuSize& s : op.sizes)
    if (s.size != 0 && s.size == size) return s.form;
  EncoderError(message);
}

// The x87 rows have sizes of their own: the operand-size argument of the form encoders only
// has to keep the 66 prefix away.
constexpr int kNoPrefix = 4;

TLocation ptrLocation(TRegister base, int32_t disp) { return MemLocation(BaseDisp(base, disp)); }

void encFpuVar(TAssembler& a, TFpuMemId op, int32_t size, uint32_t dataIdent, uint32_t offset) {
  const TFormId id = fpuSize(kFpuMem[op], size, kFpuMem[op].varMessage);
  EncodeLoc(a, kForms[id], kNoPrefix, 0, VarLocation(dataIdent, offset));
}

void encFpuPtr(TAssembler& a, TFpuMemId op, int32_t size, TRegister base, int32_t disp) {
  const TFormId id = fpuSize(kFpuMem[op], size, kFpuMem[op].ptrMessage);
  EncodeLoc(a, kForms[id], kNoPrefix, 0, ptrLocation(base, disp));
}

// The integer group: the size picks the word or dword column, the reg field the mnemonic.
void encFpuIntOp(TAssembler& a, uint8_t regField, int32_t size, const TLocation& loc, const char* message) {
  const bool dword = fpuSize(kFpuIntOpSizes, size, message) == fmFiaddM32;
  EncodeLoc(a, kForms[kFpuIntOp[(regField >> 3) & 7][dword ? 1 : 0]], kNoPrefix, 0, loc);
}

// --- register forms: st(i) added to the row's last opcode byte

bool outOfStack(int32_t i) { return i < 0 || i > 7; }

void encFpuSt(TAssembler& a, TFormId id, int32_t i) {
  TInstr in(a);
  PutPlusReg(in, kForms[id], kNoPrefix, static_cast<uint8_t>(i));
  Emit(a, in);
}

// st(0), st(j) in the D8 row or st(i), st(0) in the DC row.
struct TFpuArithOp {
  TFormId st0Sti, stiSt0;
  const char* bothMessage;
};
constexpr const char* kTopMessage = "First or second operand must be the top of the FPU stack: st(0)";
constexpr const char* kFpuMessage = "First or second operand must be FPU stack: st(0)";
enum TFpuArithId : uint8_t { faAdd, faMul, faSub, faSubr, faDiv, faDivr };
constexpr TFpuArithOp kFpuArith[] = {
    {fmFaddSt0Sti, fmFaddStiSt0, kTopMessage}, {fmFmulSt0Sti, fmFmulStiSt0, kTopMessage},
    {fmFsubSt0Sti, fmFsubStiSt0, kTopMessage}, {fmFsubrSt0Sti, fmFsubrStiSt0, kFpuMessage},
    {fmFdivSt0Sti, fmFdivStiSt0, kTopMessage}, {fmFdivrSt0Sti, fmFdivrStiSt0, kFpuMessage},
};

void encFpuArithSt(TAssembler& a, TFpuArithId op, int32_t i, int32_t j) {
  const TFpuArithOp& row = kFpuArith[op];
  if (i != 0 && j != 0) EncoderError(row.bothMessage);
  if (outOfStack(i)) EncoderError("First FPU stack operand out of bounds (0-7)");
  if (outOfStack(j)) EncoderError("Second FPU stack operand out of bounds (0-7)");
  if (i == 0) encFpuSt(a, row.st0Sti, j);
  else encFpuSt(a, row.stiSt0, i);
}

// DE row: st(i), st(0), then pop; the second index must be 0.
struct TFpuPopOp {
  TFormId form;
  const char* secondMessage;
};
enum TFpuPopId : uint8_t { fpAdd, fpMul, fpSubr, fpSub, fpDivr, fpDiv };
constexpr TFpuPopOp kFpuPop[] = {
    {fmFaddpStiSt0, "Second operand must be the top of the FPU stack: st(0)"},
    {fmFmulpStiSt0, "Second operand must be the top of the FPU stack: st(0)"},
    {fmFsubrpStiSt0, "Second operand must be FPU stack: st(0)"},
    {fmFsubpStiSt0, "First or second operand must be FPU stack: st(0)"},
    {fmFdivrpStiSt0, "Second operand must be FPU stack: st(0)"},
    {fmFdivpStiSt0, "Second operand must be the top of the FPU stack: st(0)"},
};

void encFpuPopSt(TAssembler& a, TFpuPopId op, int32_t i, int32_t j) {
  if (j != 0) EncoderError(kFpuPop[op].secondMessage);
  if (outOfStack(i)) EncoderError("First FPU stack operand out of bounds (0-7)");
  encFpuSt(a, kFpuPop[op].form, i);
}

// st(0), st(j) into EFLAGS, and the conditional moves: P6 instructions.
constexpr const char* kTopFirst = "First operand must be the top of the FPU stack: st(0)";
constexpr const char* kFpuFirst = "First operand must be FPU stack: st(0)";

void encFpuP6St(TAssembler& a, TFormId id, const char* firstMessage, const char* cpuMessage, int32_t i,
                int32_t j) {
  if (i != 0) EncoderError(firstMessage);
  if (outOfStack(j)) EncoderError("Second FPU stack operand out of bounds (0-7)");
  if (CurrentCPULevel() < 686) EncoderError(cpuMessage);
  encFpuSt(a, id, j);
}

constexpr TFormId kFcmov[] = {fmFcmovbSt0Sti,  fmFcmoveSt0Sti,  fmFcmovbeSt0Sti,  fmFcmovuSt0Sti,
                              fmFcmovnbSt0Sti, fmFcmovneSt0Sti, fmFcmovnbeSt0Sti, fmFcmovnuSt0Sti};

// The conditional move whose opcode bytes the statement passed.
TFormId fcmovRow(uint8_t op1, uint8_t op2) {
  for (TFormId id : kFcmov)
    if (kForms[id].opcode[0] == op1 && kForms[id].opcode[1] == op2) return id;
  assert(!"no fcmov row has these opcode bytes");
  return kFcmov[0];
}

// One stack register.
struct TFpuOneOp {
  TFormId form;
  const char* message;
};
enum TFpuOneId : uint8_t { f1Ld, f1St, f1Stp, f1Xch, f1Com, f1Comp, f1Ucom, f1Ucomp, f1Free };
constexpr const char* kIndexMessage = "FPU stack index must be between 0 and 7";
constexpr const char* kFirstMessage = "First FPU stack operand out of bounds (0-7)";
constexpr const char* kOperandMessage = "FPU stack operand out of bounds (0-7)";
constexpr TFpuOneOp kFpuOne[] = {
    {fmFldSti, kIndexMessage},    {fmFstSti, kIndexMessage},      {fmFstpSti, kIndexMessage},
    {fmFxchSti, kFirstMessage},   {fmFcomSti, kOperandMessage},   {fmFcompSti, kFirstMessage},
    {fmFucomSti, kOperandMessage}, {fmFucompSti, kOperandMessage}, {fmFfreeSti, kOperandMessage},
};

void encFpuOneSt(TAssembler& a, TFpuOneId op, int32_t i) {
  if (outOfStack(i)) EncoderError(kFpuOne[op].message);
  encFpuSt(a, kFpuOne[op].form, i);
}

// The status word into AX.
void encFpuAx(TAssembler& a, TFormId id, TRegister reg, const char* message) {
  if (reg != rdAX) EncoderError(message);
  TInstr in(a);
  PutRaw(in, kForms[id], kNoPrefix);
  Emit(a, in);
}

}  // namespace

void FaddVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmAdd, n, id, o); }
void FaddPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmAdd, n, b, d); }
void FmulVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmMul, n, id, o); }
void FmulPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmMul, n, b, d); }
void FcomVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmCom, n, id, o); }
void FcomPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmCom, n, b, d); }
void FcompVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmComp, n, id, o); }
void FcompPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmComp, n, b, d); }
void FsubVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmSub, n, id, o); }
void FsubPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmSub, n, b, d); }
void FsubrVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmSubr, n, id, o); }
void FsubrPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmSubr, n, b, d); }
void FdivVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmDiv, n, id, o); }
void FdivPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmDiv, n, b, d); }
void FdivrVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmDivr, n, id, o); }
void FdivrPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmDivr, n, b, d); }
void FldVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmLd, n, id, o); }
void FldPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmLd, n, b, d); }
void FstVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmSt, n, id, o); }
void FstPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmSt, n, b, d); }
void FstpVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmStp, n, id, o); }
void FstpPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmStp, n, b, d); }
void FildVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmIld, n, id, o); }
void FildPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmIld, n, b, d); }
void FistVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmIst, n, id, o); }
void FistPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmIst, n, b, d); }
void FistpVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmIstp, n, id, o); }
void FistpPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmIstp, n, b, d); }
void FbldVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmBld, n, id, o); }
void FbldPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmBld, n, b, d); }
void FbstpVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmBstp, n, id, o); }
void FbstpPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmBstp, n, b, d); }
void FldcwVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmLdcw, n, id, o); }
void FldcwPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmLdcw, n, b, d); }
void FnstcwVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmNstcw, n, id, o); }
void FnstcwPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmNstcw, n, b, d); }
void FstcwVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmStcw, n, id, o); }
void FstcwPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmStcw, n, b, d); }
void FnstswVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmNstsw, n, id, o); }
void FnstswPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmNstsw, n, b, d); }
void FstswVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmStsw, n, id, o); }
void FstswPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmStsw, n, b, d); }
void FldenvVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmLdenv, n, id, o); }
void FldenvPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmLdenv, n, b, d); }
void FnstenvVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmNstenv, n, id, o); }
void FnstenvPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmNstenv, n, b, d); }
void FstenvVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmStenv, n, id, o); }
void FstenvPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmStenv, n, b, d); }
void FrstorVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmRstor, n, id, o); }
void FrstorPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmRstor, n, b, d); }
void FnsaveVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmNsave, n, id, o); }
void FnsavePtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmNsave, n, b, d); }
void FsaveVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmSave, n, id, o); }
void FsavePtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmSave, n, b, d); }

void FpuIntOpVar(TAssembler& a, uint8_t regField, int32_t size, uint32_t dataIdent, uint32_t offset) {
  encFpuIntOp(a, regField, size, VarLocation(dataIdent, offset), kFpuIntOpSizes.varMessage);
}
void FpuIntOpPtr(TAssembler& a, uint8_t regField, int32_t size, TRegister base, int32_t disp) {
  encFpuIntOp(a, regField, size, ptrLocation(base, disp), kFpuIntOpSizes.ptrMessage);
}

void FaddSt(TAssembler& a, int32_t i, int32_t j) { encFpuArithSt(a, faAdd, i, j); }
void FmulSt(TAssembler& a, int32_t i, int32_t j) { encFpuArithSt(a, faMul, i, j); }
void FsubSt(TAssembler& a, int32_t i, int32_t j) { encFpuArithSt(a, faSub, i, j); }
void FsubrSt(TAssembler& a, int32_t i, int32_t j) { encFpuArithSt(a, faSubr, i, j); }
void FdivSt(TAssembler& a, int32_t i, int32_t j) { encFpuArithSt(a, faDiv, i, j); }
void FdivrSt(TAssembler& a, int32_t i, int32_t j) { encFpuArithSt(a, faDivr, i, j); }

void FaddpSt(TAssembler& a, int32_t i, int32_t j) { encFpuPopSt(a, fpAdd, i, j); }
void FmulpSt(TAssembler& a, int32_t i, int32_t j) { encFpuPopSt(a, fpMul, i, j); }
void FsubrpSt(TAssembler& a, int32_t i, int32_t j) { encFpuPopSt(a, fpSubr, i, j); }
void FsubpSt(TAssembler& a, int32_t i, int32_t j) { encFpuPopSt(a, fpSub, i, j); }
void FdivrpSt(TAssembler& a, int32_t i, int32_t j) { encFpuPopSt(a, fpDivr, i, j); }
void FdivpSt(TAssembler& a, int32_t i, int32_t j) { encFpuPopSt(a, fpDiv, i, j); }

void FcomiSt(TAssembler& a, int32_t i, int32_t j) {
  encFpuP6St(a, fmFcomiSt0Sti, kTopFirst, "fcomi instruction is only supported with cpu mode 686 and above", i, j);
}
void FcomipSt(TAssembler& a, int32_t i, int32_t j) {
  encFpuP6St(a, fmFcomipSt0Sti, kTopFirst, "fcomip instruction is only supported with cpu mode 686 and above", i, j);
}
void FucomiSt(TAssembler& a, int32_t i, int32_t j) {
  encFpuP6St(a, fmFucomiSt0Sti, kFpuFirst, "fucomi instruction is only supported with cpu mode 686 and above", i, j);
}
void FucomipSt(TAssembler& a, int32_t i, int32_t j) {
  encFpuP6St(a, fmFucomipSt0Sti, kFpuFirst, "fucomip instruction is only supported with cpu mode 686 and above", i,
             j);
}
void FcmovSt(TAssembler& a, uint8_t op1, uint8_t op2, int32_t i, int32_t j) {
  encFpuP6St(a, fcmovRow(op1, op2), kTopFirst, "fcmov(xx) instructions are only supported with cpu mode 686 and above",
             i, j);
}

void FldSt(TAssembler& a, int32_t i) { encFpuOneSt(a, f1Ld, i); }
void FstSt(TAssembler& a, int32_t i) { encFpuOneSt(a, f1St, i); }
void FstpSt(TAssembler& a, int32_t i) { encFpuOneSt(a, f1Stp, i); }
void FxchSt(TAssembler& a, int32_t i) { encFpuOneSt(a, f1Xch, i); }
void FcomSt(TAssembler& a, int32_t i) { encFpuOneSt(a, f1Com, i); }
void FcompSt(TAssembler& a, int32_t i) { encFpuOneSt(a, f1Comp, i); }
void FucomSt(TAssembler& a, int32_t i) { encFpuOneSt(a, f1Ucom, i); }
void FucompSt(TAssembler& a, int32_t i) { encFpuOneSt(a, f1Ucomp, i); }
void FfreeSt(TAssembler& a, int32_t i) { encFpuOneSt(a, f1Free, i); }

void FnstswAx(TAssembler& a, TRegister reg) {
  encFpuAx(a, fmFnstswAx, reg, "fnstsw will only accept \"ax\" register or a memory location");
}
void FstswAx(TAssembler& a, TRegister reg) {
  encFpuAx(a, fmFstswAx, reg, "fstsw will only accept \"ax\" register or a memory location");
}

}  // namespace kelvo
