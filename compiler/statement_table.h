// The handler of each statement a first token starts, by the token's code: one indexed load
// per statement instead of a search through a switch with the frame of its largest case.
#pragma once

#include <array>
#include <cstdint>

#include "frontend/compiler.h"

namespace kelvo {

using TStatementHandler = TStatementResult (*)(TCompiler& c, uint16_t code);

// Room for every code a statement can start with; the higher ones have no handler.
constexpr uint16_t kStatementTableSize = 1024;

extern const std::array<TStatementHandler, kStatementTableSize> kStatementHandlers;

// Null for a code whose statement needs the block's own settings or a search of its own
// (the end of a file, directives, SIMD, FPU and operandless instructions, unknown words).
inline TStatementHandler StatementHandler(uint16_t code) {
  return code < kStatementTableSize ? kStatementHandlers[code] : nullptr;
}

}  // namespace kelvo
