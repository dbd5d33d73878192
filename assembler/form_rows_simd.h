// The MMX and SSE forms, one row each (see form_table.h). Mandatory prefixes are part of the
// opcode bytes ("F3 0F 58 /r", "66 0F FE /r"); register classes are "mm" and "xmm", register
// or memory "mm/m64", "xmm/m128" and the like.
//
// Which instruction-set switch governs a row is the named operation's business
// (encoders_simd.h): movntq works on an MMX register but came with SSE.
#pragma once

// clang-format off
#define KELVO_FORMS_SIMD(F) \
  /* MMX moves: 6E/6F load, 7E/7F store */ \
  F(MovdMmRm32,     "movd",      "mm, r/m32",      "0F 6E /r",    frNone) \
  F(MovdRm32Mm,     "movd",      "r/m32, mm",      "0F 7E /r",    frNone) \
  F(MovqMmMm64,     "movq",      "mm, mm/m64",     "0F 6F /r",    frNone) \
  F(MovqMm64Mm,     "movq",      "mm/m64, mm",     "0F 7F /r",    frNone) \
  /* MMX packed integer arithmetic, logic, compares, packs and shifts by a register count */ \
  F(Paddd,     "paddd",     "mm, mm/m64", "0F FE /r", frNone) \
  F(Paddb,     "paddb",     "mm, mm/m64", "0F FC /r", frNone) \
  F(Paddsb,    "paddsb",    "mm, mm/m64", "0F EC /r", frNone) \
  F(Paddusb,   "paddusb",   "mm, mm/m64", "0F DC /r", frNone) \
  F(Paddw,     "paddw",     "mm, mm/m64", "0F FD /r", frNone) \
  F(Paddsw,    "paddsw",    "mm, mm/m64", "0F ED /r", frNone) \
  F(Paddusw,   "paddusw",   "mm, mm/m64", "0F DD /r", frNone) \
  F(Psubb,     "psubb",     "mm, mm/m64", "0F F8 /r", frNone) \
  F(Psubsb,    "psubsb",    "mm, mm/m64", "0F E8 /r", frNone) \
  F(Psubusb,   "psubusb",   "mm, mm/m64", "0F D8 /r", frNone) \
  F(Psubw,     "psubw",     "mm, mm/m64", "0F F9 /r", frNone) \
  F(Psubsw,    "psubsw",    "mm, mm/m64", "0F E9 /r", frNone) \
  F(Psubd,     "psubd",     "mm, mm/m64", "0F FA /r", frNone) \
  F(Pmulhw,    "pmulhw",    "mm, mm/m64", "0F E5 /r", frNone) \
  F(Pmullw,    "pmullw",    "mm, mm/m64", "0F D5 /r", frNone) \
  F(Pmaddwd,   "pmaddwd",   "mm, mm/m64", "0F F5 /r", frNone) \
  F(Pcmpeqb,   "pcmpeqb",   "mm, mm/m64", "0F 74 /r", frNone) \
  F(Pcmpgtb,   "pcmpgtb",   "mm, mm/m64", "0F 64 /r", frNone) \
  F(Pcmpeqw,   "pcmpeqw",   "mm, mm/m64", "0F 75 /r", frNone) \
  F(Pcmpgtw,   "pcmpgtw",   "mm, mm/m64", "0F 65 /r", frNone) \
  F(Pcmpeqd,   "pcmpeqd",   "mm, mm/m64", "0F 76 /r", frNone) \
  F(Pcmpgtd,   "pcmpgtd",   "mm, mm/m64", "0F 66 /r", frNone) \
  F(Packssdw,  "packssdw",  "mm, mm/m64", "0F 6B /r", frNone) \
  F(Packsswb,  "packsswb",  "mm, mm/m64", "0F 63 /r", frNone) \
  F(Packuswb,  "packuswb",  "mm, mm/m64", "0F 67 /r", frNone) \
  F(Punpckhbw, "punpckhbw", "mm, mm/m64", "0F 68 /r", frNone) \
  F(Punpckhdq, "punpckhdq", "mm, mm/m64", "0F 6A /r", frNone) \
  F(Punpckhwd, "punpckhwd", "mm, mm/m64", "0F 69 /r", frNone) \
  F(Punpcklbw, "punpcklbw", "mm, mm/m32", "0F 60 /r", frNone) \
  F(Punpckldq, "punpckldq", "mm, mm/m32", "0F 62 /r", frNone) \
  F(Punpcklwd, "punpcklwd", "mm, mm/m32", "0F 61 /r", frNone) \
  F(Pxor,      "pxor",      "mm, mm/m64", "0F EF /r", frNone) \
  F(Por,       "por",       "mm, mm/m64", "0F EB /r", frNone) \
  F(Pand,      "pand",      "mm, mm/m64", "0F DB /r", frNone) \
  F(Pandn,     "pandn",     "mm, mm/m64", "0F DF /r", frNone) \
  F(Psllw,     "psllw",     "mm, mm/m64", "0F F1 /r", frNone) \
  F(Pslld,     "pslld",     "mm, mm/m64", "0F F2 /r", frNone) \
  F(Psllq,     "psllq",     "mm, mm/m64", "0F F3 /r", frNone) \
  F(Psrlw,     "psrlw",     "mm, mm/m64", "0F D1 /r", frNone) \
  F(Psrld,     "psrld",     "mm, mm/m64", "0F D2 /r", frNone) \
  F(Psrlq,     "psrlq",     "mm, mm/m64", "0F D3 /r", frNone) \
  F(Psraw,     "psraw",     "mm, mm/m64", "0F E1 /r", frNone) \
  F(Psrad,     "psrad",     "mm, mm/m64", "0F E2 /r", frNone) \
  /* SSE single precision: packed (xmm/m128) and scalar (F3, xmm/m32) */ \
  F(Addps,     "addps",     "xmm, xmm/m128", "0F 58 /r",    frNone) \
  F(Addss,     "addss",     "xmm, xmm/m32",  "F3 0F 58 /r", frNone) \
  F(Subps,     "subps",     "xmm, xmm/m128", "0F 5C /r",    frNone) \
  F(Subss,     "subss",     "xmm, xmm/m32",  "F3 0F 5C /r", frNone) \
  F(Divps,     "divps",     "xmm, xmm/m128", "0F 5E /r",    frNone) \
  F(Divss,     "divss",     "xmm, xmm/m32",  "F3 0F 5E /r", frNone) \
  F(Mulps,     "mulps",     "xmm, xmm/m128", "0F 59 /r",    frNone) \
  F(Mulss,     "mulss",     "xmm, xmm/m32",  "F3 0F 59 /r", frNone) \
  F(Minps,     "minps",     "xmm, xmm/m128", "0F 5D /r",    frNone) \
  F(Minss,     "minss",     "xmm, xmm/m32",  "F3 0F 5D /r", frNone) \
  F(Maxps,     "maxps",     "xmm, xmm/m128", "0F 5F /r",    frNone) \
  F(Maxss,     "maxss",     "xmm, xmm/m32",  "F3 0F 5F /r", frNone) \
  /* SSE moves: the store form is the load opcode plus one */ \
  F(MovupsLoad,  "movups",  "xmm, xmm/m128", "0F 10 /r",    frNone) \
  F(MovupsStore, "movups",  "xmm/m128, xmm", "0F 11 /r",    frNone) \
  F(MovapsLoad,  "movaps",  "xmm, xmm/m128", "0F 28 /r",    frNone) \
  F(MovapsStore, "movaps",  "xmm/m128, xmm", "0F 29 /r",    frNone) \
  F(MovssLoad,   "movss",   "xmm, xmm/m32",  "F3 0F 10 /r", frNone) \
  F(MovssStore,  "movss",   "xmm/m32, xmm",  "F3 0F 11 /r", frNone) \
  /* the SSE additions: a non-temporal MMX store, a prefetch, a store fence */ \
  F(Movntq,      "movntq",      "m64, mm", "0F E7 /r",   frNone) \
  F(Prefetchnta, "prefetchnta", "m8",      "0F 18 /0",   frNone) \
  F(Sfence,      "sfence",      "",        "0F AE F8",   frNone)
// clang-format on
