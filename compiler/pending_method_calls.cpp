// Placeholder until the encoder is joined to method calls; that work replaces this file with
// LEA EAX,[item] (a data fix-up) and PUSH reg on curFunc.
#include "frontend/compiler.h"

namespace kelvo {

void TCompiler::EmitLoadObjectAddress(PData /*data*/) { Error("Method calls are not supported yet"); }

void TCompiler::EmitPushRegister(TRegister /*reg*/) { Error("Method calls are not supported yet"); }

}  // namespace kelvo
