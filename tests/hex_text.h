// Bytes as spaced upper-case hex text ("55 8B EC"), so failures show readable code.
#pragma once

#include <string>
#include <string_view>

namespace kelvo::testing {

inline std::string hex(std::string_view bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (unsigned char b : bytes) {
    if (!out.empty()) out += ' ';
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

}  // namespace kelvo::testing
