// A parsed memory operand.
#pragma once

#include <cstdint>

#include "common/definitions.h"

namespace kelvo {

struct TBaseExpression {
  TRegister reg1 = rdEAX;
  TRegister reg2 = rdEAX;
  uint8_t scale = 0;
  int32_t displacement = 0;
  int32_t size = 0;
  PDataType dt = nullptr;  // type named before the brackets, if any
  int32_t dtSize = 0;
};

}  // namespace kelvo
