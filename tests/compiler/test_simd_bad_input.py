"""Bad MMX and SSE statements: each is reported at its line and column with its message, the
compiler exits with 1 and writes no program."""
import os

from kelvo_test import KelvoCase, main, run_kelvo

HEAD = ("program win32cui 'T'\n"
        "qword gq;\ndword gd;\nword gw;\ndword* gp;\n"
        "procedure p(qword pq; dword pd; word pw) {\n"
        "  qword lq;\n  dword ld;\n  word lw;\n")
BAD_LINE = HEAD.count("\n") + 1
BOUND = "assume esi as gp; "  # a global bound to a register: it holds a pointer

# (bad line, column of the report, message); column 1 is on the next line
SIMD_MISTAKES = [
    # memory operands too small, or not the dword the SSE arithmetic takes
    ("addps xmm0, qword [eax]", 25, "DWORD memory operand expected"),
    ("movss xmm1, word [ebx+4]", 26, "DWORD memory operand expected"),
    ("movaps word [eax], xmm1", 19, "Memory operand must be above 4 bytes size"),
    ("movd word [eax], mm0", 17, "Memory operand must be above 4 bytes size"),
    ("movntq [eax], mm0", 14, "Memory operand must be above 8 bytes size"),
    ("movq dword [eax], mm0", 18, "Memory operand must be above 8 bytes size"),
    # globals smaller than the operand
    ("addps xmm0, gw", 16, "Variable must be dword size or above"),
    ("movss gw, xmm0", 10, "Variable must be dword size or above"),
    ("movd mm0, gw", 14, "Variable must be dword size or above"),
    ("movd gw, mm0", 9, "Variable must be dword size or above"),
    ("paddd mm0, gd", 15, "Variable must be qword size or above"),
    ("movq mm1, gd", 14, "Variable must be qword size or above"),
    ("movq gd, mm1", 9, "Variable must be qword size or above"),
    ("movntq gd, mm0", 11, "Variable must be qword size or above"),
    # locals and parameters smaller than the register
    ("addps xmm0, ld", 16, 'Variable must be equal or above the size of the register. "ld"'),
    ("addss xmm0, pd", 16, 'Variable must be equal or above the size of the register. "pd"'),
    ("movups lw, xmm0", 11, 'Variable must be equal or above the size of the register. "lw"'),
    ("movntq ld, mm0", 11, 'Variable must be equal or above the size of the register. "ld"'),
    ("paddd mm0, ld", 15, 'Variable must be equal or above the size of the register. "ld"'),
    ("movq mm1, pd", 14, 'Variable must be equal or above the size of the register. "pd"'),
    ("movq ld, mm1", 9, 'Variable must be equal or above the size of the register. "ld"'),
    ("movd mm0, lw", 14, 'Variable must be equal or above the size of the register. "lw"'),
    ("movd pw, mm0", 9, 'Variable must be equal or above the size of the register. "pw"'),
    # a register-bound global is not its own storage, as a source or as a destination
    (BOUND + "movd mm1, gp", 32, "Unsupported operation"),
    (BOUND + "movd gp, mm1", 27, "Unsupported operation"),
    (BOUND + "movss xmm1, gp", 34, "Unsupported operation"),
    (BOUND + "movss gp, xmm1", 28, "Unsupported operation"),
    (BOUND + "addss xmm1, gp", 34, "Unsupported operation"),
    (BOUND + "prefetchnta gp", 34, "Unsupported operation"),
    # the encoder's own check
    ("movd mm1, ax", 14, "MOVD: Register must be 32bit"),
    ("movd bl, mm1", 14, "MOVD: Register must be 32bit"),
    ("paddd mm0, [ax]", 16, "32bit register expected"),
    ("movq mm0, [eax+si*2]", 19, "32bit register expected"),
    # general registers where MMX or SSE registers belong, and the reverse
    ("paddd eax, mm1", 11, "Expected mmx register but found eax"),
    ("paddd mm1, eax", 16, "Expected mmx register or [expression] or variable or local variable or "
                           "local parameter but found eax"),
    ("addps mm0, xmm1", 11, "Expected opcode but found mm0"),
    ("addps xmm0, mm1", 17, "Expected opcode or [expression] or variable or local variable or "
                            "local parameter but found mm1"),
    ("movq mm0, xmm1", 16, "Expected mmx register or [expression] or variable or local variable or "
                           "local parameter but found xmm1"),
    ("movd mm1, xmm0", 16, "Expected register or [expression] or variable or local variable or "
                           "local parameter but found xmm0"),
    ("movd eax, xmm0", 16, "Expected mmx register but found xmm0"),
    ("movntq xmm0, mm1", 13, "Expected [expression] or variable or local variable or local parameter "
                             "or opcode but found xmm0"),
    ("prefetchnta xmm1", 18, "Expected [expression] or variable or local variable or local parameter "
                             "or opcode but found xmm1"),
    # a register alone is no statement
    ("xmm3", 6, 'Unknown Identifier "xmm3"'),
    ("mm0, mm1", 5, 'Unknown Identifier "mm0"'),
    # missing operands
    ("paddd mm0", 1, "Expected , but found }"),
    ("movq mm0,", 1, "Expected mmx register or [expression] or variable or local variable or "
                     "local parameter but found }"),
    ("movups [eax]", 1, "Expected , but found }"),
]


class SimdBadInput(KelvoCase):
    def test_each_bad_statement_is_reported_at_its_place(self):
        failures = []
        for line, column, message in SIMD_MISTAKES:
            project = self.write("bad.kpr", HEAD + "  " + line + "\n}\nentry:\n  p(1, 2, 3);\n")
            exe = os.path.join(self.dir, "bad.exe")
            r = run_kelvo(project, "-nopause", "-nolog", "x")
            want = "[%d,%d]: %s in [bad.kpr]" % (BAD_LINE + (column == 1), column, message)
            if r.code != 1 or want not in r.lines or os.path.exists(exe):
                failures.append("%s\n  want %s (exit 1, no file)\n  got  exit %d: %s" % (
                    line, want, r.code, r.out.strip().splitlines()[2:3]))
        self.assertFalse(failures, "\n".join(failures))

    def test_switched_off_instruction_sets_refuse_their_statements(self):
        mmx_off = "MMX instruction set is disabled, please use \"#mmx on\" to enable."
        sse_off = "SSE instruction set is disabled, please use \"#sse on\" to enable."
        cases = [  # (lines, line of the report counted from the first, column, message)
            (["#mmx off;", "addps xmm0, xmm1", "paddd mm0, mm1"], 2, 16, mmx_off),
            (["#sse off;", "paddd mm0, mm1", "movd eax, mm0", "sfence"], 3, 8, sse_off),
            (["#sse off;", "movntq qword [eax], mm1"], 1, 25, sse_off),
            # the operands are read and checked first
            (["#mmx off;", "movq mm0, gd"], 1, 14, "Variable must be qword size or above"),
            (["#mmx off;", "#mmx on;", "#sse off;", "#sse on;", "paddd mm0, mm1", "movss xmm0, gd",
              "#mmx off;", "movd gd, mm2"], 7, 14, mmx_off),
        ]
        for lines, at, column, message in cases:
            with self.subTest(lines=lines):
                body = "".join("  %s\n" % line for line in lines)
                project = self.write("off.kpr", HEAD + body + "}\nentry:\n  p(1, 2, 3);\n")
                r = run_kelvo(project, "-nopause", "-nolog", "x")
                if "Directives are not supported by this build" in r.out:
                    self.skipTest("this build has no directives to switch the instruction sets")
                self.assertEqual(r.code, 1, r.out)
                self.assertIn("[%d,%d]: %s in [off.kpr]" % (BAD_LINE + at, column, message), r.lines, r.out)
                self.assertFalse(os.path.exists(os.path.join(self.dir, "off.exe")))


if __name__ == "__main__":
    main()
