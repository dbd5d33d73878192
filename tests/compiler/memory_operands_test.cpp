// Bracketed memory operands read by the lexer: fields, rebuilt text and every refusal.
#include "frontend/token_codes.h"
#include "tests/frontend/frontend_fixture.h"

namespace kelvo::testing {
namespace {

using MemoryOperands = FrontEnd;

TEST_F(MemoryOperands, EveryShapeReadsAndRebuilds) {
  struct Case {
    const char* written;
    TRegister reg1, reg2;
    int32_t regcount, scale, disp;
    const char* rebuilt;
  } cases[] = {
      {"[eax]", rdEAX, rdEAX, 1, 0, 0, "[eax]"},
      {"[ eax + 8 ]", rdEAX, rdEAX, 1, 0, 8, "[eax+8]"},
      {"[eax-8]", rdEAX, rdEAX, 1, 0, -8, "[eax-8]"},
      {"[ecx*2]", rdECX, rdEAX, 1, 2, 0, "[ecx*2]"},
      {"[ecx*8+16]", rdECX, rdEAX, 1, 8, 16, "[ecx*8+16]"},
      {"[eax+ebx*4+16-4]", rdEAX, rdEBX, 2, 4, 12, "[eax+ebx*4+12]"},
      {"[ebp+esi*4-8]", rdEBP, rdESI, 2, 4, -8, "[ebp+esi*4-8]"},
      {"[esp+edi]", rdESP, rdEDI, 2, 0, 0, "[esp+edi]"},
      {"[edx+esi-3-4+1]", rdEDX, rdESI, 2, 0, -6, "[edx+esi-6]"},
      {"[eax+4294967295]", rdEAX, rdEAX, 1, 0, -1, "[eax-1]"},  // an address wraps
  };
  for (const Case& k : cases) {
    source(k.written);
    ASSERT_EQ(c.GetToken(), tk::BaseExpr) << k.written;
    const TBaseExpression& e = c.curBaseExpression;
    EXPECT_EQ(e.reg1, k.reg1) << k.written;
    EXPECT_EQ(e.regcount, k.regcount) << k.written;
    if (k.regcount == 2) {
      EXPECT_EQ(e.reg2, k.reg2) << k.written;
    }
    EXPECT_EQ(e.scale, k.scale) << k.written;
    EXPECT_EQ(e.disp, k.disp) << k.written;
    EXPECT_EQ(e.dtSize, 4) << k.written;
    EXPECT_EQ(e.dt, nullptr) << k.written;
    EXPECT_EQ(c.curToken.Str, k.rebuilt) << k.written;
    // What the next token sees: the operand ends at its bracket.
    EXPECT_EQ(c.GetToken(), tk::EndOfFile) << k.written;
  }
}

TEST_F(MemoryOperands, TypedOperandAndRegisterOffset) {
  source("word [eax+2] ebx[12] esi[] edi[-4]");
  ASSERT_EQ(c.GetToken(), tk::BaseExpr);
  EXPECT_EQ(c.curBaseExpression.dtSize, 2);
  EXPECT_EQ(c.curBaseExpression.disp, 2);
  ASSERT_NE(c.curBaseExpression.dt, nullptr);
  EXPECT_EQ(c.curBaseExpression.dt->typeName, "word");
  ASSERT_EQ(c.GetToken(), tk::BaseExpr);
  EXPECT_EQ(c.curBaseExpression.reg1, rdEBX);
  EXPECT_EQ(c.curBaseExpression.regcount, 1);
  EXPECT_EQ(c.curBaseExpression.disp, 12);
  EXPECT_EQ(c.curToken.Str, "reg[] pointer memory offset");
  ASSERT_EQ(c.GetToken(), tk::BaseExpr);
  EXPECT_EQ(c.curBaseExpression.reg1, rdESI);
  EXPECT_EQ(c.curBaseExpression.disp, 0);
  ASSERT_EQ(c.GetToken(), tk::BaseExpr);
  EXPECT_EQ(c.curBaseExpression.disp, -4);
}

TEST_F(MemoryOperands, RefusedForms) {
  struct Case {
    const char* written;
    const char* message;
  } cases[] = {
      {"[eax+ebx*3]", "Invalid scaler value"},
      {"[eax*0]", "Invalid scaler value"},
      {"[ax]", "32bit register expected"},
      {"[eax+bl]", "32bit register expected"},
      {"[eax+0x10]", "Expected number or register but found 10"},
      {"[eax-ebx]", "Expected number but found ebx"},
      {"[eax+ebx+ecx]", "Expected number but found ecx"},
      {"[eax", "Expected ] or * or + or - but found"},
      {"[eax+4294967296]", "Displacement out of range"},
      {"[eax-2147483649]", "Displacement out of range"},
      {"eax[ebx]", "Expected number or - or ] but found ebx"},
      {"eax[4", "Expected ] but found"},
  };
  for (const Case& k : cases) {
    source(k.written);
    const std::string report = printedBy([&] { c.GetToken(); });
    EXPECT_NE(report.find(k.message), std::string::npos) << k.written << " gave " << report;
    EXPECT_NE(report.find("[1,"), std::string::npos) << "no position: " << report;
  }
}

}  // namespace
}  // namespace kelvo::testing
