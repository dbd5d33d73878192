// The character-level reading of plain memory operands against the token-by-token one: over
// thousands of generated operands, plain ones and near misses, both must leave the same state,
// and the character-level one must take nothing that the token path refuses.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "compiler/plain_operand.h"
#include "frontend/compiler.h"
#include "frontend/token_codes.h"
#include "plugins/plugin_manager.h"
#include "tests/compiler/token_state.h"
#include "tests/frontend/lexer_env.h"

namespace kelvo::testing {
namespace {

constexpr uint32_t kSeed = 20261209;
constexpr int kCases = 4000;

// An operand text after "[", and whether it holds only what the character-level reading reads:
// 32-bit registers, decimal numbers of up to 18 digits, "+", "-", "*", blanks, "]".
struct TOperandText {
  std::string text;
  bool plain = true;
};

class TOperandMaker {
 public:
  TOperandText Make() {
    parts_.clear();
    plain_ = true;
    add(blank() + reg());
    const size_t shape = pick(4);  // reg | reg*s | reg+reg | reg+reg*s, then reg+n or a sign
    if (shape >= 2) add(blank() + op("+") + blank() + reg());
    if (shape % 2 == 1) add(blank() + "*" + blank() + scale());
    for (size_t n = pick(4); n > 0; --n) add(blank() + op(pick(2) ? "+" : "-") + blank() + number());
    add(blank() + "]");
    if (pick(3) == 0) nearMiss();
    std::string text;
    for (const std::string& p : parts_) text += p;
    static const char* const kTails[] = {"", " ecx", ";", "\n+1", " [ebx]", "\t// done"};
    return {text + kTails[pick(std::size(kTails))], plain_};
  }

 private:
  std::mt19937 rnd_{kSeed};
  std::vector<std::string> parts_;
  bool plain_ = true;

  size_t pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rnd_); }
  template <size_t N>
  const char* any(const char* const (&list)[N]) { return list[pick(N)]; }
  void add(std::string part) { parts_.push_back(std::move(part)); }

  std::string blank() {
    static const char* const kBlanks[] = {"", "", "", " ", "\t", "  ", " \t "};
    return any(kBlanks);
  }
  std::string reg() {
    static const char* const kRegs[] = {"eax", "ecx", "edx", "ebx", "esp", "ebp", "esi", "edi"};
    std::string r = any(kRegs);
    for (char& c : r)
      if (pick(3) == 0) c = static_cast<char>(c - 'a' + 'A');
    return r;
  }
  std::string scale() {
    static const char* const kScales[] = {"1", "2", "4", "8", "3", "0", "16", "02"};
    return any(kScales);
  }
  // Small values, and the edges of the displacement's range (kLowestDisp, kHighestDisp).
  std::string number() {
    static const char* const kEdges[] = {"2147483647", "2147483648", "2147483649", "4294967295",
                                         "4294967296", "0",          "00012",      "999999999999999999"};
    if (pick(3) == 0) return any(kEdges);
    return std::to_string(pick(5000));
  }
  // "+" or "-", at times doubled with or without blanks between, as the lexer joins them.
  std::string op(const char* sign) {
    static const char* const kRuns[] = {"+", "-", " +", " -", "+-", "++"};
    return pick(10) == 0 ? std::string(sign) + any(kRuns) : sign;
  }

  // One change that the character-level reading must leave to the token path.
  void nearMiss() {
    plain_ = false;
    static const char* const kWords[] = {"ax", "Bl", "sp", "cs", "xmm0", "st", "foo", "v", "answer",
                                         "FOO", "eaxx", "e_ax", "$mv", "mac"};
    static const char* const kNumbers[] = {"0x10", "0X10", "0x", "1.5", "2.", "10h", "1e3",
                                           "0000000000000000000001", "99999999999999999999"};
    static const char* const kBreaks[] = {"\n", "\r\n", "/*c*/", "/*\n*/", "//c\n", ";", ",", "."};
    std::string& part = parts_[pick(parts_.size())];
    const size_t at = part.find_first_not_of(" \t+-*");
    switch (pick(5)) {
      case 0: part.replace(at, part.size() - at, any(kWords)); break;
      case 1: part.replace(at, part.size() - at, any(kNumbers)); break;
      case 2: part.insert(pick(part.size() + 1), any(kBreaks)); break;
      case 3: parts_.back() = blank(); break;  // no "]"
      default: part.insert(at, any(kBreaks)); break;
    }
  }
};

// The state after the operand's token and the one after it, or the report of the error met.
std::string readTwoTokens(TCompiler& c) {
  ::testing::internal::CaptureStdout();
  std::string state, thrown;
  try {
    c.GetToken();
    state = stateOf(c);
    c.GetToken();
    state += "then " + stateOf(c);
  } catch (const ECompileError& e) {
    thrown = e.what();
  }
  const std::string printed = ::testing::internal::GetCapturedStdout();
  return thrown.empty() ? state : "error " + printed + "|" + thrown;
}

int32_t noHandler() { return 0; }

TEST(PlainOperand, LeavesTheStateOfTheTokenPath) {
  TOperandMaker maker;
  int taken = 0, refused = 0;
  for (int i = 0; i < kCases; ++i) {
    const TOperandText k = maker.Make();
    const std::string source = "[" + k.text;
    SCOPED_TRACE("case " + std::to_string(i) + ": \"" + visible(source) + "\"");

    // The character-level reading on its own, just after "[".
    auto probe = freshCompiler(source);
    probe->curFile->intCurChar = probe->curFile->intCurLineChar = 1;
    const std::string before = stateOf(*probe);
    const bool took = ReadPlainOperand(*probe);
    taken += took;
    if (!took) {
      ASSERT_EQ(stateOf(*probe), before) << "refused, yet read";
    }

    // The lexer as it is, and the lexer with a plug-in entry, which turns the character-level
    // reading off; an entry that no text names leaves the token path as it is.
    auto fast = freshCompiler(source);
    auto tokens = freshCompiler(source);
    tokens->pluginSys->AddEntry(false, "nowhereinthetext", noHandler);
    const std::string byTokens = readTwoTokens(*tokens);
    ASSERT_EQ(readTwoTokens(*fast), byTokens);
    const bool failed = byTokens.starts_with("error");
    refused += failed;
    if (failed) {
      ASSERT_FALSE(took) << "taken, but the token path reports " << byTokens;
    } else if (k.plain) {
      ASSERT_TRUE(took) << "a plain operand left to the token path";
    }
  }
  // The generator must reach both sides, and often.
  EXPECT_GT(taken, kCases / 4);
  EXPECT_GT(refused, kCases / 4);
  std::printf("%d operands: %d read at character level, %d refused by the token path\n", kCases, taken, refused);
}

}  // namespace
}  // namespace kelvo::testing
