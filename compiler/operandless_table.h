// Machine instructions that take no operand: a token code and its row of the form table.
#pragma once

#include <cstdint>

#include "assembler/form_table.h"

namespace kelvo {

// The row of an operand-less instruction, or nullptr when the code is none.
const TForm* OperandlessForm(uint16_t code);

}  // namespace kelvo
