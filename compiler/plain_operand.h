// Memory operands written plainly, read straight from the source text.
#pragma once

namespace kelvo {

struct TCompiler;

// After "[": an operand of 32-bit registers, decimal numbers, "+", "-", "*" and blanks up to
// "]" on the same line is read in one pass over its characters, leaving the reader, the
// operand and the token as reading it token by token does. False, with nothing read, for any
// other text, and for a plain one that is wrong: the token-by-token reading reports that.
bool ReadPlainOperand(TCompiler& c);

}  // namespace kelvo
