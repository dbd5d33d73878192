// Look-ahead, expected tokens and token copies.
#include <cmath>
#include <string>

#include "frontend/token_codes.h"
#include "tests/frontend/frontend_fixture.h"

namespace kelvo::testing {
namespace {

using TokenLayer = FrontEnd;

TEST_F(TokenLayer, ExpectTokenReportsExpectedTexts) {
  source("foo } 7");
  EXPECT_EQ(c.ExpectToken({tk::Semicolon}), tk::Invalid);
  EXPECT_EQ(c.strLastError, "Expected ; but found foo");
  EXPECT_EQ(c.ExpectToken({tk::Number, tk::Hex, tk::Float, tk::Semicolon}), tk::Invalid);
  EXPECT_EQ(c.strLastError, "Expected number or hexadecimal or float number or ; but found }");
  EXPECT_EQ(c.ExpectToken({tk::Semicolon, tk::Number}), tk::Number);
  EXPECT_EQ(c.ExpectToken(nullptr, -1), tk::Invalid);
  EXPECT_EQ(c.strLastError, "Expected  but found ");
}

TEST_F(TokenLayer, PeekKeepsCodePositionLinesAndSwitches) {
  source("x\r\n\r\n 42 y");
  c.GetToken();
  struct {
    int32_t intCurChar, intCurLine, intCurLineChar;
  } before{c.curFile->intCurChar, c.curFile->intCurLine, c.curFile->intCurLineChar};
  const int32_t lines = c.intTotalLines;
  c.Settings.skipPluginKeywords = true;  // as while a plug-in drives the compiler
  EXPECT_EQ(c.PeekToken(), tk::Number);
  EXPECT_EQ(c.curToken.Token, tk::Identifier);
  EXPECT_EQ(c.curToken.Int, 42);  // the other fields show the peeked token
  EXPECT_EQ(c.curFile->intCurChar, before.intCurChar);
  EXPECT_EQ(c.curFile->intCurLine, before.intCurLine);
  EXPECT_EQ(c.curFile->intCurLineChar, before.intCurLineChar);
  EXPECT_EQ(c.intTotalLines, lines);
  EXPECT_TRUE(c.Settings.skipPluginKeywords);
  EXPECT_FALSE(c.Settings.peekToken);
  c.Settings.skipPluginKeywords = false;
  EXPECT_EQ(c.ExpectToken({tk::Number}), tk::Number);
  EXPECT_FALSE(c.Settings.skipPluginKeywords);
  EXPECT_EQ(c.curFile->intCurLine, 3);
}

TEST_F(TokenLayer, SaveRestoreAndCopyKeepTheNamedFields) {
  source("arr");
  c.GetToken();
  c.curToken.MacroVar = reinterpret_cast<PMacroVar>(&c);
  c.curToken.ID = 5;
  const PCurrentToken saved = c.SaveToken();
  EXPECT_EQ(saved->Str, "arr");
  EXPECT_EQ(saved->DataType, c.curToken.DataType);
  EXPECT_EQ(saved->MacroVar, nullptr);
  EXPECT_EQ(saved->ID, 0);
  EXPECT_EQ(c.NCTList.back().get(), saved);
  c.SetToken(tk::Number, "3");
  c.curToken.DataType = nullptr;
  c.RestoreToken(saved);
  EXPECT_EQ(c.curToken.Token, tk::Variable);
  EXPECT_EQ(c.curToken.Length, 40);
  EXPECT_EQ(c.curToken.Data, c.listData[1].get());
  EXPECT_EQ(c.curToken.DataType, nullptr);  // not copied
  EXPECT_EQ(c.curToken.ID, 5);
}

// A token read from the source refers to it; a saved copy, and the token itself once that text
// is replaced, keep what was read.
TEST_F(TokenLayer, TokenTextsOutliveTheTextTheyWereReadFrom) {
  source("alpha beta  ");
  c.GetToken();
  EXPECT_EQ(c.curToken.Str, "alpha");
  const TCurrentToken saved = c.curToken;
  c.GetToken();
  EXPECT_EQ(saved.Str, "alpha");
  c.curToken.Str.own();
  c.curFile->strSource.assign("gamma");  // as a plug-in that rewrites the file does
  c.curFile->intSourceLen = 5;
  EXPECT_EQ(c.curToken.Str, "beta");
  EXPECT_EQ(saved.Str, "alpha");
  c.SetToken(tk::Identifier, std::string("built") + "text");  // a text that is no source: copied
  EXPECT_EQ(c.curToken.Str, "builttext");
  EXPECT_EQ(c.curToken.Str + "!", "builttext!");
  EXPECT_EQ("-" + c.curToken.Str, "-builttext");
}

// Punctuation is taken in place only while no plug-in listens: one may claim the character,
// and then the lexer's own path must offer it.
TEST_F(TokenLayer, PunctuationIsLeftToTheLexerWhilePlugInsListen) {
  source("x { y");
  c.GetToken();
  const int32_t at = c.curFile->intCurChar;
  c.pluginSys->AddEntry(true, "{", +[]() -> int32_t { return 0; });
  EXPECT_FALSE(c.TakePunctuation('{', tk::LBrace));
  EXPECT_EQ(c.curFile->intCurChar, at);
  EXPECT_EQ(c.curToken.Token, tk::Identifier);
}

// A number token's floating value is assembled from its integer without the FPU: it must be
// the value the plain conversion gives, sign, exponent and every significand bit.
TEST_F(TokenLayer, NumberTokensCarryTheirExactFloatingValue) {
  const char* texts[] = {"0", "1", "7", "255", "4096", "1000000007", "2147483647", "4294967295",
                         "9007199254740993", "9223372036854775807", "0x80000000", "0xFFFFFFFF",
                         "0x7FFFFFFF", "0x1", "0x123456789ABCDEF0", "0x8000000000000000", "0xFFFFFFFFFFFFFFFF"};
  std::string all;
  for (const char* t : texts) all += std::string(t) + " ";
  c.hexWide_ = true;  // 16-digit literals, as for an 8-byte item
  source(all);
  for (const char* t : texts) {
    SCOPED_TRACE(t);
    c.GetToken();
    ASSERT_TRUE(c.curToken.Token == tk::Number || c.curToken.Token == tk::Hex);
    EXPECT_EQ(c.curToken.Ext, static_cast<long double>(c.curToken.Int));
    EXPECT_EQ(std::signbit(c.curToken.Ext), c.curToken.Int < 0);
  }
  for (const char* negative : {"-1", "-2147483648", "-9223372036854775807"}) {
    SCOPED_TRACE(negative);
    c.SetToken(tk::Number, negative);
    EXPECT_EQ(c.curToken.Ext, static_cast<long double>(c.curToken.Int));
    EXPECT_LT(c.curToken.Ext, 0);
  }
}

}  // namespace
}  // namespace kelvo::testing
