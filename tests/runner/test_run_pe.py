"""Tests of run_pe on small programs compiled by kelvo (and one EXE built
without any tool): console text, exit codes, the command line, failures named
in the result, timeouts and the command-line tool; the wine runner's console
capture with a stand-in for wine.  Run one group with:
    /usr/bin/python3 test_run_pe.py GroupName
(exit status 77 when every test in the run was skipped)."""

import os
import shutil
import stat
import subprocess
import sys
import tempfile
import time
import unittest
from unittest import mock

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.dirname(HERE))

import run_pe  # noqa: E402
import tiny_pe  # noqa: E402
import wine_runner  # noqa: E402
from kelvo_test import KELVO, main, run_kelvo  # noqa: E402

_IMPORTS = """program win32cui 'T'
imports ('kernel32.dll') {
  procedure ExitProcess(dword code); stdcall;
  function GetStdHandle(dword which): dword; stdcall;
  function WriteConsoleA(dword h; pointer text; dword count, written, reserved): dword; stdcall;
  function WriteFile(dword h; pointer text; dword count; pointer written; dword over): dword; stdcall;
  function GetCommandLineA(): pointer; stdcall;
  function lstrlenA(pointer text): dword; stdcall;
  procedure Beep(dword freq, ms); stdcall;
}
dword n, line;
entry:
"""
PROGRAMS = {
    "hello": "WriteConsoleA(GetStdHandle(-11), 'Hello, world!\\r\\n', 15, @n, 0);\n"
             "WriteFile(GetStdHandle(-11), 'second line\\r\\n', 13, @n, 0);\n"
             "ExitProcess(0);",
    "cmdline": "line = GetCommandLineA();\n"
               "WriteFile(GetStdHandle(-11), line, lstrlenA(line), @n, 0);\n"
               "ExitProcess(0);",
    "unknown": "WriteFile(GetStdHandle(-11), 'before\\n', 7, @n, 0);\n"
               "Beep(440, 10);\nExitProcess(0);",
    # Windows wants the bytes-written pointer for a synchronous write.
    "misuse": "WriteFile(GetStdHandle(-11), 'lost\\n', 5, 0, 0);\nExitProcess(0);",
    "spin": "top:\n  jmp top",
    # faults with no handler registered, and with one that passes the fault on
    "nullread": "mov eax, 0\nmov eax, [eax]\nExitProcess(0);",
    "divzero": "xor ecx, ecx\nmov eax, 1\nxor edx, edx\ndiv ecx\nExitProcess(0);",
    "passon": "function passOn(dword record, frame, context, dispatcher) { mov eax, 1 }\n"
              "push @passOn\npush fs:0\nfs:0 = esp;\nmov eax, 0\nmov eax, [eax]\nExitProcess(0);",
    # Packed SSE memory operands must lie on 16 bytes; scalar and movups ones need not.
    "misaligned": "lea esi, n\nand esi, -16\nmovaps xmm0, [esi]\naddps xmm0, [esi+16]\n"
                  "addss xmm0, [esi+4]\nmovups xmm1, [esi+4]\nmovups [esi+4], xmm1\n"
                  "WriteFile(GetStdHandle(-11), 'aligned\\n', 8, @n, 0);\n"
                  "lea esi, n\nand esi, -16\nmov ebx, 2\nmulps xmm0, [esi+ebx*2+4]\nExitProcess(0);",
}
_built = {}


def program(name):
    """Path of a built program; all are built once per process."""
    if "dir" not in _built:
        if not KELVO or not os.path.exists(KELVO):
            raise unittest.SkipTest("the built kelvo was not given (KELVO)")
        folder = tempfile.mkdtemp(prefix="kelvo-run-pe-")
        with open(os.path.join(folder, "exit42.exe"), "wb") as handle:
            handle.write(tiny_pe.exit_code_exe(42))
        for stem, body in PROGRAMS.items():
            source = os.path.join(folder, stem + ".kpr")
            with open(source, "w") as handle:
                handle.write(_IMPORTS + body + "\n")
            r = run_kelvo(source, "-nopause", "-nolog", "x")
            assert r.code == 0, r.out
        _built["dir"] = folder
    return os.path.join(_built["dir"], name)


def tearDownModule():
    if "dir" in _built:
        shutil.rmtree(_built["dir"], ignore_errors=True)


def runners():
    reason = run_pe.skip_reason()
    if reason:
        raise unittest.SkipTest(reason)
    return run_pe.available_runners()


def require_emulator():
    reason = run_pe.unavailable_reason("emu")
    if reason:
        raise unittest.SkipTest(reason)


class ConsoleProgramsTest(unittest.TestCase):
    def expect(self, exe, text, exit_code, args=()):
        """Every available runner, and 'both' when there are two, must give
        exactly this console text and exit code."""
        path = program(exe)
        for runner in runners() + (["both"] if len(runners()) > 1 else []):
            with self.subTest(runner=runner):
                result = run_pe.run(path, runner, timeout=30, args=args)
                self.assertIsNone(result.error)
                self.assertEqual((result.text, result.exit_code),
                                 (text, exit_code))

    def test_console_text_from_write_console_and_write_file(self):
        self.expect("hello.exe", "Hello, world!\nsecond line\n", 0)

    def test_exit_code_of_a_toolchain_free_exe(self):
        self.expect("exit42.exe", "", 42)

    def test_command_line_carries_the_arguments(self):
        for runner in runners():
            with self.subTest(runner=runner):
                result = run_pe.run(program("cmdline.exe"), runner,
                                    args=["alpha", "two words"])
                self.assertIsNone(result.error)
                self.assertIn("cmdline.exe", result.text)
                self.assertTrue(result.text.endswith(' alpha "two words"'),
                                result.text)


class FailureReportsTest(unittest.TestCase):
    def setUp(self):
        require_emulator()

    def test_unknown_import_is_named(self):
        result = run_pe.run(program("unknown.exe"), "emu")
        self.assertEqual((result.text, result.exit_code), ("before\n", None))
        self.assertIn("kernel32.dll!Beep", result.error)

    def test_faults_nobody_handles_end_the_run_named(self):
        for exe, message in (("nullread.exe", "crash: read of unmapped memory at 0x0"),
                             ("divzero.exe", "crash: integer division by zero"),
                             ("passon.exe", "unhandled exception 0xc0000005")):
            with self.subTest(exe=exe):
                result = run_pe.run(program(exe), "emu")
                self.assertEqual(result.exit_code, None)
                self.assertIn(message, result.error)

    def test_api_misuse_stops_the_run_naming_the_call(self):
        result = run_pe.run(program("misuse.exe"), "emu")
        self.assertEqual((result.text, result.exit_code), ("", None))
        self.assertIn("kernel32.dll!WriteFile", result.error)

    def test_misaligned_packed_operand_faults_as_on_windows(self):
        for runner in runners():
            with self.subTest(runner=runner):
                result = run_pe.run(program("misaligned.exe"), runner)
                self.assertTrue(result.text.startswith("aligned\n"), result.text)  # wine adds its report
                self.assertNotEqual(result.exit_code, 0)
                if runner == "emu":
                    self.assertIn("16-byte operand at", result.error)

    def test_runaway_program_times_out(self):
        for runner in runners():
            with self.subTest(runner=runner):
                start = time.monotonic()
                result = run_pe.run(program("spin.exe"), runner, timeout=2)
                self.assertLess(time.monotonic() - start, 15)
                self.assertIsNone(result.exit_code)
                self.assertTrue(result.error.startswith("timeout"),
                                result.error)

    def test_broken_files_give_an_error_result(self):
        with tempfile.TemporaryDirectory() as folder:
            junk = os.path.join(folder, "junk.exe")
            with open(junk, "w") as handle:
                handle.write("not a program\n")
            for exe in (junk, os.path.join(folder, "absent.exe")):
                result = run_pe.run(exe, "emu")
                self.assertIsNone(result.exit_code)
                self.assertIn("cannot load", result.error)

    def test_auto_falls_back_to_the_emulator(self):
        reason = run_pe.unavailable_reason("wine")
        if reason is None:
            self.skipTest("wine works here; nothing to fall back from")
        result = run_pe.run(program("exit42.exe"), "auto")
        self.assertEqual((result.runner_name, result.exit_code), ("emu", 42))
        result = run_pe.run(program("exit42.exe"), "wine")
        self.assertIn(reason, result.error)


class CommandLineTest(unittest.TestCase):
    def cli(self, *args):
        return subprocess.run(
            [sys.executable, os.path.join(HERE, "run_pe.py"), *args],
            capture_output=True, text=True, timeout=60)

    def test_prints_console_text_and_exits_with_the_program_code(self):
        runners()
        done = self.cli(program("hello.exe"))
        self.assertEqual((done.stdout, done.returncode),
                         ("Hello, world!\nsecond line\n", 0))
        self.assertIn("run_pe: ran with ", done.stderr)
        self.assertEqual(self.cli(program("exit42.exe")).returncode, 42)

    def test_runner_failures_have_their_own_status(self):
        require_emulator()
        done = self.cli("--runner", "emu", program("unknown.exe"))
        self.assertEqual((done.stdout, done.returncode), ("before\n", 125))
        self.assertIn("kernel32.dll!Beep", done.stderr)
        done = self.cli("--runner", "emu", "--timeout", "1",
                        program("spin.exe"))
        self.assertEqual(done.returncode, 124)


_FAKE_WINE = """#!/bin/sh
# Writes what wine's terminal console writes: escapes around CR LF text.
printf '\\033[?25l\\033]0;title\\007Hello\\r\\nworld\\033[K\\r\\n\\033[?25h'
[ -t 1 ] && [ -t 0 ] && echo on-a-terminal
[ "$2" = spin ] && sleep 60
exit 42
"""


class WineConsoleCaptureTest(unittest.TestCase):
    """The pty plumbing, with a stand-in for wine so that it is checked on
    machines where 32-bit wine cannot start."""

    def setUp(self):
        folder = tempfile.mkdtemp(prefix="kelvo-fake-wine-")
        self.addCleanup(shutil.rmtree, folder)
        fake = os.path.join(folder, "wine")
        with open(fake, "w") as handle:
            handle.write(_FAKE_WINE)
        os.chmod(fake, stat.S_IRWXU)
        patch = mock.patch.dict(os.environ, {"KELVO_WINE": fake})
        patch.start()
        self.addCleanup(patch.stop)
        self.prefix = os.path.join(folder, "prefix")

    def test_console_text_is_cleaned_and_exit_code_kept(self):
        result = wine_runner.run_wine("x.exe", prefix=self.prefix)
        self.assertEqual(
            (result.output, result.exit_code, result.error),
            ("Hello\nworld\non-a-terminal\n", 42, None))

    def test_timeout_kills_the_program(self):
        start = time.monotonic()
        result = wine_runner.run_wine("x.exe", ["spin"], timeout=1,
                                      prefix=self.prefix)
        self.assertLess(time.monotonic() - start, 10)
        self.assertIsNone(result.exit_code)
        self.assertTrue(result.error.startswith("timeout"))


if __name__ == "__main__":
    main()
