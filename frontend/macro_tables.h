// Macros and macro variables.
#pragma once

#include <memory>
#include <vector>

#include "common/definitions.h"

namespace kelvo {

struct TMacroEngine {
  void Init() {}
  void Free() {}
};

}  // namespace kelvo
