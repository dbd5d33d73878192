// Positions found by name, letter case ignored, as the index grows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/name_index.h"

namespace kelvo {
namespace {

TEST(NameIndex, FindsEveryNameAsItGrows) {
  std::vector<std::string> names;
  TNameIndex index;
  const auto nameAt = [&names](uint32_t i) { return std::string_view(names[i]); };
  EXPECT_EQ(index.find("x", nameAt), TNameIndex::kNone);
  for (uint32_t i = 0; i < 5000; ++i) {
    names.push_back((i % 2 ? "Member" : "mEMBER") + std::to_string(i));
    index.add(names.back(), i);
    ASSERT_EQ(index.find("member0", nameAt), 0u);  // the first stays found through every growth
  }
  EXPECT_EQ(index.size(), 5000u);
  for (uint32_t i = 0; i < 5000; ++i) ASSERT_EQ(index.find("MEMBER" + std::to_string(i), nameAt), i);
  EXPECT_EQ(index.find("member5000", nameAt), TNameIndex::kNone);
  EXPECT_EQ(index.find("member", nameAt), TNameIndex::kNone);
  EXPECT_EQ(index.find("", nameAt), TNameIndex::kNone);
  EXPECT_EQ(foldedHash("Member12"), foldedHash("mEMBER12"));
  index.clear();
  EXPECT_EQ(index.find("member1", nameAt), TNameIndex::kNone);
}

}  // namespace
}  // namespace kelvo
