// The MMX and SSE encoders with their instruction set switched off, MOVD's register check, and
// the mnemonic table the statements dispatch through. The bytes of every form are compared
// with GNU as end to end (tests/compiler/test_simd_forms.py).
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "assembler/encoder_host.h"
#include "assembler/encoders_simd.h"
#include "compiler/simd_statements.h"
#include "frontend/compiler.h"
#include "frontend/token_codes.h"
#include "frontend/token_table.h"

using namespace kelvo;

namespace {

constexpr const char* kMmxOff = "MMX instruction set is disabled, please use \"#mmx on\" to enable.";
constexpr const char* kSseOff = "SSE instruction set is disabled, please use \"#sse on\" to enable.";
constexpr TFormId kAddps = fmAddps;
constexpr TFormId kPaddd = fmPaddd;

struct TRefusedForm {
  const char* what;
  std::function<void(TAssembler&)> encode;
  const char* message;
};

class SimdEncoders : public ::testing::Test {
 protected:
  void SetUp() override {
    compiler.Settings.writeLog = false;
    compiler.Init();
  }
  void TearDown() override { compiler.Free(); }

  // Runs one refused form; returns what went wrong, empty when the report was right and the
  // code and fix-ups stayed as they were.
  std::string check(const TRefusedForm& form) {
    TAssembler a;
    a.strCode = "\x90";
    std::string thrown;
    ::testing::internal::CaptureStdout();
    try {
      form.encode(a);
    } catch (const ECompileError& e) {
      thrown = e.what();
    }
    const std::string printed = ::testing::internal::GetCapturedStdout();
    if (thrown != kSilentAbort) return "no silent abort (got '" + thrown + "')";
    if (printed.find(std::string("]: ") + form.message + " in [") == std::string::npos)
      return "printed '" + printed + "'";
    if (a.strCode != "\x90" || !a.FixUps.empty()) return "code or fix-ups changed";
    return {};
  }

  TCompiler compiler;
};

const TRefusedForm kMmxForms[] = {
    {"paddd mm1, mm2", [](TAssembler& a) { MmxRegReg(a, kPaddd, 1, 2); }, kMmxOff},
    {"paddd mm1, [eax]", [](TAssembler& a) { MmxRegMem(a, kPaddd, 1, 1, rdEAX, rdEAX, 0, 0); }, kMmxOff},
    {"paddd mm1, var", [](TAssembler& a) { MmxRegVar(a, kPaddd, 1, 3, 0); }, kMmxOff},
    {"movq mm1, mm2", [](TAssembler& a) { MovqRegReg(a, 1, 2); }, kMmxOff},
    {"movq mm1, [eax]", [](TAssembler& a) { MovqRegMem(a, 1, 1, rdEAX, rdEAX, 0, 0); }, kMmxOff},
    {"movq [eax], mm1", [](TAssembler& a) { MovqMemReg(a, 1, 1, rdEAX, rdEAX, 0, 0); }, kMmxOff},
    {"movq mm1, var", [](TAssembler& a) { MovqRegVar(a, 1, 3, 0); }, kMmxOff},
    {"movq var, mm1", [](TAssembler& a) { MovqVarReg(a, 1, 3, 0); }, kMmxOff},
    {"movd mm1, ecx", [](TAssembler& a) { MovdMmxReg32(a, 1, rdECX); }, kMmxOff},
    {"movd ecx, mm1", [](TAssembler& a) { MovdReg32Mmx(a, rdECX, 1); }, kMmxOff},
    {"movd mm1, [eax]", [](TAssembler& a) { MovdRegMem(a, 1, 1, rdEAX, rdEAX, 0, 0); }, kMmxOff},
    {"movd [eax], mm1", [](TAssembler& a) { MovdMemReg(a, 1, 1, rdEAX, rdEAX, 0, 0); }, kMmxOff},
    {"movd mm1, var", [](TAssembler& a) { MovdRegVar(a, 1, 3, 0); }, kMmxOff},
    {"movd var, mm1", [](TAssembler& a) { MovdVarReg(a, 1, 3, 0); }, kMmxOff},
};

const TRefusedForm kSseForms[] = {
    {"sfence", [](TAssembler& a) { Sfence(a); }, kSseOff},
    {"addps xmm1, xmm2", [](TAssembler& a) { SseRegReg(a, kAddps, 1, 2); }, kSseOff},
    {"addps xmm1, [eax]", [](TAssembler& a) { SseRegMem(a, kAddps, 1, 1, rdEAX, rdEAX, 0, 0); }, kSseOff},
    {"movups [eax], xmm1", [](TAssembler& a) { SseMemReg(a, fmMovupsStore, 1, 1, rdEAX, rdEAX, 0, 0); }, kSseOff},
    {"addps xmm1, var", [](TAssembler& a) { SseRegVar(a, kAddps, 1, 3, 0); }, kSseOff},
    {"movntq var, mm1", [](TAssembler& a) { SseVarReg(a, fmMovntq, 1, 3, 0); }, kSseOff},
};

TEST_F(SimdEncoders, EachFormIsRefusedWhileItsSwitchIsOffAndOnlyThen) {
  compiler.Settings.MMX_is = false;
  for (const TRefusedForm& form : kMmxForms) EXPECT_EQ(check(form), "") << form.what;
  TAssembler a;
  SseRegReg(a, kAddps, 1, 2);  // the other switch stays on
  EXPECT_EQ(a.strCode, "\x0F\x58\xCA");
  compiler.Settings.MMX_is = true;
  compiler.Settings.SSE_is = false;
  for (const TRefusedForm& form : kSseForms) EXPECT_EQ(check(form), "") << form.what;
  MovdMmxReg32(a, 1, rdECX);
  EXPECT_EQ(a.strCode, "\x0F\x58\xCA\x0F\x6E\xC9");
}

TEST_F(SimdEncoders, MovdTakesOnlyA32BitGeneralRegister) {
  const TRefusedForm forms[] = {
      {"movd mm1, ax", [](TAssembler& a) { MovdMmxReg32(a, 1, rdAX); }, "MOVD: Register must be 32bit"},
      {"movd bl, mm1", [](TAssembler& a) { MovdReg32Mmx(a, rdBL, 1); }, "MOVD: Register must be 32bit"},
  };
  for (const TRefusedForm& form : forms) EXPECT_EQ(check(form), "") << form.what;
}

TEST_F(SimdEncoders, VariableFormsPutTheirFixUpOnTheZeroAddress) {
  TAssembler a;
  SseRegVar(a, fmAddss, 3, 7, 12);  // addss xmm3, item+12
  MmxRegVar(a, kPaddd, 2, 8, 0);
  EXPECT_EQ(a.strCode, std::string("\xF3\x0F\x58\x1D\0\0\0\0\x0F\xFE\x15\0\0\0\0", 15));
  ASSERT_EQ(a.FixUps.size(), 2u);
  EXPECT_EQ(a.FixUps[0].fixAddr, 4u);
  EXPECT_EQ(a.FixUps[0].fixIndex, 7u);
  EXPECT_EQ(a.FixUps[0].fixOffset, 12u);
  EXPECT_EQ(a.FixUps[0].fixType, ftDataAddress);
  EXPECT_EQ(a.FixUps[1].fixAddr, 11u);
  EXPECT_EQ(a.FixUps[1].fixSize, 32);
}

// The switches reach the encoder through its host; the encoder on its own has both on.
TEST(SimdSwitches, ComeFromTheHostAndAreOnWithoutOne) {
  bool mmx = true, sse = false;
  int token = 0;
  SetEncoderHost({[](void*, const char* message) { throw std::string(message); }, &token, nullptr, &mmx, &sse});
  TAssembler a;
  MmxRegReg(a, kPaddd, 0, 1);
  EXPECT_THROW(Sfence(a), std::string);
  mmx = false;  // read at each instruction
  EXPECT_THROW(MmxRegReg(a, kPaddd, 0, 1), std::string);
  ClearEncoderHost(&token);
  Sfence(a);
  MmxRegReg(a, kPaddd, 0, 1);
  EXPECT_EQ(a.strCode, "\x0F\xFE\xC1\x0F\xAE\xF8\x0F\xFE\xC1");
}

// Each row is found by its mnemonic's token code: a row under another code compiles another
// instruction.
TEST(SimdStatements, EveryRowIsFoundByItsMnemonicsTokenCode) {
  for (const TSimdStatement& row : SimdStatements()) {
    const TKeyword* keyword = findKeyword(row.mnemonic);
    ASSERT_NE(keyword, nullptr) << row.mnemonic;
    EXPECT_EQ(keyword->code, row.token) << row.mnemonic;
    EXPECT_EQ(FindSimdStatement(keyword->code), &row) << row.mnemonic;
  }
  EXPECT_EQ(SimdStatements().size(), 63u);
  EXPECT_EQ(FindSimdStatement(tk::MmxRegister), nullptr);  // the register codes are no statements
  EXPECT_EQ(FindSimdStatement(tk::SseRegister), nullptr);
  EXPECT_EQ(FindSimdStatement(tk::MnPrefetchnta + 1), nullptr);
  EXPECT_EQ(FindSimdStatement(tk::MnMovd - 1), nullptr);
}

}  // namespace
