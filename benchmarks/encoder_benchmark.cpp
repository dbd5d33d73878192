// Encoder speed: ten million mixed integer instructions into one procedure's code buffer.
#include <benchmark/benchmark.h>

#include "assembler/encoders.h"

using namespace kelvo;

namespace {

constexpr int kInstructions = 10'000'000;
constexpr int kMix = 20;  // instructions per round below

// A mix like a compiled procedure's: moves, arithmetic, compares, memory operands of every
// shape, stack traffic, and now and then a global variable with its fix-up.
void encodeRound(TAssembler& a, int i) {
  const auto r = static_cast<TRegister>(i & 7);
  MovRegMem(a, 1, r, rdEBP, rdEAX, -8 - (i & 31), 0);
  AddRegImm(a, r, i & 0xFFF, ftNone);
  MovMemReg(a, 2, rdEDX, rdEBX, rdESI, 16, 4);
  CmpRegReg(a, rdEAX, r);
  SubRegImm(a, rdESP, 8, ftNone);
  PushReg(a, rdEBX);
  XorRegReg(a, rdEAX, rdEAX);
  LeaRegMem(a, 2, rdECX, rdEAX, rdECX, i & 0x7F, 2);
  CmpLocalImm(a, 4, -12, 1000);
  IncReg(a, rdECX);
  ShlRegImm(a, r, 3);
  MovRegImm(a, rdEAX, i, ftNone);
  TestRegReg(a, rdEAX, rdEAX);
  AddMemImm(a, 1, 4, 5, rdESP, rdEAX, 4, 0, ftNone);
  PopReg(a, rdEBX);
  MovRegReg(a, rdESI, rdEDI);
  AndRegImm(a, rdAL, 0x0F);
  ImulRegImm(a, rdEDX, 10);
  MovRegVar(a, 3, rdECX, 0);  // global variable: one fix-up
  CallMem(a, rdEAX, 8);
}

void BM_EncodeTenMillionMixedInstructions(benchmark::State& state) {
  for (auto _ : state) {
    TAssembler a;
    for (int i = 0; i < kInstructions / kMix; ++i) encodeRound(a, i);
    benchmark::DoNotOptimize(a.strCode.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kInstructions);
}
BENCHMARK(BM_EncodeTenMillionMixedInstructions)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
