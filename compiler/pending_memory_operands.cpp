// Placeholder until bracketed memory operands are built; that work replaces this file.
// ParseRegOffset: the reader stands on the register, "[" follows.
// ParseBaseExpression: the "[" has been read and a register follows.
#include "frontend/compiler.h"

namespace kelvo {

void TCompiler::ParseRegOffset(TRegister /*reg*/) { Error("Register offsets are not supported yet"); }

void TCompiler::ParseBaseExpression() { Error("Memory operands are not supported yet"); }

}  // namespace kelvo
