// Machine instructions that take no operand: a token code and its fixed bytes.
#pragma once

#include <cstdint>
#include <string_view>

namespace kelvo {

// The bytes of an operand-less instruction, or an empty view when the code is none.
std::string_view OperandlessBytes(uint16_t code);

}  // namespace kelvo
