// The code buffer's prepend mode, which no end-to-end output shows on its own.
#include "assembler/code_buffer.h"

#include <gtest/gtest.h>

#include "assembler/encoders.h"

using namespace kelvo;

// Prepended instructions must keep every fix-up on its own field, including instructions with
// no fix-up and with two.
TEST(CodeBuffer, PrependModeKeepsFixUpsOnTheirFields) {
  TAssembler a;
  a.reverseMode = true;
  MovRegVar(a, 7, rdECX, 4);                    // 8B 0D [var 7]
  IncReg(a, rdEAX);                             // 40
  AddVarImm(a, 4, 9, 0x44, 0, ftDataAddress, 3);  // 81 05 [var 9] [imm fix 3]
  CallRel(a, 5);                                // E8 [call 5]
  const std::string expected("\xE8\0\0\0\0"
                             "\x81\x05\0\0\0\0\x44\0\0\0"
                             "\x40"
                             "\x8B\x0D\0\0\0\0",
                             22);
  EXPECT_EQ(a.strCode, expected);
  ASSERT_EQ(a.FixUps.size(), 4u);
  EXPECT_EQ(a.FixUps[0].fixIndex, 7u);
  EXPECT_EQ(a.FixUps[0].fixAddr, 18u);
  EXPECT_EQ(a.FixUps[1].fixIndex, 9u);
  EXPECT_EQ(a.FixUps[1].fixAddr, 7u);
  EXPECT_EQ(a.FixUps[2].fixIndex, 3u);
  EXPECT_EQ(a.FixUps[2].fixAddr, 11u);
  EXPECT_EQ(a.FixUps[3].fixIndex, 5u);
  EXPECT_EQ(a.FixUps[3].fixAddr, 1u);
}
