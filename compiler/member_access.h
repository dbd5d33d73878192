// What reading a "." member chain after a data item found.
#pragma once

#include <cstdint>
#include <string>

#include "common/definitions.h"

namespace kelvo {

struct TVarInfo {
  PData origData = nullptr;  // the item; nil when the chain names no known member
  int32_t offsetSize = 0;    // the member's size in bytes
  PFunction Func = nullptr;  // the method when the chain ends in one
  std::string locStr;        // the text for the token
  uint32_t offset = 0;       // the member's offset within the item
  PDataType memberType = nullptr;  // the last data member's declared type; nil when none is read
};

}  // namespace kelvo
