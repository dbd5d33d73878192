#include "frontend/function.h"

#include <cassert>

namespace kelvo {

void TBodyRoom::lend(TFunction& f) {
  TAssembler& a = f.recAssembler;
  assert(a.strCode.empty() && a.FixUps.empty() && f.braceLevel.empty());
  a.strCode.swap(code);
  a.FixUps.swap(fixUps);
  f.braceLevel.swap(braceLevels);
}

void TBodyRoom::takeBack(TFunction& f) {
  TAssembler& a = f.recAssembler;
  TCodeBytes fittedCode(a.strCode);
  std::vector<TFixUp> fittedFixUps(a.FixUps.begin(), a.FixUps.end());
  a.strCode.swap(code);
  a.FixUps.swap(fixUps);
  f.braceLevel.swap(braceLevels);
  a.strCode = std::move(fittedCode);
  a.FixUps = std::move(fittedFixUps);
  code.clear();
  fixUps.clear();
  braceLevels.clear();
  f.jmpLabels.shrink_to_fit();
}

}  // namespace kelvo
