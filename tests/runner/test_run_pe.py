"""Tests of run_pe: sample programs built from samples/*.s run through the
emulator, and through wine where wine can run; where both run they must
agree.  Run one group with: /usr/bin/python3 test_run_pe.py GroupName
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

import run_pe  # noqa: E402
import sample_build  # noqa: E402
import tiny_pe  # noqa: E402
import wine_runner  # noqa: E402

_built = {}


def sample(name):
    """Path of a built sample; the samples are built once per process."""
    reason = sample_build.missing_tools()
    if reason:
        raise unittest.SkipTest(reason)
    if "dir" not in _built:
        _built["dir"] = sample_build.build(
            tempfile.mkdtemp(prefix="kelvo-run-pe-"))
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


class RunnerCase(unittest.TestCase):
    def expect(self, exe, text, exit_code):
        """Every available runner, and 'both' when there are two, must give
        exactly this console text and exit code."""
        path = sample(exe)
        for runner in runners():
            with self.subTest(runner=runner):
                result = run_pe.run(path, runner, timeout=30)
                self.assertIsNone(result.error)
                self.assertEqual(result.runner_name, runner)
                self.assertEqual((result.text, result.exit_code),
                                 (text, exit_code))
        if len(runners()) > 1:
            result = run_pe.run(path, "both", timeout=30)
            self.assertTrue(result.ok, result.error)


class ConsoleProgramsTest(RunnerCase):
    def test_console_text_from_write_console_and_write_file(self):
        self.expect("hello.exe", "Hello, world!\nsecond line\n", 0)

    def test_exit_code_from_exit_process(self):
        self.expect("exit42.exe", "", 42)

    def test_thread_block_heap_virtual_memory_and_last_error(self):
        # Non-zero exit code: bit mask of the checks apis.s saw fail.
        self.expect("apis.exe", "checks done\n", 0)

    def test_command_line_carries_the_arguments(self):
        for runner in runners():
            with self.subTest(runner=runner):
                result = run_pe.run(sample("cmdline.exe"), runner,
                                    args=["alpha", "two words"])
                self.assertIsNone(result.error)
                self.assertIn("cmdline.exe", result.text)
                self.assertTrue(result.text.endswith(
                    ' alpha "two words"\n'), result.text)

    def test_toolchain_free_exe(self):
        require_emulator()
        with tempfile.TemporaryDirectory() as folder:
            exe = os.path.join(folder, "tiny.exe")
            with open(exe, "wb") as handle:
                handle.write(tiny_pe.exit_code_exe(57))
            result = run_pe.run(exe, "emu")
        self.assertEqual((result.text, result.exit_code, result.error),
                         ("", 57, None))


class DllTest(RunnerCase):
    # mathlib's exports give 100 + x only if its DllMain ran and its
    # absolute addresses point at its own data.
    def test_load_library_and_get_proc_address(self):
        self.expect("loader.exe",
                    "dll at preferred base\nmathlib says hi\n", 123)

    def test_exe_importing_from_a_dll(self):
        self.expect("direct.exe", "mathlib says hi\n", 101)

    def test_dll_relocated_when_its_base_is_taken(self):
        self.expect("clash.exe", "dll relocated\nmathlib says hi\n", 123)


class FailureReportsTest(unittest.TestCase):
    def setUp(self):
        require_emulator()

    def test_unknown_import_is_named(self):
        result = run_pe.run(sample("unknown.exe"), "emu")
        self.assertEqual((result.text, result.exit_code), ("before\n", None))
        self.assertIn("kernel32.dll!Beep", result.error)

    def test_api_misuse_stops_the_run_naming_the_call(self):
        result = run_pe.run(sample("misuse.exe"), "emu")
        self.assertEqual(result.text, "Kelvo: Something happened\n")
        self.assertIsNone(result.exit_code)
        self.assertIn("kernel32.dll!WriteFile", result.error)

    def test_runaway_program_times_out(self):
        for runner in runners():
            with self.subTest(runner=runner):
                start = time.monotonic()
                result = run_pe.run(sample("spin.exe"), runner, timeout=2)
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
        result = run_pe.run(sample("exit42.exe"), "auto")
        self.assertEqual((result.runner_name, result.exit_code), ("emu", 42))
        result = run_pe.run(sample("exit42.exe"), "wine")
        self.assertIn(reason, result.error)


class CommandLineTest(unittest.TestCase):
    def cli(self, *args):
        return subprocess.run(
            [sys.executable, os.path.join(HERE, "run_pe.py"), *args],
            capture_output=True, text=True, timeout=60)

    def test_prints_console_text_and_exits_with_the_program_code(self):
        runners()
        done = self.cli(sample("direct.exe"))
        self.assertEqual((done.stdout, done.returncode),
                         ("mathlib says hi\n", 101))
        self.assertIn("run_pe: ran with ", done.stderr)

    def test_runner_failures_have_their_own_status(self):
        require_emulator()
        done = self.cli("--runner", "emu", sample("unknown.exe"))
        self.assertEqual((done.stdout, done.returncode), ("before\n", 125))
        self.assertIn("kernel32.dll!Beep", done.stderr)
        done = self.cli("--runner", "emu", "--timeout", "1",
                        sample("spin.exe"))
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


def main():
    program = unittest.main(exit=False, verbosity=2)
    result = program.result
    if result.testsRun and len(result.skipped) == result.testsRun:
        sys.exit(77)  # ctest: SKIP_RETURN_CODE
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
