// Open case and state switches.
#pragma once

#include <cstdint>

namespace kelvo {

// One state of a case, waiting for the case's dispatch code.
struct TStateInfo {
  uint32_t caseid = 0;  // the case's brace level
  uint32_t value = 0;
  bool def = false;     // the default state
  uint32_t label = 0;   // the number of the state's label name, for the dispatch's jump
};

}  // namespace kelvo
