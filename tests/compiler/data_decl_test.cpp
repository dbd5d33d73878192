// Data declarations, imports and exports as the compiler records them: data image bytes and
// offsets, frame offsets, the code that sets initial values, procedure and DLL lists.
#include "compile_fixture.h"

namespace kelvo::testing {
namespace {

const std::string kHead = "program win32cui 'T'\n";

class Declarations : public CompileFixture {
 protected:
  const TData& item(const std::string& name) const {
    for (const auto& d : compiler_.listData)
      if (d->dataName == name) return *d;
    throw std::runtime_error("no data item " + name);
  }
  // `n` bytes of the data image from `offset`, as hex text.
  std::string image(uint32_t offset, size_t n) const {
    return hex(compiler_.PEFile.dataMan.F_DataString.substr(offset, n));
  }
  std::string bytesOf(const std::string& name) const {
    const TData& d = item(name);
    return image(d.dataAddress, static_cast<size_t>(d.dataType->typeSize) * d.intMultiplier);
  }
};

TEST_F(Declarations, GlobalsAndTheirInitialValues) {
  ASSERT_EQ(compile(kHead +
                    "int32 negative = -5;\n"
                    "int32 open[] = [1, 2, 0x10];\n"
                    "int32 four[4] = 7;\n"
                    "int32 two[2] = [9];\n"
                    "byte buf[16];\n"
                    "word w1, w2 = 0x1234;\n"
                    "qword q = 1234605616436508552;\n"
                    "qword qh = 0xFFFFFFFF;\n"
                    "char text[6] = 'hello!';\n"
                    "dword packed = 'abcdef';\n"
                    "real4 f = 2;\n"
                    "real8 d = -1.5;\n"
                    "signed byte sb = -1, sc;\n"
                    "dword* pd;\n"),
            "");
  EXPECT_EQ(bytesOf("negative"), "FB FF FF FF");  // kept in the image like a positive number
  EXPECT_EQ(bytesOf("open"), "01 00 00 00 02 00 00 00 10 00 00 00");
  EXPECT_EQ(item("open").intMultiplier, 3u);
  EXPECT_EQ(bytesOf("four"), "07 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
  EXPECT_EQ(bytesOf("two"), "09 00 00 00 00 00 00 00");
  EXPECT_EQ(bytesOf("buf"), hex(std::string(16, '\0')));
  EXPECT_EQ(item("buf").dataMode, dmVar);
  EXPECT_EQ(bytesOf("w1"), "00 00");
  EXPECT_EQ(bytesOf("w2"), "34 12");
  EXPECT_EQ(bytesOf("q"), "88 77 66 55 44 33 22 11");
  EXPECT_EQ(bytesOf("qh"), "FF FF FF FF 00 00 00 00");  // hex digits are an unsigned 32-bit value
  EXPECT_EQ(bytesOf("text"), "68 65 6C 6C 6F 21");  // every character that fits, no room for a zero
  EXPECT_EQ(bytesOf("packed"), "61 62 63 00");
  EXPECT_EQ(bytesOf("f"), "00 00 00 40");  // 2.0 as a single
  EXPECT_EQ(bytesOf("d"), "00 00 00 00 00 00 F8 BF");
  EXPECT_TRUE(item("sb").dataSigned);
  EXPECT_TRUE(item("sc").dataSigned);  // every name of the statement takes the prefix
  EXPECT_EQ(bytesOf("sb"), "FF");
  EXPECT_EQ(item("pd").dataType, compiler_.compilerPtrType);
  ASSERT_NE(item("pd").dataPtrType, nullptr);
  EXPECT_EQ(item("pd").dataPtrType->typeName, "dword");
  // Items follow each other in the order declared.
  EXPECT_EQ(item("open").dataAddress, 4u);
  EXPECT_EQ(item("four").dataAddress, 16u);
  EXPECT_EQ(compiler_.lastDataRegistered, &item("pd"));
}

TEST_F(Declarations, LocalsOnTheFrameAndTheirInitialValues) {
  ASSERT_EQ(compile(kHead +
                    "procedure p() {\n"
                    "  int32 a, b;\n"
                    "  byte buf[16];\n"
                    "  int32 seven = 7, minus = -2;\n"
                    "  word w = 0x102;\n"
                    "  int32 r = ecx;\n"
                    "  int64 big = 4294967298;\n"
                    "}\n"),
            "");
  const TFunction& p = proc("p");
  EXPECT_EQ(item("a").dataAddress, static_cast<uint32_t>(-4));
  EXPECT_EQ(item("b").dataAddress, static_cast<uint32_t>(-8));
  EXPECT_EQ(item("buf").dataAddress, static_cast<uint32_t>(-24));
  EXPECT_EQ(item("buf").intMultiplier, 16u);
  EXPECT_EQ(item("buf").dataMode, dmLocalVar);
  EXPECT_EQ(item("big").dataAddress, static_cast<uint32_t>(-46));
  EXPECT_EQ(p.intLocalCount, 8);
  EXPECT_EQ(p.dwTotalLocalSize, 46u);
  EXPECT_TRUE(p.HasFrame());
  EXPECT_EQ(code("p"),
            "55 8B EC 83 C4 D0 "           // 46 bytes of locals, rounded up
            "C7 45 E4 07 00 00 00 "        // seven = 7
            "C7 45 E0 FE FF FF FF "        // minus = -2
            "66 C7 45 DE 02 01 "           // w = 0x102
            "89 4D DA "                    // r = ecx
            "C7 45 D2 02 00 00 00 C7 45 D6 01 00 00 00 "  // big, low dword then high
            "C9 C3");
}

TEST_F(Declarations, ConstantsAndStaticBlocks) {
  ASSERT_EQ(compile(kHead +
                    "const k = 2 + 3 * 4;\n"
                    "const ops = 0xF0 shr 4 or 0x100 and 0x10F div 3 - 1 shl 1;\n"
                    "const negative = -5;\n"
                    "const s = 'ab' + 67;\n"
                    "const s2 = s + 'd';\n"
                    "const f = 1.5;\n"
                    "const copy = k;\n"
                    "const byte raw = 0x01, 0xFF;\n"
                    "const dword raw4 = 0x11223344;\n"
                    "static blob b = 1, 300, 70000, 'hi';\n"
                    "static dword sd = 1, -1;\n"
                    "int32 usesK = k;\n"
                    "int32 usesF = f;\n"),
            "");
  EXPECT_EQ(item("k").dataAddress, 20u);  // left to right
  EXPECT_EQ(item("k").dataSubMode, smLong);
  EXPECT_EQ(item("ops").dataAddress, ((((0xF0u >> 4) | 0x100u) & 0x10Fu) / 3 - 1) << 1);
  EXPECT_EQ(item("negative").dataAddress, static_cast<uint32_t>(-5));
  EXPECT_EQ(item("s").dataSubMode, smString);
  EXPECT_EQ(item("s").strLength, 3);
  EXPECT_EQ(image(item("s").dataAddress, 4), "61 62 43 00");
  EXPECT_EQ(image(item("s2").dataAddress, 5), "61 62 43 64 00");
  EXPECT_EQ(item("f").dataSubMode, smFloat);
  EXPECT_EQ(item("f").dataValExt, 1.5L);
  EXPECT_EQ(item("copy").dataAddress, 20u);
  EXPECT_EQ(image(item("raw").dataAddress, 2), "01 FF");
  EXPECT_EQ(image(item("raw4").dataAddress, 4), "44 33 22 11");
  EXPECT_EQ(image(item("b").dataAddress, 9), "01 2C 01 70 11 01 00 68 69");
  EXPECT_EQ(image(item("sd").dataAddress, 8), "01 00 00 00 FF FF FF FF");
  EXPECT_EQ(bytesOf("usesK"), "14 00 00 00");
  EXPECT_EQ(bytesOf("usesF"), "00 00 C0 3F");  // the float converted to the item's size
}

TEST_F(Declarations, LabelsAssumeAndDrop) {
  ASSERT_EQ(compile(kHead +
                    "dword* gp;\n"
                    "procedure p(dword* pp) {\n"
                    "  nop;\n"
                    "  @here:\n"
                    "  assume esi as gp;\n"
                    "  assume edi as pp;\n"
                    "  drop gp;\n"
                    "  assume edi as nothing;\n"
                    "  jmp here;\n"
                    "}\n"),
            "");
  EXPECT_EQ(code("p"), "55 8B EC 90 8B 35 00 00 00 00 8B 7D 08 EB F5 C9 C2 04 00");
  EXPECT_FALSE(item("gp").dataUseRegister);
  const TData& pp = item("pp");
  EXPECT_FALSE(pp.dataUseRegister);
  EXPECT_EQ(pp.dataRegister, rdEDI);
}

TEST_F(Declarations, ImportsAndExports) {
  ASSERT_EQ(compile(kHead +
                    "imports ('kernel32.dll') {\n"
                    "  procedure ExitProcess(dword code); stdcall;\n"
                    "  function heap = GetProcessHeap: dword; stdcall;\n"
                    "}\n"
                    "imports ('user32.dll') {\n"
                    "  function box = ('MessageBoxA')(dword w; char* text, caption; dword kind): int32; stdcall;\n"
                    "  function printf(char* f []): int32; cdecl;\n"
                    "}\n"
                    "imports ('KERNEL32.DLL') {\n"
                    "  function GetTickCount(): dword; stdcall;\n"
                    "  procedure Sleep(dword ms = 10); stdcall;\n"
                    "}\n"
                    "procedure a() { }\n"
                    "procedure b() { }\n"
                    "procedure c() { }\n"
                    "exports a, c;\n"),
            "");
  ASSERT_EQ(compiler_.slistDLLs.size(), 2u);
  EXPECT_EQ(compiler_.slistDLLs[0], "kernel32.dll");
  EXPECT_EQ(compiler_.slistDLLs[1], "user32.dll");
  EXPECT_EQ(proc("GetTickCount").DLLIndex, 0);
  EXPECT_EQ(proc("box").DLLIndex, 1);
  EXPECT_EQ(proc("box").ImportName, "MessageBoxA");
  EXPECT_EQ(proc("heap").ImportName, "GetProcessHeap");
  EXPECT_EQ(compiler_.FindProc("getprocessheap"), compiler_.FindProc("heap"));  // both names call it
  EXPECT_EQ(compiler_.FindProc("messageboxa"), &proc("box"));
  const TFunction& box = proc("box");
  EXPECT_TRUE(box.isFunction);
  EXPECT_EQ(box.intParamCount, 4);
  EXPECT_EQ(box.dwTotalParamSize, 16u);
  ASSERT_EQ(box.paramTotal, 4u);
  EXPECT_EQ(box.paramList[1].data->dataName, "+text");
  EXPECT_EQ(box.resultType()->typeName, "int32");
  EXPECT_EQ(item("+caption").dataType, compiler_.compilerPtrType);
  EXPECT_TRUE(proc("printf").bMinParams);
  EXPECT_EQ(proc("printf").CallMethod, cmCdecl);
  EXPECT_EQ(item("+ms").defaultValue.ttype, 120);
  EXPECT_EQ(proc("ExitProcess").ImportName, "ExitProcess");
  EXPECT_TRUE(proc("a").isExported);
  EXPECT_TRUE(proc("a").Called);
  EXPECT_FALSE(proc("b").isExported);
  EXPECT_TRUE(proc("c").isExported);

  writeFile("system.kel", "procedure fromInclude() { }\n");
  ASSERT_EQ(compile(kHead +
                    "imports ('kernel32.dll') { procedure ExitProcess(dword code); stdcall; }\n"
                    "procedure a() { }\nprocedure b() { }\nexports +;\nprocedure later() { }\n"),
            "");
  EXPECT_FALSE(proc("fromInclude").isExported);  // the standard include is not the project's to offer
  EXPECT_FALSE(compiler_.listProcedures[0]->isExported);
  EXPECT_FALSE(proc("ExitProcess").isExported);  // nothing of ours to offer
  EXPECT_TRUE(proc("a").isExported);
  EXPECT_TRUE(proc("b").isExported);
  EXPECT_FALSE(proc("later").isExported);
}

// Each mistake stops the build with its located message.
TEST_F(Declarations, ReportedMistakes) {
  struct Case {
    std::string source, message;
  } cases[] = {
      {"int32 a[0];\n", "Array size is too small"},
      {"int32 a[100000000];\n", "Array size is too large"},
      {"int32 a;\nint32 a;\n", "Identifier Redeclared \"a\"."},
      {"int32 a, b, a;\n", "Identifier Redeclared \"a\"."},
      {"procedure p() { int32 x; byte x; }\n", "Identifier Redeclared \"x\"."},
      {"const k = 1;\nint32 k;\n", "Identifier Redeclared \"k\"."},
      {"procedure p() { }\nint32 p;\n", "Identifier Redeclared \"p\"."},
      {"int32 ecx;\n", "Expected identifier but found ecx"},
      {"int32 a = [1, ecx];\n", "Expected value but found ecx"},
      {"int32 a = pp;\n", "Expected constant string or "},
      {"const k = 1 + ;\n", "Expected number or hexadecimal but found ;"},
      {"const k = 1 % 2;\n", "Invalid symbol \"%\"."},
      {"const k = 1 div 0;\n", "Division by zero"},
      {"const word w = 0x1;\n", "Data must be byte or dword type"},
      {"static word w = 1;\n", "Data must be byte or dword type"},
      {"imports ('k.dll') { procedure Sleep(dword ms); }\n", "Expected "},
      {"imports ('k.dll') { procedure Sleep(dword ms); pascal; }\n", "Unknown calling method"},
      {"imports ('k.dll') { function f(int32 a []): int32; stdcall; }\n",
       "Only cdecl calling convension support uncounted arguments[]"},
      {"imports (kernel32) { }\n", "Expected constant string but found kernel32"},
      {"procedure p() { }\nimports ('k.dll') { procedure p(); stdcall; }\n", "Identifier Redeclared \"p\"."},
      {"int32 v;\nimports ('k.dll') { procedure v(); stdcall; }\n", "Identifier Redeclared \"v\"."},
      {"exports nothere;\n", "Expected procedure"},
      {"imports ('k.dll') { procedure A(); stdcall; }\nexports A;\n", "Imported procedure \"A\" can not be exported"},
      {"int32 g;\nassume ax as g;\n", "Expected 32bit register but received ax"},
      {"int32 g;\nassume eax as g;\n", "Invalid use of assume for g"},
      {"dword* g;\ndrop g;\n", "Invalid use of drop for g"},
      {"procedure p() { @l: @l: }\n", "Label Identifier Redeclared l"},
      {"procedure p() { int32 r = ax; }\n", "Operands must be equal size \"ax\""},
  };
  for (const Case& k : cases) {
    const std::string error = compile(kHead + k.source);
    EXPECT_NE(error.find(k.message), std::string::npos) << k.source << "gave: " << error;
    EXPECT_NE(error.find("]: "), std::string::npos) << "no position: " << error;
  }
}

// A local after a ret is fine once the procedure has a frame anyway: the returns match.
TEST_F(Declarations, LateLocalInAProcedureWithAFrame) {
  ASSERT_EQ(compile(kHead + "procedure p(int32 a) { ret; int32 late = 1; }\n"), "");
  EXPECT_EQ(code("p"), "55 8B EC 83 C4 FC C9 C2 04 00 C7 45 FC 01 00 00 00 C9 C2 04 00");
}

// Global code before "entry:" never runs: an initialiser compiled there is reported, one
// after it is not.
TEST_F(Declarations, InitialiserCodeBeforeEntryIsReported) {
  ASSERT_EQ(compile(kHead + "int32 g = ecx;\nentry:\nint32 h = edx;\n"), "");
  EXPECT_NE(printed_.find("Warning: Initial value of \"g\" is set by code before entry: and never runs"),
            std::string::npos) << printed_;
  EXPECT_EQ(printed_.find("\"h\""), std::string::npos) << printed_;
  EXPECT_EQ(code(""), "89 0D 00 00 00 00 89 15 00 00 00 00");
}

}  // namespace
}  // namespace kelvo::testing
