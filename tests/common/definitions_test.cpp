#include "common/definitions.h"

#include <gtest/gtest.h>

using namespace kelvo;

TEST(NameLookups, RegistersSegmentsAndConventions) {
  EXPECT_EQ(strToReg("EAX"), rdEAX);
  EXPECT_EQ(strToReg("esp"), rdESP);
  EXPECT_EQ(strToReg("Bh"), rdBH);
  EXPECT_EQ(strToReg("7"), rdEDI);
  EXPECT_EQ(strToReg("0"), rdEAX);
  EXPECT_EQ(strToReg("zz"), rdEAX);
  for (int i = 0; i < kRegisterCount; ++i) EXPECT_EQ(strToReg(kRegisterNames[i]), i);
  EXPECT_EQ(strToSeg("GS"), segGS);
  EXPECT_EQ(strToCallMethod("StdCall"), cmStdcall);
  EXPECT_EQ(strToCallMethod("kelcall"), cmKelCall);
  EXPECT_EQ(strToCallMethod("pascal"), cmUnknown);
  EXPECT_EQ(strToVarKind("Float"), 122);
  EXPECT_EQ(strToVarKind("other"), 13);
  EXPECT_EQ(strToSubSystem("WIN32GUI"), 2);
  EXPECT_EQ(strToSubSystem("win32gui"), 3);
  EXPECT_EQ(regSize(rdEDI), 32);
  EXPECT_EQ(regSize(rdSP), 16);
  EXPECT_EQ(regSize(rdBH), 8);
}

TEST(NameLookups, NumbersAndAlignment) {
  EXPECT_EQ(strToCharConst(""), 0u);
  EXPECT_EQ(strToCharConst("A"), 65u);
  EXPECT_EQ(strToCharConst("ab"), 25185u);
  EXPECT_EQ(hexToInt64("FFFFFFFF"), -1);
  EXPECT_EQ(hexToInt64("7FFFFFFF"), 2147483647);
  EXPECT_EQ(hexToInt64("80000000"), -2147483648LL);
  EXPECT_EQ(hexToInt("ff"), 255);
  EXPECT_EQ(alignValue(0, 512), 512u);
  EXPECT_EQ(alignValue(512, 512), 512u);
  EXPECT_EQ(alignValue(513, 512), 1024u);
  EXPECT_EQ(alignValue(4097, 4096), 8192u);
  EXPECT_EQ(alignWord(6, 4), 8);
  EXPECT_EQ(alignWord(8, 4), 8);
}
