#include "compiler/operandless_table.h"

#include <array>

#include "frontend/token_codes.h"

namespace kelvo {

namespace {

struct TOperandless {
  uint16_t code;
  TFormId form;
};

// The statement words without operands and their rows.
constexpr TOperandless kOperandless[] = {
    {tk::MnAaa, fmAaa}, {tk::MnAad, fmAad}, {tk::MnAam, fmAam}, {tk::MnAas, fmAas},
    {tk::MnCbw, fmCbw}, {tk::MnCwd, fmCwd}, {tk::MnCwde, fmCwde}, {tk::MnCdq, fmCdq},
    {tk::MnClc, fmClc}, {tk::MnCld, fmCld}, {tk::MnCli, fmCli}, {tk::MnClts, fmClts},
    {tk::MnCmc, fmCmc}, {tk::MnCmpsb, fmCmpsb}, {tk::MnCmpsw, fmCmpsw}, {tk::MnCmpsd, fmCmpsd},
    {tk::MnCpuid, fmCpuid}, {tk::MnDaa, fmDaa}, {tk::MnDas, fmDas}, {tk::MnEmms, fmEmms},
    {tk::MnFemms, fmFemms}, {tk::MnHlt, fmHlt}, {tk::MnInsb, fmInsb}, {tk::MnInsw, fmInsw},
    {tk::MnInsd, fmInsd}, {tk::MnInto, fmInto}, {tk::MnInvd, fmInvd}, {tk::MnIret, fmIret},
    {tk::MnIretd, fmIretd}, {tk::MnLahf, fmLahf}, {tk::MnLeave, fmLeave}, {tk::MnLock, fmLock},
    {tk::MnLodsb, fmLodsb}, {tk::MnLodsw, fmLodsw}, {tk::MnLodsd, fmLodsd}, {tk::MnMovsb, fmMovsb},
    {tk::MnMovsw, fmMovsw}, {tk::MnMovsd, fmMovsd}, {tk::MnNop, fmNop}, {tk::MnOutsb, fmOutsb},
    {tk::MnOutsw, fmOutsw}, {tk::MnOutsd, fmOutsd}, {tk::MnPopa, fmPopa}, {tk::MnPopf, fmPopf},
    {tk::MnPusha, fmPusha}, {tk::MnPushf, fmPushf}, {tk::MnRep, fmRep}, {tk::MnRepne, fmRepne},
    {tk::MnSahf, fmSahf}, {tk::MnSalc, fmSalc}, {tk::MnScasb, fmScasb}, {tk::MnScasw, fmScasw},
    {tk::MnScasd, fmScasd}, {tk::MnStc, fmStc}, {tk::MnStd, fmStd}, {tk::MnSti, fmSti},
    {tk::MnStosb, fmStosb}, {tk::MnStosw, fmStosw}, {tk::MnStosd, fmStosd}, {tk::MnWait, fmWait},
    {tk::MnWbinvd, fmWbinvd}, {tk::MnXlat, fmXlat}, {tk::MnF2xm1, fmF2xm1}, {tk::MnFabs, fmFabs},
    {tk::MnFchs, fmFchs}, {tk::MnFclex, fmFclex}, {tk::MnFcompp, fmFcompp}, {tk::MnFcos, fmFcos},
    {tk::MnFdecstp, fmFdecstp}, {tk::MnFincstp, fmFincstp}, {tk::MnFinit, fmFinit},
    {tk::MnFld1, fmFld1}, {tk::MnFldl2e, fmFldl2e}, {tk::MnFldl2t, fmFldl2t},
    {tk::MnFldlg2, fmFldlg2}, {tk::MnFldln2, fmFldln2}, {tk::MnFldpi, fmFldpi},
    {tk::MnFldz, fmFldz}, {tk::MnFnclex, fmFnclex}, {tk::MnFninit, fmFninit}, {tk::MnFnop, fmFnop},
    {tk::MnFpatan, fmFpatan}, {tk::MnFprem, fmFprem}, {tk::MnFprem1, fmFprem1},
    {tk::MnFptan, fmFptan}, {tk::MnFrndint, fmFrndint}, {tk::MnFscale, fmFscale},
    {tk::MnFsin, fmFsin}, {tk::MnFsincos, fmFsincos}, {tk::MnFsqrt, fmFsqrt}, {tk::MnFtst, fmFtst},
    {tk::MnFucompp, fmFucompp}, {tk::MnFxam, fmFxam}, {tk::MnFxtract, fmFxtract},
    {tk::MnFyl2x, fmFyl2x}, {tk::MnFyl2xp1, fmFyl2xp1},
};

constexpr size_t kCodeLimit = 700;

// Indexed by token code, so the block compiler finds an entry in one step.
constexpr std::array<const TForm*, kCodeLimit> buildIndex() {
  std::array<const TForm*, kCodeLimit> index{};
  for (const TOperandless& row : kOperandless) index[row.code] = &kForms[row.form];
  return index;
}

constexpr auto kIndex = buildIndex();

}  // namespace

// pushad, popad, pushfd and popfd share the token of the forms of the code's own size, but
// name a dword operand size: in 16-bit code they take 66.
const TForm* OperandlessForm(uint16_t code, std::string_view word) {
  if (code >= kCodeLimit) return nullptr;
  if (!word.empty() && (word.back() == 'd' || word.back() == 'D')) {
    if (code == tk::MnPusha) return &kForms[fmPushad];
    if (code == tk::MnPopa) return &kForms[fmPopad];
    if (code == tk::MnPushf) return &kForms[fmPushfd];
    if (code == tk::MnPopf) return &kForms[fmPopfd];
  }
  return kIndex[code];
}

}  // namespace kelvo
