"""Whole projects through the compiler: the program head, the standard include, procedures
in every convention, and located errors for bad input."""
import os
import re
import shutil
import subprocess

from kelvo_test import KelvoCase, main, run_kelvo, KELVO

PROJECT = """program win32cui 'T'
procedure stdcall s(int32 a = 1, b = -2) { top: nop }
procedure cdecl c(dword a; byte b) { cld }
procedure fastcall f(int32 a, b, c, d) { }
procedure kelcall k(int32 a, b, c, d, e, f, g) { std }
procedure* pproc(dword x);
function* fpointer(dword x): dword; cdecl;
entry:
  nop
  cdq
"""


def code_bytes(exe):
    """The .code section's instructions as (hex bytes, text) pairs, from objdump."""
    out = subprocess.run(["objdump", "-d", "-M", "intel", exe], capture_output=True, text=True).stdout
    rows = []
    for line in out.splitlines():
        m = re.match(r"\s+[0-9a-f]+:\t([0-9a-f ]+)\t(.*)", line)
        if m:
            rows.append((m.group(1).strip(), m.group(2).strip()))
    return rows


class Projects(KelvoCase):
    def test_procedures_in_every_convention_compile_and_link(self):
        project = self.write("prog.kpr", PROJECT)
        r = run_kelvo(project, "-nopause", "x")
        self.assertEqual(r.code, 0, r.out)
        self.assertRegex(r.out, r"Compile OK - \d+ lines, [0-9.]+ second\(s\)")
        self.assertIn("Link OK - ", r.out)
        exe = os.path.join(self.dir, "prog.exe")
        self.assertTrue(os.path.exists(exe))
        if shutil.which("objdump"):
            # Procedures nobody calls leave no bytes: the code is the entry's alone.
            self.assertEqual([b for b, _ in code_bytes(exe)], ["90", "99"])

    def test_standard_include_from_the_project_folder_comes_first(self):
        self.write("system.kel", "sysmark: cld\n")
        project = self.write("prog.kpr", "program win32cui 'T'\nentry: nop\n")
        r = run_kelvo(project, "-nopause", "x")
        self.assertEqual(r.code, 0, r.out)
        if shutil.which("objdump"):
            self.assertEqual([b for b, _ in code_bytes(os.path.join(self.dir, "prog.exe"))], ["fc", "90"])

    def test_missing_standard_include(self):
        kelvo = os.path.join(self.dir, "bin", "kelvo")
        os.makedirs(os.path.dirname(kelvo))
        shutil.copy(KELVO, kelvo)
        project = self.write("prog.kpr", "program win32cui 'T'\n")
        r = run_kelvo(project, "-nopause", "-nolog", "x", kelvo=kelvo)
        self.assertEqual(r.code, 1)
        self.assertIn('Kelvo compiler "system.kel" file not found!', r.out)
        self.assertFalse(os.path.exists(os.path.join(self.dir, "prog.exe")))


class BadInput(KelvoCase):
    """Each mistake is reported at its line and column, exits 1 and writes no file."""

    CASES = [
        ("procedure p(int32", r"\[3,1\]: Expected identifier or .* but found  in"),
        ("procedure pascal p() { }", r"\[2,\d+\]: Expected \( or \{ but found p"),
        ("procedure p(int32 a = 1; int32 b) { }", r"Expected = but found"),
        ("nop\nprocedure stdcall v(int32 a[]) { }", r"\[3,\d+\]: Only cdecl calling convension"),
        ("x: nop\nx: nop", r"\[3,2\]: Label Identifier Redeclared x"),
        ("entry: nop\nentry: nop", r"\[3,\d+\]: Code entry already declared"),
        ("procedure p() { entry: }", r"Code entry must begin on main scope level"),
        ("break;", r"break does not have a valid loop to exit"),
        ("frobnicate", r'Expected : but found'),
        ("}", r'Unexpected character "}"\.'),
    ]

    def check(self, source, pattern, head="program win32cui 'T'\n"):
        project = self.write("bad.kpr", head + source + "\n")
        r = run_kelvo(project, "-nopause", "-nolog", "x")
        self.assertEqual(r.code, 1, source)
        self.assertRegex(r.out, pattern, source)
        self.assertIn("in [bad.kpr]", r.out)
        self.assertFalse(os.path.exists(os.path.join(self.dir, "bad.exe")), source)

    def test_located_errors(self):
        for source, pattern in self.CASES:
            with self.subTest(source=source):
                self.check(source, pattern)

    def test_wrong_program_kind_and_missing_head(self):
        self.check("", r"Expected sub system but found win32exe", head="program win32exe 'T'\n")
        self.check("nop", r"Expected program but found", head="")

    def test_many_parameters_and_deep_nesting(self):
        params = ", ".join("p%d" % i for i in range(1000))
        project = self.write("many.kpr", "program win32cui 'T'\nprocedure m(int32 %s) { }\nentry: nop\n" % params)
        self.assertEqual(run_kelvo(project, "-nopause", "-nolog", "x").code, 0)
        self.check("".join("procedure p%d() {\n" % i for i in range(10000)), r"Blocks are nested too deeply")

    def test_unclosed_procedure_warns(self):
        project = self.write("open.kpr", "program win32cui 'T'\nprocedure p() { nop\n")
        r = run_kelvo(project, "-nopause", "-nolog", "x")
        self.assertIn('Warning: Procedure "p" has no closing "}"', r.out)


if __name__ == "__main__":
    main()
