#include "assembler/encoders_simd.h"
#include "frontend/compiler.h"

namespace kelvo {

bool MmxEnabled() {
  const TCompiler* compiler = TCompiler::Instance();
  return !compiler || compiler->Settings.MMX_is;
}

bool SseEnabled() {
  const TCompiler* compiler = TCompiler::Instance();
  return !compiler || compiler->Settings.SSE_is;
}

}  // namespace kelvo
