// Machine instructions that take no operand: a token code and its row of the form table.
#pragma once

#include <cstdint>
#include <string_view>

#include "assembler/form_table.h"

namespace kelvo {

// The row of an operand-less instruction written as `word`, or nullptr when the code is none.
const TForm* OperandlessForm(uint16_t code, std::string_view word);

}  // namespace kelvo
