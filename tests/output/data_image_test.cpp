#include "tests/hex_text.h"
#include "output/data_image.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

using namespace kelvo;

namespace {

using kelvo::testing::hex;

std::string tail(const TDataMan& d, uint32_t offset) { return hex(d.F_DataString.substr(offset)); }

}  // namespace

TEST(DataImage, FloatsInEverySize) {
  TDataMan d;
  d.Init();
  EXPECT_EQ(tail(d, d.AddFloat(4, 1.5L)), "00 00 C0 3F");
  EXPECT_EQ(tail(d, d.AddFloat(8, -2.0L)), "00 00 00 00 00 00 00 C0");
  EXPECT_EQ(tail(d, d.AddFloat(10, 1.0L)), "00 00 00 00 00 00 00 80 FF 3F");
  EXPECT_EQ(tail(d, d.AddFloat(12, 1.0L)), "00 00 00 00 00 00 00 80 FF 3F 00 00");
  EXPECT_EQ(tail(d, d.AddFloat(2, 1.5L)), "00 00");
  EXPECT_EQ(tail(d, d.AddFloat(6, 1.5L)), "00 00 C0 3F 00 00");
  EXPECT_EQ(d.F_DataLen, 4u + 8 + 10 + 12 + 2 + 6);
}

// The host's own x87 format is the reference where the host has one.
TEST(DataImage, ExtendedEncodingMatchesTheFpu) {
  if (LDBL_MANT_DIG != 64) GTEST_SKIP() << "long double is not the x87 extended format on this host";
  const long double values[] = {0.0L, -0.0L, 1.0L, -1.0L, 0.1L, 3.141592653589793238L, 1e4000L,
                                -1e-4000L, std::numeric_limits<long double>::denorm_min(),
                                std::numeric_limits<long double>::min() / 3,
                                std::numeric_limits<long double>::max(),
                                std::numeric_limits<long double>::infinity(), 123456789.125L};
  for (long double v : values) {
    char raw[sizeof(long double)] = {};
    std::memcpy(raw, &v, sizeof v);
    const std::string expect(raw, 10);
    EXPECT_EQ(hex(encodeExtended(v)), hex(expect)) << static_cast<double>(v);
    EXPECT_EQ(std::signbit(decodeExtended(expect)), std::signbit(v));
    if (!std::isnan(v)) {
      EXPECT_EQ(decodeExtended(expect), v);
    }
  }
  EXPECT_TRUE(std::isnan(decodeExtended(encodeExtended(NAN))));
}

TEST(DataImage, StringLiteralsAreSharedByExactText) {
  TDataMan d;
  d.Init();
  d.AddInt(1, 7);
  const uint32_t hello = d.AddString("Hello");
  EXPECT_EQ(hello, 1u);
  EXPECT_EQ(d.AddString("Hello"), hello);
  EXPECT_EQ(d.F_DataLen, 7u);
  const uint32_t upper = d.AddString("HELLO");  // letter case matters
  EXPECT_NE(upper, hello);
  EXPECT_EQ(d.AddString("Hell"), 13u);  // a prefix is a string of its own
  const uint32_t empty = d.AddString("");
  EXPECT_EQ(tail(d, empty), "00");
  EXPECT_EQ(d.AddString(""), empty);
  EXPECT_EQ(d.AddString("HELLO"), upper);
  // An explicit length takes that many bytes of the text.
  EXPECT_EQ(d.AddString("Hello there", 5), hello);
  // A text with a zero inside is shared only with the very same bytes.
  const uint32_t withZero = d.AddString(std::string_view("a\0b", 3));
  EXPECT_EQ(tail(d, withZero), "61 00 62 00");
  EXPECT_EQ(d.AddString(std::string_view("a\0b", 3)), withZero);
  EXPECT_NE(d.AddString("a"), withZero);
  EXPECT_EQ(d.F_StrCount, 6);
  EXPECT_EQ(d.F_StrIndex[0], 2);
  EXPECT_EQ(d.F_StrLen[0], 5);
  EXPECT_EQ(d.F_DataLen, d.F_DataString.size());
}

TEST(DataImage, FloatConstantsAreSharedByValue) {
  TDataMan d;
  d.Init();
  const uint32_t one = d.AddExtConst(1.0L);
  const uint32_t zero = d.AddExtConst(0.0L);
  EXPECT_EQ(one, 0u);
  EXPECT_EQ(zero, 10u);
  EXPECT_EQ(d.AddExtConst(1.0L), one);
  EXPECT_EQ(d.F_ValueCount, 2);
  EXPECT_EQ(d.F_ValueIndex[1], 11);
  EXPECT_EQ(d.F_ValueLen[1], 10);
  EXPECT_NE(d.AddExtConst(-0.0L), zero);  // -0.0 keeps its sign
  // A float stored by AddFloat is data, not a shared constant.
  const uint32_t two = d.AddFloat(10, 2.0L);
  EXPECT_NE(d.AddExtConst(2.0L), two);
  EXPECT_EQ(d.F_DataLen, 50u);
}
