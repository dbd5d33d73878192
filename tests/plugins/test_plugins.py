"""Plug-ins end to end: the test plug-ins in this folder are built with the system C compiler
and put into a "plugins" folder beside a copy of kelvo; the log they write shows what the
compiler called and what its routines answered, and the programs they help compile run."""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "runner"))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import run_pe  # noqa: E402
from kelvo_test import KELVO, KelvoCase, SOURCE_DIR, main, run_kelvo, run_on_terminal  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
HEADER_DIR = os.path.join(SOURCE_DIR, "plugins")
CC = shutil.which("cc") or shutil.which("gcc")
CXX = shutil.which("c++") or shutil.which("g++")
C_FLAGS = ["-std=c99", "-D_POSIX_C_SOURCE=199309L", "-Wall", "-Wextra", "-Wno-unused-parameter", "-Werror"]

# What the folder scan of alpha and beta logs for plugin_hooks.kpr, in order.
HOOKS_LOG = """\
alpha InitPlugin cpu 386 unknown 0
alpha keywords 0 1 removed 1 0 token 5000
beta InitPlugin tokens 5001 5002 keyword 5
beta FileEntry 0 missing (null) 0
beta rewrote file 0 result 1 given text unchanged yes
alpha FileEntry 0 marker no
beta FileEntry 1 missing (null) 0
alpha FileEntry 1 marker no
beta ProgramBegin win32cui
alpha ProgramBegin win32cui
alpha chars 'hello world'
alpha float 122 1.10000002 1.1000000000000001 1.1000000000000001 0
alpha data 30 counter size 4 id found type dword beyond (null)
alpha string 21 21 'some text' id -1
alpha mismatch -1 int 5
beta innertok compiled 1
beta makeproc compiled 1 index found refused -1 called 1 missing 0 0
alpha line 7 '  emitb' guard intact none 0
alpha emitted 5 line end ahead 1
alpha probe
alpha UnloadPlugin next -1 text 0
beta UnloadPlugin
"""


class Plugins(KelvoCase):
    built = None  # folder of the shared objects, built once

    @classmethod
    def build_plugins(cls):
        if cls.built:
            return cls.built
        folder = tempfile.mkdtemp(prefix="kelvo-plugins-")
        cls.addClassCleanup(shutil.rmtree, folder, True)
        sources = {"alpha": ["alpha.c"], "beta": ["beta.c"], "noinit": ["noinit.c"],
                   "nodesc": ["-DNO_DESCRIPTION", "alpha.c"]}
        for name, args in sources.items():
            cmd = [CC, *C_FLAGS, "-shared", "-fPIC", "-I" + HEADER_DIR, "-o",
                   os.path.join(folder, name + ".so")] + [os.path.join(HERE, a) if a.endswith(".c") else a
                                                          for a in args]
            subprocess.run(cmd, check=True)
        with open(os.path.join(folder, "notaso.so"), "w") as f:
            f.write("this is text, not a shared object\n")
        cls.built = folder
        return folder

    def setUp(self):
        super().setUp()
        if not CC:
            self.skipTest("no C compiler (cc) to build the test plug-ins")
        self.plugins = self.build_plugins()

    def compiler_with(self, *names):
        """A copy of kelvo with the named plug-ins in the "plugins" folder beside it."""
        bin_dir = os.path.join(self.dir, "bin")
        os.makedirs(os.path.join(bin_dir, "plugins"))
        shutil.copy(KELVO, bin_dir)
        shutil.copytree(os.path.join(os.path.dirname(KELVO), "includes"), os.path.join(bin_dir, "includes"))
        for name in names:
            shutil.copy(os.path.join(self.plugins, name + ".so"), os.path.join(bin_dir, "plugins"))
        return os.path.join(bin_dir, os.path.basename(KELVO))

    def compile(self, kelvo, source, name="p.kpr"):
        path = self.write(os.path.join("src", name), source)
        log = os.path.join(self.dir, "src", "plugin_calls.log")
        if os.path.exists(log):
            os.remove(log)
        r = run_kelvo(path, "-nopause", "-nolog", "x", kelvo=kelvo)
        calls = ""
        if os.path.exists(log):
            with open(log) as f:
                calls = f.read()
        return r, calls, os.path.splitext(path)[0] + ".exe"

    def hooks_source(self):
        with open(os.path.join(HERE, "plugin_hooks.kpr")) as f:
            return f.read()

    def run_program(self, exe):
        reason = run_pe.skip_reason()
        if reason:
            print("the program is not run: %s" % reason)
            return None
        result = run_pe.run(exe, runner="both", timeout=20)
        self.assertIsNone(result.error, result.error)
        return result.exit_code

    def test_folder_scan_calls_every_hook_in_order_and_the_program_runs(self):
        kelvo = self.compiler_with("alpha", "beta")
        r, calls, exe = self.compile(kelvo, self.hooks_source())
        self.assertEqual(r.code, 0, r.out)
        self.assertEqual(calls, HOOKS_LOG)
        lines = r.lines
        for line in ("PlugSys: alpha is ready", "PlugSys: alpha test plug-in", "PlugSys: beta test plug-in",
                     "PlugSys: alpha says goodbye"):
            self.assertIn(line, lines)
        # Timing: one line per plug-in in load order; beta sleeps 0.15 s in InitPlugin.
        modules = [l for l in lines if l.startswith("Module ")]
        self.assertEqual([m.split(" - ")[0] for m in modules], ["Module alpha.so", "Module beta.so"])
        seconds = {m.split(" ")[1]: float(re.match(r"Module \S+ - ([0-9.]+) second\(s\)$", m).group(1))
                   for m in modules}
        self.assertGreaterEqual(seconds["beta.so"], 0.15)
        total = float(re.search(r"Build Complete - ([0-9.]+) second", r.out).group(1))
        self.assertGreaterEqual(total, sum(seconds.values()))
        # The keyword handler's bytes are code: mov eax, 7.
        if shutil.which("objdump"):
            dump = subprocess.run(["objdump", "-d", exe], capture_output=True, text=True).stdout
            self.assertRegex(dump, r"b8 07 00 00 00\s+mov\s+\$0x7,%eax")
        else:
            print("objdump missing: the emitted bytes are checked by the run only")
        code = self.run_program(exe)
        if code is not None:
            self.assertEqual(code, 58)

    def test_named_plugins_load_alone_and_get_program_entry(self):
        kelvo = self.compiler_with("alpha", "beta", "noinit")
        source = "plugins 'beta';\nPLUGINS 'alpha' 1.5;\n" + self.hooks_source()
        r, calls, exe = self.compile(kelvo, source)
        self.assertEqual(r.code, 0, r.out)
        self.assertNotIn("noinit", r.out)  # the folder is not scanned
        order = [l for l in calls.splitlines() if re.match(r"\w+ (InitPlugin|FileEntry \d|Program\w+|Unload)", l)]
        self.assertEqual(order, [
            "beta InitPlugin tokens 5000 5001 keyword 0",
            "alpha InitPlugin cpu 386 unknown 0",
            "alpha FileEntry 0 marker yes", "beta FileEntry 0 missing (null) 0",
            "alpha FileEntry 1 marker no", "beta FileEntry 1 missing (null) 0",
            "alpha ProgramEntry win32cui", "beta ProgramEntry win32cui",
            "beta UnloadPlugin", "alpha UnloadPlugin next -1 text 0"])
        self.assertIn("alpha keywords 1 2 removed 1 0 token 5002", calls)
        self.assertEqual([l.split(" - ")[0] for l in r.lines if l.startswith("Module ")],
                         ["Module beta.so", "Module alpha.so"])
        code = self.run_program(exe)
        if code is not None:
            self.assertEqual(code, 58)

    def test_bad_plugins_in_the_folder_are_skipped_in_colour(self):
        kelvo = self.compiler_with("alpha", "noinit", "notaso", "nodesc")
        path = self.write("src/p.kpr", "program win32cui 'x'\nentry:\n  floats 2.5;\n  nop\n")
        text, code = run_on_terminal([kelvo, path, "-nolog", "-nopause", "x"])
        self.assertEqual(code, 0, text)
        self.assertIn("\x1b[92mPlugSys: alpha is ready", text)  # 10, green: a plug-in's message
        self.assertIn("\x1b[92mPlugSys: alpha test plug-in", text)
        self.assertIn("\x1b[92mPlugSys: nodesc.so\r\n", text)  # no description: the file name
        self.assertIn('\x1b[91mPlugSys: noinit.so skipped - plugin does not have entry function "InitPlugin"',
                      text)  # 12, red
        self.assertIn("\x1b[91mPlugSys: notaso.so skipped - not a valid plugin", text)
        self.assertEqual(re.findall(r"Module (\S+) - ", text), ["alpha.so", "nodesc.so"])
        with open(os.path.join(self.dir, "src", "plugin_calls.log")) as f:
            self.assertEqual(f.read().count("alpha float 122 2.5 2.5 2.5 0"), 1)  # only the newest entry of a name is offered

    def test_a_named_plugin_that_cannot_load_stops_the_build(self):
        kelvo = self.compiler_with("noinit", "notaso")
        folder = os.path.dirname(kelvo)
        for name, message in (
                ("missing", "%s/plugins/missing.so does not exist" % folder),
                ("noinit", 'PlugSys: noinit.so plugin does not have entry function "InitPlugin"'),
                ("notaso", "PlugSys: notaso.so is not a valid plugin")):
            with self.subTest(plugin=name):
                r, _, exe = self.compile(kelvo, "plugins '%s';\nprogram win32cui 'x'\n" % name)
                self.assertEqual(r.code, 1, r.out)
                self.assertIn("[1,%d]: %s in [p.kpr]" % (len(name) + 11, message), r.out)
                self.assertFalse(os.path.exists(exe))

    def test_a_plugin_named_by_a_path_is_refused_and_never_runs(self):
        """A shared object outside the plug-ins folder whose code, once loaded, leaves a mark:
        a project that names it by a path gets an error at the name and the mark stays away.
        The same object in the folder, named plainly, does leave it."""
        outside = os.path.join(self.dir, "elsewhere")
        os.makedirs(outside)
        mark = os.path.join(self.dir, "it-ran")
        code = ("#include <stdio.h>\n"
                "__attribute__((constructor)) static void loaded(void) {\n"
                "  FILE *f = fopen(\"%s\", \"w\"); if (f) fclose(f);\n}\n"
                "const char *InitPlugin(void *lookup) { loaded(); return \"evil\"; }\n" % mark)
        source = self.write("elsewhere/evil.c", code)
        subprocess.run([CC, "-shared", "-fPIC", "-o", os.path.join(outside, "evil.so"), source], check=True)
        kelvo = self.compiler_with()
        plugins = os.path.join(os.path.dirname(kelvo), "plugins")
        up = os.path.relpath(os.path.join(outside, "evil"), plugins)
        for name in (up, os.path.join(outside, "evil"), "sub/../../elsewhere/evil", "..\\elsewhere\\evil"):
            with self.subTest(name=name):
                literal = name.replace("\\", "\\\\")  # as written in the source
                r, _, exe = self.compile(kelvo, "plugins '%s';\nprogram win32cui 'x'\nentry:\n  ret\n" % literal)
                self.assertEqual(r.code, 1, r.out)
                self.assertIn('[1,%d]: A plug-in is named without a folder: "%s" is not a plain name in [p.kpr]'
                              % (len(literal) + 10, name), r.out)
                self.assertFalse(os.path.exists(mark), "the plug-in's code ran")
                self.assertFalse(os.path.exists(exe))
        shutil.copy(os.path.join(outside, "evil.so"), plugins)
        r, _, _ = self.compile(kelvo, "plugins 'evil';\nprogram win32cui 'x'\nentry:\n  ret\n")
        self.assertEqual(r.code, 0, r.out)
        self.assertTrue(os.path.exists(mark), "the test plug-in leaves no mark when it runs")

    def test_bad_input_from_a_plugin_is_reported_once_and_nothing_is_written(self):
        kelvo = self.compiler_with("beta")
        direct, _, _ = self.compile(kelvo, "program win32cui 'x'\nentry:\n  mov eax, nosuchname;\n")
        same_report = re.search(r"\]: (Expected .*) in \[p.kpr\]", direct.out).group(1)
        cases = {
            1: "PlugSys: pluginAddKeyword: the name is empty",
            2: "PlugSys: pluginCompileText: no text was given",
            3: "PlugSys: pluginCompileText: the length is negative",
            4: same_report + " in [plugin buffer]",
            5: "PlugSys: custom failure",
            6: "PlugSys: pluginGetLine: no buffer was given",
            7: "PlugSys: pluginSetFileText: no text was given",
            8: "PlugSys: pluginAddToken: no handler was given",
            9: "PlugSys: pluginEvalText: no text was given",
            10: "PlugSys: pluginGetLine: the length is negative",
            11: "PlugSys: pluginEmitBytes: the length is negative",
            12: "PlugSys: pluginSetToken: no text was given",
        }
        for which, message in cases.items():
            with self.subTest(misuse=which):
                r, calls, exe = self.compile(kelvo, "program win32cui 'x'\nentry:\n  misuse %d;\n" % which)
                self.assertEqual(r.code, 1, r.out)
                self.assertEqual(r.out.count(message), 1, r.out)
                self.assertNotIn("Operation aborted", r.out)
                # The plug-in went on after the error; the routines did nothing more.
                self.assertRegex(calls, r"beta misuse %d result -?[01] after 0\n" % which)
                self.assertFalse(os.path.exists(exe))

    def test_header_compiles_as_c_and_as_cpp(self):
        probe = self.write("probe.c", '#include "kelvo_plugin.h"\n'
                                      "int main(void) { kelvo_get_function f = 0; return f ? 1 : 0; }\n")
        subprocess.run([CC, "-std=c99", "-pedantic", "-Wall", "-Werror", "-I" + HEADER_DIR, "-fsyntax-only", probe],
                       check=True)
        if not CXX:
            self.skipTest("no C++ compiler for the header's C++ check")
        subprocess.run([CXX, "-std=c++17", "-pedantic", "-Wall", "-Werror", "-I" + HEADER_DIR, "-fsyntax-only",
                        "-x", "c++", probe], check=True)


if __name__ == "__main__":
    main()
