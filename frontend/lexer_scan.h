// Small character helpers shared by the lexer's files.
#pragma once

#include <array>

#include "frontend/source_file.h"

namespace kelvo::lex {

constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }
inline bool isHexDigit(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
constexpr bool isWordStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
// One load per character: the word loop runs for every letter of the source.
inline constexpr auto kWordChars = [] {
  std::array<bool, 256> t{};
  for (int c = 0; c < 256; ++c) t[c] = isWordStart(static_cast<char>(c)) || isDigit(static_cast<char>(c));
  return t;
}();
inline bool isWordChar(char c) { return kWordChars[static_cast<unsigned char>(c)]; }

// The first character at or after `p` that is no blank of the line: spaces and tabs only. The
// zero byte after every text ends the run, so it needs no bounds check.
inline const char* pastBlanks(const char* p) {
  while (*p == ' ' || *p == '\t') ++p;
  return p;
}

// Moves the reader over the following characters that satisfy `pred`; the line stays the same.
// `pred` must refuse the zero byte that follows every text: it ends the run without a bounds check.
// Returns the new position, so the caller need not read it back from the record just written.
template <typename Pred>
inline int32_t advanceWhile(TAFile& f, Pred pred) {
  const char* s = f.strSource.data();
  int32_t p = f.intCurChar;  // 1-based position of the current character = index of the next one
  if (p >= f.intSourceLen) return p;
  const int32_t start = p;
  while (pred(s[p])) ++p;
  f.intCurLineChar += p - start;
  f.intCurChar = p;
  return p;
}

}  // namespace kelvo::lex
