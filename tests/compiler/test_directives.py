"""Directives and macros as a user meets them: the messages they print (texts and colours),
where included files are found, and every mistake reported at its line and column with exit
code 1 and no output file."""
import os
import shutil
import subprocess

from kelvo_test import KELVO, KelvoCase, main, run_kelvo, run_on_terminal

HEAD = "program win32cui 'T'\n"

# (source after HEAD, the report's first line); the report ends in " in [e.kpr]" unless given
MISTAKES = [
    ("#foo;", '[2,4]: Unknown compiler directive "foo"'),
    ("#define;", "[2,8]: Expected identifier but found ;"),
    ("#define X", "[2,10]: Expected ; but found "),
    ("#cpu 586;", "[2,8]: Available optimisation modes: 386, 486 and 686"),
    ("#bits 64;", "[2,8]: Bit modes: 16 and 32"),
    ("#locals esp;", "[2,11]: ESP can not be used for a stack frame"),
    ("#locals ax;", "[2,10]: Expected 32 bit register"),
    ("procedure p() {\n #locals esi;\n}", "[3,12]: #locals can not change the frame register inside a procedure"),
    ("#mmx maybe;", "[2,10]: Available MMX setting: on, off"),
    ("#sse On;", "[2,7]: Available SSE setting: on, off"),
    ("#mode loose;", '[2,11]: Unknown compiler mode "loose"'),
    ("#callconv 5;", "[2,11]: Expected call method but found 5"),
    ("#undef NEVER;", '[2,12]: "NEVER" is not defined'),
    ("#include 'nothere.kel'", '[2,22]: Included file not found "nothere.kel"'),
    ("#include nothere", "[2,16]: Expected constant string but found nothere"),
    ("#resource 'a.res'", '[2,17]: Resource file "a.res" does not exist'),
    ("#return 5", "[2,7]: #return can only be used inside a macro body"),
    ("#if 1 == 1:\n nop\n", "[4,1]: if statement is missing end in e.kpr"),
    ("#if 1 == 2:\n nop\n", "[4,1]: if statement is missing end in e.kpr"),
    ("#repeat 3:\n nop\n", "[4,1]: repeat statement is missing end in e.kpr"),
    ("#ifdef X\n nop\n", "[4,1]: ifdef statement is missing end in e.kpr"),
    ("#if 1 = 1:\n#end", "[2,7]: Expected == or != or < or > or <= or => or of but found ="),
    ("#if 1 == 1\n#end", "[3,4]: Expected : but found end"),
    ("#if 0x3 < 10:\n#end", '[2,13]: "3" or "10" are not valid numbers'),
    ("#repeat x:\n#end", "[2,9]: Expected number but found x"),
    ("$x = (1 + 2;", "[2,12]: Expected ) but found ;"),
    ("$x = 1 / 0;", "[2,10]: Division by zero"),
    ("$x = 99999999999 * 999999999999;", "[2,31]: Constant value out of range"),
    ("inline procedure m(a) { nop }\nm(1, 2);", '[3,7]: "m" expected 1 params, receieved 2'),
    ("inline procedure m(a, b) { nop }\nm;", "[3,2]: Expected ( but found ;"),
    ("inline procedure m(a) { nop \nentry:", "[3,7]: Inline m missing end"),
    ("inline foo procedure m() { }", "[2,10]: Unknown inline directive"),
    ("inline op procedure 5() { }", "[2,21]: Operator type not supported for replacement macros"),
    ("inline procedure m(a b) { }", "[2,22]: Expected , or ) but found b"),
    ("inline function f() { nop }\nentry:\n mov eax, f()",
     "[4,13]: Macro f did not return anything"),
    ("recast $n as string;", "[2,9]: Expected macro variable identifier"),
    ("$n = 5;\nrecast $n as int;", "[3,17]: Invalid recast"),
    ("$n = 5;\n$n + 2;", "[3,4]: Expected ++ or -- or = but found +"),
    ("#raise 'stop here'", "[2,18]: stop here"),
    ("#require 'NEED';", '[2,16]: "e.kpr" requires "NEED" for compilation.'),
    # Reported inside the branch: its own name and lines counted from its first line.
    ("nop\n#if 1 == 1:\n  nop\n  frob x\n#end", "[2,8]: Expected : but found x in [e.kpr @ if statement]"),
    ("#if 1 == 1:\n #if 2 == 2:\n  nop\n\n  frob x\n #end\n#end", "[3,8]: Expected : but found x in [e.kpr @ if statement]"),
    # Passed-over text still counts its lines, whatever ends them.
    ("#if 1 == 2:\n nop\n /* a\n b */\n 'x\ny'\n#end\nfrob x", "[9,6]: Expected : but found x"),
    ("#if 1 == 2:\r\n nop\r\n // #end\r\n 'x\r\ny'\r\n#end\r\nfrob x", "[8,6]: Expected : but found x"),
    ("#ifdef NO\r nop\r #if 1 == 1:\r #end\r#end\rfrob x", "[7,6]: Expected : but found x"),
    ("#repeat 2:\n nop\n#end\nfrob x", "[5,6]: Expected : but found x"),
    # A macro that invokes itself, directly or through another.
    ("inline procedure m(a) { m(1); }\nm(1);", '[1,1]: Macro "m" invokes itself in [macro m]'),
    ("inline procedure a() { b(); }\ninline procedure b() { a(); }\na();",
     '[1,1]: Macro "a" invokes itself in [macro b]'),
]


class Directives(KelvoCase):
    def compile(self, source, *options, name="e.kpr"):
        path = self.write(name, HEAD + source)
        return run_kelvo(path, "-nopause", "-nolog", *options, "x"), os.path.join(self.dir, "e.exe")

    def test_every_mistake_is_reported_at_its_place(self):
        for source, report in MISTAKES:
            with self.subTest(source=source):
                r, exe = self.compile(source)
                self.assertEqual(r.code, 1, r.out)
                self.assertFalse(os.path.exists(exe))
                expected = report if " in [" in report else report + " in [e.kpr]"
                self.assertIn(expected + "\n", r.out.replace("\r\n", "\n"))

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
