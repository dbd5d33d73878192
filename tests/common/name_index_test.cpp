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

// Removing entries closes the gaps behind them: every name left is still found, wherever its
// probe started, and a moved entry is found at its new position.
TEST(NameIndex, RemovesAndMovesEntries) {
  std::vector<std::string> names;
  TNameIndex index;
  const auto nameAt = [&names](uint32_t i) { return std::string_view(names[i]); };
  for (uint32_t i = 0; i < 3000; ++i) {
    names.push_back("n" + std::to_string(i));
    index.add(names.back(), i);
  }
  for (uint32_t i = 0; i < 3000; i += 3) index.remove(foldedHash(names[i]), i);
  names.push_back("N1");  // a newer entry of the name n1 takes its place
  index.move(foldedHash("n1"), 1, 3000);
  EXPECT_EQ(index.size(), 2000u);
  for (uint32_t i = 0; i < 3000; ++i)
    ASSERT_EQ(index.find(names[i], nameAt), i % 3 == 0 ? TNameIndex::kNone : i == 1 ? 3000u : i) << i;
  for (uint32_t i = 2; i < 3000; i += 3) index.remove(foldedHash(names[i]), i);
  index.remove(foldedHash("n1"), 3000);
  for (uint32_t i = 4; i < 3000; i += 3) ASSERT_EQ(index.find(names[i], nameAt), i) << i;
  EXPECT_EQ(index.size(), 999u);
}

}  // namespace
}  // namespace kelvo
