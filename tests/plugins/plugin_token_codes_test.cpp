// The token codes that the plug-in header repeats for plug-in authors: each must be the code
// the lexer delivers, and none may be added to the header without being checked here.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>

#include "frontend/token_codes.h"
#include "plugins/kelvo_plugin.h"

namespace kelvo {
namespace {

struct TCopiedCode {
  const char* name;  // after "KELVO_TOKEN_"
  uint32_t header;
  uint16_t lexer;
};

constexpr TCopiedCode kCopied[] = {
    {"SEMICOLON", KELVO_TOKEN_SEMICOLON, tk::Semicolon},
    {"COMMA", KELVO_TOKEN_COMMA, tk::Comma},
    {"NONE", KELVO_TOKEN_NONE, tk::Invalid},
    {"END_OF_FILE", KELVO_TOKEN_END_OF_FILE, tk::EndOfFile},
    {"IDENTIFIER", KELVO_TOKEN_IDENTIFIER, tk::Identifier},
    {"STRING", KELVO_TOKEN_STRING, tk::String},
    {"VARIABLE", KELVO_TOKEN_VARIABLE, tk::Variable},
    {"NUMBER", KELVO_TOKEN_NUMBER, tk::Number},
    {"HEX", KELVO_TOKEN_HEX, tk::Hex},
    {"FLOAT", KELVO_TOKEN_FLOAT, tk::Float},
    {"FIRST_PLUGIN", KELVO_TOKEN_FIRST_PLUGIN, tk::FirstPluginToken},
};

constexpr bool everyCopyMatches() {
  for (const TCopiedCode& c : kCopied)
    if (c.header != c.lexer) return false;
  return true;
}
static_assert(everyCopyMatches(), "a KELVO_TOKEN_ code in kelvo_plugin.h differs from token_list.def");

TEST(PluginHeader, EveryTokenCodeItCopiesIsChecked) {
  std::ifstream header(std::filesystem::path(KELVO_TEST_SOURCE_DIR) / "plugins/kelvo_plugin.h");
  ASSERT_TRUE(header);
  const std::regex define(R"(^\s*#\s*define\s+KELVO_TOKEN_(\w+)\s)");
  std::set<std::string> inHeader, checked;
  for (std::string line; std::getline(header, line);) {
    std::smatch m;
    if (std::regex_search(line, m, define)) inHeader.insert(m[1]);
  }
  for (const TCopiedCode& c : kCopied) checked.insert(c.name);
  EXPECT_EQ(inHeader, checked);
}

}  // namespace
}  // namespace kelvo
