// Prints the token dump of a source file; regenerates a lexer expectation:
//   kelvo_token_dump tests/frontend/lexer/NAME.kel > tests/frontend/lexer/NAME.tokens
#include <cstdio>
#include <fstream>
#include <sstream>

#include "tests/frontend/lexer_env.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: kelvo_token_dump file\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 2;
  }
  std::ostringstream text;
  text << in.rdbuf();
  std::string name = argv[1];
  name = name.substr(name.find_last_of('/') + 1);
  static kelvo::TCompiler c;
  kelvo::testing::setUpLexerEnvironment(c);
  kelvo::testing::useSource(c, name, text.str());
  kelvo::testing::dumpTokens(c);
  c.Free();
  return 0;
}
