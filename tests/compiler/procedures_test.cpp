#include "compile_fixture.h"

namespace kelvo::testing {

using Procedures = CompileFixture;

static const std::string kHead = "program win32cui 'T'\n";

// Procedures are laid out as their body ends: a frame that nothing uses goes away.
TEST_F(Procedures, EmptyProcedureHasPrologueAndPlainReturn) {
  ASSERT_EQ(compile(kHead + "procedure p() { }\n"), "");
  EXPECT_EQ(code("p"), "C3");
  EXPECT_EQ(proc("p").localFixupOffset, 4u);
  EXPECT_EQ(proc("p").dwTotalParamSize, 0u);
  EXPECT_EQ(proc("p").CallMethod, cmStdcall);
}

TEST_F(Procedures, StackParametersAndReturnByConvention) {
  ASSERT_EQ(compile(kHead +
                    "procedure s(int32 a, b) { }\n"
                    "procedure cdecl c(int32 a) { }\n"
                    "procedure q(qword big; int32 after) { }\n"),
            "");
  // Below the 486 the frame is undone with LEAVE.
  EXPECT_EQ(code("s"), "55 8B EC C9 C2 08 00");
  EXPECT_EQ(code("c"), "55 8B EC C9 C3");
  const auto& data = compiler_.listData;
  auto param = [&](const std::string& name, int nth = 0) -> const TData& {
    for (const auto& d : data)
      if (d->dataName == name && nth-- == 0) return *d;
    throw std::runtime_error("no parameter " + name);
  };
  EXPECT_EQ(param("a").dataAddress, 8u);
  EXPECT_EQ(param("b").dataAddress, 12u);
  EXPECT_EQ(param("big").dataAddress, 8u);  // the first byte of the wide argument
  EXPECT_EQ(param("after").dataAddress, 16u);
  EXPECT_EQ(proc("q").dwTotalParamSize, 12u);
}

TEST_F(Procedures, RegisterConventions) {
  ASSERT_EQ(compile(kHead +
                    "procedure kelcall k(int32 a, b, c, d, e, f, g) { }\n"
                    "procedure fastcall f2(int32 a, b) { }\n"),
            "");
  const TFunction& k = proc("k");
  EXPECT_EQ(k.intRegParamCount, 6);
  EXPECT_EQ(k.intParamCount, 1);
  EXPECT_EQ(k.dwTotalParamSize, 4u);
  const TRegister expected[] = {rdEAX, rdECX, rdEDX, rdEBX, rdESI, rdEDI};
  int i = 0;
  for (const auto& d : compiler_.listData) {
    if (d->dataMode != dmLocalParam || i >= 7) continue;
    if (i < 6) {
      EXPECT_TRUE(d->dataIsRegister) << d->dataName;
      EXPECT_EQ(d->dataRegister, expected[i]) << d->dataName;
    } else {
      EXPECT_EQ(d->dataAddress, 8u);
    }
    ++i;
  }
  EXPECT_EQ(proc("f2").intRegParamCount, 2);
  EXPECT_EQ(proc("f2").intParamCount, 0);
}

TEST_F(Procedures, UncountedArguments) {
  EXPECT_EQ(compile(kHead + "procedure cdecl v(int32 a[]) { }\n"), "");
  EXPECT_TRUE(proc("v").bMinParams);
}

TEST_F(Procedures, OperandlessInstructionsAndLabels) {
  ASSERT_EQ(compile(kHead + "procedure p() { top: nop;; cdq\n lodsw fldpi jmp top }\n"), "");
  EXPECT_EQ(code("p"), "90 99 66 AD D9 EB EB F8 C3");
  EXPECT_TRUE(proc("p").jmpLabels.empty()) << "labels kept after their jumps were written";
}

// The w and d forms carry 66 where their operand size is not the code's: iretd is CF in
// 32-bit code (66 CF is the 16-bit return from an interrupt).
TEST_F(Procedures, WordAndDwordFormsFollowTheBitMode) {
  const std::string body = "{ iretd iret cwde cbw pushad pusha popfd popf lodsd lodsw }\n";
  ASSERT_EQ(compile(kHead + "procedure p() " + body + "#bits 16;\nprocedure q() " + body), "");
  EXPECT_EQ(code("p"), "CF CF 98 66 98 60 60 9D 9D AD 66 AD C3");
  EXPECT_EQ(code("q"), "66 CF CF 66 98 98 66 60 60 66 9D 9D 66 AD AD C3");
}

// A procedure declared in 16-bit code keeps a dword frame (66 55 / 66 8B EC), reserves its
// locals with ADD SP, finds its parameters behind a 2-byte return address, leaves without
// LEAVE (which pops a word there) and returns with the 16-bit RET n.
TEST_F(Procedures, SixteenBitFramesAndParameters) {
  ASSERT_EQ(compile(kHead + "#bits 16;\nprocedure r(dword x) { dword t = 0; mov eax, x }\n"), "");
  EXPECT_EQ(code("r"),
            "66 55 66 8B EC 83 C4 FC 67 66 C7 45 FC 00 00 00 00 67 66 8B 45 06 66 8B E5 66 5D C2 04 00");
}

using CompileDriver = CompileFixture;

TEST_F(CompileDriver, ProgramKinds) {
  struct Case {
    std::string word;
    TPECOFFType kind;
    uint16_t subsystem;
  } cases[] = {
      {"win32cui", petEXE, 3}, {"win32gui", petEXE, 3},   {"WIN32GUI", petEXE, 2},
      {"win32dll", petDLL, 2}, {"mscoff", petCOFF, 0}, {"bootloader", petBOOTLOADER, 0},
  };
  for (const Case& c : cases) {
    const std::string entry = c.kind == petDLL ? "entry procedure e() { }\n" : "";
    ASSERT_EQ(compile("program " + c.word + " 'Title'\n" + entry), "") << c.word;
    EXPECT_EQ(compiler_.PEFile.F_FileType, c.kind) << c.word;
    EXPECT_EQ(appSubSystem, c.subsystem) << c.word;
    EXPECT_EQ(compiler_.PEFile.F_AppTitle, "Title");
    const std::vector<std::string> d = compiler_.listDefines.names();
    EXPECT_NE(std::find(d.begin(), d.end(), "APPTYPE_" + c.word), d.end());
    EXPECT_NE(std::find(d.begin(), d.end(), "Title"), d.end());
  }
  EXPECT_NE(compile("program win32exe 'T'\n").find("Expected sub system but found win32exe"), std::string::npos);
}

TEST_F(CompileDriver, DllEntryProcedureIsCalled) {
  EXPECT_NE(compile("program win32dll 'T'\n").find("DLL projects require an entry function"), std::string::npos);
  ASSERT_EQ(compile("program win32dll 'T'\nentry procedure start() { }\n"), "");
  EXPECT_EQ(compiler_.PEFile.F_entryFuncID, proc("start").FuncIndex);
  EXPECT_TRUE(proc("start").Called);
}

// A procedure is laid out when its body ends, but a jump it cannot resolve waits for the link
// step, which reports it only when the program can reach the procedure.
TEST_F(Procedures, AProcedureWithAJumpToNowhereIsLeftForTheLinkStep) {
  EXPECT_EQ(compile(kHead + "procedure p() { jmp nowhere; }\nprocedure q() { jecxz far; nop; far: }\n"), "");
  EXPECT_FALSE(proc("p").isLaidOut);
  EXPECT_EQ(code("q"), "E3 01 90 C3");
}

}  // namespace kelvo::testing
