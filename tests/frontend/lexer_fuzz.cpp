// Arbitrary bytes as a source: the lexer must end every one with tokens or a report.
#include <cstddef>
#include <cstdint>
#include <string>

#include "frontend/token_codes.h"
#include "tests/frontend/lexer_env.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kelvo::TCompiler c;
  kelvo::testing::setUpLexerEnvironment(c);
  kelvo::testing::useSource(c, "fuzz.kel", std::string(reinterpret_cast<const char*>(data), size));
  try {
    for (size_t i = 0; i <= size + 1; ++i)
      if (c.GetToken() == kelvo::tk::EndOfFile) break;
  } catch (const kelvo::ECompileError&) {
  }
  c.Free();
  return 0;
}
