// Generated jump labels of the structured statements and the jump codes they use.
#pragma once

#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelvo {

// The jump taken exactly when the given one is not: 4/5, 2/3, 6/7, 12/13, 14/15, and
// "always" with "never".
uint16_t InvertJump(uint16_t code);

// Appends n in decimal. Every structured statement names a few labels: the digits go straight
// into the label, with no temporary string to join.
inline void AppendDecimal(std::string& text, uint32_t n) {
  char digits[10];
  const char* end = std::to_chars(digits, digits + sizeof digits, n).ptr;
  text.append(digits, static_cast<size_t>(end - digits));
}

// A generated label: the prefix ("=" or "~" first, which no identifier can start with) and
// the brace level's id in decimal.
inline std::string LevelLabel(std::string_view prefix, uint32_t id) {
  std::string label(prefix);
  AppendDecimal(label, id);
  return label;
}

}  // namespace kelvo
