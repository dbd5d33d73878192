// Directives and macros as the code they leave: repeated and chosen text, switches that change
// later code, and deep or long runs of branches.
#include "compile_fixture.h"

namespace kelvo::testing {
namespace {

const std::string kHead = "program win32cui 'T'\n";

class Directives : public CompileFixture {
 protected:
  // The global code of a program whose entry follows the head at once.
  std::string entryCode(const std::string& body) {
    const std::string error = compile(kHead + "entry:\n" + body);
    return error.empty() ? code("") : "error: " + error;
  }
};

TEST_F(Directives, RepeatAndChosenBranchesLeaveTheirCode) {
  EXPECT_EQ(entryCode("#repeat 3:\n nop\n#end\nint 3\n"), "90 90 90 CC");
  EXPECT_EQ(entryCode("#repeat 1:\n nop\n#end\nint 3\n"), "90 CC");
  EXPECT_EQ(entryCode("#repeat 0:\n nop\n#end\nint 3\n"), "90 CC");  // at least once
  // A branch taken three times of five; the code after each "#end" once, in order.
  EXPECT_EQ(entryCode("$i = 0;\n#repeat 5:\n  #if $i < 3:\n    inc eax\n  #end\n  $i++;\n  nop\n#end\nint 3\n"),
            "40 90 40 90 40 90 90 90 CC");
  // Nested conditions, every comparison, and the chain's later branches skipped.
  EXPECT_EQ(entryCode("#if 3 < 10:\n #if 10 > 3:\n  #if 5 => 5:\n   #if 4 <= 4:\n    inc eax\n"
                      "   #end\n  #end\n #end\n#elseif 1 == 1:\n inc ecx\n#else\n inc edx\n#end\nint 3\n"),
            "40 CC");
  EXPECT_EQ(entryCode("#if 1 == 2:\n inc eax\n#elseif 2 == 2:\n inc ecx\n#else\n inc edx\n#end\nint 3\n"),
            "41 CC");
  EXPECT_EQ(entryCode("#if a != a:\n inc eax\n#elseif 1 == 2:\n inc ecx\n#else\n inc edx\n#end\nint 3\n"),
            "42 CC");
  EXPECT_EQ(entryCode("#if 2 of 7:\n inc eax\n#end\n#if 2 of x:\n inc ecx\n#end\nint 3\n"), "40 CC");
  ASSERT_EQ(compile(kHead + "const s = 'x';\nconst n = 5;\nconst f = 1.5;\nentry:\n"
                            "#if s == const string:\n inc eax\n#end\n#if n == const:\n inc ecx\n#end\n"
                            "#if n == const string:\n inc edx\n#end\n#if 'lit' == const string:\n inc ebx\n#end\n"
                            "#if f != const:\n inc esi\n#end\n#if x == const:\n inc edi\n#end\nint 3\n"),
            "");
  EXPECT_EQ(code(""), "40 41 43 CC");
  // "#end" or "#else" in strings and comments of a skipped branch neither end nor count.
  EXPECT_EQ(entryCode("#if 1 == 2:\n // #end\n /* #else */\n #echo '#end'\n inc eax\n#end\nint 3\n"), "CC");
  // An #ifdef's "#end" inside a repeated body closes the #ifdef, not the body.
  EXPECT_EQ(entryCode("#define X;\n#repeat 2:\n #ifdef X\n  inc eax\n #end\n nop\n#end\nint 3\n"), "40 90 40 90 CC");
  EXPECT_EQ(entryCode("#repeat 2:\n #if 1 == 2:\n  inc eax\n #else\n  inc ecx\n #end\n nop\n#end\nint 3\n"),
            "41 90 41 90 CC");
}

TEST_F(Directives, DefinesChooseText) {
  EXPECT_EQ(entryCode("#define X;\n#ifdef X\n inc eax\n#else\n inc ecx\n#end\n"
                      "#ifndef X\n inc edx\n#end\n#undef X;\n#ifndef x\n inc ebx\n#end\nint 3\n"),
            "40 41 43 CC");
  // A skipped part has no effect: no definition, no message, no expansion.
  EXPECT_EQ(entryCode("#ifdef NOPE\n #define Y;\n #raise 'never'\n#end\n#ifdef Y\n inc eax\n#end\nint 3\n"), "CC");
  EXPECT_EQ(entryCode("#sse off;\n#ifdef assembler_SSE_ON\n inc eax\n#end\n#ifdef assembler_MMX_ON\n inc ecx\n#end\n"
                      "#mmx off;\n#mmx on;\n#ifdef assembler_MMX_ON\n inc edx\n#end\nint 3\n"),
            "41 42 CC");
  EXPECT_EQ(entryCode("#require 'APPTYPE_WIN32CUI';\nmov eax, defined(assembler_SSE_ON)\n"), "B8 01 00 00 00");
  // Compile-time functions inside expressions and conditions.
  ASSERT_EQ(compile(kHead + "#define X;\n$a = sizeof eax + ord('A') + high(byte) + defined(X) - low(byte);\n"
                            "entry:\nmov eax, $a\n#if defined(X) == 1:\n mov ecx, sizeof word\n#end\n"),
            "");
  EXPECT_EQ(code(""), "B8 61 01 00 00 B9 02 00 00 00");
}

TEST_F(Directives, SwitchesChangeLaterCode) {
  ASSERT_EQ(compile(kHead + "procedure a(int32 x) { }\n#cpu 686;\nprocedure b(int32 x) { }\n"
                            "#locals esi;\nprocedure c(int32 x) { mov eax, x }\n#locals ebp;\n"
                            "#callconv cdecl;\nprocedure d(int32 x) { }\nentry:\n"),
            "");
  EXPECT_EQ(code("a"), "55 8B EC C9 C2 04 00");
  EXPECT_EQ(code("b"), "55 8B EC 8B E5 5D C2 04 00");
  EXPECT_EQ(code("c"), "56 8B F4 8B 46 08 8B E6 5E C2 04 00");  // framed, read and unwound on ESI
  EXPECT_EQ(proc("d").CallMethod, cmCdecl);
  EXPECT_EQ(entryCode("mov ax, 1\n#bits 16;\nmov ax, 1\n"), "66 B8 01 00 B8 01 00");
  ASSERT_EQ(compile(kHead + "#mode mean;\nk = 2 + 3;\nentry:\nmov eax, k\n"), "");
  EXPECT_EQ(code(""), "B8 05 00 00 00");
}

// Parameter and argument lists have no fixed length.
TEST_F(Directives, MacrosWithSeventyParameters) {
  std::string params, args, body;
  for (int i = 0; i < 70; ++i) {
    params += (i ? ", p" : "p") + std::to_string(i);
    args += (i ? ", " : "") + std::to_string(i);
  }
  ASSERT_EQ(compile(kHead + "inline procedure m(" + params + ") {\n mov eax, $p69\n mov ecx, $arg[66]\n"
                            " mov edx, $argc\n}\nentry:\nm(" + args + ");\n"),
            "");
  EXPECT_EQ(code(""), "B8 45 00 00 00 B9 42 00 00 00 BA 46 00 00 00");
}

TEST_F(Directives, ThousandsOfBranchesDoNotNest) {
  std::string body;
  for (int i = 0; i < 10000; ++i) body += "#if 1 == 1:\n nop\n#end\n";
  const std::string code = entryCode(body);
  EXPECT_EQ(code.size(), 10000u * 3 - 1);
}

TEST_F(Directives, BranchesInMacrosAndIncludedFiles) {
  writeFile("part.kel", "#if 1 == 1:\n inc ecx\n#end\n#exit\n inc edx\n");
  EXPECT_EQ(entryCode("#include 'part.kel'\n#include 'part.kel'\n#reinclude 'part.kel'\nint 3\n"), "41 41 CC");
  ASSERT_EQ(compile(kHead + "inline procedure m(n) {\n #if $n == 1:\n  inc eax\n #else\n  inc ecx\n #end\n}\n"
                            "entry:\nm(1);\nm(2);\nm(1);\nint 3\n"),
            "");
  EXPECT_EQ(code(""), "40 41 40 CC");
  // A constant declared in a function macro expanded while an operand is read, and one whose
  // value starts with such a macro: each is read once, where it stands.
  ASSERT_EQ(compile(kHead + "inline function five() {\n const q = 2 + 3;\n #return q\n}\n"
                            "inline function seven() {\n inc edx\n #return 7\n}\n"
                            "entry:\nmov eax, five()\nconst k = seven() * 2;\nmov ecx, k\n"),
            "");
  EXPECT_EQ(code(""), "B8 05 00 00 00 42 B9 0E 00 00 00");
}

}  // namespace
}  // namespace kelvo::testing
