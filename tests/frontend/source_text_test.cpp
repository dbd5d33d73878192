// Large sources are mapped, and the pages behind the reader are let go as it moves on: what
// is read, and what reports quote, must stay the same as with the whole text in memory.
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "frontend/source_file.h"
#include "tests/compiler/compile_fixture.h"

namespace kelvo::testing {
namespace {

std::string numberedLines(size_t size) {
  std::string text;
  for (int n = 1; text.size() < size; ++n) text += "  nop; // line " + std::to_string(n) + "\r\n";
  text.resize(size, ' ');
  return text;
}

TEST(SourceText, AMappedTextReadsTheSameAfterItsPagesAreLetGo) {
  const auto page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  const std::string text = numberedLines(TSourceText::kMapFrom + 300 * page);  // whole pages
  const auto path = std::filesystem::temp_directory_path() / ("kelvo-map-" + std::to_string(getpid()));
  std::ofstream(path, std::ios::binary) << text;
  TAFile f;
  f.LoadFromFile(path.string(), -1);
  std::filesystem::remove(path);  // the mapping keeps the text
  ASSERT_TRUE(f.strSource.isMapped());
  ASSERT_EQ(f.intSourceLen, static_cast<int32_t>(text.size()));
  EXPECT_EQ(f.strSource.c_str()[text.size()], '\0') << "no end mark after a text of whole pages";
  for (int32_t pos = 1; pos <= f.intSourceLen; ++pos) {
    if (pos % 1000 == 0) f.strSource.passed(pos);
    ASSERT_EQ(f.CharAt(pos), text[static_cast<size_t>(pos) - 1]) << "at " << pos;
  }
  EXPECT_TRUE(std::string_view(f.strSource) == text) << "pages let go came back changed";
}

using LargeSource = CompileFixture;

TEST_F(LargeSource, AMistakeAtTheEndIsReportedWithItsLine) {
  std::string source = "program win32cui 'T'\nprocedure p() {\n" + numberedLines(TSourceText::kMapFrom * 2);
  const size_t lines = static_cast<size_t>(std::count(source.begin(), source.end(), '\n'));
  source += "\n  mov eax, bogus\n}\n";
  const std::string report = compile(source);
  EXPECT_NE(report.find("[" + std::to_string(lines + 2) + ","), std::string::npos) << report;
  EXPECT_NE(report.find("mov eax, bogus"), std::string::npos) << report;
}

}  // namespace
}  // namespace kelvo::testing
