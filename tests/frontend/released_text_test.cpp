// The link step lets go of the source text; a report it makes afterwards must quote the same
// line, at the same place, as it would with the whole text in memory.
#include "frontend/token_codes.h"
#include "tests/frontend/frontend_fixture.h"

namespace kelvo::testing {
namespace {

using ReleasedText = FrontEnd;

TEST_F(ReleasedText, ReportsQuoteTheSameLineAfterTheTextIsReleased) {
  const std::string texts[] = {"first second\nthird  fourth\r\nfifth", "\tx\r\ry\n\n  z  ", "only",
                               "a\n", "\xEF\xBB\xBFmark me\nnext", std::string(300, '\n') + "last"};
  for (const std::string& text : texts) {
    // Every token position in the text, the start, and the end after the last token.
    for (int tokens = 0;; ++tokens) {
      source(text);
      uint16_t code = tk::Invalid;
      for (int i = 0; i < tokens; ++i) code = c.GetToken();
      auto report = [&] { return printedBy([&] { c.Error("E"); }); };
      const std::string before = report();
      const std::string other = c.curFile->strShortFileName;
      c.curFile->ReleaseText();
      EXPECT_EQ(report(), before) << "text " << text << ", after " << tokens << " tokens";
      EXPECT_LE(c.curFile->strSource.size(), text.size());
      EXPECT_EQ(c.curFile->strShortFileName, other);
      if (code == tk::EndOfFile) {
        EXPECT_TRUE(c.curFile->strSource.empty());
        break;
      }
    }
  }
}

}  // namespace
}  // namespace kelvo::testing
