// Names set by #define: letter case, removal, and the order the link step and the log see.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frontend/define_list.h"

namespace kelvo {
namespace {

TEST(DefineList, FindsRemovesAndKeepsOrder) {
  TDefineList d;
  d.push_back("Alpha");
  d.push_back("beta");
  d.push_back("ALPHA");  // a second entry of the same name
  EXPECT_TRUE(d.contains("alpha"));
  EXPECT_TRUE(d.contains("BETA"));
  EXPECT_FALSE(d.contains("gamma"));
  EXPECT_EQ(d.names(), (std::vector<std::string>{"Alpha", "beta", "ALPHA"}));
  d.erase("aLpHa");  // every entry of the name goes
  EXPECT_FALSE(d.contains("Alpha"));
  EXPECT_EQ(d.names(), std::vector<std::string>{"beta"});
  d.erase("missing");
  EXPECT_EQ(d.size(), 1u);
  d.clear();
  EXPECT_TRUE(d.empty());
  EXPECT_FALSE(d.contains("beta"));
}

// Many names: removing one from the middle keeps every other one, and the first entry of a
// repeated name stands for it.
TEST(DefineList, ManyNamesAndARemoval) {
  TDefineList d;
  for (int i = 0; i < 3000; ++i) d.push_back("Name" + std::to_string(i));
  d.push_back("NAME1500");
  d.erase("name1500");
  d.push_back("name7");
  for (int i = 0; i < 3000; ++i) ASSERT_EQ(d.contains("NAME" + std::to_string(i)), i != 1500) << i;
  EXPECT_EQ(d.size(), 3000u);
  d.erase("Name7");
  EXPECT_FALSE(d.contains("name7"));
  EXPECT_TRUE(d.contains("name2999"));
  EXPECT_EQ(d.size(), 2998u);
}

// Names removed one after another, most of them: the gaps they leave are dropped on the way,
// and what stays is found and kept in order, with a repeated name still removed whole.
TEST(DefineList, RemovingMostNamesKeepsTheRestInOrder) {
  TDefineList d;
  std::vector<std::string> kept;
  for (int i = 0; i < 5000; ++i) {
    d.push_back("N" + std::to_string(i));
    if (i % 7 == 0) d.push_back("n" + std::to_string(i));  // a second entry of the name
  }
  for (int i = 0; i < 5000; ++i) {
    if (i % 10 != 3) {
      d.erase("n" + std::to_string(i));
      continue;
    }
    kept.push_back("N" + std::to_string(i));
    if (i % 7 == 0) kept.push_back("n" + std::to_string(i));
  }
  EXPECT_EQ(d.size(), kept.size());
  EXPECT_EQ(d.names(), kept);
  for (int i = 0; i < 5000; ++i) ASSERT_EQ(d.contains("N" + std::to_string(i)), i % 10 == 3) << i;
  d.push_back("N4");  // a name defined again after its removal
  d.erase("N13");
  ASSERT_TRUE(d.contains("n4"));
  ASSERT_FALSE(d.contains("n13"));
  EXPECT_EQ(d.names().back(), "N4");
  EXPECT_EQ(d.size(), kept.size());
}

}  // namespace
}  // namespace kelvo
