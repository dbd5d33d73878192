// The instructions without operands, and the label jumps the layout writes, one row each
// (see form_table.h).
//
// String, conversion and return forms come in a word and a dword form with the same opcode:
// frWord and frDword say which operand size the mnemonic names, and the size rule adds 66
// where that size is not the code's own. Forms without either rule (pushf, iret, leave) take
// the code's size.
#pragma once

// clang-format off
#define KELVO_FORMS_PLAIN(F) \
  /* decimal and conversion */ \
  F(Aaa,    "aaa",    "", "37",       frNone) \
  F(Aad,    "aad",    "", "D5 0A",    frNone) \
  F(Aam,    "aam",    "", "D4 0A",    frNone) \
  F(Aas,    "aas",    "", "3F",       frNone) \
  F(Daa,    "daa",    "", "27",       frNone) \
  F(Das,    "das",    "", "2F",       frNone) \
  F(Cbw,    "cbw",    "", "98",       frWord) \
  F(Cwde,   "cwde",   "", "98",       frDword) \
  F(Cwd,    "cwd",    "", "99",       frWord) \
  F(Cdq,    "cdq",    "", "99",       frDword) \
  F(Salc,   "salc",   "", "D6",       frNone) \
  F(Xlat,   "xlat",   "", "D7",       frNone) \
  /* flags */ \
  F(Clc,    "clc",    "", "F8",       frNone) \
  F(Cld,    "cld",    "", "FC",       frNone) \
  F(Cli,    "cli",    "", "FA",       frNone) \
  F(Cmc,    "cmc",    "", "F5",       frNone) \
  F(Stc,    "stc",    "", "F9",       frNone) \
  F(Std,    "std",    "", "FD",       frNone) \
  F(Sti,    "sti",    "", "FB",       frNone) \
  F(Lahf,   "lahf",   "", "9F",       frNone) \
  F(Sahf,   "sahf",   "", "9E",       frNone) \
  F(Pushf,  "pushf",  "", "9C",       frNone) \
  F(Popf,   "popf",   "", "9D",       frNone) \
  F(Pushfd, "pushfd", "", "9C",       frDword) \
  F(Popfd,  "popfd",  "", "9D",       frDword) \
  F(Pusha,  "pusha",  "", "60",       frNone) \
  F(Popa,   "popa",   "", "61",       frNone) \
  /* strings: b, w and d forms */ \
  F(Cmpsb,  "cmpsb",  "", "A6",       frNone) \
  F(Cmpsw,  "cmpsw",  "", "A7",       frWord) \
  F(Cmpsd,  "cmpsd",  "", "A7",       frDword) \
  F(Insb,   "insb",   "", "6C",       frNone) \
  F(Insw,   "insw",   "", "6D",       frWord) \
  F(Insd,   "insd",   "", "6D",       frDword) \
  F(Lodsb,  "lodsb",  "", "AC",       frNone) \
  F(Lodsw,  "lodsw",  "", "AD",       frWord) \
  F(Lodsd,  "lodsd",  "", "AD",       frDword) \
  F(Movsb,  "movsb",  "", "A4",       frNone) \
  F(Movsw,  "movsw",  "", "A5",       frWord) \
  F(Movsd,  "movsd",  "", "A5",       frDword) \
  F(Outsb,  "outsb",  "", "6E",       frNone) \
  F(Outsw,  "outsw",  "", "6F",       frWord) \
  F(Outsd,  "outsd",  "", "6F",       frDword) \
  F(Scasb,  "scasb",  "", "AE",       frNone) \
  F(Scasw,  "scasw",  "", "AF",       frWord) \
  F(Scasd,  "scasd",  "", "AF",       frDword) \
  F(Stosb,  "stosb",  "", "AA",       frNone) \
  F(Stosw,  "stosw",  "", "AB",       frWord) \
  F(Stosd,  "stosd",  "", "AB",       frDword) \
  /* prefixes written as statements */ \
  F(Lock,   "lock",   "", "F0",       frNone) \
  F(Rep,    "rep",    "", "F3",       frNone) \
  F(Repne,  "repne",  "", "F2",       frNone) \
  /* system */ \
  F(Clts,   "clts",   "", "0F 06",    frNone) \
  F(Cpuid,  "cpuid",  "", "0F A2",    frNone) \
  F(Hlt,    "hlt",    "", "F4",       frNone) \
  F(Into,   "into",   "", "CE",       frNone) \
  F(Invd,   "invd",   "", "0F 08",    frNone) \
  F(Wbinvd, "wbinvd", "", "0F 09",    frNone) \
  F(Iret,   "iret",   "", "CF",       frNone) \
  F(Iretd,  "iretd",  "", "CF",       frDword) \
  F(Emms,   "emms",   "", "0F 77",    frNone) \
  F(Femms,  "femms",  "", "0F 0E",    frNone) \
  F(Wait,   "wait",   "", "9B",       frNone) \
  /* x87 without operands; fclex and finit are the waiting forms */ \
  F(F2xm1,   "f2xm1",   "", "D9 F0",    frNone) \
  F(Fabs,    "fabs",    "", "D9 E1",    frNone) \
  F(Fchs,    "fchs",    "", "D9 E0",    frNone) \
  F(Fclex,   "fclex",   "", "9B DB E2", frNone) \
  F(Fcompp,  "fcompp",  "", "DE D9",    frNone) \
  F(Fcos,    "fcos",    "", "D9 FF",    frNone) \
  F(Fdecstp, "fdecstp", "", "D9 F6",    frNone) \
  F(Fincstp, "fincstp", "", "D9 F7",    frNone) \
  F(Finit,   "finit",   "", "9B DB E3", frNone) \
  F(Fld1,    "fld1",    "", "D9 E8",    frNone) \
  F(Fldl2e,  "fldl2e",  "", "D9 EA",    frNone) \
  F(Fldl2t,  "fldl2t",  "", "D9 E9",    frNone) \
  F(Fldlg2,  "fldlg2",  "", "D9 EC",    frNone) \
  F(Fldln2,  "fldln2",  "", "D9 ED",    frNone) \
  F(Fldpi,   "fldpi",   "", "D9 EB",    frNone) \
  F(Fldz,    "fldz",    "", "D9 EE",    frNone) \
  F(Fnclex,  "fnclex",  "", "DB E2",    frNone) \
  F(Fninit,  "fninit",  "", "DB E3",    frNone) \
  F(Fnop,    "fnop",    "", "D9 D0",    frNone) \
  F(Fpatan,  "fpatan",  "", "D9 F3",    frNone) \
  F(Fprem,   "fprem",   "", "D9 F8",    frNone) \
  F(Fprem1,  "fprem1",  "", "D9 F5",    frNone) \
  F(Fptan,   "fptan",   "", "D9 F2",    frNone) \
  F(Frndint, "frndint", "", "D9 FC",    frNone) \
  F(Fscale,  "fscale",  "", "D9 FD",    frNone) \
  F(Fsin,    "fsin",    "", "D9 FE",    frNone) \
  F(Fsincos, "fsincos", "", "D9 FB",    frNone) \
  F(Fsqrt,   "fsqrt",   "", "D9 FA",    frNone) \
  F(Ftst,    "ftst",    "", "D9 E4",    frNone) \
  F(Fucompp, "fucompp", "", "DA E9",    frNone) \
  F(Fxam,    "fxam",    "", "D9 E5",    frNone) \
  F(Fxtract, "fxtract", "", "D9 F4",    frNone) \
  F(Fyl2x,   "fyl2x",   "", "D9 F1",    frNone) \
  F(Fyl2xp1, "fyl2xp1", "", "D9 F9",    frNone) \
  /* label jumps: the short form, then the near one (rel16 or rel32 by the code's size); */ \
  /* the conditional rows in condition-code order */ \
  F(JmpRel8,  "jmp",   "rel8", "EB cb",    frNone) \
  F(JmpRel,   "jmp",   "rel",  "E9 cz",    frNone) \
  F(JecxzRel8, "jecxz", "rel8", "E3 cb",   frEcx) \
  F(JoRel8,   "jo",    "rel8", "70 cb",    frNone) \
  F(JnoRel8,  "jno",   "rel8", "71 cb",    frNone) \
  F(JbRel8,   "jb",    "rel8", "72 cb",    frNone) \
  F(JaeRel8,  "jae",   "rel8", "73 cb",    frNone) \
  F(JeRel8,   "je",    "rel8", "74 cb",    frNone) \
  F(JneRel8,  "jne",   "rel8", "75 cb",    frNone) \
  F(JbeRel8,  "jbe",   "rel8", "76 cb",    frNone) \
  F(JaRel8,   "ja",    "rel8", "77 cb",    frNone) \
  F(JsRel8,   "js",    "rel8", "78 cb",    frNone) \
  F(JnsRel8,  "jns",   "rel8", "79 cb",    frNone) \
  F(JpRel8,   "jp",    "rel8", "7A cb",    frNone) \
  F(JnpRel8,  "jnp",   "rel8", "7B cb",    frNone) \
  F(JlRel8,   "jl",    "rel8", "7C cb",    frNone) \
  F(JgeRel8,  "jge",   "rel8", "7D cb",    frNone) \
  F(JleRel8,  "jle",   "rel8", "7E cb",    frNone) \
  F(JgRel8,   "jg",    "rel8", "7F cb",    frNone) \
  F(JoRel,    "jo",    "rel",  "0F 80 cz", frNone) \
  F(JnoRel,   "jno",   "rel",  "0F 81 cz", frNone) \
  F(JbRel,    "jb",    "rel",  "0F 82 cz", frNone) \
  F(JaeRel,   "jae",   "rel",  "0F 83 cz", frNone) \
  F(JeRel,    "je",    "rel",  "0F 84 cz", frNone) \
  F(JneRel,   "jne",   "rel",  "0F 85 cz", frNone) \
  F(JbeRel,   "jbe",   "rel",  "0F 86 cz", frNone) \
  F(JaRel,    "ja",    "rel",  "0F 87 cz", frNone) \
  F(JsRel,    "js",    "rel",  "0F 88 cz", frNone) \
  F(JnsRel,   "jns",   "rel",  "0F 89 cz", frNone) \
  F(JpRel,    "jp",    "rel",  "0F 8A cz", frNone) \
  F(JnpRel,   "jnp",   "rel",  "0F 8B cz", frNone) \
  F(JlRel,    "jl",    "rel",  "0F 8C cz", frNone) \
  F(JgeRel,   "jge",   "rel",  "0F 8D cz", frNone) \
  F(JleRel,   "jle",   "rel",  "0F 8E cz", frNone) \
  F(JgRel,    "jg",    "rel",  "0F 8F cz", frNone)
// clang-format on
