// Lexer behaviour that a token dump does not show: fields, positions, flags and macro forms.
#include <filesystem>
#include <fstream>

#include "frontend/token_codes.h"
#include "frontend/token_table.h"
#include "tests/frontend/frontend_fixture.h"

namespace kelvo::testing {
namespace {

using Lexer = FrontEnd;

TEST_F(Lexer, IndexingAndCastsChangeTheItem) {
  source("arr[3] v[3] loc[1] par[1] (byte)v v");
  EXPECT_EQ(c.GetToken(), tk::Variable);
  EXPECT_EQ(c.curToken.DataOffset, 12u);
  EXPECT_EQ(c.curToken.Length, 4);
  EXPECT_EQ(c.curToken.Data, c.listData[1].get());
  EXPECT_EQ(c.GetToken(), tk::Variable);
  EXPECT_EQ(c.curToken.DataOffset, 3u);
  EXPECT_EQ(c.curToken.Size, 1);
  EXPECT_EQ(c.GetToken(), tk::LocalVar);
  EXPECT_EQ(c.curToken.DataOffset, 2u);
  EXPECT_EQ(c.GetToken(), tk::LocalParam);
  EXPECT_EQ(c.curToken.DataOffset, 4u);
  EXPECT_EQ(c.GetToken(), tk::Variable);
  EXPECT_EQ(c.listData[0]->dataType->typeName, "byte");  // for good
  EXPECT_EQ(c.GetToken(), tk::Variable);
  EXPECT_EQ(c.curToken.DataType->typeName, "byte");
}

TEST_F(Lexer, RegistersAndTypes) {
  source("preg dword* word eax:int");
  EXPECT_EQ(c.GetToken(), tk::Register);
  EXPECT_EQ(c.curToken.Reg, rdECX);
  EXPECT_EQ(c.curToken.Size, 32);
  EXPECT_EQ(c.GetToken(), tk::TypeName);
  EXPECT_EQ(c.curToken.DataType, c.compilerPtrType);
  EXPECT_EQ(c.GetToken(), tk::TypeName);
  EXPECT_EQ(c.curToken.Size, 2);
  EXPECT_EQ(c.GetToken(), tk::Register);
  EXPECT_EQ(c.rsReg32[rdEAX].castKind, tk::Number);
}

TEST_F(Lexer, MacroVariableForms) {
  const PMacro m = c.macroSys.MacroAt(0);
  m->passedArgs = 2;
  m->lblCounter = 7;
  const PMacroVar first = c.macroSys.AddVariable(0, "p", true, true);
  c.SetToken(tk::Hex, "80000000");
  first->SetValue(c.curToken);
  c.macroSys.AddVariable(0, "q", true, true);  // never given a value
  source("$P = 1 $p $argc $arg[0] $arg[1] @here");
  c.curFile->macID = 0;
  EXPECT_EQ(c.GetToken(), tk::MacroVarStmt);
  EXPECT_EQ(c.curToken.MacroVar, first);
  EXPECT_EQ(c.curToken.Str, "p");
  c.GetToken();
  c.GetToken();
  EXPECT_EQ(c.GetToken(), tk::Hex);  // keeps its hexadecimal digits and value
  EXPECT_EQ(c.curToken.Str, "80000000");
  EXPECT_EQ(c.curToken.Int, -2147483648LL);
  EXPECT_EQ(c.GetToken(), tk::Number);
  EXPECT_EQ(c.curToken.Str, "2");
  EXPECT_EQ(c.GetToken(), tk::Hex);
  EXPECT_NE(printedBy([&] { c.GetToken(); }).find("Macro variable \"q\" has no value"), std::string::npos);
  source("$p = 1 @here $p");
  c.curFile->macID = 0;
  EXPECT_EQ(c.GetToken(false, true), tk::Hex);  // no statement form
  c.GetToken();
  c.GetToken();
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(c.GetToken(), tk::Label);
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(c.curToken.Str, "here7");  // labels of each expansion are its own
  EXPECT_EQ(c.GetToken(true, false), tk::Identifier);
  EXPECT_EQ(c.curToken.Str, "p");
}

TEST_F(Lexer, ArgcOutsideAMacroAndOffsetOutsideAProcedure) {
  source("$argc");
  EXPECT_NE(printedBy([&] { c.GetToken(); }).find("$argc can only be used inside a macro"), std::string::npos);
  source("offset @l");
  c.curFunc = nullptr;
  ::testing::internal::CaptureStdout();
  EXPECT_THROW(c.GetToken(), ECompileError);
  EXPECT_NE(::testing::internal::GetCapturedStdout().find("Unable to resolve offset of label \"l\""), std::string::npos);
}

TEST_F(Lexer, PositionsWithEveryKindOfLineEnd) {
  const auto path = std::filesystem::temp_directory_path() / "kelvo_line_ends.kel";
  for (const char* text : {"a\r\nbb\r\n  c", "a\nbb\n  c", "a\rbb\r  c", "\xEF\xBB\xBF" "a\nbb\n  c"}) {
    std::ofstream(path, std::ios::binary) << text;
    c.AddFile(path.string(), -1);
    c.curFile = c.listFiles.back().get();
    c.intTotalLines = 0;
    c.GetToken();
    EXPECT_EQ(c.curFile->intCurLineChar, 1) << text;
    c.GetToken();
    EXPECT_EQ(c.curFile->intCurLine, 2) << text;
    EXPECT_EQ(c.curFile->intCurLineChar, 2) << text;
    c.GetToken();
    EXPECT_EQ(c.curFile->intCurLine, 3);
    EXPECT_EQ(c.curFile->intCurLineChar, 3);
    EXPECT_EQ(c.GetToken(), tk::EndOfFile);
    EXPECT_EQ(c.GetToken(), tk::EndOfFile);  // and stays there
    EXPECT_EQ(c.curFile->intCurLineChar, 4);
    EXPECT_EQ(c.intTotalLines, 4);  // two line ends, two reads of the end
  }
  std::filesystem::remove(path);
}

// The lexer looks a word up where it stands in the text, reading past its end; near the end of
// the text the word goes whole to the full path. Either way every fixed word is found in any
// letter case, at the place where it was written, and a word one character longer is none.
TEST_F(Lexer, FixedWordsAreFoundWhereverTheyStand) {
  const std::string padding(20, ' ');
  for (const TKeyword& k : keywordTable()) {
    const bool reg = k.kind == TWordKind::register32 || k.kind == TWordKind::register16or8;
    if ((k.kind != TWordKind::plain && !reg) || k.code == tk::MnInt) continue;  // words with forms of their own
    const uint16_t code = reg ? uint16_t{tk::Register} : k.code;
    std::string upper(k.word), mixed(k.word);
    for (size_t i = 0; i < upper.size(); ++i) {
      upper[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(upper[i])));
      if (i % 2 == 1) mixed[i] = upper[i];
    }
    for (const std::string& word : {std::string(k.word), upper, mixed}) {
      const auto size = static_cast<int32_t>(word.size());
      const struct {
        std::string text;
        int32_t line, column;  // where the word's last character stands
      } places[] = {{word, 1, size}, {word + padding, 1, size}, {"\n\t " + word + padding, 2, size + 2}};
      for (const auto& place : places) {
        source(place.text);
        EXPECT_EQ(c.GetToken(), code) << place.text;
        EXPECT_EQ(c.curToken.Str, word);
        EXPECT_EQ(c.curFile->intCurLine, place.line);
        EXPECT_EQ(c.curFile->intCurLineChar, place.column) << place.text;
      }
      for (const std::string& longer : {word + "_", word + "q"}) {
        if (findKeyword(longer)) continue;  // "movq" is a word of its own
        for (const std::string& text : {longer, longer + padding}) {
          source(text);
          EXPECT_EQ(c.GetToken(), tk::Identifier) << text;
        }
      }
    }
  }
}

TEST_F(Lexer, TokenStartCanBeReadAgain) {
  source("x\n  name = 5 \n\n");
  c.GetToken();
  EXPECT_EQ(c.GetToken(), tk::Identifier);
  EXPECT_EQ(c.PeekToken(), tk::Assign);
  c.RewindToTokenStart();
  EXPECT_EQ(c.GetToken(), tk::Identifier);
  EXPECT_EQ(c.curToken.Str, "name");
  EXPECT_EQ(c.curFile->intCurLine, 2);
  EXPECT_EQ(c.curFile->intCurLineChar, 6);
  // The end of the text is no token start: the last token can still be read again.
  c.GetToken();
  c.GetToken();
  EXPECT_EQ(c.GetToken(), tk::EndOfFile);
  c.RewindToTokenStart();
  EXPECT_EQ(c.GetToken(), tk::Number);
  EXPECT_EQ(c.curFile->intCurLineChar, 10);
}

TEST_F(Lexer, LoadfsReadsAWholeFile) {
  const auto path = std::filesystem::temp_directory_path() / "kelvo_loadfs_test.bin";
  {
    std::ofstream out(path, std::ios::binary);
    out << std::string("a\0b\r\n", 5);
  }
  source("loadfs('" + path.string() + "') loadfs('/nonexistent/x')");
  EXPECT_EQ(c.GetToken(), tk::String);
  EXPECT_EQ(c.curToken.Str, std::string("a\0b\r\n", 5));
  EXPECT_EQ(c.curToken.Length, 5);
  std::filesystem::remove(path);
  EXPECT_NE(printedBy([&] { c.GetToken(); }).find("Cannot open file \"/nonexistent/x\""), std::string::npos);
}

TEST_F(Lexer, StatementFormsAndLaterStagesAreReachedThroughHooks) {
  source("[eax] eax.x s.create s.bogus");
  EXPECT_EQ(c.GetToken(), tk::BaseExpr);
  source("eax.x");
  EXPECT_NE(printedBy([&] { c.GetToken(); }).find("Register has not been set to reference a containing pointer"),
            std::string::npos);
  source("s.create s.bogus");
  // The rewrite is compiled from a buffer of its own; the report names it.
  EXPECT_NE(printedBy([&] { c.GetToken(); }).find("in [plugin buffer]"), std::string::npos);
  source("s.bogus");
  EXPECT_NE(printedBy([&] { c.GetToken(); }).find("Invalid string usage"), std::string::npos);
  source("+ s.create");
  EXPECT_EQ(c.GetToken(), tk::Plus);  // looking ahead compiles nothing
  EXPECT_EQ(c.PeekToken(), tk::Variable);
}

}  // namespace
}  // namespace kelvo::testing
