// The x87 floating-point forms, one row each (see form_table.h). Memory forms take sized
// classes ("m32", "m64", "m80") with their /digit; register forms are "st(0), st(i)" or
// "st(i), st(0)" written "D8 C0+i", "DC C0+i". Rows are in the Intel meaning of the
// operands: fsub st(i), st(0) is DC E8+i (AT&T syntax swaps sub/subr and div/divr there).
// The waiting forms carry 9B as their first opcode byte.
#pragma once

// clang-format off
#define KELVO_FORMS_X87(F) \
  /* arithmetic: D8 single, DC double, D8 st(0) op= st(i), DC st(i) op= st(0), DE and pop */ \
  F(FaddM32,      "fadd",    "m32",          "D8 /0",    frNone) \
  F(FaddM64,      "fadd",    "m64",          "DC /0",    frNone) \
  F(FaddSt0Sti,   "fadd",    "st(0), st(i)", "D8 C0+i",  frNone) \
  F(FaddStiSt0,   "fadd",    "st(i), st(0)", "DC C0+i",  frNone) \
  F(FaddpStiSt0,  "faddp",   "st(i), st(0)", "DE C0+i",  frNone) \
  F(FmulM32,      "fmul",    "m32",          "D8 /1",    frNone) \
  F(FmulM64,      "fmul",    "m64",          "DC /1",    frNone) \
  F(FmulSt0Sti,   "fmul",    "st(0), st(i)", "D8 C8+i",  frNone) \
  F(FmulStiSt0,   "fmul",    "st(i), st(0)", "DC C8+i",  frNone) \
  F(FmulpStiSt0,  "fmulp",   "st(i), st(0)", "DE C8+i",  frNone) \
  F(FsubM32,      "fsub",    "m32",          "D8 /4",    frNone) \
  F(FsubM64,      "fsub",    "m64",          "DC /4",    frNone) \
  F(FsubSt0Sti,   "fsub",    "st(0), st(i)", "D8 E0+i",  frNone) \
  F(FsubStiSt0,   "fsub",    "st(i), st(0)", "DC E8+i",  frNone) \
  F(FsubpStiSt0,  "fsubp",   "st(i), st(0)", "DE E8+i",  frNone) \
  F(FsubrM32,     "fsubr",   "m32",          "D8 /5",    frNone) \
  F(FsubrM64,     "fsubr",   "m64",          "DC /5",    frNone) \
  F(FsubrSt0Sti,  "fsubr",   "st(0), st(i)", "D8 E8+i",  frNone) \
  F(FsubrStiSt0,  "fsubr",   "st(i), st(0)", "DC E0+i",  frNone) \
  F(FsubrpStiSt0, "fsubrp",  "st(i), st(0)", "DE E0+i",  frNone) \
  F(FdivM32,      "fdiv",    "m32",          "D8 /6",    frNone) \
  F(FdivM64,      "fdiv",    "m64",          "DC /6",    frNone) \
  F(FdivSt0Sti,   "fdiv",    "st(0), st(i)", "D8 F0+i",  frNone) \
  F(FdivStiSt0,   "fdiv",    "st(i), st(0)", "DC F8+i",  frNone) \
  F(FdivpStiSt0,  "fdivp",   "st(i), st(0)", "DE F8+i",  frNone) \
  F(FdivrM32,     "fdivr",   "m32",          "D8 /7",    frNone) \
  F(FdivrM64,     "fdivr",   "m64",          "DC /7",    frNone) \
  F(FdivrSt0Sti,  "fdivr",   "st(0), st(i)", "D8 F8+i",  frNone) \
  F(FdivrStiSt0,  "fdivr",   "st(i), st(0)", "DC F0+i",  frNone) \
  F(FdivrpStiSt0, "fdivrp",  "st(i), st(0)", "DE F0+i",  frNone) \
  /* compares: into the status word, and into EFLAGS (686 and up) */ \
  F(FcomM32,      "fcom",    "m32",          "D8 /2",    frNone) \
  F(FcomM64,      "fcom",    "m64",          "DC /2",    frNone) \
  F(FcomSti,      "fcom",    "st(i)",        "D8 D0+i",  frNone) \
  F(FcompM32,     "fcomp",   "m32",          "D8 /3",    frNone) \
  F(FcompM64,     "fcomp",   "m64",          "DC /3",    frNone) \
  F(FcompSti,     "fcomp",   "st(i)",        "D8 D8+i",  frNone) \
  F(FucomSti,     "fucom",   "st(i)",        "DD E0+i",  frNone) \
  F(FucompSti,    "fucomp",  "st(i)",        "DD E8+i",  frNone) \
  F(FcomiSt0Sti,  "fcomi",   "st(0), st(i)", "DB F0+i",  frNone) \
  F(FcomipSt0Sti, "fcomip",  "st(0), st(i)", "DF F0+i",  frNone) \
  F(FucomiSt0Sti, "fucomi",  "st(0), st(i)", "DB E8+i",  frNone) \
  F(FucomipSt0Sti, "fucomip", "st(0), st(i)", "DF E8+i", frNone) \
  /* loads and stores of floats, integers and packed BCD */ \
  F(FldM32,       "fld",     "m32",          "D9 /0",    frNone) \
  F(FldM64,       "fld",     "m64",          "DD /0",    frNone) \
  F(FldM80,       "fld",     "m80",          "DB /5",    frNone) \
  F(FldSti,       "fld",     "st(i)",        "D9 C0+i",  frNone) \
  F(FstM32,       "fst",     "m32",          "D9 /2",    frNone) \
  F(FstM64,       "fst",     "m64",          "DD /2",    frNone) \
  F(FstSti,       "fst",     "st(i)",        "DD D0+i",  frNone) \
  F(FstpM32,      "fstp",    "m32",          "D9 /3",    frNone) \
  F(FstpM64,      "fstp",    "m64",          "DD /3",    frNone) \
  F(FstpSti,      "fstp",    "st(i)",        "DD D8+i",  frNone) \
  F(FildM16,      "fild",    "m16",          "DF /0",    frNone) \
  F(FildM32,      "fild",    "m32",          "DB /0",    frNone) \
  F(FildM64,      "fild",    "m64",          "DF /5",    frNone) \
  F(FistM16,      "fist",    "m16",          "DF /2",    frNone) \
  F(FistM32,      "fist",    "m32",          "DB /2",    frNone) \
  F(FistpM16,     "fistp",   "m16",          "DF /3",    frNone) \
  F(FistpM32,     "fistp",   "m32",          "DB /3",    frNone) \
  F(FistpM64,     "fistp",   "m64",          "DF /7",    frNone) \
  F(FbldM80,      "fbld",    "m80",          "DF /4",    frNone) \
  F(FbstpM80,     "fbstp",   "m80",          "DF /6",    frNone) \
  F(FxchSti,      "fxch",    "st(i)",        "D9 C8+i",  frNone) \
  F(FfreeSti,     "ffree",   "st(i)",        "DD C0+i",  frNone) \
  /* integer operands, by digit: DE word, DA dword */ \
  F(FiaddM16,     "fiadd",   "m16",          "DE /0",    frNone) \
  F(FiaddM32,     "fiadd",   "m32",          "DA /0",    frNone) \
  F(FimulM16,     "fimul",   "m16",          "DE /1",    frNone) \
  F(FimulM32,     "fimul",   "m32",          "DA /1",    frNone) \
  F(FicomM16,     "ficom",   "m16",          "DE /2",    frNone) \
  F(FicomM32,     "ficom",   "m32",          "DA /2",    frNone) \
  F(FicompM16,    "ficomp",  "m16",          "DE /3",    frNone) \
  F(FicompM32,    "ficomp",  "m32",          "DA /3",    frNone) \
  F(FisubM16,     "fisub",   "m16",          "DE /4",    frNone) \
  F(FisubM32,     "fisub",   "m32",          "DA /4",    frNone) \
  F(FisubrM16,    "fisubr",  "m16",          "DE /5",    frNone) \
  F(FisubrM32,    "fisubr",  "m32",          "DA /5",    frNone) \
  F(FidivM16,     "fidiv",   "m16",          "DE /6",    frNone) \
  F(FidivM32,     "fidiv",   "m32",          "DA /6",    frNone) \
  F(FidivrM16,    "fidivr",  "m16",          "DE /7",    frNone) \
  F(FidivrM32,    "fidivr",  "m32",          "DA /7",    frNone) \
  /* control word, status word, environment and state; "m" takes the size it is given */ \
  F(FldcwM16,     "fldcw",   "m16",          "D9 /5",    frNone) \
  F(FnstcwM16,    "fnstcw",  "m16",          "D9 /7",    frNone) \
  F(FstcwM16,     "fstcw",   "m16",          "9B D9 /7", frNone) \
  F(FnstswM16,    "fnstsw",  "m16",          "DD /7",    frNone) \
  F(FnstswAx,     "fnstsw",  "ax",           "DF E0",    frNone) \
  F(FstswM16,     "fstsw",   "m16",          "9B DD /7", frNone) \
  F(FstswAx,      "fstsw",   "ax",           "9B DF E0", frNone) \
  F(FldenvM,      "fldenv",  "m",            "D9 /4",    frNone) \
  F(FnstenvM,     "fnstenv", "m",            "D9 /6",    frNone) \
  F(FstenvM,      "fstenv",  "m",            "9B D9 /6", frNone) \
  F(FrstorM,      "frstor",  "m",            "DD /4",    frNone) \
  F(FnsaveM,      "fnsave",  "m",            "DD /6",    frNone) \
  F(FsaveM,       "fsave",   "m",            "9B DD /6", frNone) \
  /* conditional moves (686 and up): st(0) <- st(i) */ \
  F(FcmovbSt0Sti,   "fcmovb",   "st(0), st(i)", "DA C0+i", frNone) \
  F(FcmoveSt0Sti,   "fcmove",   "st(0), st(i)", "DA C8+i", frNone) \
  F(FcmovbeSt0Sti,  "fcmovbe",  "st(0), st(i)", "DA D0+i", frNone) \
  F(FcmovuSt0Sti,   "fcmovu",   "st(0), st(i)", "DA D8+i", frNone) \
  F(FcmovnbSt0Sti,  "fcmovnb",  "st(0), st(i)", "DB C0+i", frNone) \
  F(FcmovneSt0Sti,  "fcmovne",  "st(0), st(i)", "DB C8+i", frNone) \
  F(FcmovnbeSt0Sti, "fcmovnbe", "st(0), st(i)", "DB D0+i", frNone) \
  F(FcmovnuSt0Sti,  "fcmovnu",  "st(0), st(i)", "DB D8+i", frNone)
// clang-format on
