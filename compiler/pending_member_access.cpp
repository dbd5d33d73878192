// Placeholder until member access through registers and data items is built; that work
// replaces this file. The reader stands on the last character of the name, "." follows.
#include "frontend/compiler.h"

namespace kelvo {

void TCompiler::ParseRegPointer(TRegister /*reg*/) {
  Error("Member access through a register is not supported yet");
}

void TCompiler::ParseMemberAccess(PData /*data*/, int32_t /*useRegister*/, TVarInfo& /*info*/) {
  Error("Member access is not supported yet");
}

}  // namespace kelvo
