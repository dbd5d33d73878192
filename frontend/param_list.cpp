// A procedure's declared parameters.
#include <algorithm>

#include "frontend/function.h"

namespace kelvo {

// A large program keeps the parameters of every procedure until the link step, so they share
// one block. It holds a power of two entries and so is full whenever the count is a power of
// two: most lists are one or two long and fill theirs exactly.
void TFunction::AddParam(PData data, PDataType type) {
  if ((paramTotal & (paramTotal - 1)) == 0) {
    auto grown = std::make_unique<TParam[]>(paramTotal == 0 ? 1 : 2 * size_t{paramTotal});
    std::copy_n(paramList.get(), paramTotal, grown.get());
    paramList = std::move(grown);
  }
  paramList[paramTotal++] = {data, type};
  ++intParamCount;
}

}  // namespace kelvo
