// The x87 FPU encoder operations, one per mnemonic and operand form.
//
// Forms: Var a global data item (size, data identifier, offset; ftDataAddress fix-up),
// Ptr [base + disp] (size, base, disp), St FPU stack registers by index, Ax the AX register.
// Sizes are byte counts: 2 word, 4 single/dword, 8 double/qword, 10 extended/BCD. A bad
// operand ends the build through the diagnostics before any byte is emitted. The forms are
// rows of the form table (form_rows_x87.h); forms_x87.cpp picks the row for each operand size
// and checks the operands. The operand-less x87 instructions are the block compiler's.
#pragma once

#include <cstdint>

#include "assembler/code_buffer.h"

namespace kelvo {

// --- arithmetic: memory (single or double) and two stack registers
void FaddVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset);
void FaddPtr(TAssembler& a, int32_t size, TRegister base, int32_t disp);
void FaddSt(TAssembler& a, int32_t first, int32_t second);
void FsubVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset);
void FsubPtr(TAssembler& a, int32_t size, TRegister base, int32_t disp);
void FsubSt(TAssembler& a, int32_t first, int32_t second);
void FsubrVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset);
void FsubrPtr(TAssembler& a, int32_t size, TRegister base, int32_t disp);
void FsubrSt(TAssembler& a, int32_t first, int32_t second);
void FmulVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset);
void FmulPtr(TAssembler& a, int32_t size, TRegister base, int32_t disp);
void FmulSt(TAssembler& a, int32_t first, int32_t second);
void FdivVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset);
void FdivPtr(TAssembler& a, int32_t size, TRegister base, int32_t disp);
void FdivSt(TAssembler& a, int32_t first, int32_t second);
void FdivrVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset);
void FdivrPtr(TAssembler& a, int32_t size, TRegister base, int32_t disp);
void FdivrSt(TAssembler& a, int32_t first, int32_t second);

// --- popping arithmetic: st(first) op= st(0), pop; second must be 0
void FaddpSt(TAssembler& a, int32_t first, int32_t second);
void FsubpSt(TAssembler& a, int32_t first, int32_t second);
void FsubrpSt(TAssembler& a, int32_t first, int32_t second);
void FmulpSt(TAssembler& a, int32_t first, int32_t second);
void FdivpSt(TAssembler& a, int32_t first, int32_t second);
void FdivrpSt(TAssembler& a, int32_t first, int32_t second);

// --- compares
void FcomVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset);
void FcomPtr(TAssembler& a, int32_t size, TRegister base, int32_t disp);
void FcomSt(TAssembler& a, int32_t index);
void FcompVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset);
void FcompPtr(TAssembler& a, int32_t size, TRegister base, int32_t disp);
void FcompSt(TAssembler& a, int32_t index);
void FucomSt(TAssembler& a, int32_t index);
void FucompSt(TAssembler& a, int32_t index);
// Into EFLAGS (686 and up); first must be 0.
void FcomiSt(TAssembler& a, int32_t first, int32_t second);
void FcomipSt(TAssembler& a, int32_t first, int32_t second);
void FucomiSt(TAssembler& a, int32_t first, int32_t second);
void FucomipSt(TAssembler& a, int32_t first, int32_t second);

// --- loads and stores
void FldVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset);
void FldPtr(TAssembler& a, int32_t size, TRegister base, int32_t disp);
void FldSt(TAssembler& a, int32_t index);
void FstVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset);
void FstPtr(TAssembler& a, int32_t size, TRegister base, int32_t disp);
void FstSt(TAssembler& a, int32_t index);
void FstpVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset);
void FstpPtr(TAssembler& a, int32_t size, TRegister base, int32_t disp);
void FstpSt(TAssembler& a, int32_t index);
void FildVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset);
void FildPtr(TAssembler& a, int32_t size, TRegister base, int32_t disp);
void FistVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset);
void FistPtr(TAssembler& a, int32_t size, TRegister base, int32_t disp);
void FistpVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset);
void FistpPtr(TAssembler& a, int32_t size, TRegister base, int32_t disp);
void FbldVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset);
void FbldPtr(TAssembler& a, int32_t size, TRegister base, int32_t disp);
void FbstpVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset);
void FbstpPtr(TAssembler& a, int32_t size, TRegister base, int32_t disp);
void FxchSt(TAssembler& a, int32_t index);
void FfreeSt(TAssembler& a, int32_t index);

// --- integer operands: fiadd .. fidivr by their reg field (digit * 8), word or dword
enum TFpuIntOp : uint8_t {
  fiAdd = 0x00, fiMul = 0x08, fiCom = 0x10, fiComp = 0x18,
  fiSub = 0x20, fiSubr = 0x28, fiDiv = 0x30, fiDivr = 0x38,
};
void FpuIntOpVar(TAssembler& a, uint8_t regField, int32_t size, uint32_t dataIdent, uint32_t offset);
void FpuIntOpPtr(TAssembler& a, uint8_t regField, int32_t size, TRegister base, int32_t disp);

// --- control word, status word, environment and state
void FldcwVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset);
void FldcwPtr(TAssembler& a, int32_t size, TRegister base, int32_t disp);
void FnstcwVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset);
void FnstcwPtr(TAssembler& a, int32_t size, TRegister base, int32_t disp);
void FstcwVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset);
void FstcwPtr(TAssembler& a, int32_t size, TRegister base, int32_t disp);
void FnstswVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset);
void FnstswPtr(TAssembler& a, int32_t size, TRegister base, int32_t disp);
void FnstswAx(TAssembler& a, TRegister reg);
void FstswVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset);
void FstswPtr(TAssembler& a, int32_t size, TRegister base, int32_t disp);
void FstswAx(TAssembler& a, TRegister reg);
void FldenvVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset);
void FldenvPtr(TAssembler& a, int32_t size, TRegister base, int32_t disp);
void FnstenvVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset);
void FnstenvPtr(TAssembler& a, int32_t size, TRegister base, int32_t disp);
void FstenvVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset);
void FstenvPtr(TAssembler& a, int32_t size, TRegister base, int32_t disp);
void FrstorVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset);
void FrstorPtr(TAssembler& a, int32_t size, TRegister base, int32_t disp);
void FnsaveVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset);
void FnsavePtr(TAssembler& a, int32_t size, TRegister base, int32_t disp);
void FsaveVar(TAssembler& a, int32_t size, uint32_t dataIdent, uint32_t offset);
void FsavePtr(TAssembler& a, int32_t size, TRegister base, int32_t disp);

// --- conditional moves (686 and up): the two opcode bytes of the condition, st(0) <- st(second)
struct TFcmovCode {
  uint8_t op1, op2;
};
inline constexpr TFcmovCode kFcmovB{0xDA, 0xC0}, kFcmovE{0xDA, 0xC8}, kFcmovBe{0xDA, 0xD0},
    kFcmovU{0xDA, 0xD8}, kFcmovNb{0xDB, 0xC0}, kFcmovNe{0xDB, 0xC8}, kFcmovNbe{0xDB, 0xD0},
    kFcmovNu{0xDB, 0xD8};
void FcmovSt(TAssembler& a, uint8_t op1, uint8_t op2, int32_t first, int32_t second);

}  // namespace kelvo
