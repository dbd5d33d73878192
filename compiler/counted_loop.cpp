// for (reg = start to|downto end [step s]) { body }: the register runs from start to end,
// stepped at the loop head, and the loop ends after the pass in which it equals the end.
#include <memory>

#include "assembler/encoders.h"
#include "compiler/comparator_read.h"
#include "compiler/operand_location.h"
#include "compiler/size_messages.h"
#include "compiler/structured_labels.h"
#include "frontend/compiler.h"
#include "frontend/token_codes.h"

namespace kelvo {

namespace {

bool isNumber(uint16_t code) { return code == tk::Number || code == tk::Hex; }

// A number or a register is kept by its value; only a data item, whose text a message may
// quote, is copied whole, so that a usual loop builds no token.
struct TLoopOperand {
  uint16_t Token = tk::Invalid;
  TRegister Reg = rdEAX;
  int64_t Int = 0;
  std::unique_ptr<TCurrentToken> item;
};

struct TCountedLoop {
  TRegister reg = rdECX;
  TLoopOperand start, end, step;
  bool up = true;  // to; downto counts down
};

// reg += step (up) or reg -= step; a step of 1 is INC or DEC. Once, not inlined at each of its
// two uses: a loop runs through fewer distinct lines of code.
[[gnu::noinline]] void stepRegister(TAssembler& a, const TCountedLoop& loop, bool up) {
  if (loop.step.Token == tk::Register) {
    if (up) AddRegReg(a, loop.reg, loop.step.Reg);
    else SubRegReg(a, loop.reg, loop.step.Reg);
  } else if (loop.step.Int == 1) {
    if (up) IncReg(a, loop.reg);
    else DecReg(a, loop.reg);
  } else {
    if (up) AddRegImm(a, loop.reg, static_cast<int32_t>(loop.step.Int), ftNone);
    else SubRegImm(a, loop.reg, static_cast<int32_t>(loop.step.Int), ftNone);
  }
}

void keepOperand(const TCurrentToken& t, TLoopOperand& kept) {
  kept.Token = t.Token;
  kept.Reg = t.Reg;
  kept.Int = t.Int;
  if (t.Token != tk::Register && !isNumber(t.Token)) [[unlikely]] {
    kept.item = std::make_unique<TCurrentToken>();
    TCompiler::CopyToken(kept.item.get(), &t);
  }
}

}  // namespace

// Reads the loop's head up to and including "{".
static void readCountedLoop(TCompiler& c, TCountedLoop& loop) {
  auto expect = [&c](std::initializer_list<uint16_t> codes) {
    if (c.ExpectToken(codes) == tk::Invalid) c.RaiseError();
    return c.curToken.Token;
  };
  c.ExpectOrRaise('(', tk::LParen);
  expect({tk::Register});
  loop.reg = c.curToken.Reg;
  if (!ReadAssign(c)) expect({tk::Assign});
  if (expect({tk::Number, tk::Hex, tk::Variable, tk::LocalParam, tk::LocalVar, tk::Minus}) == tk::Minus) {
    expect({tk::Number, tk::Hex});
    c.curToken.Int = -c.curToken.Int;
  }
  keepOperand(c.curToken, loop.start);
  loop.up = expect({tk::To, tk::Downto}) == tk::To;
  if (expect({tk::Number, tk::Hex, tk::Register, tk::Variable, tk::LocalParam, tk::LocalVar, tk::Minus}) ==
      tk::Minus) {
    expect({tk::Number, tk::Hex});
    c.curToken.Int = -c.curToken.Int;
  }
  keepOperand(c.curToken, loop.end);
  loop.step.Token = tk::Number;
  loop.step.Int = 1;
  const bool closed = c.TakePunctuation(')', tk::RParen);  // mostly the ")" follows at once
  if (!closed && expect({tk::RParen, tk::Step}) == tk::Step) [[unlikely]] {
    expect({tk::Number, tk::Hex, tk::Register});
    keepOperand(c.curToken, loop.step);
    c.ExpectOrRaise(')', tk::RParen);
  }
  if (loop.step.Token == tk::Register && regSize(loop.step.Reg) != regSize(loop.reg))
    c.Error(SizeMessage(TSizeMessage::equalSize));
  if (loop.end.Token == tk::Register && regSize(loop.end.Reg) != regSize(loop.reg))
    c.Error(SizeMessage(TSizeMessage::equalSize));
  c.ExpectOrRaise('{', tk::LBrace);
}

// The register one step before the start, so the step at the loop head brings it there.
static void countedLoopStart(TCompiler& c, const TCountedLoop& loop) {
  TAssembler& a = c.curFunc->recAssembler;
  if (isNumber(loop.start.Token) && loop.step.Token != tk::Register) {
    const int64_t first = loop.up ? loop.start.Int - loop.step.Int : loop.start.Int + loop.step.Int;
    MovRegImm(a, loop.reg, static_cast<int32_t>(first), ftNone);
    return;
  }
  if (isNumber(loop.start.Token)) {
    MovRegImm(a, loop.reg, static_cast<int32_t>(loop.start.Int), ftNone);
  } else {
    const TLocation from = c.OperandLocation(*loop.start.item);
    if (from.size != regSize(loop.reg) / 8) c.Error(SizeMessage(TSizeMessage::equalSize));
    LocMovRegLoc(a, loop.reg, from);
  }
  stepRegister(a, loop, !loop.up);
}

// CMP with the end: equality is all the back jump asks.
static void countedLoopCompare(TCompiler& c, const TCountedLoop& loop) {
  TAssembler& a = c.curFunc->recAssembler;
  if (loop.end.Token == tk::Register) return CmpRegReg(a, loop.reg, loop.end.Reg);
  if (isNumber(loop.end.Token)) {
    c.CheckImmediate(loop.end.Int, regSize(loop.reg) / 8);
    return CmpRegImm(a, loop.reg, 0, static_cast<int32_t>(loop.end.Int));
  }
  // A local, parameter or global, its offset (an element of an array) included.
  const TLocation to = c.OperandLocation(*loop.end.item);
  if (to.size != regSize(loop.reg) / 8) c.Error(SizeMessage(TSizeMessage::equalSize));
  LocAluLocReg(a, aluCmp, to, loop.reg);
}

// "for (reg = start to|downto end [step n]) { ... }"
bool TCompiler::CompileCountedLoop() {
  TCountedLoop loop;
  readCountedLoop(*this, loop);
  countedLoopStart(*this, loop);
  const uint32_t n = CurBody().PushBrace(btRepeat).id;
  const TLabelName start = LevelLabel(llRepStart, n);
  DefineLabel(start);
  stepRegister(curFunc->recAssembler, loop, loop.up);
  CompileBracedBody("Error 2334234");
  DefineLabel(LevelLabel(llRepNext, n));  // continue: the end compare, then the step
  countedLoopCompare(*this, loop);
  JumpToLabel(5, start);
  DefineLabel(LevelLabel(llRepEnd, n));
  return true;
}

}  // namespace kelvo
