#include "compiler/operandless_table.h"

#include <array>

#include "frontend/token_codes.h"

namespace kelvo {

namespace {

struct TOperandless {
  uint16_t code;
  std::string_view bytes;
};

// The "w" string forms, cbw/cwd and iretd carry the 66 prefix whatever the code's bit mode.
constexpr TOperandless kOperandless[] = {
    {tk::MnAaa, "\x37"}, {tk::MnAad, "\xD5\x0A"}, {tk::MnAam, "\xD4\x0A"}, {tk::MnAas, "\x3F"},
    {tk::MnCbw, "\x66\x98"}, {tk::MnCwd, "\x66\x99"}, {tk::MnCwde, "\x98"}, {tk::MnCdq, "\x99"},
    {tk::MnClc, "\xF8"}, {tk::MnCld, "\xFC"}, {tk::MnCli, "\xFA"}, {tk::MnClts, "\x0F\x06"},
    {tk::MnCmc, "\xF5"}, {tk::MnCmpsb, "\xA6"}, {tk::MnCmpsw, "\x66\xA7"}, {tk::MnCmpsd, "\xA7"},
    {tk::MnCpuid, "\x0F\xA2"}, {tk::MnDaa, "\x27"}, {tk::MnDas, "\x2F"}, {tk::MnEmms, "\x0F\x77"},
    {tk::MnFemms, "\x0F\x0E"}, {tk::MnHlt, "\xF4"}, {tk::MnInsb, "\x6C"}, {tk::MnInsw, "\x66\x6D"},
    {tk::MnInsd, "\x6D"}, {tk::MnInto, "\xCE"}, {tk::MnInvd, "\x0F\x08"}, {tk::MnIret, "\xCF"},
    {tk::MnIretd, "\x66\xCF"}, {tk::MnLahf, "\x9F"}, {tk::MnLeave, "\xC9"}, {tk::MnLock, "\xF0"},
    {tk::MnLodsb, "\xAC"}, {tk::MnLodsw, "\x66\xAD"}, {tk::MnLodsd, "\xAD"}, {tk::MnMovsb, "\xA4"},
    {tk::MnMovsw, "\x66\xA5"}, {tk::MnMovsd, "\xA5"}, {tk::MnNop, "\x90"}, {tk::MnOutsb, "\x6E"},
    {tk::MnOutsw, "\x66\x6F"}, {tk::MnOutsd, "\x6F"}, {tk::MnPopa, "\x61"}, {tk::MnPopf, "\x9D"},
    {tk::MnPusha, "\x60"}, {tk::MnPushf, "\x9C"}, {tk::MnRep, "\xF3"}, {tk::MnRepne, "\xF2"},
    {tk::MnSahf, "\x9E"}, {tk::MnSalc, "\xD6"}, {tk::MnScasb, "\xAE"}, {tk::MnScasw, "\x66\xAF"},
    {tk::MnScasd, "\xAF"}, {tk::MnStc, "\xF9"}, {tk::MnStd, "\xFD"}, {tk::MnSti, "\xFB"},
    {tk::MnStosb, "\xAA"}, {tk::MnStosw, "\x66\xAB"}, {tk::MnStosd, "\xAB"}, {tk::MnWait, "\x9B"},
    {tk::MnWbinvd, "\x0F\x09"}, {tk::MnXlat, "\xD7"},
    // x87
    {tk::MnF2xm1, "\xD9\xF0"}, {tk::MnFabs, "\xD9\xE1"}, {tk::MnFchs, "\xD9\xE0"},
    {tk::MnFclex, "\x9B\xDB\xE2"}, {tk::MnFcompp, "\xDE\xD9"}, {tk::MnFcos, "\xD9\xFF"},
    {tk::MnFdecstp, "\xD9\xF6"}, {tk::MnFincstp, "\xD9\xF7"}, {tk::MnFinit, "\x9B\xDB\xE3"},
    {tk::MnFld1, "\xD9\xE8"}, {tk::MnFldl2e, "\xD9\xEA"}, {tk::MnFldl2t, "\xD9\xE9"},
    {tk::MnFldlg2, "\xD9\xEC"}, {tk::MnFldln2, "\xD9\xED"}, {tk::MnFldpi, "\xD9\xEB"},
    {tk::MnFldz, "\xD9\xEE"}, {tk::MnFnclex, "\xDB\xE2"}, {tk::MnFninit, "\xDB\xE3"},
    {tk::MnFnop, "\xD9\xD0"}, {tk::MnFpatan, "\xD9\xF3"}, {tk::MnFprem, "\xD9\xF8"},
    {tk::MnFprem1, "\xD9\xF5"}, {tk::MnFptan, "\xD9\xF2"}, {tk::MnFrndint, "\xD9\xFC"},
    {tk::MnFscale, "\xD9\xFD"}, {tk::MnFsin, "\xD9\xFE"}, {tk::MnFsincos, "\xD9\xFB"},
    {tk::MnFsqrt, "\xD9\xFA"}, {tk::MnFtst, "\xD9\xE4"}, {tk::MnFucompp, "\xDA\xE9"},
    {tk::MnFxam, "\xD9\xE5"}, {tk::MnFxtract, "\xD9\xF4"}, {tk::MnFyl2x, "\xD9\xF1"},
    {tk::MnFyl2xp1, "\xD9\xF9"},
};

constexpr size_t kCodeLimit = 700;

// Indexed by token code, so the block compiler finds an entry in one step.
constexpr std::array<std::string_view, kCodeLimit> buildIndex() {
  std::array<std::string_view, kCodeLimit> index{};
  for (const TOperandless& row : kOperandless) index[row.code] = row.bytes;
  return index;
}

constexpr auto kIndex = buildIndex();

}  // namespace

std::string_view OperandlessBytes(uint16_t code) {
  return code < kCodeLimit ? kIndex[code] : std::string_view();
}

}  // namespace kelvo
