// The character-level reading of a condition's comparator against the lexer's: after a left
// operand, every blank, operator and tail below must leave the same state either way, or be
// left to the lexer untouched; every comparator on the operand's line must be taken.
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

TEST(ComparatorRead, LeavesTheStateOfTheLexer) {
  static const char* const kBlanks[] = {"", " ", "\t ", "\n", "\r\n  ", "/*c*/", " // c\n"};
  static const char* const kOperators[] = {"=", "==", "=!", "=>", "<", "<=", "<>", "<<", ">", ">>",
                                           ">=", "!", "!=", "!!", "+", "(", ")", "x", ""};
  static const char* const kTails[] = {"", " 5", "5", "=", ">", "<", "!", " ecx)", "\n5"};
  int taken = 0, cases = 0;
  for (const char* blank : kBlanks) {
    for (const char* op : kOperators) {
      for (const char* tail : kTails) {
        const std::string source = std::string("eax") + blank + op + tail;
        SCOPED_TRACE("\"" + visible(source) + "\"");
        ++cases;
        auto lexer = freshCompiler(source);
        lexer->GetToken();
        const uint16_t code = lexer->GetToken(false, true);
        auto direct = freshCompiler(source);
        direct->GetToken();
        const std::string before = stateOf(*direct);
        const uint16_t read = ReadComparator(*direct);
        if (read == 0) {
          ASSERT_EQ(stateOf(*direct), before) << "refused, yet read";
          const bool sameLine = std::string(blank).find_first_of("\n/") == std::string::npos;
          ASSERT_FALSE(isComparator(code) && sameLine) << "a comparator on the line left to the lexer";
          continue;
        }
        ++taken;
        ASSERT_EQ(read, code);
        ASSERT_EQ(stateOf(*direct), stateOf(*lexer));
        // With a plug-in entry any character may be the plug-in's: the lexer decides.
        auto withPlugin = freshCompiler(source);
        withPlugin->pluginSys->AddEntry(false, "nowhereinthetext", noHandler);
        withPlugin->GetToken();
        ASSERT_EQ(ReadComparator(*withPlugin), 0);
      }
    }
  }
  EXPECT_GT(taken, cases / 10);
}

}  // namespace
}  // namespace kelvo::testing
