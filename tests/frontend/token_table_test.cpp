// The fixed words and display names, checked against a list written from the language's
// definition rather than from the table itself.
#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "frontend/token_table.h"
#include "common/definitions.h"

namespace kelvo {
namespace {

// "code word word ..." runs: consecutive codes from the first, "-" skips a code, "a|b" are
// synonyms of one code.
const char* const kRuns[] = {
    "150 entry default signed unsigned inherit global repeat until to for step downto recast enum "
    "try except finally static const type class case state program interface while break continue "
    "if elseif else uses inline block blob imports exports function procedure - as of assume drop "
    "nothing union",
    "300 f2xm1 fabs fadd faddp fbld fbstp fchs fclex fcom fcomi fcomip fcomp fcompp fcos fdecstp "
    "fdiv fdivp fdivr fdivrp ffree fiadd ficom ficomp fidiv fidivr fild fimul fincstp finit fist "
    "fistp fisub fisubr fld fld1 fldcw fldenv fldl2e fldl2t fldlg2 fldln2 fldpi fldz fmul fmulp "
    "fnclex fninit fnop fnsave fnstcw fnstenv fnstsw fpatan fprem fprem1 fptan frndint frstor fsave "
    "fscale fsin fsincos fsqrt fsp fstcw fstenv fstp fstsw fsub fsubp fsubr fsubrp ftst fucom "
    "fucomi fucomip fucomp fucompp - fxam fxch fxtract fyl2x fyl2xp1 fcmovb fcmove fcmovbe fcmovu "
    "fcmovnb fcmovne fcmovnbe fcmovnu fpush",
    "400 aaa aad aam aas adc add and - - - - bswap bt btc btr bts call cbw cwd cwde cdq clc cld cli "
    "clts cmc cmp cmpsb cmpsw cmpsd cpuid - daa das dec div emms - - femms hlt idiv imul in inc insb "
    "insw int into invd insd - iret lahf lar - lea leave",
    "465 lock lodsb lodsw lodsd", "475 mov movsb movsw movsd - movzx mul neg nop not or out outsb "
    "outsw outsd pop popa|popad popf|popfd push pusha|pushad pushf|pushfd - - rep|repe|repz "
    "repne|repnz ret|retn - rol ror sahf salc sar - scasb scasw scasd setae|setnb|setnc",
    "530 shl shr - - sldt - stc std sti stosb stosw stosd - sub test verr verw wait|fwait wbinvd "
    "xchg xlat|xlatb xor iretd jo jno jb|jc|jnae jae|jnb|jnc je|jz jne|jnz jbe|jna ja|jnbe js jns "
    "jp|jpe jnp|jpo jl|jnge jge|jnl jle|jng jg|jnle jmp|goto sal jecxz cmovz",
    "601 movd movq paddd paddb paddsb paddusb paddw paddsw paddusw psubb psubsb psubusb psubw psubsw "
    "psubd pmulhw pmullw pmaddwd pcmpeqb pcmpgtb pcmpeqw pcmpgtw pcmpeqd pcmpgtd packssdw packsswb "
    "packuswb punpckhbw punpckhdq punpckhwd punpcklbw punpckldq punpcklwd pxor por pand pandn psllw "
    "pslld psllq psrlw psrld psrlq psraw psrad",
    "651 addps addss subps subss divps divss mulps mulss movups movaps movss minps minss maxps maxss "
    "sfence movntq prefetchnta",
};

struct TWord {
  std::string word;
  uint16_t code;
};

std::vector<TWord> expectedWords() {
  std::vector<TWord> out;
  for (const char* run : kRuns) {
    std::istringstream in(run);
    unsigned code;
    in >> code;
    for (std::string item; in >> item; ++code) {
      if (item == "-") continue;
      std::istringstream synonyms(item);
      for (std::string w; std::getline(synonyms, w, '|');) out.push_back({w, static_cast<uint16_t>(code)});
    }
  }
  for (const char* w : {"mscoff", "win32gui", "win32cui", "win32dll", "bootloader"}) out.push_back({w, 17});
  for (const char* w : {"cdecl", "stdcall", "kelcall", "fastcall"}) out.push_back({w, 19});
  for (int i = 0; i < kRegisterCount; ++i) out.push_back({kRegisterNames[i], 105});
  for (int i = 0; i < kSegmentCount; ++i) out.push_back({kSegmentNames[i], 106});
  out.push_back({"st", 107});
  for (char d = '0'; d <= '7'; ++d) {
    out.push_back({std::string("mm") + d, 600});
    out.push_back({std::string("xmm") + d, 650});
  }
  return out;
}

TEST(TokenTable, EveryWordHasItsCodeAndTheTableHasNoOthers) {
  const std::vector<TWord> expected = expectedWords();
  for (const TWord& w : expected) {
    const TKeyword* kw = findKeyword(w.word);
    ASSERT_NE(kw, nullptr) << w.word;
    EXPECT_EQ(kw->code, w.code) << w.word;
  }
  // Beyond those, only the compile-time functions are fixed words.
  const size_t functions = 11;
  EXPECT_EQ(keywordTable().size(), expected.size() + functions);
  for (const char* w : {"ord", "low", "high", "ptr", "loadfs", "offset", "sizeof", "defined", "deftype",
                        "vartype", "arrcount"})
    EXPECT_NE(findKeyword(w), nullptr) << w;
  for (const char* w : {"fst", "macro", "x", "mm8", "xmm8", "prefetchntax", ""})
    EXPECT_EQ(findKeyword(w), nullptr) << w;
  // The lexer looks words up as written.
  EXPECT_EQ(findKeyword("FADD"), findKeyword("fadd"));
  EXPECT_EQ(findKeyword("Eax"), findKeyword("eax"));
}

// Words are found in any letter case and only as whole words: every fixed word in capitals and
// mixed case, and every word one character away from it (another letter, a digit or '_' in
// its place, one more or one fewer) that is not itself in the table.
TEST(TokenTable, WordsAreFoundInAnyCaseAndNearMissesAreNot) {
  std::set<std::string> words;
  for (const TKeyword& k : keywordTable()) words.insert(std::string(k.word));
  for (const std::string& w : words) {
    std::string upper = w, mixed = w;
    for (size_t i = 0; i < w.size(); ++i) {
      upper[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(w[i])));
      if (i % 2 == 0) mixed[i] = upper[i];
    }
    EXPECT_EQ(findKeyword(upper), findKeyword(w)) << upper;
    EXPECT_EQ(findKeyword(mixed), findKeyword(w)) << mixed;
    std::vector<std::string> near = {w + "_", w + "0", w + "A", w.substr(1), w.substr(0, w.size() - 1)};
    for (size_t i = 0; i < w.size(); ++i)
      for (const char c : {'_', '0', '9', 'z', 'Q'}) {
        std::string v = w;
        v[i] = c;
        near.push_back(v);
      }
    for (const std::string& v : near) {
      std::string lower = v;
      for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (!words.count(lower)) {
        EXPECT_EQ(findKeyword(v), nullptr) << v;
      }
    }
  }
}

TEST(TokenTable, DisplayNames) {
  // Words that show themselves: keywords but try/except/finally, x87 up to fcompp, MMX up to paddusw.
  for (const TWord& w : expectedWords()) {
    const uint16_t c = w.code;
    const bool own = (c >= 150 && c <= 195 && (c < 164 || c > 166)) || (c >= 300 && c <= 312) ||
                     (c >= 601 && c <= 611);
    if (own && w.word != "fwait") {
      EXPECT_EQ(opcodeToStr(c), w.word) << c;
    }
  }
  const std::pair<uint16_t, const char*> named[] = {
      {1, ";"}, {4, "."}, {12, "]"}, {13, "invalid token"}, {14, "end of file"}, {15, "directive"},
      {16, "identifier"}, {17, "sub system"}, {18, "$variable"}, {19, "call method"}, {20, "[expression]"},
      {21, "constant string"}, {22, "@label"}, {23, "register pointer"}, {24, "segment:offset"},
      {25, "macro call"}, {26, "procedure/function call"}, {27, "constant"}, {28, "local variable"},
      {29, "local parameter"}, {30, "variable"}, {50, "/"}, {57, "!="}, {61, "=>"}, {66, "*="},
      {68, "$"}, {100, "data type"}, {101, "data address"}, {102, "procedure address"},
      {103, "local variable address"}, {105, "register"}, {106, "segment"}, {107, "fpu stack"},
      {120, "number"}, {121, "hexadecimal"}, {122, "float number"}, {189, "macro"}, {405, "add"},
      {443, "in"}, {447, "int"}, {457, "leave"}, {500, "ret"}, {547, "wait"}, {551, "xor"},
      {600, "mmx register"}};
  for (auto [code, text] : named) EXPECT_EQ(opcodeToStr(code), text) << code;
  for (uint16_t code : {31, 69, 70, 71, 72, 73, 74, 104, 164, 165, 166, 313, 392, 400, 476, 572, 612, 650,
                        651, 668, 5000, 65535})
    EXPECT_EQ(opcodeToStr(code), "opcode") << code;
}

}  // namespace
}  // namespace kelvo
