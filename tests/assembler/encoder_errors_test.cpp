// Bad operands: each encoder reports its own message through the compiler's diagnostics and
// leaves the procedure's code and fix-ups exactly as they were.
#include <gtest/gtest.h>

#include <functional>

#include "assembler/encoders.h"
#include "frontend/compiler.h"

using namespace kelvo;

namespace {

struct TBadForm {
  const char* what;
  std::function<void(TAssembler&)> encode;
  const char* message;
  int32_t cpuLevel = 386;
};

class EncoderErrors : public ::testing::Test {
 protected:
  void SetUp() override {
    compiler.Settings.writeLog = false;
    compiler.Init();
  }
  void TearDown() override { compiler.Free(); }

  // Runs one bad form; returns what went wrong, empty when the report was right.
  std::string check(const TBadForm& bad) {
    compiler.curCPUMode = bad.cpuLevel;
    TAssembler a;
    a.strCode = "\x90";
    std::string thrown;
    ::testing::internal::CaptureStdout();
    try {
      bad.encode(a);
    } catch (const ECompileError& e) {
      thrown = e.what();
    }
    const std::string printed = ::testing::internal::GetCapturedStdout();
    if (thrown != kSilentAbort) return "no silent abort (got '" + thrown + "')";
    if (printed.find(std::string("]: ") + bad.message + " in [") == std::string::npos)
      return "printed '" + printed + "'";
    if (a.strCode != "\x90" || !a.FixUps.empty()) return "code or fix-ups changed";
    return {};
  }

  TCompiler compiler;
};

const TBadForm kBadForms[] = {
    // memory operands, in the shared encoder and in every hand-coded memory form
    {"scale 3", [](TAssembler& a) { EncodeModRM(a, 2, 0, rdEAX, rdECX, 0, 3); }, "Invalid scale value"},
    {"[esp+esp]", [](TAssembler& a) { EncodeModRM(a, 2, 0, rdESP, rdESP, 0, 0); }, "Multiple base registers not allowed"},
    {"[esp*2]", [](TAssembler& a) { EncodeModRM(a, 1, 0, rdESP, rdEAX, 0, 2); }, "Invalid use of register"},
    {"[eax+esp*2]", [](TAssembler& a) { EncodeModRM(a, 2, 0, rdEAX, rdESP, 0, 2); }, "Invalid use of register"},
    {"[ax]", [](TAssembler& a) { EncodeModRM(a, 1, 0, rdAX, rdEAX, 0, 0); }, "32bit register expected"},
    {"[eax+cl*4]", [](TAssembler& a) { MovRegMem(a, 2, rdEDX, rdEAX, rdCL, 0, 4); }, "32bit register expected"},
    {"add [bx]", [](TAssembler& a) { AddRegMem(a, 1, rdEAX, rdBX, rdEAX, 4, 0); }, "32bit register expected"},
    {"call [si]", [](TAssembler& a) { CallMem(a, rdSI, 0); }, "32bit register expected"},
    {"cmp [ax], ecx", [](TAssembler& a) { CmpMemReg(a, rdAX, rdECX, 8); }, "32bit register expected"},
    {"test [al], eax", [](TAssembler& a) { TestMemReg(a, rdEAX, rdAL); }, "32bit register expected"},
    {"test [esp+esp]", [](TAssembler& a) { CmpBaseIndexImm(a, rdESP, rdESP, 1, 4); }, "Multiple base registers not allowed"},
    {"cmp dword [ax]", [](TAssembler& a) { CmpRegImm(a, rdAX, 4, 1); }, "32bit register expected"},
    {"xor [ebx+dx]", [](TAssembler& a) { XorRegMem(a, rdEAX, rdEBX, 0, rdDX); }, "32bit register expected"},
    {"xor [eax+esp*2]", [](TAssembler& a) { XorRegMem(a, rdEAX, rdEAX, 0, rdESP, 2); }, "Invalid use of register"},
    {"xor scale 5", [](TAssembler& a) { XorRegMem(a, rdEAX, rdEAX, 0, rdECX, 5); }, "Invalid scale value"},
    {"xor [esp+esp]", [](TAssembler& a) { XorRegMem(a, rdEAX, rdESP, 0, rdESP); }, "Multiple base registers not allowed"},
    // moves and arithmetic
    {"push size 3", [](TAssembler& a) { PushMem(a, 1, 3, rdEAX, rdEAX, 0, 0); }, "Error 2131221"},
    {"push byte var", [](TAssembler& a) { PushVar(a, 1, 0, 0); }, "Expected word or 2 word variable"},
    {"push byte imm", [](TAssembler& a) { PushImm(a, 1, 5, ftNone, 0); }, "Expected word or dword value"},
    {"push word fix", [](TAssembler& a) { PushImm(a, 2, 5, ftDataAddress, 0); }, "Invalid instruction"},
    {"push al", [](TAssembler& a) { PushReg(a, rdAL); }, "Expected 16 or 32bit register"},
    {"add mem size 8", [](TAssembler& a) { AddMemImm(a, 1, 8, 1, rdEAX, rdEAX, 0, 0, ftNone); }, "Error A4523324"},
    {"sub mem size 3", [](TAssembler& a) { SubMemImm(a, 1, 3, 1, rdEAX, rdEAX, 0, 0, ftNone); }, "Error 3123332"},
    {"add word mem fix", [](TAssembler& a) { AddMemImm(a, 1, 2, 1, rdEAX, rdEAX, 0, 0, ftDataAddress); },
     "Expected 32 bit ptr size"},
    {"sub byte mem fix", [](TAssembler& a) { SubMemImm(a, 1, 1, 1, rdEAX, rdEAX, 0, 0, ftDataAddress); },
     "Expected 32 bit ptr size"},
    {"add qword var fix", [](TAssembler& a) { AddVarImm(a, 8, 0, 1, 0, ftDataAddress, 1); }, "Expected 32bit variable"},
    {"sub word var fix", [](TAssembler& a) { SubVarImm(a, 2, 0, 1, 0, ftDataAddress, 1); }, "Expected 32bit variable"},
    {"sub var size 3", [](TAssembler& a) { SubVarImm(a, 3, 0, 1, 0, ftNone, 0); }, "Error 232673232"},
    {"add reg fix", [](TAssembler& a) { AddRegImm(a, rdEAX, 1, ftDataAddress); }, "Error A34256784"},
    {"sub reg fix", [](TAssembler& a) { SubRegImm(a, rdECX, 1, ftCall); }, "Error A34256784"},
    {"lea al, var", [](TAssembler& a) { LeaRegVar(a, rdAL, 0, ftNone, 0); }, "Expected 32 or 16 bit register"},
    {"lea cl, mem", [](TAssembler& a) { LeaRegMem(a, 1, rdCL, rdEAX, rdEAX, 0, 0); }, "Expected 32 or 16 bit register"},
    {"and eax, cx", [](TAssembler& a) { AndRegReg(a, rdEAX, rdCX); }, "Registers must be equal sized"},
    {"cmovz eax, bl", [](TAssembler& a) { CmovzRegReg(a, rdEAX, rdBL); }, "Operand(s) can not be byte register(s)."},
    {"cmovz al, bl", [](TAssembler& a) { CmovzRegReg(a, rdAL, rdBL); }, "Operand(s) can not be byte register(s)."},
    {"imul al", [](TAssembler& a) { ImulRegImm(a, rdAL, 3); }, "byte register can not be first operand"},
    {"mov var size 16", [](TAssembler& a) { MovVarImm(a, 16, 0, 1, 0, ftNone, 0); }, "Error 457673232"},
    {"mov qword var fix", [](TAssembler& a) { MovVarImm(a, 8, 0, 1, 0, ftDataAddress, 0); }, "Expected 32bit variable"},
    {"mov mem size 0", [](TAssembler& a) { MovMemImm(a, 1, 0, 1, rdEAX, rdEAX, 0, 0, ftNone); }, "Error 3123332"},
    {"mov word mem fix", [](TAssembler& a) { MovMemImm(a, 1, 2, 1, rdEAX, rdEAX, 0, 0, ftDataAddress); },
     "Expected 32 bit ptr size"},
    {"mov fs:[x], al", [](TAssembler& a) { MovSegMemReg(a, segFS, 0x30, rdAL); }, "Invalid operand."},
    {"mov ds, bl", [](TAssembler& a) { MovSegReg(a, segDS, rdBL); }, "Invalid operand."},
    {"mov cs, eax", [](TAssembler& a) { MovSegReg(a, segCS, rdEAX); }, "Invalid operand."},
    {"mov ax, fix", [](TAssembler& a) { MovRegImm(a, rdAX, 1, ftDataAddress); }, "Expected 32 bit register"},
    {"mov al, fix", [](TAssembler& a) { MovRegImm(a, rdAL, 1, ftDataAddress); }, "Expected 32 bit register"},
    // control transfer, stack and system
    {"jmp ax", [](TAssembler& a) { JmpReg(a, rdAX); }, "Invalid Operand"},
    {"pop cl", [](TAssembler& a) { PopReg(a, rdCL); }, "Invalid Operand, Error Code: 43263"},
    {"pop cs", [](TAssembler& a) { PopSeg(a, segCS); }, "Invalid Operand"},
    {"pop [ax]", [](TAssembler& a) { PopMem(a, rdAX, 0); }, "Expected base register"},
    {"setae dword var", [](TAssembler& a) { SetaeVar(a, 4, 0, 0); }, "Expected 1 byte variable"},
    {"setae eax", [](TAssembler& a) { SetaeReg(a, rdEAX); }, "Expected 8bit register"},
    {"bswap ax", [](TAssembler& a) { BswapReg(a, rdAX); }, "Error: 23142252"},
    {"bt al, cl", [](TAssembler& a) { BtRegReg(a, rdAL, rdCL); }, "Invalid operand - byte register"},
    {"bt on 286", [](TAssembler& a) { BtRegReg(a, rdEAX, rdECX); }, "Instruction \"BT\" is not available on current CPU mode.", 286},
    {"btc on 286", [](TAssembler& a) { BtcRegReg(a, rdAL, rdECX); }, "Instruction \"BTC\" is not available on current CPU mode.", 286},
    {"btr on 286", [](TAssembler& a) { BtrRegReg(a, rdEAX, rdECX); }, "Instruction \"BTR\" is not available on current CPU mode.", 286},
    {"bts on 286", [](TAssembler& a) { BtsRegReg(a, rdEAX, rdECX); }, "Instruction \"BTS\" is not available on current CPU mode.", 286},
    {"sldt eax", [](TAssembler& a) { SldtReg(a, rdEAX); }, "Invalid operand - 32bit register"},
    {"verr al", [](TAssembler& a) { VerrReg(a, rdAL); }, "Invalid operand - 8bit register"},
    {"sldt on 186", [](TAssembler& a) { SldtReg(a, rdAX); }, "Instruction \"SLDT\" is not available on current CPU mode.", 186},
    {"verr on 186", [](TAssembler& a) { VerrReg(a, rdEAX); }, "Instruction \"VERR\" is not available on current CPU mode.", 186},
    {"verw on 186", [](TAssembler& a) { VerwReg(a, rdAX); }, "Instruction \"VERW\" is not available on current CPU mode.", 186},
    {"lar al, cl", [](TAssembler& a) { LarRegReg(a, rdAL, rdCL); }, "Invalid operand - 8bit register"},
    {"in bl", [](TAssembler& a) { InAccImm(a, rdBL, 1); }, "Invalid operand - expected accumulator"},
    {"out ecx", [](TAssembler& a) { OutImmAcc(a, 1, rdECX); }, "Invalid operand - expected accumulator"},
    // compare, logic, inc/dec, xchg, movzx
    {"cmp [ax], imm", [](TAssembler& a) { CmpMemImm(a, 4, rdAX, 1, 0); }, "Invalid operation"},
    {"cmp mem size 8", [](TAssembler& a) { CmpMemImm(a, 8, rdEAX, 1, 0); }, "Error: 5232453"},
    {"cmp var size 3", [](TAssembler& a) { CmpVarImm(a, 3, 0, 0, 1); }, "Invalid variable size for comparison"},
    {"cmp local size 8", [](TAssembler& a) { CmpLocalImm(a, 8, -4, 1); }, "Invalid operand size"},
    {"cmp [reg] kind 3", [](TAssembler& a) { CmpRegImm(a, rdEAX, 3, 1); }, "Invalid operand size"},
    {"cmp base+index size 0", [](TAssembler& a) { CmpBaseIndexImm(a, rdEAX, rdECX, 1, 0); }, "Invalid operand size"},
    {"inc local size 8", [](TAssembler& a) { IncLocal(a, 8, -4); }, "Invalid operand size"},
    {"dec var size 3", [](TAssembler& a) { DecVar(a, 3, 0, 0); }, "Invalid operand size"},
    {"movzx al", [](TAssembler& a) { MovzxRegVar(a, rdAL, 0, 0, 8); }, "Invalid operand size"},
    {"movzx ax, word", [](TAssembler& a) { MovzxRegVar(a, rdAX, 0, 0, 16); }, "Invalid operand size"},
    {"xchg cx, dx", [](TAssembler& a) { XchgRegReg(a, rdCX, rdDX); }, "Not Supported - Please notify the developers"},
    {"xchg eax, cx", [](TAssembler& a) { XchgRegReg(a, rdEAX, rdCX); }, "Not Supported - Please notify the developers"},
    {"xchg bl, eax", [](TAssembler& a) { XchgRegReg(a, rdBL, rdEAX); }, "Not Supported - Please notify the developers"},
};

}  // namespace

TEST_F(EncoderErrors, EveryBadFormReportsItsMessageAndEmitsNothing) {
  for (const TBadForm& bad : kBadForms) EXPECT_EQ(check(bad), "") << bad.what;
}

// The levels are lower bounds: the instruction is there from its own processor on.
TEST_F(EncoderErrors, ProcessorLevelsAdmitTheirOwnInstructions) {
  TAssembler a;
  compiler.curCPUMode = 286;
  SldtReg(a, rdAX);
  compiler.curCPUMode = 386;
  BtsRegReg(a, rdEAX, rdECX);
  EXPECT_EQ(a.strCode, std::string("\x0F\x00\xC0\x0F\xAB\xC8", 6));
}
