// The x87 instruction forms as rows, the few form encoders that serve them, and the named
// operations as one-line entries over the rows.
//
// Every x87 instruction with an operand is an escape byte D8..DF followed by ModRM:
//   memory   esc ModRM(mod, /digit, r/m) [SIB] [disp]   the escape and digit pick the size
//   st(i)    esc (row base + i)                          ModRM with mod 11, r/m = i
#include "assembler/fpu_encoders.h"
#include "assembler/instruction.h"
#include "assembler/memory_operand.h"

namespace kelvo {

namespace {

constexpr uint8_t kWait = 0x9B;

// --- memory forms: escape byte and /digit by operand size

struct TFpuSize {
  uint8_t size;  // bytes; 0 ends the list
  uint8_t op;
  uint8_t digit;
};

struct TFpuMemRow {
  const char* mnemonic;
  bool wait;     // the waiting form: 9B before the no-wait instruction
  bool anySize;  // environment and state: the size is taken and ignored
  TFpuSize sizes[3];
  const char* varMessage;
  const char* ptrMessage;
};

enum TFpuMemOp : uint8_t {
  fmAdd, fmMul, fmCom, fmComp, fmSub, fmSubr, fmDiv, fmDivr,
  fmLd, fmSt, fmStp, fmIld, fmIst, fmIstp, fmBld, fmBstp, fmIntOp,
  fmLdcw, fmNstcw, fmStcw, fmNstsw, fmStsw, fmLdenv, fmNstenv, fmStenv, fmRstor, fmNsave, fmSave,
};

constexpr TFpuMemRow kFpuMem[] = {
    {"fadd", false, false, {{4, 0xD8, 0}, {8, 0xDC, 0}},
     "Expected single or double variable type or recast via. fadd single variable;",
     "Expected single or double pointer type. e.g. fadd double [eax];"},
    {"fmul", false, false, {{4, 0xD8, 1}, {8, 0xDC, 1}}, "fmul expected single or double variable type",
     "fmul expected single or double pointer type. e.g. fadd double [eax];"},
    {"fcom", false, false, {{4, 0xD8, 2}, {8, 0xDC, 2}}, "fcom expected single or double variable type",
     "fcom expected single or double type"},
    {"fcomp", false, false, {{4, 0xD8, 3}, {8, 0xDC, 3}}, "fcomp expected single or double variable type",
     "fcomp expected single or double pointer type"},
    {"fsub", false, false, {{4, 0xD8, 4}, {8, 0xDC, 4}}, "fsub expected single or double variable type",
     "fsub expected single or double pointer type"},
    {"fsubr", false, false, {{4, 0xD8, 5}, {8, 0xDC, 5}}, "fsubr expected single or double variable type",
     "fsubr expected single or double pointer type"},
    {"fdiv", false, false, {{4, 0xD8, 6}, {8, 0xDC, 6}}, "fdiv expected single or double variable type",
     "fdiv expected single or double pointer type. e.g. fadd double [eax];"},
    {"fdivr", false, false, {{4, 0xD8, 7}, {8, 0xDC, 7}}, "fdivr expected single or double variable type",
     "fdivr expected single or double pointer type"},
    {"fld", false, false, {{4, 0xD9, 0}, {8, 0xDD, 0}, {10, 0xDB, 5}},
     "fld expected single, double or extended variable type",
     "fld expected single, double or extended pointer type"},
    {"fst", false, false, {{4, 0xD9, 2}, {8, 0xDD, 2}}, "fst expected single or double variable type",
     "fst expected single or double pointer type"},
    {"fstp", false, false, {{4, 0xD9, 3}, {8, 0xDD, 3}}, "fstp expected single or double variable type",
     "fstp expected single or double pointer type"},
    {"fild", false, false, {{2, 0xDF, 0}, {4, 0xDB, 0}, {8, 0xDF, 5}},
     "fild expected word, dword or qword variable type", "fild expected word, dword or qword pointer type"},
    {"fist", false, false, {{2, 0xDF, 2}, {4, 0xDB, 2}}, "fist expected word or dword variable type",
     "fist expected word or dword pointer type"},
    {"fistp", false, false, {{2, 0xDF, 3}, {4, 0xDB, 3}, {8, 0xDF, 7}},
     "fistp expected word, dword or qword variable type", "fistp expected word, dword or qword pointer type"},
    {"fbld", false, false, {{10, 0xDF, 4}},
     "fbld expected extended variable type or recast via. fbld extended variable;",
     "fbld expected extended type. e.g. fbld extended [eax];"},
    {"fbstp", false, false, {{10, 0xDF, 6}},
     "fbstp expected extended variable type or recast via. fbstp extended variable;",
     "fbstp expected extended type. e.g. fbstp extended [eax];"},
    // fiadd .. fidivr: the caller's reg field is added to the digit 0 here.
    {"fiadd", false, false, {{2, 0xDE, 0}, {4, 0xDA, 0}}, "Expected word or dword variable type",
     "Expected word or dword pointer type"},
    {"fldcw", false, false, {{2, 0xD9, 5}}, "fldcw expected word variable type", "fldcw expected word pointer type"},
    {"fnstcw", false, false, {{2, 0xD9, 7}}, "fnstcw expected word variable type",
     "fnstcw expected word pointer type"},
    {"fstcw", true, false, {{2, 0xD9, 7}}, "fstcw expected word variable type", "fstcw expected word pointer type"},
    {"fnstsw", false, false, {{2, 0xDD, 7}}, "fnstsw expected word variable type",
     "fnstsw expected word pointer type"},
    {"fstsw", true, false, {{2, 0xDD, 7}}, "fstsw expected word variable type", "fstsw expected word pointer type"},
    // A word operand, as the statement has always taken it, not the 14- or 28-byte block.
    {"fldenv", false, false, {{2, 0xD9, 4}}, "fldenv expected word variable type",
     "fldenv expected word pointer type"},
    {"fnstenv", false, true, {{0, 0xD9, 6}}, "", ""},
    {"fstenv", true, true, {{0, 0xD9, 6}}, "", ""},
    {"frstor", false, true, {{0, 0xDD, 4}}, "", ""},
    {"fnsave", false, true, {{0, 0xDD, 6}}, "", ""},
    {"fsave", true, true, {{0, 0xDD, 6}}, "", ""},
};

// The escape byte and digit for `size`, or the build stops with `message`.
const TFpuSize& fpuSize(const TFpuMemRow& row, int32_t size, const char* message) {
  if (row.anySize) return row.sizes[0];
  for (const TFpuSize& s : row.sizes)
    if (s.size != 0 && s.size == size) return s;
  EncoderError(message);
}

// esc ModRM(00, digit, 101) disp32 with the data fix-up.
void encFpuVar(TAssembler& a, TFpuMemOp op, uint8_t regField, int32_t size, uint32_t dataIdent,
               uint32_t offset) {
  const TFpuMemRow& row = kFpuMem[op];
  const TFpuSize& s = fpuSize(row, size, row.varMessage);
  TInstr in;
  if (row.wait) in.put(kWait);
  in.put(s.op);
  PutVarOperand(in, static_cast<uint8_t>(s.digit + (regField >> 3)), dataIdent, offset);
  Emit(a, in);
}

// esc ModRM(mod, digit, base) [SIB 24 for ESP] [disp8 | disp32]; EBP always has a displacement.
void encFpuPtr(TAssembler& a, TFpuMemOp op, uint8_t regField, int32_t size, TRegister base, int32_t disp) {
  const TFpuMemRow& row = kFpuMem[op];
  const TFpuSize& s = fpuSize(row, size, row.ptrMessage);
  TInstr in;
  if (row.wait) in.put(kWait);
  in.put(s.op);
  PutMemOperand(in, static_cast<uint8_t>(s.digit + (regField >> 3)), BaseDisp(base, disp));
  Emit(a, in);
}

// --- register forms: escape byte and the ModRM row (mod 11, /digit) that st(i) is added to

void encFpuTwoBytes(TAssembler& a, uint8_t op, uint8_t modrm) {
  TInstr in;
  in.put(op);
  in.put(modrm);
  Emit(a, in);
}

bool outOfStack(int32_t i) { return i < 0 || i > 7; }

// st(0), st(j) in the D8 row or st(i), st(0) in the DC row. Note that the DC row swaps the
// meaning of sub/subr and div/divr: fsub st(i), st(0) is DC E8+i.
struct TFpuArithRow {
  uint8_t d8Base;
  uint8_t dcBase;
  const char* bothMessage;
};
constexpr const char* kTopMessage = "First or second operand must be the top of the FPU stack: st(0)";
constexpr const char* kFpuMessage = "First or second operand must be FPU stack: st(0)";
enum TFpuArithOp : uint8_t { faAdd, faMul, faSub, faSubr, faDiv, faDivr };
constexpr TFpuArithRow kFpuArith[] = {
    {0xC0, 0xC0, kTopMessage}, {0xC8, 0xC8, kTopMessage}, {0xE0, 0xE8, kTopMessage},
    {0xE8, 0xE0, kFpuMessage}, {0xF0, 0xF8, kTopMessage}, {0xF8, 0xF0, kFpuMessage},
};

void encFpuArithSt(TAssembler& a, TFpuArithOp op, int32_t i, int32_t j) {
  const TFpuArithRow& row = kFpuArith[op];
  if (i != 0 && j != 0) EncoderError(row.bothMessage);
  if (outOfStack(i)) EncoderError("First FPU stack operand out of bounds (0-7)");
  if (outOfStack(j)) EncoderError("Second FPU stack operand out of bounds (0-7)");
  if (i == 0) encFpuTwoBytes(a, 0xD8, static_cast<uint8_t>(row.d8Base + j));
  else encFpuTwoBytes(a, 0xDC, static_cast<uint8_t>(row.dcBase + i));
}

// DE row: st(i), st(0), then pop.
struct TFpuPopRow {
  uint8_t base;
  const char* secondMessage;
};
enum TFpuPopOp : uint8_t { fpAdd, fpMul, fpSubr, fpSub, fpDivr, fpDiv };
constexpr TFpuPopRow kFpuPop[] = {
    {0xC0, "Second operand must be the top of the FPU stack: st(0)"},
    {0xC8, "Second operand must be the top of the FPU stack: st(0)"},
    {0xE0, "Second operand must be FPU stack: st(0)"},
    {0xE8, "First or second operand must be FPU stack: st(0)"},
    {0xF0, "Second operand must be FPU stack: st(0)"},
    {0xF8, "Second operand must be the top of the FPU stack: st(0)"},
};

void encFpuPopSt(TAssembler& a, TFpuPopOp op, int32_t i, int32_t j) {
  const TFpuPopRow& row = kFpuPop[op];
  if (j != 0) EncoderError(row.secondMessage);
  if (outOfStack(i)) EncoderError("First FPU stack operand out of bounds (0-7)");
  encFpuTwoBytes(a, 0xDE, static_cast<uint8_t>(row.base + i));
}

// st(0), st(j) into EFLAGS, and the conditional moves: a P6 instruction.
struct TFpuP6Row {
  uint8_t op;
  uint8_t base;
  const char* firstMessage;
  const char* cpuMessage;
};
enum TFpuP6Op : uint8_t { f6Comi, f6Comip, f6Ucomi, f6Ucomip, f6Cmov };
constexpr TFpuP6Row kFpuP6[] = {
    {0xDB, 0xF0, "First operand must be the top of the FPU stack: st(0)",
     "fcomi instruction is only supported with cpu mode 686 and above"},
    {0xDF, 0xF0, "First operand must be the top of the FPU stack: st(0)",
     "fcomip instruction is only supported with cpu mode 686 and above"},
    {0xDB, 0xE8, "First operand must be FPU stack: st(0)",
     "fucomi instruction is only supported with cpu mode 686 and above"},
    {0xDF, 0xE8, "First operand must be FPU stack: st(0)",
     "fucomip instruction is only supported with cpu mode 686 and above"},
    {0, 0, "First operand must be the top of the FPU stack: st(0)",
     "fcmov(xx) instructions are only supported with cpu mode 686 and above"},
};

void encFpuP6St(TAssembler& a, const TFpuP6Row& row, int32_t i, int32_t j) {
  if (i != 0) EncoderError(row.firstMessage);
  if (outOfStack(j)) EncoderError("Second FPU stack operand out of bounds (0-7)");
  if (CurrentCPULevel() < 686) EncoderError(row.cpuMessage);
  encFpuTwoBytes(a, row.op, static_cast<uint8_t>(row.base + j));
}

// One stack register: esc (base + i).
struct TFpuOneRow {
  uint8_t op;
  uint8_t base;
  const char* message;
};
enum TFpuOneOp : uint8_t { f1Ld, f1St, f1Stp, f1Xch, f1Com, f1Comp, f1Ucom, f1Ucomp, f1Free };
constexpr const char* kIndexMessage = "FPU stack index must be between 0 and 7";
constexpr const char* kFirstMessage = "First FPU stack operand out of bounds (0-7)";
constexpr const char* kOperandMessage = "FPU stack operand out of bounds (0-7)";
constexpr TFpuOneRow kFpuOne[] = {
    {0xD9, 0xC0, kIndexMessage}, {0xDD, 0xD0, kIndexMessage},   {0xDD, 0xD8, kIndexMessage},
    {0xD9, 0xC8, kFirstMessage}, {0xD8, 0xD0, kOperandMessage}, {0xD8, 0xD8, kFirstMessage},
    {0xDD, 0xE0, kOperandMessage}, {0xDD, 0xE8, kOperandMessage}, {0xDD, 0xC0, kOperandMessage},
};

void encFpuOneSt(TAssembler& a, TFpuOneOp op, int32_t i) {
  const TFpuOneRow& row = kFpuOne[op];
  if (outOfStack(i)) EncoderError(row.message);
  encFpuTwoBytes(a, row.op, static_cast<uint8_t>(row.base + i));
}

// The status word into AX: [9B] DF E0.
void encFpuAx(TAssembler& a, bool wait, TRegister reg, const char* message) {
  if (reg != rdAX) EncoderError(message);
  TInstr in;
  if (wait) in.put(kWait);
  in.put(0xDF);
  in.put(0xE0);
  Emit(a, in);
}

}  // namespace

void FaddVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmAdd, 0, n, id, o); }
void FaddPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmAdd, 0, n, b, d); }
void FmulVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmMul, 0, n, id, o); }
void FmulPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmMul, 0, n, b, d); }
void FcomVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmCom, 0, n, id, o); }
void FcomPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmCom, 0, n, b, d); }
void FcompVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmComp, 0, n, id, o); }
void FcompPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmComp, 0, n, b, d); }
void FsubVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmSub, 0, n, id, o); }
void FsubPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmSub, 0, n, b, d); }
void FsubrVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmSubr, 0, n, id, o); }
void FsubrPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmSubr, 0, n, b, d); }
void FdivVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmDiv, 0, n, id, o); }
void FdivPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmDiv, 0, n, b, d); }
void FdivrVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmDivr, 0, n, id, o); }
void FdivrPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmDivr, 0, n, b, d); }
void FldVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmLd, 0, n, id, o); }
void FldPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmLd, 0, n, b, d); }
void FstVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmSt, 0, n, id, o); }
void FstPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmSt, 0, n, b, d); }
void FstpVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmStp, 0, n, id, o); }
void FstpPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmStp, 0, n, b, d); }
void FildVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmIld, 0, n, id, o); }
void FildPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmIld, 0, n, b, d); }
void FistVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmIst, 0, n, id, o); }
void FistPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmIst, 0, n, b, d); }
void FistpVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmIstp, 0, n, id, o); }
void FistpPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmIstp, 0, n, b, d); }
void FbldVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmBld, 0, n, id, o); }
void FbldPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmBld, 0, n, b, d); }
void FbstpVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmBstp, 0, n, id, o); }
void FbstpPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmBstp, 0, n, b, d); }
void FldcwVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmLdcw, 0, n, id, o); }
void FldcwPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmLdcw, 0, n, b, d); }
void FnstcwVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmNstcw, 0, n, id, o); }
void FnstcwPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmNstcw, 0, n, b, d); }
void FstcwVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmStcw, 0, n, id, o); }
void FstcwPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmStcw, 0, n, b, d); }
void FnstswVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmNstsw, 0, n, id, o); }
void FnstswPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmNstsw, 0, n, b, d); }
void FstswVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmStsw, 0, n, id, o); }
void FstswPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmStsw, 0, n, b, d); }
void FldenvVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmLdenv, 0, n, id, o); }
void FldenvPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmLdenv, 0, n, b, d); }
void FnstenvVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmNstenv, 0, n, id, o); }
void FnstenvPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmNstenv, 0, n, b, d); }
void FstenvVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmStenv, 0, n, id, o); }
void FstenvPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmStenv, 0, n, b, d); }
void FrstorVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmRstor, 0, n, id, o); }
void FrstorPtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmRstor, 0, n, b, d); }
void FnsaveVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmNsave, 0, n, id, o); }
void FnsavePtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmNsave, 0, n, b, d); }
void FsaveVar(TAssembler& a, int32_t n, uint32_t id, uint32_t o) { encFpuVar(a, fmSave, 0, n, id, o); }
void FsavePtr(TAssembler& a, int32_t n, TRegister b, int32_t d) { encFpuPtr(a, fmSave, 0, n, b, d); }

void FpuIntOpVar(TAssembler& a, uint8_t regField, int32_t size, uint32_t dataIdent, uint32_t offset) {
  encFpuVar(a, fmIntOp, regField, size, dataIdent, offset);
}
void FpuIntOpPtr(TAssembler& a, uint8_t regField, int32_t size, TRegister base, int32_t disp) {
  encFpuPtr(a, fmIntOp, regField, size, base, disp);
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

void FcomiSt(TAssembler& a, int32_t i, int32_t j) { encFpuP6St(a, kFpuP6[f6Comi], i, j); }
void FcomipSt(TAssembler& a, int32_t i, int32_t j) { encFpuP6St(a, kFpuP6[f6Comip], i, j); }
void FucomiSt(TAssembler& a, int32_t i, int32_t j) { encFpuP6St(a, kFpuP6[f6Ucomi], i, j); }
void FucomipSt(TAssembler& a, int32_t i, int32_t j) { encFpuP6St(a, kFpuP6[f6Ucomip], i, j); }
void FcmovSt(TAssembler& a, uint8_t op1, uint8_t op2, int32_t i, int32_t j) {
  TFpuP6Row row = kFpuP6[f6Cmov];
  row.op = op1;
  row.base = op2;
  encFpuP6St(a, row, i, j);
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
  encFpuAx(a, false, reg, "fnstsw will only accept \"ax\" register or a memory location");
}
void FstswAx(TAssembler& a, TRegister reg) {
  encFpuAx(a, true, reg, "fstsw will only accept \"ax\" register or a memory location");
}

}  // namespace kelvo
