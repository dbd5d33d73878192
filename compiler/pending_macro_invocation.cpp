// Placeholder until macro expansion is built; that work replaces this file.
#include "frontend/compiler.h"

namespace kelvo {

bool TCompiler::InvokeMacro(PMacro macro) { Error("Calling macro " + macro->Name + " is not supported yet"); }

}  // namespace kelvo
