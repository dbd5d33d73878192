// Look-ahead, expected tokens and token copies.
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

}  // namespace
}  // namespace kelvo::testing
