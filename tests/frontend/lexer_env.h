// A compiler state with a few declared names, for reading sources through the lexer alone.
#pragma once

#include <string>

#include "frontend/compiler.h"

namespace kelvo::testing {

// Names the fixtures may use:
//   types: the built-in ones; procedure: proc1 (index 1)
//   global variables: v (dword), arr (dword x 10), s (string), obj (pointer)
//   local variable: loc (word x 4); parameters: par (dword x 2), preg (held in ecx)
//   constants: answer = 42, greeting = 'hi' (string), pi = 3.14 (float)
//   macro variables: $mv = 7, $hx = 0x1F, $fl = 2.5; macro: mac; define: FOO
void setUpLexerEnvironment(TCompiler& c);
// Makes `text` the current source, named `name`.
void useSource(TCompiler& c, const std::string& name, const std::string& text);
// Prints one line per token (code, Str, Int, Ext, line, column) until the end of the text;
// an error report is printed by the compiler itself, followed by "aborted". Returns false
// when an error ended the dump.
bool dumpTokens(TCompiler& c);

}  // namespace kelvo::testing
