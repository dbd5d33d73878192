"""Whole projects through the compiler: the program head, the standard include and procedures
in every convention."""
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


if __name__ == "__main__":
    main()
