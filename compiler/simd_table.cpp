#include <array>

#include "compiler/simd_statements.h"

namespace kelvo {

namespace {

using H = TSimdHandler;

constexpr TSimdStatement mmx(const char* name, uint8_t op) { return {name, H::mmxArith, {0, op}}; }
constexpr TSimdStatement ps(const char* name, uint8_t op) { return {name, H::sseArith, {0, op}}; }
constexpr TSimdStatement ss(const char* name, uint8_t op) { return {name, H::sseArith, {0xF3, op}}; }
constexpr TSimdStatement kGap = {nullptr, H::none, {0, 0}};

// One row per token code from 601; the shifts take only register and memory counts.
constexpr TSimdStatement kRows[] = {
    {"movd", H::movd, {0, 0x6E}},   {"movq", H::movq, {0, 0x6F}},
    mmx("paddd", 0xFE),     mmx("paddb", 0xFC),     mmx("paddsb", 0xEC),    mmx("paddusb", 0xDC),
    mmx("paddw", 0xFD),     mmx("paddsw", 0xED),    mmx("paddusw", 0xDD),   mmx("psubb", 0xF8),
    mmx("psubsb", 0xE8),    mmx("psubusb", 0xD8),   mmx("psubw", 0xF9),     mmx("psubsw", 0xE9),
    mmx("psubd", 0xFA),     mmx("pmulhw", 0xE5),    mmx("pmullw", 0xD5),    mmx("pmaddwd", 0xF5),
    mmx("pcmpeqb", 0x74),   mmx("pcmpgtb", 0x64),   mmx("pcmpeqw", 0x75),   mmx("pcmpgtw", 0x65),
    mmx("pcmpeqd", 0x76),   mmx("pcmpgtd", 0x66),   mmx("packssdw", 0x6B),  mmx("packsswb", 0x63),
    mmx("packuswb", 0x67),  mmx("punpckhbw", 0x68), mmx("punpckhdq", 0x6A), mmx("punpckhwd", 0x69),
    mmx("punpcklbw", 0x60), mmx("punpckldq", 0x62), mmx("punpcklwd", 0x61), mmx("pxor", 0xEF),
    mmx("por", 0xEB),       mmx("pand", 0xDB),      mmx("pandn", 0xDF),     mmx("psllw", 0xF1),
    mmx("pslld", 0xF2),     mmx("psllq", 0xF3),     mmx("psrlw", 0xD1),     mmx("psrld", 0xD2),
    mmx("psrlq", 0xD3),     mmx("psraw", 0xE1),     mmx("psrad", 0xE2),
    kGap, kGap, kGap, kGap, kGap,  // 646-650: 650 is the xmm register
    ps("addps", 0x58),      ss("addss", 0x58),      ps("subps", 0x5C),      ss("subss", 0x5C),
    ps("divps", 0x5E),      ss("divss", 0x5E),      ps("mulps", 0x59),      ss("mulss", 0x59),
    {"movups", H::sseMove, {0, 0x10}}, {"movaps", H::sseMove, {0, 0x28}}, {"movss", H::sseMove, {0xF3, 0x10}},
    ps("minps", 0x5D),      ss("minss", 0x5D),      ps("maxps", 0x5F),      ss("maxss", 0x5F),
    {"sfence", H::sfence, {0, 0xAE}}, {"movntq", H::movntq, {0, 0xE7}}, {"prefetchnta", H::prefetchnta, {0, 0x18}},
};
static_assert(std::size(kRows) == 668 - kFirstSimdCode + 1);

}  // namespace

std::span<const TSimdStatement> SimdStatements() { return kRows; }

const TSimdStatement* FindSimdStatement(uint16_t code) {
  if (code < kFirstSimdCode || code >= kFirstSimdCode + std::size(kRows)) return nullptr;
  const TSimdStatement& row = kRows[code - kFirstSimdCode];
  return row.handler == H::none ? nullptr : &row;
}

}  // namespace kelvo
