#include "frontend/function.h"

namespace kelvo {

void TFunction::FitToSize() {
  recAssembler.strCode.shrink_to_fit();
  recAssembler.FixUps.shrink_to_fit();
  jmpLabels.shrink_to_fit();
  braceLevel.shrink_to_fit();
}

}  // namespace kelvo
