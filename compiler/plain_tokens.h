// Punctuation read straight from the source text: most statements expect a ",", ":", "(",
// ")" or "{" next, right after the last token or a few blanks.
#pragma once

#include <cstdint>

namespace kelvo {

struct TCompiler;

// Reads the one-character token `c` (code `code`) when it comes next after nothing but blanks
// on the same line, leaving the token and the reader as the lexer does; false, with nothing
// read, for anything else. Only for a token read at a statement's level (lexer depth 0).
bool TakePunctuation(TCompiler& compiler, int lexDepth, char c, uint16_t code);

}  // namespace kelvo
