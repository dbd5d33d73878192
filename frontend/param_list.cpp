// A procedure's declared parameters.
#include <algorithm>
#include <bit>
#include <memory>

#include "common/record_pool.h"
#include "frontend/function.h"

namespace kelvo {

namespace {

// A list holds a power of two entries and so is full whenever the count is a power of two.
// Most lists are one or two long: their blocks come from pools, as a large program keeps the
// parameters of every procedure until the link step.
using TOneParam = TRecordPool<sizeof(TParam), alignof(TParam)>;
using TTwoParams = TRecordPool<2 * sizeof(TParam), alignof(TParam)>;

size_t roomFor(uint32_t count) { return std::bit_ceil(size_t{count}); }

TParam* takeBlock(size_t room) {
  if (room > 2) return new TParam[room];
  auto* block = static_cast<TParam*>(room == 1 ? TOneParam::take() : TTwoParams::take());
  std::uninitialized_value_construct_n(block, room);
  return block;
}

void giveBlock(TParam* block, size_t room) {
  if (room == 1) TOneParam::give(block);
  else if (room == 2) TTwoParams::give(block);
  else delete[] block;
}

}  // namespace

void TFunction::AddParam(PData data, PDataType type) {
  if ((paramTotal & (paramTotal - 1)) == 0) {
    TParam* grown = takeBlock(paramTotal == 0 ? 1 : 2 * size_t{paramTotal});
    std::copy_n(paramList, paramTotal, grown);
    if (paramList) giveBlock(paramList, paramTotal);
    paramList = grown;
  }
  paramList[paramTotal++] = {data, type};
  ++intParamCount;
}

void TFunction::ClearParams() {
  if (paramList) giveBlock(paramList, roomFor(paramTotal));
  paramList = nullptr;
  paramTotal = 0;
}

}  // namespace kelvo
