// The two compile-time evaluators over a table of expressions: the general one with its
// precedence, floats and 64-bit integer operators, and the small one that groups from the
// right and counts register names as their numbers.
#include "tests/frontend/frontend_fixture.h"

namespace kelvo::testing {
namespace {

class ConstExpressions : public FrontEnd {};

struct TGeneralCase {
  const char* text;
  int64_t whole;
  long double value;
};

TEST_F(ConstExpressions, GeneralEvaluatorValues) {
  const TGeneralCase cases[] = {
      {"2 + 3 * 4", 14, 14},
      {"(2 + 3) * 4", 20, 20},
      {"-2 * 3", -6, -6},
      {"7 / 2", 4, 3.5L},          // float division; the integer rounds halves to even
      {"5 / 2", 2, 2.5L},
      {"1.5 + 1", 2, 2.5L},
      {"7 % 4", 3, 3},
      {"-7 % 4", -3, -3},          // the remainder keeps the left side's sign
      {"1 shl 40", 1099511627776LL, 1099511627776.0L},
      {"0x10 or 1", 17, 17},
      {"0xFF and 0x0F", 15, 15},
      {"6 xor 3", 5, 5},
      {"1 or 2 * 4", 9, 9},        // the right side of "or" is an integer term
      {"0x100 shr 4", 16, 16},
      {"1 shl 64", 0, 0},          // counts of 64 or more shift every bit out
      {"-1 shr 70", 0, 0},
      {"2 - 3 + 4", 3, 3},
      {"7 div 2", 3, 3},           // older sources' integer division
      {"3 mul 5", 15, 15},
      {"answer + 1", 43, 43},      // a named integer constant
      {"$mv * 2", 14, 14},         // a macro variable's value
      {"0x7FFFFFFF + 1", 2147483648LL, 2147483648.0L},
  };
  for (const TGeneralCase& k : cases) {
    source(std::string(k.text) + ";");
    std::string error = printedBy([&] { EXPECT_EQ(c.ConstExpression(false), 120) << k.text; });
    EXPECT_EQ(error, "|") << k.text;
    EXPECT_EQ(c.curToken.Int, k.whole) << k.text;
    EXPECT_EQ(c.curToken.Ext, k.value) << k.text;
    EXPECT_EQ(c.curToken.Str, std::to_string(k.whole)) << k.text;
  }
  source("7 / 2;");
  EXPECT_EQ(c.ConstExpression(true), 122);
  EXPECT_EQ(c.curToken.Ext, 3.5L);
  EXPECT_EQ(c.curToken.Str, "4");
}

TEST_F(ConstExpressions, GeneralEvaluatorMistakes) {
  const std::pair<const char*, const char*> cases[] = {
      {"5 or 2.5;", "Expected number or hexadecimal or ( but found 2.5"},
      {"(1 + 2;", "Expected ) but found ;"},
      {"1 + ;", "but found ;"},
      {"1 / 0;", "Division by zero"},
      {"1 % 0;", "Division by zero"},
      {"1 div 0;", "Division by zero"},
      {"1000000000000.0 * 1000000000000.0;", "Constant value out of range"},
      {"100000000000 * 100000000000;", "Constant value out of range"},
  };
  for (const auto& [text, message] : cases) {
    source(text);
    const std::string report = printedBy([&] { c.ConstExpression(false); });
    EXPECT_NE(report.find(message), std::string::npos) << text << " gave " << report;
    EXPECT_NE(report.find("[1,"), std::string::npos) << text << " gave " << report;
  }
}

TEST_F(ConstExpressions, SmallEvaluatorGroupsFromTheRight) {
  const std::pair<const char*, int32_t> cases[] = {
      {"2 - 3 + 4;", -5},     {"8 div 2 div 2;", 8},   {"2*(1+2)+1;", 8},  {"eax+2;", 2},
      {"esi+1;", 7},          {"1 shl 2 + 1;", 8},     {"10 - 2 - 3;", 11}, {"0x10 or 1;", 17},
      {"bl;", 3},             {"-2147483648 div -1;", 0}, {"7 xor 2 and 3;", 5}, {"1 shr 33;", 0},
      {";", 0},
  };
  for (const auto& [text, value] : cases) {
    source(text);
    bool done = false;
    int32_t depth = 0;
    int32_t got = 0;
    const std::string error = printedBy([&] { got = c.IntOperand(done, depth); });
    EXPECT_EQ(error, "|") << text;
    EXPECT_EQ(got, value) << text;
  }
  // A bracket that is never closed reports its own position, without a file name.
  source("(1 + 2;");
  bool done = false;
  int32_t depth = 0;
  EXPECT_EQ(printedBy([&] { c.IntOperand(done, depth); }), "|[1,5]: \"(\" does not have a \")\"");
  source("4 div 0;");
  depth = 0;
  EXPECT_NE(printedBy([&] { c.IntOperand(done, depth); }).find("Division by zero"), std::string::npos);
  source("2 (3);");
  depth = 0;
  EXPECT_NE(printedBy([&] { c.IntOperand(done, depth); }).find("Unexpected \"(\""), std::string::npos);
}

}  // namespace
}  // namespace kelvo::testing
