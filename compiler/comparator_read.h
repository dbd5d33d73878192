// A condition's comparator and a counted loop's "=" read straight from the source text.
#pragma once

#include <cstdint>

namespace kelvo {

struct TCompiler;

// The comparator ("==", "<", "=>", ...) when it follows on the same line, read a character at a
// time to the state the lexer leaves after reading it; 0, with nothing read, for any other text,
// inside a token being read and whenever plug-ins may take characters: the lexer then reads it.
uint16_t ReadComparator(TCompiler& c);

// The same for "=" standing alone (not the start of "==", "=!" or "=>"): whether it was read.
bool ReadAssign(TCompiler& c);

}  // namespace kelvo
