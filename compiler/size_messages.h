// What a statement says when its operands differ in width. The texts are the ones sources and
// their users already know, so the four wordings stay; each is written once, in
// size_messages.cpp, and a handler names the one it reports.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvo {

enum class TSizeMessage : uint8_t {
  sameSize,        // "Operands must be the same size": add, sub, mov, lar, bt.., adc, cmovz
  equalSize,       // "Operands must be equal size": assignments, cmp, counted loops, arguments
  registersEqual,  // "Registers must be equal size": xchg
  registersStop,   // the same ending in ".": or, xor
};

std::string SizeMessage(TSizeMessage which);
// The text and the operand's text in double quotes (" - " between them for sameSize, a blank
// for the others).
std::string SizeMessage(TSizeMessage which, std::string_view operand);

}  // namespace kelvo
