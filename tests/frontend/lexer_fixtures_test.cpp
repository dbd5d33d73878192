// Every source beside this test (tests/frontend/lexer/NAME.kel) must lex to its dump
// (NAME.tokens). Regenerate one after a deliberate change:
//   build/release/tests/frontend/kelvo_token_dump tests/frontend/lexer/NAME.kel > tests/frontend/lexer/NAME.tokens
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/frontend/lexer_env.h"

namespace kelvo::testing {
namespace {

std::string readFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The first differing line, for a readable failure.
std::string firstDifference(const std::string& want, const std::string& got) {
  std::istringstream a(want), b(got);
  std::string la, lb;
  for (int line = 1;; ++line) {
    const bool ha = static_cast<bool>(std::getline(a, la)), hb = static_cast<bool>(std::getline(b, lb));
    if (!ha && !hb) return "";
    if (la != lb || ha != hb)
      return "line " + std::to_string(line) + ":\n  want: " + (ha ? la : "<end>") + "\n  got:  " + (hb ? lb : "<end>");
  }
}

TEST(LexerFixtures, EverySourceLexesToItsDump) {
  const std::filesystem::path dir = std::filesystem::path(KELVO_TEST_SOURCE_DIR) / "tests/frontend/lexer";
  int checked = 0;
  for (const auto& item : std::filesystem::directory_iterator(dir)) {
    if (item.path().extension() != ".kel") continue;
    std::filesystem::path expected = item.path();
    expected.replace_extension(".tokens");
    ASSERT_TRUE(std::filesystem::exists(expected)) << expected;
    TCompiler c;
    setUpLexerEnvironment(c);
    useSource(c, item.path().filename().string(), readFile(item.path()));
    ::testing::internal::CaptureStdout();
    dumpTokens(c);
    const std::string got = ::testing::internal::GetCapturedStdout();
    c.Free();
    EXPECT_EQ(firstDifference(readFile(expected), got), "") << item.path().filename();
    ++checked;
  }
  EXPECT_GE(checked, 10);
}

}  // namespace
}  // namespace kelvo::testing
