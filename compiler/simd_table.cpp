#include <array>

#include "compiler/simd_statements.h"
#include "frontend/token_codes.h"

namespace kelvo {

namespace {

using H = TSimdHandler;

constexpr TSimdStatement mmx(uint16_t token, const char* name, TFormId form) {
  return {token, name, H::mmxArith, form, form};
}
constexpr TSimdStatement sse(uint16_t token, const char* name, TFormId form) {
  return {token, name, H::sseArith, form, form};
}
constexpr TSimdStatement move(uint16_t token, const char* name, TFormId load, TFormId store) {
  return {token, name, H::sseMove, load, store};
}
constexpr TSimdStatement other(uint16_t token, const char* name, H handler, TFormId form) {
  return {token, name, handler, form, form};
}

// One row per MMX or SSE mnemonic, keyed by its token; the shifts take only register and
// memory counts.
constexpr TSimdStatement kRows[] = {
    other(tk::MnMovd, "movd", H::movd, fmMovdMmRm32), other(tk::MnMovq, "movq", H::movq, fmMovqMmMm64),
    mmx(tk::MnPaddd, "paddd", fmPaddd), mmx(tk::MnPaddb, "paddb", fmPaddb), mmx(tk::MnPaddsb, "paddsb", fmPaddsb),
    mmx(tk::MnPaddusb, "paddusb", fmPaddusb), mmx(tk::MnPaddw, "paddw", fmPaddw),
    mmx(tk::MnPaddsw, "paddsw", fmPaddsw), mmx(tk::MnPaddusw, "paddusw", fmPaddusw),
    mmx(tk::MnPsubb, "psubb", fmPsubb), mmx(tk::MnPsubsb, "psubsb", fmPsubsb),
    mmx(tk::MnPsubusb, "psubusb", fmPsubusb), mmx(tk::MnPsubw, "psubw", fmPsubw),
    mmx(tk::MnPsubsw, "psubsw", fmPsubsw), mmx(tk::MnPsubd, "psubd", fmPsubd), mmx(tk::MnPmulhw, "pmulhw", fmPmulhw),
    mmx(tk::MnPmullw, "pmullw", fmPmullw), mmx(tk::MnPmaddwd, "pmaddwd", fmPmaddwd),
    mmx(tk::MnPcmpeqb, "pcmpeqb", fmPcmpeqb), mmx(tk::MnPcmpgtb, "pcmpgtb", fmPcmpgtb),
    mmx(tk::MnPcmpeqw, "pcmpeqw", fmPcmpeqw), mmx(tk::MnPcmpgtw, "pcmpgtw", fmPcmpgtw),
    mmx(tk::MnPcmpeqd, "pcmpeqd", fmPcmpeqd), mmx(tk::MnPcmpgtd, "pcmpgtd", fmPcmpgtd),
    mmx(tk::MnPackssdw, "packssdw", fmPackssdw), mmx(tk::MnPacksswb, "packsswb", fmPacksswb),
    mmx(tk::MnPackuswb, "packuswb", fmPackuswb), mmx(tk::MnPunpckhbw, "punpckhbw", fmPunpckhbw),
    mmx(tk::MnPunpckhdq, "punpckhdq", fmPunpckhdq), mmx(tk::MnPunpckhwd, "punpckhwd", fmPunpckhwd),
    mmx(tk::MnPunpcklbw, "punpcklbw", fmPunpcklbw), mmx(tk::MnPunpckldq, "punpckldq", fmPunpckldq),
    mmx(tk::MnPunpcklwd, "punpcklwd", fmPunpcklwd), mmx(tk::MnPxor, "pxor", fmPxor), mmx(tk::MnPor, "por", fmPor),
    mmx(tk::MnPand, "pand", fmPand), mmx(tk::MnPandn, "pandn", fmPandn), mmx(tk::MnPsllw, "psllw", fmPsllw),
    mmx(tk::MnPslld, "pslld", fmPslld), mmx(tk::MnPsllq, "psllq", fmPsllq), mmx(tk::MnPsrlw, "psrlw", fmPsrlw),
    mmx(tk::MnPsrld, "psrld", fmPsrld), mmx(tk::MnPsrlq, "psrlq", fmPsrlq), mmx(tk::MnPsraw, "psraw", fmPsraw),
    mmx(tk::MnPsrad, "psrad", fmPsrad), sse(tk::MnAddps, "addps", fmAddps), sse(tk::MnAddss, "addss", fmAddss),
    sse(tk::MnSubps, "subps", fmSubps), sse(tk::MnSubss, "subss", fmSubss), sse(tk::MnDivps, "divps", fmDivps),
    sse(tk::MnDivss, "divss", fmDivss), sse(tk::MnMulps, "mulps", fmMulps), sse(tk::MnMulss, "mulss", fmMulss),
    move(tk::MnMovups, "movups", fmMovupsLoad, fmMovupsStore),
    move(tk::MnMovaps, "movaps", fmMovapsLoad, fmMovapsStore), move(tk::MnMovss, "movss", fmMovssLoad, fmMovssStore),
    sse(tk::MnMinps, "minps", fmMinps), sse(tk::MnMinss, "minss", fmMinss), sse(tk::MnMaxps, "maxps", fmMaxps),
    sse(tk::MnMaxss, "maxss", fmMaxss), other(tk::MnSfence, "sfence", H::sfence, fmSfence),
    other(tk::MnMovntq, "movntq", H::movntq, fmMovntq),
    other(tk::MnPrefetchnta, "prefetchnta", H::prefetchnta, fmPrefetchnta),
};

// Row number + 1 of each code from the first to the last mnemonic, 0 where the code is none
// (the xmm register sits among them): the statement compiler finds a row without a search.
constexpr uint16_t kFirstCode = tk::MnMovd, kLastCode = tk::MnPrefetchnta;
constexpr auto kRowOfCode = [] {
  std::array<uint8_t, kLastCode - kFirstCode + 1> index{};
  for (size_t i = 0; i < std::size(kRows); ++i) index[kRows[i].token - kFirstCode] = static_cast<uint8_t>(i + 1);
  return index;
}();

}  // namespace

std::span<const TSimdStatement> SimdStatements() { return kRows; }

const TSimdStatement* FindSimdStatement(uint16_t code) {
  if (code < kFirstCode || code > kLastCode) return nullptr;
  const uint8_t row = kRowOfCode[code - kFirstCode];
  return row == 0 ? nullptr : &kRows[row - 1];
}

}  // namespace kelvo
