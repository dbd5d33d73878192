// The operand model and its forms live in the assembler; statement files include it from here.
#pragma once

#include "assembler/operand_location.h"
