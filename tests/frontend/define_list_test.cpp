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
  EXPECT_EQ(std::vector<std::string>(d.begin(), d.end()), (std::vector<std::string>{"Alpha", "beta", "ALPHA"}));
  d.erase("aLpHa");  // every entry of the name goes
  EXPECT_FALSE(d.contains("Alpha"));
  EXPECT_EQ(std::vector<std::string>(d.begin(), d.end()), std::vector<std::string>{"beta"});
  d.erase("missing");
  EXPECT_EQ(d.size(), 1u);
  d.clear();
  EXPECT_TRUE(d.empty());
  EXPECT_FALSE(d.contains("beta"));
}

}  // namespace
}  // namespace kelvo
