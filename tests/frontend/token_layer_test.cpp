// Filling the current token, look-ahead, expected tokens, copies and the call-step queue.
#include <functional>

#include "frontend/token_codes.h"
#include "tests/frontend/frontend_fixture.h"

namespace kelvo::testing {
namespace {

using TokenLayer = FrontEnd;

TEST_F(TokenLayer, SetTokenDerivesValues) {
  c.SetToken(tk::Float, "2.5");
  EXPECT_EQ(c.curToken.Int, 2);
  c.SetToken(tk::Float, "3.5");
  EXPECT_EQ(c.curToken.Int, 4);
  EXPECT_EQ(c.curToken.Size, 0);
  c.SetToken(tk::Hex, "FFFFFFFF");
  EXPECT_EQ(c.curToken.Int, -1);
  c.SetToken(tk::Number, "12x");
  EXPECT_EQ(c.curToken.Int, 0);
  c.SetToken(tk::Register, "dh");
  EXPECT_EQ(c.curToken.Reg, rdDH);
  EXPECT_EQ(c.curToken.RegID, 6);
  EXPECT_EQ(c.curToken.Size, 8);
  EXPECT_EQ(c.curToken.Length, 1);
  c.SetToken(tk::Segment, "FS");
  EXPECT_EQ(c.curToken.Seg, segFS);
  EXPECT_EQ(c.curToken.Size, 0);
  c.curToken.DataType = c.compilerPtrType;
  c.curToken.Data = c.listData[0].get();
  c.SetToken(tk::Identifier, "name");
  EXPECT_EQ(c.curToken.Data, nullptr);
  EXPECT_EQ(c.curToken.DataType, c.compilerPtrType);  // kept
  EXPECT_EQ(c.curToken.Size, 4);
  EXPECT_EQ(c.curToken.Length, 4);
  c.SetToken(tk::Identifier, c.curToken.Str);  // its own text
  EXPECT_EQ(c.curToken.Str, "name");
}

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
  const TAFile before = *c.curFile;
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

TEST(TokenList, QueueAndOptimise) {
  auto run = [](std::vector<TCommand> in) {
    std::vector<TCurrentToken> tokens(in.size());
    TTokenList list;
    for (size_t i = 0; i < in.size(); ++i) list.Push(in[i], &tokens[i]);
    list.Optimise();
    std::vector<TCommand> out;
    for (size_t i = 0; i < list.Count(); ++i) out.push_back(list.Peek(i)->Command);
    return out;
  };
  using V = std::vector<TCommand>;
  EXPECT_EQ(run({ctPush, ctPush, ctMOVecx}), (V{ctMOVecx, ctPush, ctPush}));
  EXPECT_EQ(run({ctPush, ctMOVedx, ctPush, ctMOVecx}), (V{ctMOVedx, ctPush, ctMOVecx, ctPush}));
  EXPECT_EQ(run({ctPush, ctMOVeax}), (V{ctPush, ctMOVeax}));
  EXPECT_EQ(run({ctPush, ctMOVesi, ctMOVedi}), (V{ctMOVesi, ctPush, ctMOVedi}));

  TCurrentToken a, b, d;
  TTokenList list;
  EXPECT_EQ(list.Push(ctPush, &a), 0u);
  EXPECT_EQ(list.Push(ctCallGV, &b), 1u);
  list.PushFront(ctMOVebx, &d);
  EXPECT_EQ(d.Command, ctMOVebx);
  EXPECT_EQ(list.Pop(0), &d);
  EXPECT_EQ(list.Count(), 2u);
  EXPECT_EQ(list.Peek(1), &b);
  EXPECT_THROW(list.Pop(2), std::out_of_range);
  EXPECT_THROW(list.Peek(5), std::out_of_range);
}

}  // namespace
}  // namespace kelvo::testing
