"""Directives and macros as a user meets them: the messages they print (texts and colours),
where included files are found, and includes that loop. Their mistakes are cases under
tests/bad_input/directives/."""
import os
import shutil
import subprocess

from kelvo_test import KELVO, KelvoCase, main, run_kelvo, run_on_terminal

HEAD = "program win32cui 'T'\n"

class Directives(KelvoCase):
    def compile(self, source, *options, name="e.kpr"):
        path = self.write(name, HEAD + source)
        return run_kelvo(path, "-nopause", "-nolog", *options, "x"), os.path.join(self.dir, "e.exe")

    def test_messages_and_their_colours(self):
        path = self.write("e.kpr", HEAD + "inline function f(v) {\n #depreciated 'g';\n #return $v\n}\n"
                          "#echo 'said'\n#warning 'careful'\nentry:\n mov eax, f(1)\n mov eax, f(2)\n"
                          "#raise 'stopped'\n")
        text, code = run_on_terminal([KELVO, path, "-nolog", "-nopause", "x"])
        self.assertEqual(code, 1)
        text = text.replace("\r\n", "\n")
        self.assertIn("\x1b[0msaid\n", text)
        self.assertIn("\x1b[93m[7,18]: Warning: careful in [e.kpr]\n", text)
        # The first use declares the replacement; later ones are warned.
        self.assertIn("\x1b[93m[10,11]: Warning: f is depreciated, please use g in [e.kpr]\n", text)
        self.assertEqual(text.count("is depreciated"), 1)
        self.assertIn("\x1b[91m[11,16]: stopped in [e.kpr]\r", text)

    def test_include_search_order(self):
        # A compiler of its own, with an includes folder beside it.
        kelvo = os.path.join(self.dir, "bin", "kelvo")
        os.makedirs(os.path.join(self.dir, "bin", "includes"))
        shutil.copy(KELVO, kelvo)
        shutil.copy(os.path.join(os.path.dirname(KELVO), "includes", "system.kel"),
                    os.path.join(self.dir, "bin", "includes"))
        for folder, names in (("bin/includes", ("a", "b")), ("extra", ("a", "b", "c")), ("project", ("a",))):
            for n in names:
                self.write(os.path.join(folder, n + ".kel"), "#echo '%s from %s'\n" % (n, folder))
        source = HEAD + "#include 'a.kel'\n#include 'b.kel'\n#include 'c.kel'\n#include 'a.kel'\n" \
                        "#reinclude 'a.kel'\n#reinclude 'b.kel'\n"
        project = self.write("project/e.kpr", source)
        extra = os.path.join(self.dir, "extra") + os.sep
        r = run_kelvo(project, "-nopause", "-nolog", "-i", extra, "x", kelvo=kelvo)
        lines = [l for l in r.lines if " from " in l]
        self.assertEqual(lines, ["a from project", "b from bin/includes", "c from extra", "a from project",
                                 "b from bin/includes"])
        # A reinclude does not look in the -i folder.
        r = run_kelvo(self.write("project/f.kpr", HEAD + "#reinclude 'c.kel'\n"), "-nopause", "-nolog",
                      "-i", extra, "x", kelvo=kelvo)
        self.assertIn('Included file not found "c.kel"', r.out)
        self.assertEqual(r.code, 1)

    def test_includes_that_loop(self):
        self.write("self.kel", "#include 'self.kel'\nnop\n")
        r, exe = self.compile("#include 'self.kel'\nentry:\n ret\n")
        self.assertEqual(r.code, 0, r.out)
        os.remove(exe)
        self.write("again.kel", "#reinclude 'again.kel'\n")
        r, exe = self.compile("#include 'again.kel'\nentry:\n ret\n")
        self.assertEqual(r.code, 1, r.out)
        self.assertIn('Includes are nested too deeply at "again.kel" in [again.kel]', r.out)
        self.assertFalse(os.path.exists(exe))

    def test_nesting_too_deep_in_a_branch_or_macro_is_reported_at_its_line_in_the_file(self):
        # 400 bodies may nest, the program's own block the first of them.
        deep = 400
        opens, closes = "if (eax == 0) {\n" * deep, "}\n" * deep
        cases = [
            # The 400th branch inside branches is one too many: its text starts at "nop".
            ("entry:\n" + "#if 1 == 1:\n" * deep + "  nop\n" + "#end\n" * deep, "[403,3]"),
            # Braces in a branch that starts on line 4: the 399th "{" (line 402) is one too many.
            ("entry:\n#if 1 == 1:\n" + opens + "nop\n" + closes + "#end\n", "[402,15]"),
            # The same in a macro body that starts on line 3.
            ("inline procedure deep() {\n" + opens + "nop\n" + closes + "}\nentry:\n  deep();\n", "[401,15]"),
        ]
        for source, place in cases:
            with self.subTest(place=place):
                r, exe = self.compile(source)
                self.assertEqual(r.code, 1, r.out)
                self.assertIn(place + ": Blocks are nested too deeply in [e.kpr]", r.lines)
                self.assertFalse(os.path.exists(exe))

    def test_an_unreadable_include_is_reported_at_its_directive(self):
        # Root reads every file: the compiler runs as an ordinary user where it can.
        setpriv = shutil.which("setpriv")
        if os.geteuid() == 0 and not setpriv:
            self.skipTest("root reads every file and setpriv is missing")
        os.chmod(self.dir, 0o755)
        os.chmod(self.write("locked.kel", "nop\n"), 0)
        project = self.write("e.kpr", HEAD + "\n  #include 'locked.kel'\nentry:\n ret\n")
        user = [setpriv, "--reuid=65534", "--regid=65534", "--clear-groups"] if os.geteuid() == 0 else []
        proc = subprocess.run(user + [KELVO, project, "-nopause", "-nolog", "x"], capture_output=True)
        out = proc.stdout.decode("latin-1")
        self.assertEqual(proc.returncode, 1, out)
        self.assertIn('[3,23]: Cannot open file "locked.kel": Permission denied in [e.kpr]', out)
        self.assertEqual(sorted(os.listdir(self.dir)), ["e.kpr", "locked.kel"])


if __name__ == "__main__":
    main()
