// The character-level reading of a condition's comparator and a counted loop's "=" against the
// lexer's: after an operand, every blank, operator and tail below must leave the same state
// either way, or be left to the lexer untouched; every one on the operand's line must be taken.
#include <gtest/gtest.h>

#include <string>

#include "compiler/comparator_read.h"
#include "frontend/compiler.h"
#include "frontend/token_codes.h"
#include "plugins/plugin_manager.h"
#include "tests/compiler/token_state.h"

namespace kelvo::testing {
namespace {

bool isComparator(uint16_t code) { return code >= tk::Equal && code <= tk::GreaterEqual; }

int32_t noHandler() { return 0; }

// One reader at character level against the lexer on `source`, whose first token is read:
// either it reads what the lexer reads, to the same state, or it reads nothing and the token is
// none it should take. Whether it took the token.
template <typename Reader>
bool readsAsTheLexer(const std::string& source, Reader reader, bool (*wanted)(uint16_t), bool sameLine) {
  auto lexer = freshCompiler(source);
  lexer->GetToken();
  const uint16_t code = lexer->GetToken(false, true);
  auto direct = freshCompiler(source);
  direct->GetToken();
  const std::string before = stateOf(*direct);
  const uint16_t read = reader(*direct);
  if (read == 0) {
    EXPECT_EQ(stateOf(*direct), before) << "refused, yet read";
    EXPECT_FALSE(wanted(code) && sameLine) << "a token on the line left to the lexer";
    return false;
  }
  EXPECT_EQ(read, code);
  EXPECT_EQ(stateOf(*direct), stateOf(*lexer));
  // With a plug-in entry any character may be the plug-in's: the lexer decides.
  auto withPlugin = freshCompiler(source);
  withPlugin->pluginSys->AddEntry(false, "nowhereinthetext", noHandler);
  withPlugin->GetToken();
  EXPECT_EQ(reader(*withPlugin), 0);
  return true;
}

TEST(ComparatorRead, LeavesTheStateOfTheLexer) {
  static const char* const kBlanks[] = {"", " ", "\t ", "\n", "\r\n  ", "/*c*/", " // c\n"};
  static const char* const kOperators[] = {"=", "==", "=!", "=>", "<", "<=", "<>", "<<", ">", ">>",
                                           ">=", "!", "!=", "!!", "+", "(", ")", "x", ""};
  static const char* const kTails[] = {"", " 5", "5", "=", ">", "<", "!", " ecx)", "\n5"};
  auto comparator = [](TCompiler& c) { return ReadComparator(c); };
  auto assign = [](TCompiler& c) { return ReadAssign(c) ? static_cast<uint16_t>(tk::Assign) : uint16_t{0}; };
  int comparators = 0, assigns = 0, cases = 0;
  for (const char* blank : kBlanks) {
    for (const char* op : kOperators) {
      for (const char* tail : kTails) {
        const std::string source = std::string("eax") + blank + op + tail;
        SCOPED_TRACE("\"" + visible(source) + "\"");
        const bool sameLine = std::string(blank).find_first_of("\n/") == std::string::npos;
        ++cases;
        comparators += readsAsTheLexer(source, comparator, isComparator, sameLine);
        assigns += readsAsTheLexer(source, assign, [](uint16_t code) { return code == tk::Assign; }, sameLine);
        if (::testing::Test::HasFailure()) return;
      }
    }
  }
  EXPECT_GT(comparators, cases / 10);
  EXPECT_GT(assigns, cases / 100);
}

}  // namespace
}  // namespace kelvo::testing
