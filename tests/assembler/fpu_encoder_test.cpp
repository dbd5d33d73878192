// The x87 encoder where source cannot reach it: the P6 forms at CPU level 686 (against GNU as),
// stack indices outside 0..7, the order of the checks, and where the data fix-ups land.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "assembler/fpu_encoders.h"
#include "frontend/compiler.h"
#include "tests/assembler/gnu_tools.h"

using namespace kelvo;
using kelvo::testing::hex;

namespace {

class FpuEncoder : public ::testing::Test {
 protected:
  void SetUp() override {
    compiler.Settings.writeLog = false;
    compiler.Init();
  }
  void TearDown() override { compiler.Free(); }

  // Runs one bad form; returns what went wrong, empty when the right report came and the
  // procedure's code and fix-ups were left as they were.
  std::string refuse(const std::function<void(TAssembler&)>& encode, const std::string& message, int32_t cpu) {
    compiler.curCPUMode = cpu;
    TAssembler a;
    a.strCode = "\x90";
    std::string thrown;
    ::testing::internal::CaptureStdout();
    try {
      encode(a);
    } catch (const ECompileError& e) {
      thrown = e.what();
    }
    const std::string printed = ::testing::internal::GetCapturedStdout();
    if (thrown != kSilentAbort) return "no silent abort (got '" + thrown + "')";
    if (printed.find("]: " + message + " in [") == std::string::npos) return "printed '" + printed + "'";
    if (a.strCode != "\x90" || !a.FixUps.empty()) return "code or fix-ups changed";
    return {};
  }

  TCompiler compiler;
};

struct TBad {
  const char* what;
  std::function<void(TAssembler&)> encode;
  const char* message;
  int32_t cpu = 686;
};

const char* const kTop = "First or second operand must be the top of the FPU stack: st(0)";
const char* const kFirst = "First FPU stack operand out of bounds (0-7)";
const char* const kSecond = "Second FPU stack operand out of bounds (0-7)";
const char* const kIndex = "FPU stack index must be between 0 and 7";
const char* const kOperand = "FPU stack operand out of bounds (0-7)";
const char* const kCmovCpu = "fcmov(xx) instructions are only supported with cpu mode 686 and above";

const TBad kBad[] = {
    // two indices: the both-non-zero test comes before the bounds
    {"fadd st(1), st(9)", [](TAssembler& a) { FaddSt(a, 1, 9); }, kTop},
    {"fmul st(0), st(8)", [](TAssembler& a) { FmulSt(a, 0, 8); }, kSecond},
    {"fsub st(8), st(0)", [](TAssembler& a) { FsubSt(a, 8, 0); }, kFirst},
    {"fdivr st(0), st(-1)", [](TAssembler& a) { FdivrSt(a, 0, -1); }, kSecond},
    {"faddp st(8), st(0)", [](TAssembler& a) { FaddpSt(a, 8, 0); }, kFirst},
    {"fdivp st(-1), st(0)", [](TAssembler& a) { FdivpSt(a, -1, 0); }, kFirst},
    {"fsubp st(9), st(1)", [](TAssembler& a) { FsubpSt(a, 9, 1); }, "First or second operand must be FPU stack: st(0)"},
    // one index
    {"fld st(8)", [](TAssembler& a) { FldSt(a, 8); }, kIndex},
    {"fst st(-1)", [](TAssembler& a) { FstSt(a, -1); }, kIndex},
    {"fstp st(8)", [](TAssembler& a) { FstpSt(a, 8); }, kIndex},
    {"fxch st(8)", [](TAssembler& a) { FxchSt(a, 8); }, kFirst},
    {"fcom st(8)", [](TAssembler& a) { FcomSt(a, 8); }, kOperand},
    {"fcomp st(8)", [](TAssembler& a) { FcompSt(a, 8); }, kFirst},
    {"fucom st(8)", [](TAssembler& a) { FucomSt(a, 8); }, kOperand},
    {"fucomp st(8)", [](TAssembler& a) { FucompSt(a, 8); }, kOperand},
    {"ffree st(8)", [](TAssembler& a) { FfreeSt(a, 8); }, kOperand},
    // the P6 forms: first index, then the second's bounds, then the CPU level
    {"fcomi st(1), st(9) at 386", [](TAssembler& a) { FcomiSt(a, 1, 9); },
     "First operand must be the top of the FPU stack: st(0)", 386},
    {"fucomip st(0), st(8) at 386", [](TAssembler& a) { FucomipSt(a, 0, 8); }, kSecond, 386},
    {"fcomip st(0), st(1) at 586", [](TAssembler& a) { FcomipSt(a, 0, 1); },
     "fcomip instruction is only supported with cpu mode 686 and above", 586},
    {"fcmovnbe st(0), st(8)", [](TAssembler& a) { FcmovSt(a, 0xDB, 0xD0, 0, 8); }, kSecond},
    {"fcmove st(0), st(3) at 586", [](TAssembler& a) { FcmovSt(a, 0xDA, 0xC8, 0, 3); }, kCmovCpu, 586},
    {"fcmovu st(0), st(1) at 486", [](TAssembler& a) { FcmovSt(a, 0xDA, 0xD8, 0, 1); }, kCmovCpu, 486},
    // a base that is not a 32-bit register never reaches the ModRM byte
    {"fld [ax]", [](TAssembler& a) { FldPtr(a, 8, rdAX, 0); }, "32bit register expected"},
    {"fiadd [bl]", [](TAssembler& a) { FpuIntOpPtr(a, 0, 2, rdBL, 4); }, "32bit register expected"},
    {"fstcw [cx] waits for nothing", [](TAssembler& a) { FstcwPtr(a, 2, rdCX, 0); }, "32bit register expected"},
};

TEST_F(FpuEncoder, BadOperandsAreReportedInOrderAndEmitNothing) {
  for (const TBad& bad : kBad) EXPECT_EQ(refuse(bad.encode, bad.message, bad.cpu), "") << bad.what;
}

// fst: fix-up on the third byte; fstcw: on the fourth, after 9B; fsave: 9B then the DD
// instruction with its fix-up on that instruction's third byte.
TEST_F(FpuEncoder, VariableFormsPutTheirFixUpOnTheDisplacement) {
  TAssembler a;
  a.strCode = "\x90";
  FstVar(a, 8, 7, 4);
  FstcwVar(a, 2, 8, 0);
  FsaveVar(a, 108, 9, 0);
  FpuIntOpVar(a, 0x38, 4, 10, 2);
  EXPECT_EQ(hex(a.strCode),
            "90 DD 15 00 00 00 00 9B D9 3D 00 00 00 00 9B DD 35 00 00 00 00 DA 3D 00 00 00 00");
  ASSERT_EQ(a.FixUps.size(), 4u);
  const uint32_t at[] = {3, 10, 17, 23}, index[] = {7, 8, 9, 10}, offset[] = {4, 0, 0, 2};
  for (size_t i = 0; i < 4; ++i) {
    const TFixUp& f = a.FixUps[i];
    EXPECT_EQ(f.fixType, ftDataAddress);
    EXPECT_EQ(f.fixSize, 32);
    EXPECT_EQ(f.fixAddr, at[i]);
    EXPECT_EQ(f.fixIndex, index[i]);
    EXPECT_EQ(f.fixOffset, offset[i]);
    EXPECT_EQ(f.fixJmp, 16);
  }
}

// At 686 and above the P6 forms encode as GNU as encodes them.
TEST_F(FpuEncoder, P6FormsMatchGnuAs) {
  const std::string missing = gnu::missingTools({"as", "objcopy"});
  if (!missing.empty()) GTEST_SKIP() << "GNU binutils missing: " << missing;
  struct TCmov {
    const char* name;
    uint8_t op1, op2;
  };
  const TCmov cmovs[] = {{"fcmovb", 0xDA, 0xC0},  {"fcmove", 0xDA, 0xC8},   {"fcmovbe", 0xDA, 0xD0},
                         {"fcmovu", 0xDA, 0xD8},  {"fcmovnb", 0xDB, 0xC0},  {"fcmovne", 0xDB, 0xC8},
                         {"fcmovnbe", 0xDB, 0xD0}, {"fcmovnu", 0xDB, 0xD8}};
  using TP6 = void (*)(TAssembler&, int32_t, int32_t);
  const std::pair<const char*, TP6> compares[] = {
      {"fcomi", FcomiSt}, {"fcomip", FcomipSt}, {"fucomi", FucomiSt}, {"fucomip", FucomipSt}};
  TAssembler ours;
  std::string text = ".intel_syntax noprefix\n";
  for (int level : {686, 786}) {
    compiler.curCPUMode = level;
    for (int32_t j = 0; j < 8; ++j) {
      for (const auto& [name, encode] : compares) {
        encode(ours, 0, j);
        text += std::string(name) + " st, st(" + std::to_string(j) + ")\n";
      }
      for (const TCmov& c : cmovs) {
        FcmovSt(ours, c.op1, c.op2, 0, j);
        text += std::string(c.name) + " st, st(" + std::to_string(j) + ")\n";
      }
    }
  }
  gnu::TTempDir dir;
  gnu::writeFile(dir.file("p6.s"), text);
  const gnu::TRun as = gnu::run("as --32 -o " + dir.file("p6.o") + " " + dir.file("p6.s") +
                                " && objcopy -O binary -j .text " + dir.file("p6.o") + " " + dir.file("p6.bin"));
  ASSERT_EQ(as.status, 0) << as.output;
  EXPECT_EQ(hex(ours.strCode), hex(gnu::readFile(dir.file("p6.bin"))));
  EXPECT_EQ(ours.strCode.size(), 2u * 12 * 8 * 2);
}

}  // namespace
