"""Values that fit where they go: the forms close to the limits compile, and those that only
read a narrower item are warned about. Those that do not fit (addresses stored into items
narrower than a dword, hexadecimal literals wider than their destination) are cases under
tests/bad_input/value_widths/."""
import os

from kelvo_test import KelvoCase, main, run_kelvo

HEAD = ("program win32cui 'T'\n"
        "dword gd;\nword gw;\nbyte gb;\nbyte after;\nconst kstr = 'text';\n"
        "procedure target() { }\n")

ACCEPTED = [
    "procedure p() { dword lw = @target; }",
    "procedure p() { dword a = @target, b = 5; }",
    "procedure p() { dword lw = ptr target; }",
    "procedure p() { qword q = 0x123456789ABCDEF0; q = 0xFFFFFFFFFFFFFFFF; }",
    "int64 big = 0x7FFFFFFFFFFFFFFF;\nqword q;\nentry:\nq = 0x0000002800000007;",
    "dword d = 0x00000000FFFFFFFF;",
    "procedure fq(qword q) { }\nentry:\nfq(0x123456789ABCDEF0);",
    "int i;\nint a[2];\nprocedure p(int x; int y) { int l; }\nentry:\nint 3",
]


class ValueWidths(KelvoCase):
    def compile(self, source):
        if "entry:" not in source:
            source += "\nentry:\nnop"
        project = self.write("w.kpr", HEAD + source + "\n")
        exe = os.path.join(self.dir, "w.exe")
        if os.path.exists(exe):
            os.remove(exe)
        return run_kelvo(project, "-nopause", "-nolog", "x"), exe

    def test_values_that_fit_compile(self):
        for source in ACCEPTED:
            with self.subTest(source=source):
                r, exe = self.compile(source)
                self.assertEqual(r.code, 0, r.out)
                self.assertTrue(os.path.exists(exe))

    def test_forms_that_only_read_are_accepted_with_a_warning(self):
        source = ("procedure p(word w) {\n  word lw;\n  add eax, gw\n  mov eax, w\n  sub ax, gb\n"
                  "  add al, 256\n  mov word[ebx], 70000\n  mov al, gd\n  mov gd, gw\n}\nentry:\nnop")
        r, exe = self.compile(source)
        self.assertEqual(r.code, 0, r.out)
        warnings = [line for line in r.lines if "Warning" in line]
        self.assertEqual(warnings, [
            '[10,13]: Warning: 4 bytes are read from the 2-byte item "gw" in [w.kpr]',
            '[11,12]: Warning: 4 bytes are read from the 2-byte item "w" in [w.kpr]',
            '[12,12]: Warning: 2 bytes are read from the 1-byte item "gb" in [w.kpr]',
            "[13,13]: Warning: Value 256 is cut to 8 bits in [w.kpr]",
            "[14,22]: Warning: Value 70000 is cut to 16 bits in [w.kpr]",
            '[16,12]: Warning: 4 bytes are read from the 2-byte item "gw" in [w.kpr]',
        ])
        self.assertTrue(os.path.exists(exe))

    def test_a_dll_refuses_initial_values_that_need_code(self):
        project = self.write("lib.kpr", "program win32dll 'lib'\ndword a = @a;\ndword b = eax;\n")
        r = run_kelvo(project, "-nopause", "-nolog", "x")
        self.assertEqual(r.code, 1, r.out)
        self.assertIn('[3,13]: Initial value of "b" needs code at run time, which a DLL never runs in [lib.kpr]',
                      r.lines, r.out)
        self.assertFalse(os.path.exists(os.path.join(self.dir, "lib.dll")))


if __name__ == "__main__":
    main()
