#include "frontend/compiler.h"

namespace kelvo {

static bool isBlank(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 1 && u <= 32;
}

char TCompiler::peekNonBlankAfter() {
  int32_t pos = curFile->intCurChar + 1;
  while (isBlank(curFile->CharAt(pos))) ++pos;
  return curFile->CharAt(pos);
}

// Stops at the end of the text with 0, so callers can report their own error.
char TCompiler::SkipToChars(const std::string& character) {
  const char wanted = character.empty() ? '\0' : character[0];
  char c = curFile->CharAt(curFile->intCurChar);
  while (c != wanted && curFile->intCurChar <= curFile->intSourceLen) c = NextChar();
  return c == wanted ? c : '\0';
}

bool TCompiler::IsLineEndAhead() {
  int32_t pos = curFile->intCurChar + 1;
  for (;;) {
    const char c = curFile->CharAt(pos);
    if (c == '\n' || c == '\r') return true;  // any line end, also a lone CR
    if (c == '/' && (curFile->CharAt(pos + 1) == '/' || curFile->CharAt(pos + 1) == '*')) return true;
    if (c == '\0' || !isBlank(c)) return false;
    ++pos;
  }
}

}  // namespace kelvo
