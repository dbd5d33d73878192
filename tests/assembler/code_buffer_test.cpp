// The code buffer: label-jump placeholders, prepend mode and the small helpers that encoded
// bytes alone do not show.
#include "assembler/code_buffer.h"

#include <gtest/gtest.h>

#include "assembler/encoders.h"

using namespace kelvo;

TEST(CodeBuffer, LabelJumpsLeaveSixNopsAndOneFixUp) {
  TAssembler a;
  IncReg(a, rdEAX);
  EmitJumpToLabel(a, 1, kJumpNone, "=7");
  EXPECT_EQ(a.strCode.size(), 1u);
  EXPECT_TRUE(a.FixUps.empty());
  EmitJumpToLabel(a, 1, 4, "=7");
  EXPECT_EQ(a.strCode, std::string("\x40\x90\x90\x90\x90\x90\x90"));
  ASSERT_EQ(a.FixUps.size(), 1u);
  const TFixUp& f = a.FixUps[0];
  EXPECT_EQ(f.fixType, ftJmp);
  EXPECT_EQ(f.fixAddr, 1u);
  EXPECT_EQ(f.fixJmp, 4);
  EXPECT_EQ(TLabelNames::Get().Text(f.fixLabel), "=7");
  EXPECT_EQ(f.fixSize, 0);
  EXPECT_EQ(f.fixUID, 0);
}

TEST(CodeBuffer, EmittersRegistersAndPrefixes) {
  TAssembler a;
  EmitWord(a, 0x1234);
  EmitDword(a, 0x1234);
  EmitPushad(a);
  EmitPopad(a);
  Prefix16(a);
  a.cpuMode = 16;
  Prefix16(a);
  EXPECT_EQ(a.strCode, std::string("\x34\x12\x34\x12\x00\x00\x60\x61\x66", 9));
  EXPECT_EQ(RegNum(rdEDI), 7);
  EXPECT_EQ(RegNum(rdDI), 7);
  EXPECT_EQ(RegNum(rdBH), 7);
  EXPECT_EQ(RegNum(static_cast<TRegister>(24)), 0);
  IncReg(a, rdAX);
  EXPECT_EQ(a.lastIncDecPos, a.strCode.size());
  EXPECT_EQ(a.lastIncDecReg, rdAX);
}

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
