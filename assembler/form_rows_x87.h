// The x87 floating-point forms, one row each (see form_table.h). Memory forms take sized
// classes ("m32", "m64", "m80") with their /digit; register forms are "st(0), st(i)" or
// "st(i), st(0)" written "D8 C0+i", "DC C0+i".
#pragma once

// clang-format off
#define KELVO_FORMS_X87(F)
// clang-format on
