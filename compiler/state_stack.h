// Open case and state switches.
#pragma once

#include <cstdint>

namespace kelvo {

struct TStateInfo {
  int32_t id = 0;
};

}  // namespace kelvo
