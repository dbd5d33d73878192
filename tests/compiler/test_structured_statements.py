"""Structured statements from the outside: every mistake in them is reported at its line and
column with exit code 1 and no program written, and the code of a few representative
statements, decoded by objdump, is the compare-and-jump sequence they stand for."""
import os
import re
import shutil
import subprocess

from kelvo_test import KelvoCase, main, run_kelvo

HEAD = "program win32cui 'T'\nprocedure p() {\n"

# (body of p from line 3, line and column of the report, message)
MISTAKES = [
    ("if eax == 1) nop", 3, 6, "Expected ( but found eax"),
    ("if (eax == 1 nop", 3, 16, "Expected ) or and or or but found nop"),
    ("if (eax 1) nop", 3, 9, "Unknown comparator"),
    ("if (eax == ) nop", 3, 12, "Expected register or data type or variable"),
    ("if (eax == -ebx) nop", 3, 15, "Expected number or hexadecimal but found ebx"),
    ("if ([ebx] == [ecx]) nop", 3, 18, "Expected register or data type or variable or local variable or local parameter or constant or number or hexadecimal or constant string or - but found [ecx]"),
    ("if (eax == dword) nop", 3, 16, '10001: Invalid operand "dword"'),
    ("int32 x;\nif (x == 'ab') nop", 4, 13, '10003: Invalid operand "ab"'),
    ("global int32 gg;\nif (gg == 'ab') nop", 4, 14, '10002: Invalid operand "ab"'),
    ("if (ax == ebx) nop", 3, 13, "Operands must be equal size"),
    ("if (5 == eax) nop", 3, 12, '10004: Invalid operand "5"'),
    ("if (eax == 'abc') nop", 3, 16, "string must be equal or smaller than register (1, 2 or 4 bytes)"),
    ("if (p == 1) nop", 3, 5, '"p" is not a function and can not be used in this manner'),
    ("while (eax) nop", 3, 15, "Expected { but found nop"),
    ("repeat { nop } until eax;", 3, 24, "Expected ( but found eax"),
    ("repeat { nop }", 4, 1, "Expected while or until or ; but found }"),
    ("for (eax = 1 upto 5) { }", 3, 17, "Expected to or downto but found upto"),
    ("for (eax = 1 to bx) { }", 3, 19, "Operands must be equal size"),
    ("state 1:", 3, 5, "A state may only reside inside a case statement"),
    ("default:", 3, 7, "A state may only reside inside a case statement"),
    ("case (eax) { state 1: state 1: }", 3, 29, "State 1 is already in this case"),
    ("case (eax) { default: default: }", 3, 29, "The case already has a default state"),
    ("case (eax) { state x: }", 3, 20, "Expected number or hexadecimal but found x"),
    ("break;", 3, 6, "break does not have a valid loop to exit"),
    ("while (eax) { repeat { break 2; }; }", 3, 30, "break does not have a valid loop to exit"),
    ("case (eax) { state 1: continue; }", 3, 31, "continue can only reside inside a loop."),
    ("elseif (eax) nop", 3, 6, "Missing starting if statement."),
    ("if (eax) nop; nop; else nop", 3, 23, "Missing starting if statement."),
    ("try { nop } nop", 3, 15, "Expected except but found nop"),
    ("try { jmp away } except { }\naway:", 3, 16,
     'A jump to "away" leaves the try block without removing its exception handler'),
    ("if (" + "(" * 70 + "eax", 3, 68, "Conditions are nested too deeply"),
    ("if (eax) }", 3, 10, 'Expected a statement but found "}"'),
]


class Mistakes(KelvoCase):
    def test_each_mistake_is_reported_where_it_stands(self):
        for body, line, column, message in MISTAKES:
            with self.subTest(body=body):
                project = self.write("bad.kpr", HEAD + body + "\n}\n")
                exe = os.path.join(self.dir, "bad.exe")
                r = run_kelvo(project, "-nopause", "-nolog", "x")
                self.assertEqual(r.code, 1, r.out)
                self.assertIn("[%d,%d]: %s" % (line, column, message), r.out)
                self.assertFalse(os.path.exists(exe))

    def test_an_unclosed_brace_is_reported_at_the_end_of_the_file(self):
        project = self.write("bad.kpr", HEAD + "while (eax) {\n  nop\n")
        r = run_kelvo(project, "-nopause", "-nolog", "x")
        self.assertEqual(r.code, 1, r.out)
        self.assertRegex(r.out, r'\[5,\d+\]: "\{" of line 3 is not closed')

    def test_a_branch_needs_a_statement_before_the_file_ends(self):
        project = self.write("bad.kpr", HEAD + "if (eax)\n")
        r = run_kelvo(project, "-nopause", "-nolog", "x")
        self.assertEqual(r.code, 1, r.out)
        self.assertIn("Expected a statement but found the end of the file", r.out)

    def test_a_look_ahead_warns_once(self):
        project = self.write("warn.kpr", HEAD + "if (eax) { nop }\n@lbl: nop\n}\nentry:\n p();\n")
        r = run_kelvo(project, "-nopause", "-nolog", "x")
        self.assertEqual(r.code, 0, r.out)
        self.assertEqual(r.out.count("depreciated"), 1, r.out)


# Representative statements and the instructions objdump must show for them, in order;
# "J" stands for the jump to a generated label, checked by its target below.
SHAPES = """
program win32cui 'S'
dword g;
entry:
  if (eax == 1) { inc ebx } else { dec ebx }
  if (ecx == 1 or edx == 2) { nop }
  for (ecx = 1 to 10) { nop }
  case (eax) { state 1: inc ebx break; state 0x10: dec ebx break; default: nop }
  ret
"""
EXPECTED_SHAPES = [
    # if / else: the false jump to the else body, the then-body jumps over it
    "cmp eax,0x1", "jne 1", "inc ebx", "jmp 2", "1: dec ebx",
    # "or": the first compare jumps into the body when true; the chain's false jump twice
    "2: cmp ecx,0x1", "je 3", "cmp edx,0x2", "jne 4", "jne 4", "3: nop",
    # for: one step before the start, the step at the head, the compare with the end
    "4: mov ecx,0x0", "5: inc ecx", "nop", "cmp ecx,0xa", "jne 5",
    # case: the bodies first, then the dispatch, the last state written first
    "jmp 9", "6: inc ebx", "jmp 10", "7: dec ebx", "jmp 10", "8: nop", "jmp 10",
    "9: cmp eax,0x10", "je 7", "cmp eax,0x1", "je 6", "jmp 8", "10: ret",
]


class Shapes(KelvoCase):
    def test_statements_compile_to_their_compare_and_jump_sequence(self):
        if not shutil.which("objdump"):
            self.skipTest("objdump is not installed (Debian package binutils)")
        project = self.write("shapes.kpr", SHAPES)
        r = run_kelvo(project, "-nopause", "-nolog", "x")
        self.assertEqual(r.code, 0, r.out)
        dump = subprocess.run(["objdump", "-d", "-M", "intel", "-j", ".code",
                               os.path.join(self.dir, "shapes.exe")],
                              capture_output=True, text=True, check=True).stdout
        lines = []
        for m in re.finditer(r"^\s*([0-9a-f]+):\s+(?:[0-9a-f]{2} )+\s*(.*)$", dump, re.M):
            lines.append((int(m.group(1), 16), re.sub(r"\s+", " ", m.group(2).strip())))
        self.assertEqual(self.symbolic(lines), EXPECTED_SHAPES, dump)

    @staticmethod
    def symbolic(lines):
        """The listing with jump targets numbered in the order they are first defined."""
        targets = sorted({int(t, 16) for _, text in lines
                          for t in re.findall(r"^j\w+ (?:0x)?([0-9a-f]+)$", text)})
        names = {a: str(i + 1) for i, a in enumerate(targets)}
        out = []
        for address, text in lines:
            m = re.match(r"^(j\w+) (?:0x)?([0-9a-f]+)$", text)
            if m:
                text = "%s %s" % (m.group(1), names[int(m.group(2), 16)])
            out.append(("%s: %s" % (names[address], text)) if address in names else text)
        return out


if __name__ == "__main__":
    main()
