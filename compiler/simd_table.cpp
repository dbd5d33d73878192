#include <array>

#include "compiler/simd_statements.h"

namespace kelvo {

namespace {

using H = TSimdHandler;

constexpr TSimdStatement mmx(const char* name, TFormId form) { return {name, H::mmxArith, form, form}; }
constexpr TSimdStatement sse(const char* name, TFormId form) { return {name, H::sseArith, form, form}; }
constexpr TSimdStatement move(const char* name, TFormId load, TFormId store) {
  return {name, H::sseMove, load, store};
}
constexpr TSimdStatement other(const char* name, H handler, TFormId form) { return {name, handler, form, form}; }
constexpr TSimdStatement kGap = {nullptr, H::none, fmSfence, fmSfence};

// One row per token code from 601; the shifts take only register and memory counts.
constexpr TSimdStatement kRows[] = {
    other("movd", H::movd, fmMovdMmRm32),   other("movq", H::movq, fmMovqMmMm64),
    mmx("paddd", fmPaddd),         mmx("paddb", fmPaddb),         mmx("paddsb", fmPaddsb),
    mmx("paddusb", fmPaddusb),     mmx("paddw", fmPaddw),         mmx("paddsw", fmPaddsw),
    mmx("paddusw", fmPaddusw),     mmx("psubb", fmPsubb),         mmx("psubsb", fmPsubsb),
    mmx("psubusb", fmPsubusb),     mmx("psubw", fmPsubw),         mmx("psubsw", fmPsubsw),
    mmx("psubd", fmPsubd),         mmx("pmulhw", fmPmulhw),       mmx("pmullw", fmPmullw),
    mmx("pmaddwd", fmPmaddwd),     mmx("pcmpeqb", fmPcmpeqb),     mmx("pcmpgtb", fmPcmpgtb),
    mmx("pcmpeqw", fmPcmpeqw),     mmx("pcmpgtw", fmPcmpgtw),     mmx("pcmpeqd", fmPcmpeqd),
    mmx("pcmpgtd", fmPcmpgtd),     mmx("packssdw", fmPackssdw),   mmx("packsswb", fmPacksswb),
    mmx("packuswb", fmPackuswb),   mmx("punpckhbw", fmPunpckhbw), mmx("punpckhdq", fmPunpckhdq),
    mmx("punpckhwd", fmPunpckhwd), mmx("punpcklbw", fmPunpcklbw), mmx("punpckldq", fmPunpckldq),
    mmx("punpcklwd", fmPunpcklwd), mmx("pxor", fmPxor),           mmx("por", fmPor),
    mmx("pand", fmPand),           mmx("pandn", fmPandn),         mmx("psllw", fmPsllw),
    mmx("pslld", fmPslld),         mmx("psllq", fmPsllq),         mmx("psrlw", fmPsrlw),
    mmx("psrld", fmPsrld),         mmx("psrlq", fmPsrlq),         mmx("psraw", fmPsraw),
    mmx("psrad", fmPsrad),
    kGap, kGap, kGap, kGap, kGap,  // 646-650: 650 is the xmm register
    sse("addps", fmAddps), sse("addss", fmAddss), sse("subps", fmSubps), sse("subss", fmSubss),
    sse("divps", fmDivps), sse("divss", fmDivss), sse("mulps", fmMulps), sse("mulss", fmMulss),
    move("movups", fmMovupsLoad, fmMovupsStore), move("movaps", fmMovapsLoad, fmMovapsStore),
    move("movss", fmMovssLoad, fmMovssStore),
    sse("minps", fmMinps), sse("minss", fmMinss), sse("maxps", fmMaxps), sse("maxss", fmMaxss),
    other("sfence", H::sfence, fmSfence), other("movntq", H::movntq, fmMovntq),
    other("prefetchnta", H::prefetchnta, fmPrefetchnta),
};
static_assert(std::size(kRows) == 668 - kFirstSimdCode + 1);

}  // namespace

std::span<const TSimdStatement> SimdStatements() { return kRows; }

const TSimdStatement* FindSimdStatement(uint16_t code) {
  if (code < kFirstSimdCode || code >= kFirstSimdCode + std::size(kRows)) return nullptr;
  const TSimdStatement& row = kRows[code - kFirstSimdCode];
  return row.handler == H::none ? nullptr : &row;
}

}  // namespace kelvo
