// The MMX and SSE mnemonics: which statement handler compiles each, and the rows it encodes.
#pragma once

#include <cstdint>
#include <span>

#include "assembler/encoders_simd.h"

namespace kelvo {

enum class TSimdHandler : uint8_t { none, movd, movq, mmxArith, sseArith, sseMove, sfence, movntq, prefetchnta };

struct TSimdStatement {
  const char* mnemonic;  // nullptr where the code is no mnemonic
  TSimdHandler handler;
  TFormId form;   // the load row of a move; unused for movd and movq, whose encoders know theirs
  TFormId store;  // the store row of an SSE move
};

// Token codes from movd (601) to prefetchnta (668) in order.
inline constexpr uint16_t kFirstSimdCode = 601;
std::span<const TSimdStatement> SimdStatements();
// The row of a token code, or nullptr when the code is no MMX or SSE mnemonic.
const TSimdStatement* FindSimdStatement(uint16_t code);

}  // namespace kelvo
