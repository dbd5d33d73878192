// The scoped identifier table.
#pragma once

#include <cstdint>
#include <vector>

#include "common/definitions.h"

namespace kelvo {

struct TSmartList {
  int32_t scope = 0;
  void Init() { scope = 0; }
  void Free() {}
};

}  // namespace kelvo
