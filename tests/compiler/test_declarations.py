"""Declarations seen from outside: the export table of a DLL that exports everything and the
import table of a program."""
import os
import re
import shutil
import subprocess

from kelvo_test import KelvoCase, main, run_kelvo

LIBRARY = """program win32dll 'lib'
int32 counter;
function First(int32 a) { mov eax, a }
procedure second() { inc counter }
procedure* hook(dword x);
entry function DllMain(dword instance, reason, reserved) { mov eax, 1 }
exports +;
procedure Later() { nop }
"""

PROGRAM = """program win32cui 'T'
imports ('kernel32.dll') { procedure ExitProcess(dword code); stdcall; }
imports ('user32.dll') {
  function box = ('MessageBoxA')(dword w; char* text, caption; dword kind): int32; stdcall;
  function unused(): dword; stdcall;
}
entry:
  box(0, 'text', 'caption', 0);
  ExitProcess(0);
"""

def objdump_p(path):
    return subprocess.run(["objdump", "-p", path], capture_output=True, text=True).stdout


class Declarations(KelvoCase):
    def build(self, name, text):
        r = run_kelvo(self.write(name, text), "-nopause", "-nolog", "x")
        self.assertEqual(r.code, 0, r.out)

    def test_dll_exports_every_procedure_declared_before_exports_plus(self):
        if not shutil.which("objdump"):
            self.skipTest("objdump is not installed")
        self.build("lib.kpr", LIBRARY)
        text = objdump_p(os.path.join(self.dir, "lib.dll"))
        names = re.findall(r"^\s+\[\s*\d+\] (\S+)$", text.split("[Ordinal/Name Pointer] Table")[1], re.M)
        self.assertEqual(names, ["DllMain", "First", "second"])

    def test_program_imports_only_what_it_calls_under_the_dll_name(self):
        if not shutil.which("objdump"):
            self.skipTest("objdump is not installed")
        self.build("prog.kpr", PROGRAM)
        text = objdump_p(os.path.join(self.dir, "prog.exe"))
        self.assertIn("DLL Name: user32.dll", text)
        self.assertIn("MessageBoxA", text)
        self.assertIn("ExitProcess", text)
        self.assertNotIn("unused", text)
        # The standard include's heap imports stay out while nothing uses strings.
        self.assertNotIn("HeapAlloc", text)


if __name__ == "__main__":
    main()
