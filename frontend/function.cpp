#include "frontend/function.h"

#include <cassert>

#include "common/record_pool.h"

namespace kelvo {

using TFunctionPool = TRecordPool<sizeof(TFunction), alignof(TFunction)>;

void* TFunction::operator new(size_t size) {
  assert(size == sizeof(TFunction));
  return TFunctionPool::take();
}

void TFunction::operator delete(void* record) noexcept { TFunctionPool::give(record); }

TRareText::operator const std::string&() const {
  static const std::string kEmpty;
  return text_ ? *text_ : kEmpty;
}

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
