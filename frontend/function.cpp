#include "frontend/function.h"

#include <cassert>
#include <cstddef>

#include "common/record_pool.h"

namespace kelvo {

using TFunctionPool = TRecordPool<sizeof(TFunction), alignof(TFunction)>;
static_assert(offsetof(TFunction, recAssembler) == 0 && sizeof(TAssembler) + 16 >= offsetof(TFunction, jmpLabels),
              "the link step's fields follow the code and fix-ups");

void* TFunction::operator new(size_t size) {
  assert(size == sizeof(TFunction));
  return TFunctionPool::take();
}

void TFunction::operator delete(void* record) noexcept { TFunctionPool::give(record); }

void TBodyRoom::lend(TFunction& f) {
  TAssembler& a = f.recAssembler;
  assert(a.strCode.empty() && a.FixUps.empty() && f.jmpLabels.empty());
  a.strCode.swap(code);
  a.FixUps.swap(fixUps);
  f.jmpLabels.swap(labels);
}

void TBodyRoom::takeBack(TFunction& f) {
  TAssembler& a = f.recAssembler;
  TCodeBytes fittedCode(a.strCode);
  std::vector<TFixUp> fittedFixUps(a.FixUps.begin(), a.FixUps.end());
  // Most laid-out procedures keep no labels: only a label's address still to be patched in does.
  std::vector<TJumpLabel> fittedLabels(f.jmpLabels.begin(), f.jmpLabels.end());
  a.strCode.swap(code);
  a.FixUps.swap(fixUps);
  f.jmpLabels.swap(labels);
  a.strCode = std::move(fittedCode);
  a.FixUps = std::move(fittedFixUps);
  f.jmpLabels = std::move(fittedLabels);
  code.clear();
  fixUps.clear();
  labels.clear();
}

}  // namespace kelvo
