// Operand statements compiled to code, checked against the same instructions assembled by GNU
// as; and every operand mistake with its message.
#include "listing_compare.h"

namespace kelvo::testing {
namespace {

const std::string kHead = "program win32cui 'T'\n";
// a at [ebp+8], b [ebp+12], q [ebp+16], w [ebp+24], d [ebp+28]
const std::string kParams = "(int32 a; byte b; qword q; word w; int32 d)";

class OperandStatements : public ListingFixture {
 protected:
  void expectCode(const std::string& declarations, const std::string& statements, const std::string& listing) {
    expectBody(declarations, kParams, statements, listing, "ret 24");
  }
};

TEST_F(OperandStatements, Registers) {
  expectCode("",
             "eax = 0; ecx = 5; edx = ecx; ebx = -3; ax = cx; eax++; ecx--; eax >> 2; edx << 0x1;\n"
             "eax += 7; eax -= ecx; eax += a; ecx -= [ebx+8]; eax = or; ecx = xor; esi = @a; dh = bl",
             "xor eax, eax\nmov ecx, 5\nmov edx, ecx\nmov ebx, -3\nmov ax, cx\ninc eax\ndec ecx\n"
             "shr eax, 2\nshl edx, 1\nadd eax, 7\nsub eax, ecx\nadd eax, [ebp+8]\nsub ecx, [ebx+8]\n"
             "or eax, eax\nxor ecx, ecx\nlea esi, [ebp+8]\nmov dh, bl");
}

TEST_F(OperandStatements, NarrowItemsIntoRegistersAreWidened) {
  expectCode("", "eax = b; ecx = w; al = b; edx = q",
             "movzx eax, byte ptr [ebp+12]\nmovzx ecx, word ptr [ebp+24]\nmov al, [ebp+12]\n"
             "mov edx, [ebp+16]");
}

// An untyped memory operand is a dword: a byte item arrives widened to all four bytes.
TEST_F(OperandStatements, MemoryOperandsKeepIndexScaleAndDisplacement) {
  expectCode("",
             "[eax+ebx*4+8] = a; [esi-4] = ecx; byte[edi+ecx*2] = 7; [eax] = 5; ecx = [eax+ebx*4+8];\n"
             "word[eax+esi*8-6] = w; [ecx*4+12] = b; [edx] = -1",
             "push dword ptr [ebp+8]\npop dword ptr [eax+ebx*4+8]\nmov [esi-4], ecx\n"
             "mov byte ptr [edi+ecx*2], 7\nmov dword ptr [eax], 5\nmov ecx, [eax+ebx*4+8]\n"
             "push word ptr [ebp+24]\npop word ptr [eax+esi*8-6]\n"
             "push eax\nmovzx eax, byte ptr [ebp+12]\nmov [ecx*4+12], eax\npop eax\n"
             "mov dword ptr [edx], -1");
}

// Copies move exactly the destination's bytes: nothing past a small item, nothing left pushed.
TEST_F(OperandStatements, LocalsAndParameters) {
  expectCode("",
             "a = d; a = b; b = a; q = q; w = w; a++; b--; w++; a = 5; w = 7; q = 4294967298; a = -5;\n"
             "a = ecx; w = cx; b = dl; q = a",
             "push dword ptr [ebp+28]\npop dword ptr [ebp+8]\n"
             "push eax\nmovzx eax, byte ptr [ebp+12]\nmov [ebp+8], eax\npop eax\n"
             "push eax\nmov eax, [ebp+8]\nmov [ebp+12], al\npop eax\n"
             "push dword ptr [ebp+16]\npop dword ptr [ebp+16]\npush dword ptr [ebp+20]\npop dword ptr [ebp+20]\n"
             "push word ptr [ebp+24]\npop word ptr [ebp+24]\n"
             "inc dword ptr [ebp+8]\ndec byte ptr [ebp+12]\ninc word ptr [ebp+24]\n"
             "mov dword ptr [ebp+8], 5\nmov word ptr [ebp+24], 7\n"
             "mov dword ptr [ebp+16], 2\nmov dword ptr [ebp+20], 1\nmov dword ptr [ebp+8], -5\n"
             "mov [ebp+8], ecx\nmov [ebp+24], cx\nmov [ebp+12], dl\n"
             "push eax\nmov eax, [ebp+8]\nmov [ebp+16], eax\nsar eax, 31\nmov [ebp+20], eax\npop eax");
}

TEST_F(OperandStatements, FloatsAndFunctionResults) {
  expectCode("function f() { eax = 3; }\n", "a = 1.5; q = -2.0; d = f(); b = f(); w = f()",
             "mov dword ptr [ebp+8], 0x3fc00000\n"
             "mov dword ptr [ebp+16], 0\nmov dword ptr [ebp+20], 0xc0000000\n"
             "call $+5\nmov [ebp+28], eax\ncall $+5\nmov [ebp+12], al\ncall $+5\nmov [ebp+24], ax");
}

TEST_F(OperandStatements, Segments) {
  expectCode("", "es = eax; fs:48 = eax; gs:16 = cx;", "mov es, eax\nmov fs:[48], eax\nmov gs:[16], cx");
}

using BadOperands = CompileFixture;

TEST_F(BadOperands, EveryMistakeIsReportedWithItsMessage) {
  const std::string decls =
      "procedure p1(int32 x) { }\n"
      "function f1() { }\n"
      "procedure kelcall k(int32 x) { }\n"
      "procedure sb(byte x) { }\n"
      "procedure cdecl v(int32 x[]) { }\n"
      "procedure cdecl c2(int32 x, y) { }\n"
      "function* bf(): byte;\n"
      "procedure* pp();\n";
  struct Case {
    std::string statement, message;
  } cases[] = {
      {"ax = ecx", "Operands must be equal size \"ecx\""},
      {"eax += cx", "Operands must be equal size \"cx\""},
      {"eax += b", "Operands must be equal size \"b\""},
      {"b = eax", "Operands must be equal size \"eax\""},
      {"[eax] = b; a = cx", "Operands must be equal size \"cx\""},
      {"al = 'text'", "Assign const string to registers using ord(..)"},
      {"ax as int32;", "Invalid use of as with this register"},
      {"ax = bx as int32", "Invalid register usage with \"as\""},
      {"a = p1(1)", "Invalid assignment to procedure \"p1\""},
      {"q = f1()", "Operating invalid, Error 112455"},
      {"w = 1.5", "Error 2423: Unexpected float variable size"},
      {"k(b)", "Variable must be equal or above the size of the register. \"b\""},
      {"k(ax)", "Operands must be equal size \"ax\""},
      {"k(fs:48)", "10007: Invalid operand \"fs:48\" [" + opcodeToStr(24) + "]"},
      {"p1(al)", "Expected 32bit or 16bit register"},
      {"sb(1.5)", "Unknown float type"},
      {"eax() as foo;", "Unknown calling convension"},
      {"p1(1, 2)", "\"p1\" expected 1 params, receieved 2."},
      {"p1()", "\"p1\" expected 1 params, receieved 0."},
      {"k()", "\"k\" expected 1 params, receieved 0."},
      {"v()", "\"v\" expected a minimum of 1 params, receieved 0."},
      {"p1 = f1()", "p1 can not be assigned to"},
      {"pp = bf()", "Function has invalid result type \"bf\""},
      {"c2(eax, f1())", "Argument 1 \"eax\" reads a register that a nested call changes"},
      {"k(f1() )", ""},
  };
  for (const Case& c : cases) {
    const std::string error =
        compile(kHead + decls + "procedure p" + kParams + " {\n" + c.statement + ";\n}\n");
    if (c.message.empty()) {
      EXPECT_EQ(error, "") << c.statement;
    } else {
      EXPECT_NE(error.find(c.message), std::string::npos) << c.statement << " gave: " << error;
      EXPECT_EQ(error.rfind("[11,", 0), 0u) << "located: " << error;
    }
  }
}

}  // namespace
}  // namespace kelvo::testing
