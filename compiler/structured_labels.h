// Generated jump labels of the structured statements and the jump codes they use.
#pragma once

#include <cstdint>
#include <string>

namespace kelvo {

// The jump taken exactly when the given one is not: 4/5, 2/3, 6/7, 12/13, 14/15, and
// "always" with "never".
uint16_t InvertJump(uint16_t code);

// A generated label: the prefix ("=" or "~" first, which no identifier can start with) and
// the brace level's id in decimal.
inline std::string LevelLabel(const char* prefix, uint32_t id) { return prefix + std::to_string(id); }

}  // namespace kelvo
