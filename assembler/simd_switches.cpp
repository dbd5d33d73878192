#include "assembler/encoders_simd.h"

namespace kelvo {

namespace {
const bool* gMmx = nullptr;
const bool* gSse = nullptr;
}  // namespace

bool MmxEnabled() { return !gMmx || *gMmx; }
bool SseEnabled() { return !gSse || *gSse; }

void BindSimdSwitches(const bool* mmx, const bool* sse) {
  gMmx = mmx;
  gSse = sse;
}

void UnbindSimdSwitches(const bool* mmx) {
  if (gMmx == mmx) gMmx = gSse = nullptr;
}

}  // namespace kelvo
