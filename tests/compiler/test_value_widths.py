"""Values that do not fit where they go: addresses stored into items narrower than a dword and
hexadecimal literals with more digits than the destination holds are refused at their line and
column, with exit code 1 and no program written; the forms that do fit are compiled."""
import os

from kelvo_test import KelvoCase, main, run_kelvo

HEAD = ("program win32cui 'T'\n"
        "dword gd;\nword gw;\nbyte gb;\nbyte after;\nconst kstr = 'text';\n"
        "procedure target() { }\n")

# (statement in the entry code or a declaration, line, column, message)
REFUSED = [
    # an address is four bytes: every path that stores one into a narrower item
    ("entry:\ngw = @target;", 9, 12, "Expected 32bit variable"),
    ("entry:\ngw = ptr target;", 9, 15, "Expected 32bit variable"),
    ("entry:\ngw = @gd;", 9, 8, "Expected 32bit variable"),
    ("entry:\ngb = 'xy';", 9, 9, "Expected 32bit variable"),
    ("entry:\ngb = kstr;", 9, 9, "Expected 32bit variable"),
    ("entry:\nword g = @target;", 9, 16, "Expected 32bit variable"),
    ("procedure p() { byte lb; lb = @target; }", 8, 37, "Expected 32bit variable"),
    ("procedure p() { word lw; lw = @target; }", 8, 37, "Expected 32bit variable"),
    ("procedure p() { word lw = @target; }", 8, 33, "Expected 32bit variable"),
    ("procedure p() { byte lb = ptr target; }", 8, 36, "Expected 32bit variable"),
    # an argument wider than its parameter's stack slot would leave the stack unbalanced
    ("qword gq;\nprocedure fd(dword a; dword k) { }\nentry:\nfd(gq, 100);", 11, 11,
     'Argument 1 "gq" takes 8 bytes, more than its 4-byte parameter'),
    ("extended ge;\nprocedure cdecl fq(dword z; qword a) { }\nentry:\nfq(1, ge);", 11, 9,
     'Argument 2 "ge" takes 12 bytes, more than its 8-byte parameter'),
    ("int64 gi;\nprocedure fastcall fb(dword r1, r2, r3; byte b) { }\nentry:\nfb(1, 2, 3, gi);", 11, 15,
     'Argument 4 "gi" takes 8 bytes, more than its 4-byte parameter'),
    # hexadecimal digits past the destination's width
    ("dword d = 0x100000000;", 8, 21, "Hexadecimal number 0x100000000 does not fit 32 bits"),
    ("qword q = 0x10000000000000000;", 8, 29, "Hexadecimal number 0x10000000000000000 does not fit 64 bits"),
    ("entry:\nmov eax, 0x123456789;", 9, 20, "Hexadecimal number 0x123456789 does not fit 32 bits"),
    ("entry:\ngd = 0xFFFFFFFFF;", 9, 16, "Hexadecimal number 0xFFFFFFFFF does not fit 32 bits"),
    ("procedure p() { dword l = 0x1FFFFFFFF; }", 8, 37, "Hexadecimal number 0x1FFFFFFFF does not fit 32 bits"),
]

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

    def test_values_wider_than_their_destination_are_refused_where_written(self):
        for source, line, column, message in REFUSED:
            with self.subTest(source=source):
                r, exe = self.compile(source)
                self.assertEqual(r.code, 1, r.out)
                self.assertIn("[%d,%d]: %s in [w.kpr]" % (line, column, message), r.lines, r.out)
                self.assertFalse(os.path.exists(exe))

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
