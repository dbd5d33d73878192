// The MMX and SSE mnemonics: which statement handler compiles each, and the rows it encodes.
#pragma once

#include <cstdint>
#include <span>

#include "assembler/encoders_simd.h"

namespace kelvo {

enum class TSimdHandler : uint8_t { movd, movq, mmxArith, sseArith, sseMove, sfence, movntq, prefetchnta };

struct TSimdStatement {
  uint16_t token;  // the mnemonic's token code
  const char* mnemonic;
  TSimdHandler handler;
  TFormId form;   // the load row of a move; unused for movd and movq, whose encoders know theirs
  TFormId store;  // the store row of an SSE move
};

std::span<const TSimdStatement> SimdStatements();
// The row of a token code, or nullptr when the code is no MMX or SSE mnemonic.
const TSimdStatement* FindSimdStatement(uint16_t code);

}  // namespace kelvo
