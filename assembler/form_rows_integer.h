// The general-purpose integer forms, one row each: F(id, mnemonic, operand classes, encoding,
// size rule). See form_table.h for how rows are written and read.
//
// Where one instruction has several forms for the same operands, the shortest comes first:
// the sign-extended byte immediate, then the accumulator short form, then the full form.
#pragma once

// clang-format off
#define KELVO_FORMS_INTEGER(F) \
  /* the eight arithmetic/logic operations: base B, /digit d */ \
  F(AddRmImm8, "add", "r/m, imm8s", "83 /0 ib", frNone) \
  F(AddAccImm, "add", "acc, imm",   "05 iz",    frByte) \
  F(AddRmImm,  "add", "r/m, imm",   "81 /0 iz", frByte) \
  F(AddRmR,    "add", "r/m, r",     "01 /r",    frByte) \
  F(AddRRm,    "add", "r, r/m",     "03 /r",    frByte) \
  F(OrRmImm8,  "or",  "r/m, imm8s", "83 /1 ib", frNone) \
  F(OrAccImm,  "or",  "acc, imm",   "0D iz",    frByte) \
  F(OrRmImm,   "or",  "r/m, imm",   "81 /1 iz", frByte) \
  F(OrRmR,     "or",  "r/m, r",     "09 /r",    frByte) \
  F(OrRRm,     "or",  "r, r/m",     "0B /r",    frByte) \
  F(AdcRmImm8, "adc", "r/m, imm8s", "83 /2 ib", frNone) \
  F(AdcAccImm, "adc", "acc, imm",   "15 iz",    frByte) \
  F(AdcRmImm,  "adc", "r/m, imm",   "81 /2 iz", frByte) \
  F(AdcRmR,    "adc", "r/m, r",     "11 /r",    frByte) \
  F(AdcRRm,    "adc", "r, r/m",     "13 /r",    frByte) \
  F(SbbRmImm8, "sbb", "r/m, imm8s", "83 /3 ib", frNone) \
  F(SbbAccImm, "sbb", "acc, imm",   "1D iz",    frByte) \
  F(SbbRmImm,  "sbb", "r/m, imm",   "81 /3 iz", frByte) \
  F(SbbRmR,    "sbb", "r/m, r",     "19 /r",    frByte) \
  F(SbbRRm,    "sbb", "r, r/m",     "1B /r",    frByte) \
  F(AndRmImm8, "and", "r/m, imm8s", "83 /4 ib", frNone) \
  F(AndAccImm, "and", "acc, imm",   "25 iz",    frByte) \
  F(AndRmImm,  "and", "r/m, imm",   "81 /4 iz", frByte) \
  F(AndRmR,    "and", "r/m, r",     "21 /r",    frByte) \
  F(AndRRm,    "and", "r, r/m",     "23 /r",    frByte) \
  F(SubRmImm8, "sub", "r/m, imm8s", "83 /5 ib", frNone) \
  F(SubAccImm, "sub", "acc, imm",   "2D iz",    frByte) \
  F(SubRmImm,  "sub", "r/m, imm",   "81 /5 iz", frByte) \
  F(SubRmR,    "sub", "r/m, r",     "29 /r",    frByte) \
  F(SubRRm,    "sub", "r, r/m",     "2B /r",    frByte) \
  F(XorRmImm8, "xor", "r/m, imm8s", "83 /6 ib", frNone) \
  F(XorAccImm, "xor", "acc, imm",   "35 iz",    frByte) \
  F(XorRmImm,  "xor", "r/m, imm",   "81 /6 iz", frByte) \
  F(XorRmR,    "xor", "r/m, r",     "31 /r",    frByte) \
  F(XorRRm,    "xor", "r, r/m",     "33 /r",    frByte) \
  F(CmpRmImm8, "cmp", "r/m, imm8s", "83 /7 ib", frNone) \
  F(CmpAccImm, "cmp", "acc, imm",   "3D iz",    frByte) \
  F(CmpRmImm,  "cmp", "r/m, imm",   "81 /7 iz", frByte) \
  F(CmpRmR,    "cmp", "r/m, r",     "39 /r",    frByte) \
  F(CmpRRm,    "cmp", "r, r/m",     "3B /r",    frByte) \
  /* TEST has no sign-extended byte form */ \
  F(TestAccImm, "test", "acc, imm", "A9 iz",    frByte) \
  F(TestRmImm,  "test", "r/m, imm", "F7 /0 iz", frByte) \
  F(TestRmR,    "test", "r/m, r",   "85 /r",    frByte) \
  /* one-operand groups */ \
  F(NotRm,  "not",  "r/m", "F7 /2", frByte) \
  F(NegRm,  "neg",  "r/m", "F7 /3", frByte) \
  F(MulRm,  "mul",  "r/m", "F7 /4", frByte) \
  F(ImulRm, "imul", "r/m", "F7 /5", frByte) \
  F(DivRm,  "div",  "r/m", "F7 /6", frByte) \
  F(IdivRm, "idiv", "r/m", "F7 /7", frByte) \
  F(IncR,   "inc",  "r",   "40+r",  frNone) \
  F(IncRm,  "inc",  "r/m", "FF /0", frByte) \
  F(DecR,   "dec",  "r",   "48+r",  frNone) \
  F(DecRm,  "dec",  "r/m", "FF /1", frByte) \
  /* IMUL with a destination */ \
  F(ImulRRmImm8, "imul", "r, r/m, imm8s", "6B /r ib", frNone) \
  F(ImulRRmImm,  "imul", "r, r/m, imm",   "69 /r iz", frNone) \
  F(ImulRRm,     "imul", "r, r/m",        "0F AF /r", frNone) \
  /* MOV: the accumulator's absolute-address forms carry no ModRM */ \
  F(MovAccMoffs, "mov", "acc, moffs", "A1",       frByte) \
  F(MovMoffsAcc, "mov", "moffs, acc", "A3",       frByte) \
  F(MovRmR,      "mov", "r/m, r",     "89 /r",    frByte) \
  F(MovRRm,      "mov", "r, r/m",     "8B /r",    frByte) \
  F(MovR8Imm,    "mov", "r, imm",     "B0+r ib",  frOnlyByte) \
  F(MovRImm,     "mov", "r, imm",     "B8+r iz",  frNone) \
  F(MovRmImm,    "mov", "r/m, imm",   "C7 /0 iz", frByte) \
  F(MovSregRm,   "mov", "sreg, r/m16", "8E /r",   frNone) \
  F(MovzxRRm8,   "movzx", "r, r/m8",    "0F B6 /r", frNone) \
  F(MovzxR32Rm16, "movzx", "r32, r/m16", "0F B7 /r", frDword) \
  F(MovsxRRm8,   "movsx", "r, r/m8",    "0F BE /r", frNone) \
  F(MovsxR32Rm16, "movsx", "r32, r/m16", "0F BF /r", frDword) \
  F(LeaRM,       "lea", "r, m",        "8D /r",    frNone) \
  F(XchgAccR,    "xchg", "acc, r",     "90+r",     frNone) \
  F(XchgRAcc,    "xchg", "r, acc",     "90+r",     frNone) \
  F(XchgRmR,     "xchg", "r/m, r",     "87 /r",    frByte) \
  F(XchgRRm,     "xchg", "r, r/m",     "87 /r",    frByte) \
  F(CmovzRRm,    "cmovz", "r, r/m",    "0F 44 /r", frNone) \
  /* stack */ \
  F(PushR,    "push", "r",     "50+r",  frNone) \
  F(PushImm8, "push", "imm8s", "6A ib", frNone) \
  F(PushImm,  "push", "imm",   "68 iz", frNone) \
  F(PushRm,   "push", "r/m",   "FF /6", frNone) \
  F(PopR,     "pop",  "r",     "58+r",  frNone) \
  F(PopRm,    "pop",  "r/m",   "8F /0", frNone) \
  /* segment registers: one-byte forms for the old four, 0F forms for FS and GS */ \
  F(PushCs,   "push", "cs",    "0E",    frNone) \
  F(PushSs,   "push", "ss",    "16",    frNone) \
  F(PushDs,   "push", "ds",    "1E",    frNone) \
  F(PushEs,   "push", "es",    "06",    frNone) \
  F(PushFs,   "push", "fs",    "0F A0", frNone) \
  F(PushGs,   "push", "gs",    "0F A8", frNone) \
  F(PopSs,    "pop",  "ss",    "17",    frNone) \
  F(PopDs,    "pop",  "ds",    "1F",    frNone) \
  F(PopEs,    "pop",  "es",    "07",    frNone) \
  F(PopFs,    "pop",  "fs",    "0F A1", frNone) \
  F(PopGs,    "pop",  "gs",    "0F A9", frNone) \
  /* rotates and shifts: a count of 1 has its own opcode without an immediate */ \
  F(RolRm1,   "rol", "r/m, 1",    "D1 /0",    frByte) \
  F(RolRmImm, "rol", "r/m, imm8", "C1 /0 ib", frByte) \
  F(RorRm1,   "ror", "r/m, 1",    "D1 /1",    frByte) \
  F(RorRmImm, "ror", "r/m, imm8", "C1 /1 ib", frByte) \
  F(ShlRm1,   "shl", "r/m, 1",    "D1 /4",    frByte) \
  F(ShlRmImm, "shl", "r/m, imm8", "C1 /4 ib", frByte) \
  F(SalRm1,   "sal", "r/m, 1",    "D1 /4",    frByte) \
  F(SalRmImm, "sal", "r/m, imm8", "C1 /4 ib", frByte) \
  F(ShrRm1,   "shr", "r/m, 1",    "D1 /5",    frByte) \
  F(ShrRmImm, "shr", "r/m, imm8", "C1 /5 ib", frByte) \
  F(SarRm1,   "sar", "r/m, 1",    "D1 /7",    frByte) \
  F(SarRmImm, "sar", "r/m, imm8", "C1 /7 ib", frByte) \
  /* bits, flags and system */ \
  F(BtRmR,    "bt",    "r/m, r",    "0F A3 /r",    frNone) \
  F(BtsRmR,   "bts",   "r/m, r",    "0F AB /r",    frNone) \
  F(BtrRmR,   "btr",   "r/m, r",    "0F B3 /r",    frNone) \
  F(BtcRmR,   "btc",   "r/m, r",    "0F BB /r",    frNone) \
  F(SetaeRm8, "setae", "r/m8",      "0F 93 /0",    frNone) \
  F(BswapR32, "bswap", "r32",       "0F C8+r",     frDword) \
  F(SldtRm16, "sldt",  "r/m16",     "0F 00 /0",    frNone) \
  F(VerrRm16, "verr",  "r/m16",     "0F 00 /4",    frNone) \
  F(VerwRm16, "verw",  "r/m16",     "0F 00 /5",    frNone) \
  F(LarRRm,   "lar",   "r, r/m",    "0F 02 /r",    frNone) \
  F(InAccImm, "in",    "acc, imm8", "E5 ib",       frByte) \
  F(OutImmAcc, "out",  "imm8, acc", "E7 ib",       frByte) \
  /* control transfer */ \
  F(CallRm32, "call", "r/m32", "FF /2",  frDword) \
  F(JmpRm32,  "jmp",  "r/m32", "FF /4",  frDword) \
  F(RetImm,   "ret",  "imm16", "C2 iw",  frNone) \
  F(Ret,      "ret",  "",      "C3",     frNone) \
  F(Int3,     "int3", "",      "CC",     frNone) \
  F(IntImm,   "int",  "imm8",  "CD ib",  frNone) \
  F(Pushad,   "pushad", "",    "60",     frDword) \
  F(Popad,    "popad",  "",    "61",     frDword) \
  F(Leave,    "leave",  "",    "C9",     frNone) \
  F(Nop,      "nop",    "",    "90",     frNone)
// clang-format on
