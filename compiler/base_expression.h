// A parsed memory operand: [reg1 + reg2*scale + disp].
#pragma once

#include <cstdint>
#include <string_view>

#include "assembler/memory_operand.h"
#include "common/definitions.h"

namespace kelvo {

struct TBaseExpression {
  TRegister reg1 = rdEAX;  // base, or the scaled register when it stands alone
  TRegister reg2 = rdEAX;  // index, valid when regcount is 2
  int32_t regcount = 0;
  int32_t scale = 0;       // 0 when none was written
  int32_t disp = 0;
  PDataType dt = nullptr;  // type named before the brackets, if any
  int32_t dtSize = 4;      // operand size in bytes
};

// The displacement written may be any 32-bit value, signed or not: it wraps as the address does.
constexpr int64_t kLowestDisp = -2147483648LL;
constexpr int64_t kHighestDisp = 4294967295LL;

inline bool ValidScale(int64_t n) { return n == 1 || n == 2 || n == 4 || n == 8; }

// The operand as the encoders take it.
inline TMemOperand MemOperandOf(const TBaseExpression& e) {
  return {e.regcount, e.reg1, e.reg2, e.disp, e.scale};
}

// The operand written back as text: "[ebp+esi*4-8]", into `room`, which holds kBaseTextRoom
// characters; no string is built for each operand read.
constexpr size_t kBaseTextRoom = 48;
std::string_view BaseExpressionText(const TBaseExpression& e, char* room);

}  // namespace kelvo
