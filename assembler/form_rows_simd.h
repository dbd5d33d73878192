// The MMX and SSE forms, one row each (see form_table.h). Mandatory prefixes are part of the
// opcode bytes ("F3 0F 58 /r", "66 0F FE /r"); register classes are "mm" and "xmm", register
// or memory "mm/m64", "xmm/m128" and the like.
#pragma once

// clang-format off
#define KELVO_FORMS_SIMD(F)
// clang-format on
