// Little-endian fields of 1 to 4 bytes in a byte buffer: code being patched, headers being built.
#pragma once

#include <cstdint>

namespace kelvo {

inline void patchLE(char* at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<char>(value >> (8 * i));
}

inline uint32_t readLE(const char* at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(at[i]);
  return v;
}

}  // namespace kelvo
