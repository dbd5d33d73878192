"""Shared helpers for the end-to-end tests: run the built compiler as a user would."""
import os
import pty
import shutil
import subprocess
import sys
import tempfile
import unittest

KELVO = os.environ.get("KELVO", "")
BUILD_DIR = os.environ.get("KELVO_BUILD_DIR", "")
SOURCE_DIR = os.environ.get("KELVO_SOURCE_DIR", os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SKIP = 77  # ctest's skip code
QEMU = shutil.which("qemu-system-i386")


class Result:
    def __init__(self, proc):
        self.code = proc.returncode
        self.out = proc.stdout.decode("latin-1")
        self.err = proc.stderr.decode("latin-1")

    @property
    def lines(self):
        return self.out.replace("\r\n", "\n").split("\n")


def run_kelvo(*args, stdin=b"", cwd=None, kelvo=None, timeout=60):
    proc = subprocess.run([kelvo or KELVO, *args], input=stdin, capture_output=True, cwd=cwd,
                          timeout=timeout)
    return Result(proc)


def boot_floppy(image, timeout=30):
    """Boots a floppy image in QEMU and returns what the program wrote to the debug port
    (0xE9). QEMU ends when the program writes to its exit port (0xF4); a program that never
    does runs into the timeout, which fails the test."""
    console = image + ".debugcon"
    subprocess.run([QEMU, "-boot", "a", "-drive", "format=raw,if=floppy,file=" + image,
                    "-debugcon", "file:" + console, "-device", "isa-debug-exit,iobase=0xf4,iosize=0x04",
                    "-display", "none", "-no-reboot", "-monitor", "none", "-serial", "none"],
                   capture_output=True, timeout=timeout)
    with open(console, "rb") as f:
        return f.read()


def run_on_terminal(args):
    """Runs a command with a terminal as its output, where colours are written; returns the
    text (latin-1, as written) and the exit code."""
    master, slave = pty.openpty()
    proc = subprocess.Popen(args, stdout=slave, stderr=slave)
    os.close(slave)
    data = b""
    while True:
        try:
            chunk = os.read(master, 4096)
        except OSError:  # EIO: the program has closed the terminal
            break
        if not chunk:
            break
        data += chunk
    code = proc.wait()
    os.close(master)
    return data.decode("latin-1"), code


class KelvoCase(unittest.TestCase):
    """A test case with its own scratch folder."""

    def setUp(self):
        if not KELVO or not os.path.exists(KELVO):
            self.skipTest("the built kelvo was not given (KELVO)")
        self.dir = tempfile.mkdtemp(prefix="kelvo-test-")
        self.addCleanup(shutil.rmtree, self.dir, True)

    def write(self, name, text):
        path = os.path.join(self.dir, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(text.encode("latin-1") if isinstance(text, str) else text)
        return path


def main():
    """Runs the module's tests; exits with ctest's skip code when every test was skipped."""
    result = unittest.main(exit=False, verbosity=2).result
    ran = result.testsRun
    if ran and len(result.skipped) == ran:
        for _, why in result.skipped:
            print("SKIPPED:", why)
        sys.exit(SKIP)
    sys.exit(0 if result.wasSuccessful() else 1)
