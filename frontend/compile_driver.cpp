#include "frontend/compiler.h"

namespace kelvo {

void TCompiler::Compile(const std::string& /*outputName*/) {
  throw ECompileError("The compile step is not built yet");
}

}  // namespace kelvo
