// Procedure calls in every convention, compiled and checked against GNU as listings.
#include "listing_compare.h"

namespace kelvo::testing {
namespace {

const std::string kCallees =
    "procedure s3(int32 a, b, c) { }\n"
    "procedure cdecl c3(int32 a, b, c) { }\n"
    "procedure fastcall f4(int32 a, b, c, d) { }\n"
    "procedure kelcall k3(int32 a, b, c) { }\n"
    "procedure kelcall k7(int32 a, b, c, d, e, f, g) { }\n"
    "function q(int32 a) { eax = a; }\n"
    "function cdecl cq(int32 a) { eax = a; }\n"
    "procedure wide(qword a; extended e; int32 last) { }\n"
    "procedure defaults(int32 a; int32 b = 7; int32 c = -2) { }\n"
    "procedure* fp(int32 a);\n";

class Calls : public ListingFixture {
 protected:
  // The call statements as the body of p(int32 x; qword y): x at [ebp+8], y at [ebp+12].
  void expectCode(const std::string& statements, const std::string& listing) {
    expectBody(kCallees, "(int32 x; qword y)", statements, listing, "ret 12");
  }
};

TEST_F(Calls, FourConventions) {
  expectCode("s3(1, 2, 3); c3(1, 2, 3); f4(1, 2, 3, 4); k3(1, 2, 3);",
             "push 3\npush 2\npush 1\ncall $+5\n"
             "push 3\npush 2\npush 1\ncall $+5\nadd esp, 12\n"
             "push 4\nmov ecx, 3\nmov edx, 2\nmov eax, 1\ncall $+5\n"
             "push edx\npush ecx\nmov edx, 3\nmov ecx, 2\nmov eax, 1\ncall $+5\npop ecx\npop edx");
}

// The saves stand below the stack argument, so the callee finds it at [ebp+8] and the caller
// pops its own registers back.
TEST_F(Calls, KelcallWithStackArguments) {
  expectCode("k7(1, 2, 3, 4, 5, 6, 7);",
             "push edi\npush esi\npush ebx\npush edx\npush ecx\npush 7\n"
             "mov edi, 6\nmov esi, 5\nmov ebx, 4\nmov edx, 3\nmov ecx, 2\nmov eax, 1\ncall $+5\n"
             "pop ecx\npop edx\npop ebx\npop esi\npop edi");
}

TEST_F(Calls, ArgumentKinds) {
  expectCode("s3(x, eax, -4); s3(@x, [ebx+esi*4+8], 'hi'); s3(0x10, cx, [eax]);",
             "push -4\npush eax\npush dword ptr [ebp+8]\ncall $+5\n"
             "push 0\npush dword ptr [ebx+esi*4+8]\npush ebp\nadd dword ptr [esp], 8\ncall $+5\n"
             "push dword ptr [eax]\npush ecx\npush 16\ncall $+5");
}

// A cdecl call inside the arguments removes its own arguments before its result is used.
TEST_F(Calls, NestedCalls) {
  expectCode("s3(q(1), cq(2), 3); f4(q(5), 6, cq(7), 8);",
             "push 3\npush 2\ncall $+5\nadd esp, 4\npush eax\npush 1\ncall $+5\npush eax\ncall $+5\n"
             "push 8\npush 7\ncall $+5\nadd esp, 4\npush eax\npush 5\ncall $+5\npush eax\n"
             "mov edx, 6\npop eax\npop ecx\ncall $+5");
}

// Register arguments that read registers loaded by the same call go through the stack.
TEST_F(Calls, RegisterArgumentsDoNotOverwriteEachOther) {
  expectCode("k3(ecx, eax, 3); f4(edx, 1, [eax+4], 9);",
             "push edx\npush ecx\npush eax\npush ecx\nmov edx, 3\npop eax\npop ecx\ncall $+5\npop ecx\npop edx\n"
             "push 9\npush dword ptr [eax+4]\npush edx\nmov edx, 1\npop eax\npop ecx\ncall $+5");
}

// Wide arguments: a qword takes 8 bytes, an extended 12, and a cdecl clean-up counts them.
TEST_F(Calls, WideArgumentsAndDefaults) {
  expectCode("wide(y, 1.0, 3); wide(5, -2.5, x); defaults(1); defaults(1, 2);",
             "push 3\npush 0x3fff\npush 0x80000000\npush 0\npush dword ptr [ebp+16]\npush dword ptr [ebp+12]\n"
             "call $+5\n"
             "push dword ptr [ebp+8]\npush 0xc000\npush 0xa0000000\npush 0\npush 0\npush 5\ncall $+5\n"
             "push -2\npush 7\npush 1\ncall $+5\npush -2\npush 2\npush 1\ncall $+5");
}

TEST_F(Calls, ThroughRegistersAndPointers) {
  expectCode("eax(1) as cdecl; ebx(); ecx(y, 2) as cdecl; edx(5); fp = @q; fp(4);",
             "push 1\ncall eax\nadd esp, 4\ncall ebx\n"
             "push 2\npush dword ptr [ebp+16]\npush dword ptr [ebp+12]\ncall ecx\nadd esp, 12\n"
             "push 5\ncall edx\nmov dword ptr ds:0, 0\npush 4\ncall dword ptr ds:0");
}

}  // namespace
}  // namespace kelvo::testing
