// A condition's comparator read straight from the source text.
#pragma once

#include <cstdint>

namespace kelvo {

struct TCompiler;

// The comparator ("==", "<", "=>", ...) when it follows on the same line, read a character at a
// time to the state the lexer leaves after reading it; 0, with nothing read, for any other text
// and whenever plug-ins may take characters, which the lexer then reads. Only between tokens:
// not while the lexer is reading one.
uint16_t ReadComparator(TCompiler& c);

}  // namespace kelvo
