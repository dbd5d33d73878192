#include "frontend/token_table.h"

#include <array>
#include <string>

#include "common/definitions.h"
#include "frontend/token_codes.h"

namespace kelvo {
namespace {

using K = TWordKind;

constexpr TKeyword kKeywords[] = {
    // declarations and statements
    {"entry", 150, K::plain}, {"default", 151, K::plain}, {"signed", 152, K::plain},
    {"unsigned", 153, K::plain}, {"inherit", 154, K::plain}, {"global", 155, K::plain},
    {"repeat", 156, K::plain}, {"until", 157, K::plain}, {"to", 158, K::plain}, {"for", 159, K::plain},
    {"step", 160, K::plain}, {"downto", 161, K::plain}, {"recast", 162, K::plain},
    {"enum", 163, K::plain}, {"try", 164, K::plain}, {"except", 165, K::plain},
    {"finally", 166, K::plain}, {"static", 167, K::plain}, {"const", 168, K::plain},
    {"type", 169, K::plain}, {"class", 170, K::plain}, {"case", 171, K::plain},
    {"state", 172, K::plain}, {"program", 173, K::plain}, {"interface", 174, K::plain},
    {"while", 175, K::plain}, {"break", 176, K::plain}, {"continue", 177, K::plain},
    {"if", 178, K::plain}, {"elseif", 179, K::plain}, {"else", 180, K::plain}, {"uses", 181, K::plain},
    {"inline", 182, K::plain}, {"block", 183, K::plain}, {"blob", 184, K::plain},
    {"imports", 185, K::plain}, {"exports", 186, K::plain}, {"function", 187, K::plain},
    {"procedure", 188, K::plain}, {"as", 190, K::plain}, {"of", 191, K::plain},
    {"assume", 192, K::plain}, {"drop", 193, K::plain}, {"nothing", 194, K::plain},
    {"union", 195, K::plain},
    // program kinds and calling conventions
    {"mscoff", 17, K::plain}, {"win32gui", 17, K::plain}, {"win32cui", 17, K::plain},
    {"win32dll", 17, K::plain}, {"bootloader", 17, K::plain},
    {"cdecl", 19, K::plain}, {"stdcall", 19, K::plain}, {"kelcall", 19, K::plain},
    {"fastcall", 19, K::plain},
    // registers
    {"eax", 105, K::register32}, {"ecx", 105, K::register32}, {"edx", 105, K::register32},
    {"ebx", 105, K::register32}, {"esp", 105, K::register32}, {"ebp", 105, K::register32},
    {"esi", 105, K::register32}, {"edi", 105, K::register32},
    {"ax", 105, K::register16or8}, {"cx", 105, K::register16or8}, {"dx", 105, K::register16or8},
    {"bx", 105, K::register16or8}, {"sp", 105, K::register16or8}, {"bp", 105, K::register16or8},
    {"si", 105, K::register16or8}, {"di", 105, K::register16or8},
    {"al", 105, K::register16or8}, {"cl", 105, K::register16or8}, {"dl", 105, K::register16or8},
    {"bl", 105, K::register16or8}, {"ah", 105, K::register16or8}, {"ch", 105, K::register16or8},
    {"dh", 105, K::register16or8}, {"bh", 105, K::register16or8},
    {"cs", 106, K::segment}, {"ss", 106, K::segment}, {"ds", 106, K::segment},
    {"es", 106, K::segment}, {"fs", 106, K::segment}, {"gs", 106, K::segment},
    {"st", 107, K::fpuStack},
    {"mm0", 600, K::mmxRegister}, {"mm1", 600, K::mmxRegister}, {"mm2", 600, K::mmxRegister},
    {"mm3", 600, K::mmxRegister}, {"mm4", 600, K::mmxRegister}, {"mm5", 600, K::mmxRegister},
    {"mm6", 600, K::mmxRegister}, {"mm7", 600, K::mmxRegister},
    {"xmm0", 650, K::sseRegister}, {"xmm1", 650, K::sseRegister}, {"xmm2", 650, K::sseRegister},
    {"xmm3", 650, K::sseRegister}, {"xmm4", 650, K::sseRegister}, {"xmm5", 650, K::sseRegister},
    {"xmm6", 650, K::sseRegister}, {"xmm7", 650, K::sseRegister},
    // compile-time functions
    {"ord", 120, K::fnOrd}, {"low", 120, K::fnLow}, {"high", 120, K::fnHigh},
    {"ptr", 101, K::fnPtr}, {"loadfs", 21, K::fnLoadfs}, {"offset", 101, K::fnOffset},
    {"sizeof", 120, K::fnSizeof}, {"defined", 120, K::fnDefined}, {"deftype", 21, K::fnDeftype},
    {"vartype", 21, K::fnVartype}, {"arrcount", 120, K::fnArrcount},
    // x87
    {"f2xm1", 300, K::plain}, {"fabs", 301, K::plain}, {"fadd", 302, K::plain},
    {"faddp", 303, K::plain}, {"fbld", 304, K::plain}, {"fbstp", 305, K::plain},
    {"fchs", 306, K::plain}, {"fclex", 307, K::plain}, {"fcom", 308, K::plain},
    {"fcomi", 309, K::plain}, {"fcomip", 310, K::plain}, {"fcomp", 311, K::plain},
    {"fcompp", 312, K::plain}, {"fcos", 313, K::plain}, {"fdecstp", 314, K::plain},
    {"fdiv", 315, K::plain}, {"fdivp", 316, K::plain}, {"fdivr", 317, K::plain},
    {"fdivrp", 318, K::plain}, {"ffree", 319, K::plain}, {"fiadd", 320, K::plain},
    {"ficom", 321, K::plain}, {"ficomp", 322, K::plain}, {"fidiv", 323, K::plain},
    {"fidivr", 324, K::plain}, {"fild", 325, K::plain}, {"fimul", 326, K::plain},
    {"fincstp", 327, K::plain}, {"finit", 328, K::plain}, {"fist", 329, K::plain},
    {"fistp", 330, K::plain}, {"fisub", 331, K::plain}, {"fisubr", 332, K::plain},
    {"fld", 333, K::plain}, {"fld1", 334, K::plain}, {"fldcw", 335, K::plain},
    {"fldenv", 336, K::plain}, {"fldl2e", 337, K::plain}, {"fldl2t", 338, K::plain},
    {"fldlg2", 339, K::plain}, {"fldln2", 340, K::plain}, {"fldpi", 341, K::plain},
    {"fldz", 342, K::plain}, {"fmul", 343, K::plain}, {"fmulp", 344, K::plain},
    {"fnclex", 345, K::plain}, {"fninit", 346, K::plain}, {"fnop", 347, K::plain},
    {"fnsave", 348, K::plain}, {"fnstcw", 349, K::plain}, {"fnstenv", 350, K::plain},
    {"fnstsw", 351, K::plain}, {"fpatan", 352, K::plain}, {"fprem", 353, K::plain},
    {"fprem1", 354, K::plain}, {"fptan", 355, K::plain}, {"frndint", 356, K::plain},
    {"frstor", 357, K::plain}, {"fsave", 358, K::plain}, {"fscale", 359, K::plain},
    {"fsin", 360, K::plain}, {"fsincos", 361, K::plain}, {"fsqrt", 362, K::plain},
    {"fsp", 363, K::plain},  // the FST statement; "fst" itself is no keyword
    {"fstcw", 364, K::plain}, {"fstenv", 365, K::plain}, {"fstp", 366, K::plain},
    {"fstsw", 367, K::plain}, {"fsub", 368, K::plain}, {"fsubp", 369, K::plain},
    {"fsubr", 370, K::plain}, {"fsubrp", 371, K::plain}, {"ftst", 372, K::plain},
    {"fucom", 373, K::plain}, {"fucomi", 374, K::plain}, {"fucomip", 375, K::plain},
    {"fucomp", 376, K::plain}, {"fucompp", 377, K::plain}, {"fxam", 379, K::plain},
    {"fxch", 380, K::plain}, {"fxtract", 381, K::plain}, {"fyl2x", 382, K::plain},
    {"fyl2xp1", 383, K::plain}, {"fcmovb", 384, K::plain}, {"fcmove", 385, K::plain},
    {"fcmovbe", 386, K::plain}, {"fcmovu", 387, K::plain}, {"fcmovnb", 388, K::plain},
    {"fcmovne", 389, K::plain}, {"fcmovnbe", 390, K::plain}, {"fcmovnu", 391, K::plain},
    {"fpush", 392, K::plain},
    // integer
    {"aaa", 400, K::plain}, {"aad", 401, K::plain}, {"aam", 402, K::plain}, {"aas", 403, K::plain},
    {"adc", 404, K::plain}, {"add", 405, K::plain}, {"and", 406, K::plain},
    {"bswap", 411, K::plain}, {"bt", 412, K::plain}, {"btc", 413, K::plain}, {"btr", 414, K::plain},
    {"bts", 415, K::plain}, {"call", 416, K::plain}, {"cbw", 417, K::plain}, {"cwd", 418, K::plain},
    {"cwde", 419, K::plain}, {"cdq", 420, K::plain}, {"clc", 421, K::plain}, {"cld", 422, K::plain},
    {"cli", 423, K::plain}, {"clts", 424, K::plain}, {"cmc", 425, K::plain}, {"cmp", 426, K::plain},
    {"cmpsb", 427, K::plain}, {"cmpsw", 428, K::plain}, {"cmpsd", 429, K::plain},
    {"cpuid", 430, K::plain}, {"daa", 432, K::plain}, {"das", 433, K::plain}, {"dec", 434, K::plain},
    {"div", 435, K::plain}, {"emms", 436, K::plain}, {"femms", 439, K::plain}, {"hlt", 440, K::plain},
    {"idiv", 441, K::plain}, {"imul", 442, K::plain}, {"in", 443, K::plain}, {"inc", 444, K::plain},
    {"insb", 445, K::plain}, {"insw", 446, K::plain}, {"int", 447, K::plain}, {"into", 448, K::plain},
    {"invd", 449, K::plain}, {"insd", 450, K::plain}, {"iret", 452, K::plain},
    {"lahf", 453, K::plain}, {"lar", 454, K::plain}, {"lea", 456, K::plain},
    {"leave", 457, K::plain}, {"lock", 465, K::plain}, {"lodsb", 466, K::plain},
    {"lodsw", 467, K::plain}, {"lodsd", 468, K::plain}, {"mov", 475, K::plain},
    {"movsb", 476, K::plain}, {"movsw", 477, K::plain}, {"movsd", 478, K::plain},
    {"movzx", 480, K::plain}, {"mul", 481, K::plain}, {"neg", 482, K::plain}, {"nop", 483, K::plain},
    {"not", 484, K::plain}, {"or", 485, K::plain}, {"out", 486, K::plain}, {"outsb", 487, K::plain},
    {"outsw", 488, K::plain}, {"outsd", 489, K::plain}, {"pop", 490, K::plain},
    {"popa", 491, K::plain}, {"popad", 491, K::plain}, {"popf", 492, K::plain},
    {"popfd", 492, K::plain}, {"push", 493, K::plain}, {"pusha", 494, K::plain},
    {"pushad", 494, K::plain}, {"pushf", 495, K::plain}, {"pushfd", 495, K::plain},
    {"rep", 498, K::plain}, {"repe", 498, K::plain}, {"repz", 498, K::plain},
    {"repne", 499, K::plain}, {"repnz", 499, K::plain}, {"ret", 500, K::plain},
    {"retn", 500, K::plain}, {"rol", 502, K::plain}, {"ror", 503, K::plain}, {"sahf", 504, K::plain},
    {"salc", 505, K::plain}, {"sar", 506, K::plain}, {"scasb", 508, K::plain},
    {"scasw", 509, K::plain}, {"scasd", 510, K::plain}, {"setae", 511, K::plain},
    {"setnb", 511, K::plain}, {"setnc", 511, K::plain}, {"shl", 530, K::plain},
    {"shr", 531, K::plain}, {"sldt", 534, K::plain}, {"stc", 536, K::plain}, {"std", 537, K::plain},
    {"sti", 538, K::plain}, {"stosb", 539, K::plain}, {"stosw", 540, K::plain},
    {"stosd", 541, K::plain}, {"sub", 543, K::plain}, {"test", 544, K::plain},
    {"verr", 545, K::plain}, {"verw", 546, K::plain}, {"wait", 547, K::plain},
    {"fwait", 547, K::plain}, {"wbinvd", 548, K::plain}, {"xchg", 549, K::plain},
    {"xlat", 550, K::plain}, {"xlatb", 550, K::plain}, {"xor", 551, K::plain},
    {"iretd", 552, K::plain}, {"jo", 553, K::plain}, {"jno", 554, K::plain}, {"jb", 555, K::plain},
    {"jc", 555, K::plain}, {"jnae", 555, K::plain}, {"jae", 556, K::plain}, {"jnb", 556, K::plain},
    {"jnc", 556, K::plain}, {"je", 557, K::plain}, {"jz", 557, K::plain}, {"jne", 558, K::plain},
    {"jnz", 558, K::plain}, {"jbe", 559, K::plain}, {"jna", 559, K::plain}, {"ja", 560, K::plain},
    {"jnbe", 560, K::plain}, {"js", 561, K::plain}, {"jns", 562, K::plain}, {"jp", 563, K::plain},
    {"jpe", 563, K::plain}, {"jnp", 564, K::plain}, {"jpo", 564, K::plain}, {"jl", 565, K::plain},
    {"jnge", 565, K::plain}, {"jge", 566, K::plain}, {"jnl", 566, K::plain}, {"jle", 567, K::plain},
    {"jng", 567, K::plain}, {"jg", 568, K::plain}, {"jnle", 568, K::plain}, {"jmp", 569, K::plain},
    {"goto", 569, K::plain}, {"sal", 570, K::plain}, {"jecxz", 571, K::plain},
    {"cmovz", 572, K::plain},
    // MMX
    {"movd", 601, K::plain}, {"movq", 602, K::plain}, {"paddd", 603, K::plain},
    {"paddb", 604, K::plain}, {"paddsb", 605, K::plain}, {"paddusb", 606, K::plain},
    {"paddw", 607, K::plain}, {"paddsw", 608, K::plain}, {"paddusw", 609, K::plain},
    {"psubb", 610, K::plain}, {"psubsb", 611, K::plain}, {"psubusb", 612, K::plain},
    {"psubw", 613, K::plain}, {"psubsw", 614, K::plain}, {"psubd", 615, K::plain},
    {"pmulhw", 616, K::plain}, {"pmullw", 617, K::plain}, {"pmaddwd", 618, K::plain},
    {"pcmpeqb", 619, K::plain}, {"pcmpgtb", 620, K::plain}, {"pcmpeqw", 621, K::plain},
    {"pcmpgtw", 622, K::plain}, {"pcmpeqd", 623, K::plain}, {"pcmpgtd", 624, K::plain},
    {"packssdw", 625, K::plain}, {"packsswb", 626, K::plain}, {"packuswb", 627, K::plain},
    {"punpckhbw", 628, K::plain}, {"punpckhdq", 629, K::plain}, {"punpckhwd", 630, K::plain},
    {"punpcklbw", 631, K::plain}, {"punpckldq", 632, K::plain}, {"punpcklwd", 633, K::plain},
    {"pxor", 634, K::plain}, {"por", 635, K::plain}, {"pand", 636, K::plain},
    {"pandn", 637, K::plain}, {"psllw", 638, K::plain}, {"pslld", 639, K::plain},
    {"psllq", 640, K::plain}, {"psrlw", 641, K::plain}, {"psrld", 642, K::plain},
    {"psrlq", 643, K::plain}, {"psraw", 644, K::plain}, {"psrad", 645, K::plain},
    // SSE
    {"addps", 651, K::plain}, {"addss", 652, K::plain}, {"subps", 653, K::plain},
    {"subss", 654, K::plain}, {"divps", 655, K::plain}, {"divss", 656, K::plain},
    {"mulps", 657, K::plain}, {"mulss", 658, K::plain}, {"movups", 659, K::plain},
    {"movaps", 660, K::plain}, {"movss", 661, K::plain}, {"minps", 662, K::plain},
    {"minss", 663, K::plain}, {"maxps", 664, K::plain}, {"maxss", 665, K::plain},
    {"sfence", 666, K::plain}, {"movntq", 667, K::plain}, {"prefetchnta", 668, K::plain},
};

// Open addressing over a power of two: one probe for nearly every word.
class TKeywordIndex {
 public:
  TKeywordIndex() {
    slots_.fill(-1);
    for (size_t i = 0; i < std::size(kKeywords); ++i) {
      size_t s = hash(kKeywords[i].word) & kMask;
      while (slots_[s] >= 0) s = (s + 1) & kMask;
      slots_[s] = static_cast<int16_t>(i);
    }
  }
  const TKeyword* find(std::string_view word) const {
    for (size_t s = hash(word) & kMask; slots_[s] >= 0; s = (s + 1) & kMask)
      if (word == kKeywords[slots_[s]].word) return &kKeywords[slots_[s]];
    return nullptr;
  }

 private:
  static constexpr size_t kSize = 2048, kMask = kSize - 1;
  static size_t hash(std::string_view w) {
    uint32_t h = 2166136261u;
    for (char c : w) h = (h ^ static_cast<uint8_t>(c)) * 16777619u;
    return h ^ (h >> 15);
  }
  std::array<int16_t, kSize> slots_{};
};

const TKeywordIndex& keywordIndex() {
  static const TKeywordIndex index;
  return index;
}

// Display names of the codes that have one; every other code shows "opcode".
struct TDisplayName {
  uint16_t code;
  const char* text;
};
constexpr TDisplayName kDisplayNames[] = {
    {1, ";"}, {2, ":"}, {3, ","}, {4, "."}, {5, "#"}, {6, "="}, {7, "("}, {8, ")"}, {9, "{"},
    {10, "}"}, {11, "["}, {12, "]"},
    {13, "invalid token"}, {14, "end of file"}, {15, "directive"}, {16, "identifier"},
    {17, "sub system"}, {18, "$variable"}, {19, "call method"}, {20, "[expression]"},
    {21, "constant string"}, {22, "@label"}, {23, "register pointer"}, {24, "segment:offset"},
    {25, "macro call"}, {26, "procedure/function call"}, {27, "constant"}, {28, "local variable"},
    {29, "local parameter"}, {30, "variable"},
    {50, "/"}, {51, "+"}, {52, "*"}, {53, "-"}, {54, "++"}, {55, "--"}, {56, "=="}, {57, "!="},
    {58, "<"}, {59, ">"}, {60, "<="}, {61, "=>"}, {62, ">>"}, {63, "<<"}, {64, "+="}, {65, "-="},
    {66, "*="}, {67, "%"}, {68, "$"},
    {100, "data type"}, {101, "data address"}, {102, "procedure address"},
    {103, "local variable address"}, {105, "register"}, {106, "segment"}, {107, "fpu stack"},
    {120, "number"}, {121, "hexadecimal"}, {122, "float number"},
    {189, "macro"},
    {405, "add"}, {406, "and"}, {416, "call"}, {426, "cmp"}, {434, "dec"}, {443, "in"},
    {447, "int"}, {448, "into"}, {457, "leave"}, {475, "mov"}, {481, "mul"}, {482, "neg"},
    {483, "nop"}, {484, "not"}, {485, "or"}, {486, "out"}, {490, "pop"}, {493, "push"},
    {500, "ret"}, {543, "sub"}, {547, "wait"}, {549, "xchg"}, {551, "xor"},
    {600, "mmx register"},
};

// Keyword codes 150-195 (but not try/except/finally), x87 300-312 and MMX 601-611 show their word.
bool showsItsWord(uint16_t code) {
  if (code >= 150 && code <= 195) return code < 164 || code > 166;
  return (code >= 300 && code <= 312) || (code >= 601 && code <= 611);
}

class TDisplayTable {
 public:
  TDisplayTable() {
    names_.fill(nullptr);
    for (const TDisplayName& d : kDisplayNames) names_[d.code] = d.text;
    for (const TKeyword& k : kKeywords)
      if (k.kind == TWordKind::plain && showsItsWord(k.code) && !names_[k.code]) names_[k.code] = k.word;
  }
  const char* find(uint16_t code) const { return code < names_.size() ? names_[code] : nullptr; }

 private:
  std::array<const char*, 700> names_{};
};

}  // namespace

const TKeyword* findKeyword(std::string_view lowerWord) {
  if (lowerWord.size() < kShortestKeyword || lowerWord.size() > kLongestKeyword) return nullptr;
  return keywordIndex().find(lowerWord);
}

std::span<const TKeyword> keywordTable() { return kKeywords; }

std::string opcodeToStr(uint16_t code) {
  static const TDisplayTable table;
  const char* name = table.find(code);
  return name ? name : "opcode";
}

}  // namespace kelvo
