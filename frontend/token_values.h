// Values that tokens carry, worked out as the lexer reads them.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>

namespace kelvo {

// A whole number as a long double. Where that is the x87 80-bit format the bits are put
// together directly: loading the number into the FPU and storing 10 bytes back costs a stall
// on every number token. Every 64-bit integer fits the 64-bit significand exactly.
inline void setExtendedFromInt(long double& to, int64_t value) {
  if constexpr (std::numeric_limits<long double>::digits == 64 && sizeof(long double) >= 10) {
    unsigned char bytes[sizeof(long double)] = {};
    if (value != 0) {
      const bool negative = value < 0;
      const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
      const int shift = std::countl_zero(magnitude);
      const uint64_t significand = magnitude << shift;
      const auto exponent = static_cast<uint16_t>((16383 + 63 - shift) | (negative ? 0x8000 : 0));
      std::memcpy(bytes, &significand, 8);
      std::memcpy(bytes + 8, &exponent, 2);
    }
    std::memcpy(&to, bytes, sizeof bytes);
  } else {
    to = static_cast<long double>(value);
  }
}

}  // namespace kelvo
