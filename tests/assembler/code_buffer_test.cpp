// The code buffer: label-jump placeholders, prepend mode and the small helpers that encoded
// bytes alone do not show.
#include "assembler/code_buffer.h"

#include <gtest/gtest.h>


using namespace kelvo;

TEST(CodeBuffer, LabelJumpsLeaveSixNopsAndOneFixUp) {
  TAssembler a;
  const uint8_t incEax = 0x40;
  EmitBytes(a, &incEax, 1);
  EmitJumpToLabel(a, 1, kJumpNone, "=7");
  EXPECT_EQ(a.strCode.size(), 1u);
  EXPECT_TRUE(a.FixUps.empty());
  EmitJumpToLabel(a, 1, 4, "=7");
  EXPECT_EQ(a.strCode, std::string("\x40\x90\x90\x90\x90\x90\x90"));
  ASSERT_EQ(a.FixUps.size(), 1u);
  const TFixUp& f = *a.FixUps[0];
  EXPECT_EQ(f.fixType, ftJmp);
  EXPECT_EQ(f.fixAddr, 1u);
  EXPECT_EQ(f.fixJmp, 4);
  EXPECT_EQ(f.fixLabel, "=7");
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
}

