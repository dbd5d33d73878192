"""Programs with their expected result beside them: every NAME.kpr in this folder (and in
folders below it, and the samples) is compiled by kelvo, run, and its console text and exit code compared with
NAME.expect. The last line of an expectation is "exit code: N". A program that reads the
console gets the bytes of NAME.input, typed ahead.

Regenerate one expectation after checking the program by hand:
    KELVO=build/release/kelvo python3 tests/programs/test_programs.py --regenerate NAME
"""
import difflib
import glob
import os
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "runner"))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import run_pe  # noqa: E402
from kelvo_test import KELVO, main, run_kelvo  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))


SAMPLES = os.path.join(HERE, "..", "..", "samples")


def programs():
    """The test programs, and the samples that ship with the compiler."""
    found = glob.glob(os.path.join(HERE, "**", "*.kpr"), recursive=True)
    found += glob.glob(os.path.join(SAMPLES, "*", "*.kpr"))
    return sorted(os.path.normpath(p) for p in found)


def build_and_run(source):
    """Compiles a copy of the program's folder (it may hold a DLL project too) and runs it."""
    work = tempfile.mkdtemp(prefix="kelvo-program-")
    try:
        folder = os.path.dirname(source)
        for name in os.listdir(folder):
            path = os.path.join(folder, name)
            if os.path.isfile(path):
                shutil.copy(path, work)
        # Projects named NAME.dll.kpr are libraries the program loads: build them first.
        for lib in sorted(glob.glob(os.path.join(work, "*.dll.kpr"))):
            r = run_kelvo(lib, "-nopause", "-nolog", "x")
            if r.code != 0:
                return "compile of %s failed:\n%s" % (os.path.basename(lib), r.out), None
        project = os.path.join(work, os.path.basename(source))
        r = run_kelvo(project, "-nopause", "-nolog", "x")
        if r.code != 0:
            return "compile failed:\n" + r.out, None
        exe = os.path.splitext(project)[0] + ".exe"
        typed = os.path.splitext(source)[0] + ".input"
        console_input = b""
        if os.path.exists(typed):
            with open(typed, "rb") as f:
                console_input = f.read()
        result = run_pe.run(exe, runner="both", timeout=20, console_input=console_input)
        if result.error:
            return "run failed (%s): %s" % (result.runner_name, result.error), None
        text = result.text.replace("\r\n", "\n")
        if text and not text.endswith("\n"):
            text += "\n"
        return None, "%sexit code: %d\n" % (text, result.exit_code)
    finally:
        shutil.rmtree(work, ignore_errors=True)


class Programs(unittest.TestCase):
    def test_every_program(self):
        reason = run_pe.skip_reason()
        if reason:
            self.skipTest(reason)
        found = [p for p in programs() if not p.endswith(".dll.kpr")]
        print("\n%d programs, run with %s" % (len(found), ", ".join(run_pe.available_runners())))
        for source in found:
            name = os.path.relpath(source, os.path.join(HERE, "..", ".."))
            with self.subTest(program=name):
                error, actual = build_and_run(source)
                self.assertIsNone(error, error)
                with open(os.path.splitext(source)[0] + ".expect") as f:
                    expected = f.read()
                if actual != expected:
                    diff = "".join(difflib.unified_diff(expected.splitlines(True), actual.splitlines(True),
                                                        "expected", "actual"))
                    self.fail("%s differs:\n%s" % (name, diff))


def regenerate(name):
    source = os.path.join(HERE, name if name.endswith(".kpr") else name + ".kpr")
    error, actual = build_and_run(source)
    if error:
        sys.exit(error)
    with open(os.path.splitext(source)[0] + ".expect", "w") as f:
        f.write(actual)
    print(actual, end="")


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "--regenerate":
        regenerate(sys.argv[2])
    else:
        main()
