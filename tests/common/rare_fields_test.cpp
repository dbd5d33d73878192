// Fields kept behind a pointer while empty: they read as empty or zero until set, keep what
// was stored exactly, and a copied record has values of its own.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "common/definitions.h"

namespace kelvo {
namespace {

TEST(RareFields, FloatValueKeepsNegativeZeroAndCopiesApart) {
  TData constant;
  EXPECT_EQ(static_cast<long double>(constant.dataValExt), 0.0L);
  constant.dataValExt = -0.0L;
  EXPECT_TRUE(std::signbit(static_cast<long double>(constant.dataValExt)));
  TData copy = constant;
  constant.dataValExt = 2.5L;
  EXPECT_TRUE(std::signbit(static_cast<long double>(copy.dataValExt)));
  copy = TData{};
  EXPECT_FALSE(std::signbit(static_cast<long double>(copy.dataValExt)));
}

TEST(RareFields, TextReadsEmptyUntilSetAndCopiesApart) {
  TData constant;
  EXPECT_TRUE(constant.strVal.empty());
  EXPECT_EQ(static_cast<const std::string&>(constant.strVal), "");
  constant.strVal = std::string("hello");
  TData copy = constant;
  constant.strVal = std::string_view();
  EXPECT_TRUE(constant.strVal.empty());
  EXPECT_EQ(copy.strVal.size(), 5u);
  EXPECT_EQ(copy.strVal, "hello");
  std::string joined = "say ";
  joined += copy.strVal;
  EXPECT_EQ(joined, "say hello");
}

}  // namespace
}  // namespace kelvo
