// Error and warning reports, byte for byte.
#include "frontend/token_codes.h"
#include "tests/frontend/frontend_fixture.h"

namespace kelvo::testing {
namespace {

using Diagnostics = FrontEnd;

// Reads tokens up to the one whose text is `word`.
void readUpTo(TCompiler& c, const std::string& word) {
  while (c.GetToken() != tk::EndOfFile && c.curToken.Str != word) {
  }
}

TEST_F(Diagnostics, RaisedErrorCarriesHeadAndCodeBlock) {
  source("proc\r\n\r\n   mov eax,  \r\nnext");
  readUpTo(c, "eax");
  c.strLastError = "Expected ; but found eax";
  EXPECT_EQ(printedBy([&] { c.RaiseError(); }),
            "|[3,10]: Expected ; but found eax in [main.kpr]\r\nCode: \r\n\tmov eax,\r\n");
}

TEST_F(Diagnostics, ErrorPrintsOnceAndAborts) {
  source("\tfirst second\n");
  readUpTo(c, "first");
  EXPECT_EQ(printedBy([&] { c.Error("Bad thing"); }),
            "[1,6]: Bad thing in [main.kpr]\r\nCode: \r\n\tfirst second\r\n\n|" + std::string(kSilentAbort));
}

TEST_F(Diagnostics, EndOfTextHasNoCodeBlock) {
  source("a\n");
  readUpTo(c, "");
  EXPECT_EQ(printedBy([&] { c.Error("Late"); }), "[2,1]: Late in [main.kpr]\n|" + std::string(kSilentAbort));
  c.strLastError = "Late";
  EXPECT_EQ(printedBy([&] { c.RaiseError(); }), "|[2,1]: Late in [main.kpr]\r\n");
}

TEST_F(Diagnostics, LongLinesAndMissingFinalLineEnd) {
  std::string text(1 << 20, ' ');
  text += "word";
  source(text);
  c.GetToken();
  c.strLastError = "E";
  const std::string report = printedBy([&] { c.RaiseError(); });
  EXPECT_EQ(report, "|[1,1048580]: E in [main.kpr]\r\nCode: \r\n\tword\r\n");
}

}  // namespace
}  // namespace kelvo::testing
