// What the x87 statements leave in the compiler state: fpush constants in the data image.
#include <gtest/gtest.h>

#include "tests/compiler/compile_fixture.h"

namespace kelvo::testing {
namespace {

class FpuStatements : public CompileFixture {};

// Each number is an anonymous extended item of its own; equal values share their 10 bytes.
TEST_F(FpuStatements, FpushNumbersAreExtendedConstantsSharingEqualValues) {
  ASSERT_EQ(compile("program win32cui 'T'\n"
                    "procedure p() {\n"
                    "  fpush 1.5\n"
                    "  fpush 1.5\n"
                    "  fpush 3\n"
                    "  fpush 0x10\n"
                    "}\n"),
            "");
  const TAssembler& a = proc("p").recAssembler;
  // No frame: the procedure has no locals and no parameters.
  EXPECT_EQ(code("p"), "DB 2D 00 00 00 00 DB 2D 00 00 00 00 DB 2D 00 00 00 00 DB 2D 00 00 00 00 C3");
  ASSERT_EQ(a.FixUps.size(), 4u);
  std::vector<const TData*> items;
  for (const TFixUp& f : a.FixUps) {
    EXPECT_EQ(f.fixType, ftDataAddress);
    EXPECT_EQ(f.fixOffset, 0u);
    items.push_back(compiler_.listData.at(f.fixIndex).get());
  }
  for (const TData* d : items) {
    EXPECT_EQ(d->dataMode, dmConst);
    EXPECT_EQ(d->dataSubMode, smFloat);
    EXPECT_EQ(d->dataType->typeName, "extended");
    EXPECT_TRUE(d->dataName.empty());
  }
  EXPECT_NE(items[0], items[1]);
  EXPECT_EQ(items[0]->dataAddress, items[1]->dataAddress);
  const std::string& image = compiler_.PEFile.dataMan.F_DataString;
  auto value = [&](const TData* d) { return decodeExtended(std::string_view(image).substr(d->dataAddress, 10)); };
  EXPECT_EQ(value(items[0]), 1.5L);
  EXPECT_EQ(value(items[2]), 3.0L);
  EXPECT_EQ(value(items[3]), 16.0L);
}

}  // namespace
}  // namespace kelvo::testing
