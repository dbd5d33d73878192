// The encoder on its own and wired to a host: where a bad operand is reported, and which
// processor level it obeys.
#include "assembler/encoder_host.h"

#include <gtest/gtest.h>

#include <string>

#include "assembler/encoders.h"

using namespace kelvo;

namespace {

struct TRecorded {
  std::string message;
};

[[noreturn]] void record(void* context, const char* message) {
  static_cast<TRecorded*>(context)->message = message;
  throw 1;
}

}  // namespace

TEST(EncoderHost, WithoutAHostABadOperandThrowsItsMessageAndTheLevelIs386) {
  TAssembler a;
  try {
    PushReg(a, rdAL);
    FAIL() << "no report";
  } catch (const EEncoderError& e) {
    EXPECT_STREQ(e.what(), "Expected 16 or 32bit register");
  }
  EXPECT_EQ(CurrentCPULevel(), 386);
  BtRegReg(a, rdEAX, rdECX);  // a 386 instruction passes
  EXPECT_EQ(a.strCode, std::string("\x0F\xA3\xC8", 3));
}

TEST(EncoderHost, AWiredHostGetsTheReportAndSetsTheLevelUntilItIsCleared) {
  TRecorded host;
  int32_t level = 286;
  SetEncoderHost({record, &host, &level});
  TAssembler a;
  EXPECT_THROW(BtRegReg(a, rdEAX, rdECX), int);
  EXPECT_EQ(host.message, "Instruction \"BT\" is not available on current CPU mode.");
  EXPECT_TRUE(a.strCode.empty());
  level = 386;  // the host's level is read at each instruction
  BtRegReg(a, rdEAX, rdECX);
  EXPECT_EQ(a.strCode.size(), 3u);
  ClearEncoderHost(&host);
  EXPECT_THROW(PushReg(a, rdAL), EEncoderError);
}
