"""Structured statements from the outside: a brace or branch left open at the end of the file
is reported, and the code of a few representative statements, decoded by objdump, is the
compare-and-jump sequence they stand for. Their other mistakes are cases under
tests/bad_input/statements/."""
import os
import re
import shutil
import subprocess

from kelvo_test import KelvoCase, main, run_kelvo

HEAD = "program win32cui 'T'\nprocedure p() {\n"

class Mistakes(KelvoCase):
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
