"""Bad x87 statements: each reported at its line and column with its message, exit code 1 and
no program written (the checks of test_bad_input.py)."""
import test_bad_input as B
from kelvo_test import KelvoCase, main

HEAD = ("program win32cui 'T'\nsingle gf;\ndouble gd;\nextended ge;\nword gw;\nint32 gi;\nint64 gq;\n"
        "byte gb;\nprocedure p(double pd; word pw) {\n  extended le;\n")
LINE = 11  # the bad line

ONLY_NAMED = ("Only base register for %s is supported at this time, make a forum request and it will "
              "immediatly be added for the following release")
ONLY_ONE = ("Only 1 base register for %s is supported at this time, make a forum request and it will "
            "immediatly be added for the following release")
ONLY = ("Only base register is supported at this time, make a forum request and it will immediatly be "
        "added for the following release")
SCALE_NAMED = ("Scale for %s is not supported at this time, make a forum request and it will immediatly be "
               "added for the following release")
SCALE = ("Scale is not supported at this time, make a forum request and it will immediatly be added for "
         "the following release")

FPUSH_LIST = "Expected variable or local variable or local parameter or number or hexadecimal or float number but found "

# (bad line, column, message); a report on line LINE stands just after the operand it refuses,
# column 1 means the next line
OPERANDS = [
    ("fld st(8)", 10, "Expected FPU stack position st(0-7)"),
    ("fxch st(-1)", 11, "Expected number but found -"),
    ("fld;", 6, "Expected local parameter or local variable or variable or fpu stack or [expression] but found ;"),
    ("fild", 1, "Expected [expression] or variable or local variable or local parameter but found }"),
    ("fadd st(0), st(1), st(2);", 20, "Expected ; but found ,"),
    ("faddp st(1), st(0), st(2);", 21, "Expected ; but found ,"),
    ("fadd gd", 1, "Expected ; but found }"),
    ("fbld ge", 1, "Expected ; but found }"),
    ("ffree;", 8, "Expected fpu stack but found ;"),
    ("fcmovb st(0) st(1);", 20, "Expected , but found st(1)"),
    ("fadd double 5;", 15, "Expected variable or local variable or local parameter but found 5"),
    ("fpush eax", 11, FPUSH_LIST + "eax"),
    ("fpush -1.5", 9, FPUSH_LIST + "-"),
    ("fnstsw bx", 11, 'fnstsw will only accept "ax" register or a memory location'),
    ("fstsw eax", 11, 'fstsw will only accept "ax" register or a memory location'),
    ("fld [ax]", 9, "32bit register expected"),
    ("fistp dword [ebx+cl]", 21, "32bit register expected"),
]

# Sizes the encoders refuse, by variable and by pointer
SIZES = [
    ("fadd gb;", 9, "Expected single or double variable type or recast via. fadd single variable;"),
    ("fadd ge;", 9, "Expected single or double variable type or recast via. fadd single variable;"),
    ("fadd word [eax];", 17, "Expected single or double pointer type. e.g. fadd double [eax];"),
    ("fmul gw;", 9, "fmul expected single or double variable type"),
    ("fmul extended [eax];", 21, "fmul expected single or double pointer type. e.g. fadd double [eax];"),
    ("fcom ge;", 9, "fcom expected single or double variable type"),
    ("fcom word [eax];", 17, "fcom expected single or double type"),
    ("fcomp gw;", 10, "fcomp expected single or double variable type"),
    ("fcomp extended [eax];", 22, "fcomp expected single or double pointer type"),
    ("fsub pw;", 9, "fsub expected single or double pointer type"),
    ("fsub ge;", 9, "fsub expected single or double variable type"),
    ("fsubr ge", 10, "fsubr expected single or double variable type"),
    ("fsubr le", 10, "fsubr expected single or double pointer type"),
    ("fdiv gw;", 9, "fdiv expected single or double variable type"),
    ("fdiv le;", 9, "fdiv expected single or double pointer type. e.g. fadd double [eax];"),
    ("fdivr gw", 10, "fdivr expected single or double variable type"),
    ("fdivr word [eax]", 18, "fdivr expected single or double pointer type"),
    ("fld gw", 8, "fld expected single, double or extended variable type"),
    ("fld word [eax]", 16, "fld expected single, double or extended pointer type"),
    ("fsp ge", 8, "fst expected single or double variable type"),
    ("fsp le", 8, "fst expected single or double pointer type"),
    ("fstp ge", 9, "fstp expected single or double variable type"),
    ("fstp extended [esp]", 21, "fstp expected single or double pointer type"),
    ("fild gb", 9, "fild expected word, dword or qword variable type"),
    ("fild le", 9, "fild expected word, dword or qword pointer type"),
    ("fist gq", 9, "fist expected word or dword variable type"),
    ("fist qword [eax]", 18, "fist expected word or dword pointer type"),
    ("fistp ge", 10, "fistp expected word, dword or qword variable type"),
    ("fistp byte [eax]", 18, "fistp expected word, dword or qword pointer type"),
    ("fbld gd;", 9, "fbld expected extended variable type or recast via. fbld extended variable;"),
    ("fbld [eax];", 12, "fbld expected extended type. e.g. fbld extended [eax];"),
    ("fbstp gq;", 10, "fbstp expected extended variable type or recast via. fbstp extended variable;"),
    ("fbstp double [eax];", 20, "fbstp expected extended type. e.g. fbstp extended [eax];"),
    ("fiadd gq", 10, "Expected word or dword variable type"),
    ("fidivr le", 11, "Expected word or dword pointer type"),
    ("fldcw gi", 10, "fldcw expected word variable type"),
    ("fldcw [eax]", 13, "fldcw expected word pointer type"),
    ("fnstcw gi", 11, "fnstcw expected word variable type"),
    ("fnstcw pd", 11, "fnstcw expected word pointer type"),
    ("fstcw gi", 10, "fstcw expected word variable type"),
    ("fstcw dword [eax]", 19, "fstcw expected word pointer type"),
    ("fnstsw gi", 11, "fnstsw expected word variable type"),
    ("fnstsw [eax]", 14, "fnstsw expected word pointer type"),
    ("fstsw gd", 10, "fstsw expected word variable type"),
    ("fstsw [eax]", 13, "fstsw expected word pointer type"),
    ("fldenv gi", 11, "fldenv expected word variable type"),
    ("fldenv dword [eax]", 20, "fldenv expected word pointer type"),
    ("fpush gb", 10, "fild expected word, dword or qword variable type"),
]

# Stack registers the encoders refuse, and the 686 instructions at the default CPU level
STACK = [
    ("fadd st(1), st(2);", 19, "First or second operand must be the top of the FPU stack: st(0)"),
    ("fsubr st(1), st(2)", 20, "First or second operand must be FPU stack: st(0)"),
    ("fdivr st(3), st(3)", 20, "First or second operand must be FPU stack: st(0)"),
    ("faddp st(1), st(2);", 20, "Second operand must be the top of the FPU stack: st(0)"),
    ("fmulp st(1), st(2)", 20, "Second operand must be the top of the FPU stack: st(0)"),
    ("fsubp st(3), st(1)", 20, "First or second operand must be FPU stack: st(0)"),
    ("fsubrp st(3), st(1)", 21, "Second operand must be FPU stack: st(0)"),
    ("fdivrp st(3), st(1)", 21, "Second operand must be FPU stack: st(0)"),
    ("fdivp st(3), st(1)", 20, "Second operand must be the top of the FPU stack: st(0)"),
    ("fcomi st(2), st(3)", 20, "First operand must be the top of the FPU stack: st(0)"),
    ("fcomip st(2), st(3);", 21, "First operand must be the top of the FPU stack: st(0)"),
    ("fucomi st(2), st(3)", 21, "First operand must be FPU stack: st(0)"),
    ("fucomip st(1), st(0)", 22, "First operand must be FPU stack: st(0)"),
    ("fcmovb st(1), st(0);", 21, "First operand must be the top of the FPU stack: st(0)"),
    ("fcomi;", 8, "fcomi instruction is only supported with cpu mode 686 and above"),
    ("fcomip st(1);", 15, "fcomip instruction is only supported with cpu mode 686 and above"),
    ("fucomi st(0), st(1)", 21, "fucomi instruction is only supported with cpu mode 686 and above"),
    ("fucomip st(3)", 15, "fucomip instruction is only supported with cpu mode 686 and above"),
] + [("%s st(0), st(1);" % op, len(op) + 15, "fcmov(xx) instructions are only supported with cpu mode 686 and above")
     for op in ("fcmovb", "fcmove", "fcmovbe", "fcmovu", "fcmovnb", "fcmovne", "fcmovnbe", "fcmovnu")]

# Memory expressions with an index register or a scale
LIMITS = []
for _op, _named, _scale in (
        ("fild", ONLY_NAMED % "fild", SCALE_NAMED % "fild"), ("fsub", ONLY_NAMED % "fsub", SCALE_NAMED % "fsub"),
        ("fmul", ONLY_NAMED % "fmul", SCALE_NAMED % "fmul"), ("fdiv", ONLY_NAMED % "fdiv", SCALE_NAMED % "fdiv"),
        ("fcomp", ONLY_NAMED % "fcomp", SCALE_NAMED % "fcomp"),
        ("fsubr", ONLY_NAMED % "fsubr", SCALE_NAMED % "fsubr"),
        ("fdivr", ONLY_NAMED % "fdivr", SCALE_NAMED % "fdivr"),
        ("fadd", ONLY_ONE % "fadd", SCALE_NAMED % "fadd"), ("fcom", ONLY_ONE % "fcom", SCALE_NAMED % "fcom"),
        ("fbld", ONLY_ONE % "fbld", SCALE_NAMED % "fbld"), ("fbstp", ONLY_ONE % "fbstp", SCALE_NAMED % "fbstp"),
        ("fld", ONLY, SCALE), ("fsp", ONLY, SCALE), ("fstp", ONLY, SCALE), ("fist", ONLY, SCALE),
        ("fistp", ONLY, SCALE), ("fiadd", ONLY, SCALE), ("fidivr", ONLY, SCALE), ("fldcw", ONLY, SCALE),
        ("fnsave", ONLY, SCALE), ("fstsw", ONLY, SCALE)):
    LIMITS.append(("%s [eax+ebx];" % _op, len(_op) + 12, _named))
    LIMITS.append(("%s [eax*4];" % _op, len(_op) + 10, _scale))


class FpuBadInput(KelvoCase):
    check = B.BadInput.check

    def check_table(self, table):
        for line, column, message in table:
            with self.subTest(line=line):
                r = self.check("  " + line + "\n}\nentry:\n  ret", HEAD)
                want = "[%d,%d]: %s in [bad.kpr]" % (LINE + 1 if column == 1 else LINE, column, message)
                self.assertIn(want, r.lines, "\n" + r.out)

    def test_operand_lists(self):
        self.check_table(OPERANDS)

    def test_operand_sizes(self):
        self.check_table(SIZES)

    def test_stack_registers_and_cpu_level(self):
        self.check_table(STACK)

    def test_index_registers_and_scales(self):
        self.check_table(LIMITS)


if __name__ == "__main__":
    main()
