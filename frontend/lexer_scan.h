// Small character helpers shared by the lexer's files.
#pragma once

#include "frontend/source_file.h"

namespace kelvo::lex {

inline bool isDigit(char c) { return c >= '0' && c <= '9'; }
inline bool isHexDigit(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
inline bool isWordStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
inline bool isWordChar(char c) { return isWordStart(c) || isDigit(c); }

// Moves the reader over the following characters that satisfy `pred`; the line stays the same.
template <typename Pred>
inline void advanceWhile(TAFile& f, Pred pred) {
  const char* s = f.strSource.data();
  int32_t p = f.intCurChar;  // 1-based position of the current character = index of the next one
  const int32_t start = p;
  while (p < f.intSourceLen && pred(s[p])) ++p;
  f.intCurLineChar += p - start;
  f.intCurChar = p;
}

}  // namespace kelvo::lex
