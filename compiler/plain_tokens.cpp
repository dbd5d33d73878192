// One-character tokens taken without the lexer: the commonest tokens between operands and
// around bodies cost a look at a few characters.
#include "compiler/plain_tokens.h"

#include "frontend/compiler.h"

namespace kelvo {

bool TakePunctuation(TCompiler& compiler, int lexDepth, char c, uint16_t code) {
  if (lexDepth != 0) return false;  // a token inside another keeps the outer one's start
  TAFile& f = *compiler.curFile;
  const char* text = f.strSource.data();
  int32_t at = f.intCurChar;  // the index of the next character
  while (at < f.intSourceLen && (text[at] == ' ' || text[at] == '\t')) ++at;
  if (at >= f.intSourceLen || text[at] != c) return false;
  compiler.prevTokenType = compiler.curToken.Token;
  f.intCurLineChar += at + 1 - f.intCurChar;
  f.intCurChar = at + 1;
  compiler.tokenStart = {f.intCurChar - 1, f.intCurLine, f.intCurLineChar - 1};
  compiler.SetToken(code, std::string_view(text + at, 1));  // refers to the source
  return true;
}

}  // namespace kelvo
