"""The kelvo blocks of the README and of docs/: each is compiled, so that the text can not
drift from the compiler. A fenced block marked ```kelvo is a fragment, compiled after a
console program head (and before an empty main program when it has no `entry:` of its own),
unless it starts with its own `program` head: then it is a complete
program, and the ```output block after it (C files may stand between) says what it prints
when run.

The words after "kelvo" in a block's mark: a file name (NAME.kpr; NAME.dll.kpr is a library
that the programs after it load), and "fails" for a program that must stop with the report
its output block shows. A ```c NAME.c block is a C file that the document's mscoff programs are
linked with. The blocks of one document share one folder, in the order they are written.

Console programs run under wine and the emulator (which must agree), objects are linked
with MinGW first, and boot images run under QEMU, which ends when the program writes to its
exit port and shows what was written to its debug port."""
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "runner"))
import run_pe  # noqa: E402
from kelvo_test import KELVO, QEMU, SOURCE_DIR, boot_floppy, main, run_kelvo  # noqa: E402

FENCE = re.compile(r"^```([^\n`]*)\n(.*?)^```[ \t]*$", re.S | re.M)
FRAGMENT_HEAD = "program win32cui 'snippet'\n"
MINGW_GCC = shutil.which("i686-w64-mingw32-gcc")
FLOPPY = 1474560
EXTENSION = {"win32cui": ".exe", "win32gui": ".exe", "win32dll": ".dll", "mscoff": ".obj", "bootloader": ".img"}


class Block:
    def __init__(self, mark, text, line):
        words = mark.split()
        self.lang = words[0] if words else ""
        self.words = words[1:]
        self.text = text
        self.line = line
        self.output = None  # the ```output block that follows, for a complete program

    @property
    def name(self):
        return next((w for w in self.words if "." in w), None)

    @property
    def kind(self):
        """The program kind of a complete program, None for a fragment."""
        for line in self.text.splitlines():
            stripped = line.split("//")[0].strip()
            if stripped:
                m = re.match(r"program\s+(\w+)", stripped, re.I)
                return m.group(1).lower() if m else None
        return None


def documents():
    found = [os.path.join(SOURCE_DIR, "README.md")] + sorted(glob.glob(os.path.join(SOURCE_DIR, "docs", "*.md")))
    return [p for p in found if os.path.exists(p)]


def blocks_of(path):
    with open(path, encoding="utf-8") as f:
        text = f.read()
    blocks = []
    program = None  # the last kelvo block: an output block after it (C files between) is its
    for m in FENCE.finditer(text):
        block = Block(m.group(1).strip(), m.group(2), text.count("\n", 0, m.start()) + 1)
        if block.lang == "kelvo":
            program = block
        elif block.lang == "output" and program and program.output is None:
            program.output = block.text
        elif block.lang != "c":
            program = None
        blocks.append(block)
    return blocks


def lines(text):
    return text.replace("\r\n", "\n")


def trimmed(text):
    """Without the blanks at line ends, which an editor may drop from the text."""
    return "\n".join(line.rstrip() for line in lines(text).split("\n")).strip("\n")


class Docs(unittest.TestCase):
    def setUp(self):
        if not KELVO or not os.path.exists(KELVO):
            self.skipTest("the built kelvo was not given (KELVO)")

    def test_every_kelvo_block(self):
        count = 0
        for doc in documents():
            folder = tempfile.mkdtemp(prefix="kelvo-docs-")
            self.addCleanup(shutil.rmtree, folder, True)
            blocks = blocks_of(doc)
            for block in blocks:
                if block.lang == "c" and block.name:
                    with open(os.path.join(folder, block.name), "w") as f:
                        f.write(block.text)
            for block in blocks:
                where = "%s:%d" % (os.path.relpath(doc, SOURCE_DIR), block.line)
                if block.lang != "kelvo":
                    continue
                count += 1
                with self.subTest(block=where):
                    self.check(block, folder, where)
        self.assertGreater(count, 0, "no kelvo block found")

    def check(self, block, folder, where):
        kind = block.kind
        name = block.name or ("snippet.kpr" if kind is None else "program.kpr")
        source = block.text if kind else FRAGMENT_HEAD + block.text
        if kind is None and not re.search(r"^\s*entry\s*:", source, re.M):
            source += "\nentry:\n  ret\n"  # a program needs code to start with
        project = os.path.join(folder, name)
        with open(project, "w") as f:
            f.write(source)
        r = run_kelvo(project, "-nopause", "-nolog", "x")
        built = os.path.join(folder, name[:-len(".kpr")] + EXTENSION.get(kind or "win32cui", ".exe"))
        if "fails" in block.words:
            self.assertEqual(r.code, 1, "%s compiled:\n%s" % (where, r.out))
            self.assertIsNotNone(block.output, "%s has no output block" % where)
            self.assertIn(trimmed(block.output), trimmed(r.out), where)
            self.assertFalse(os.path.exists(built), "%s left %s behind" % (where, built))
            return
        self.assertEqual(r.code, 0, "%s does not compile:\n%s" % (where, r.out))
        self.assertNotIn(": Warning: ", r.out, where)
        if kind is None or kind == "win32dll":
            return
        self.assertIsNotNone(block.output, "%s: a complete program needs an output block" % where)
        if kind == "mscoff":
            built = self.link_with_c(built, folder, where)
        if kind == "bootloader":
            self.assertEqual(self.boot(built), block.output, where)
            return
        self.assertEqual(self.run_exe(built, where), block.output, where)

    def run_exe(self, exe, where):
        reason = run_pe.skip_reason()
        if reason:
            self.skipTest(reason)
        result = run_pe.run(exe, runner="both", timeout=20)
        self.assertIsNone(result.error, "%s: %s" % (where, result.error))
        text = lines(result.text)
        if text and not text.endswith("\n"):
            text += "\n"
        return "%sexit code: %d\n" % (text, result.exit_code)

    def link_with_c(self, obj, folder, where):
        """Links the object with the C files of the document, as the text shows."""
        if not MINGW_GCC:
            self.skipTest("i686-w64-mingw32-gcc is not installed")
        exe = obj[:-len(".obj")] + ".exe"
        c_files = sorted(glob.glob(os.path.join(folder, "*.c")))
        link = subprocess.run([MINGW_GCC, "-nostdlib", "-o", exe, obj, *c_files, "-lkernel32", "-Wl,-e,_entry"],
                              capture_output=True, text=True)
        self.assertEqual(link.returncode, 0, "%s: %s" % (where, link.stderr))
        return exe

    def boot(self, image):
        with open(image, "rb") as f:
            data = f.read()
        self.assertEqual(len(data), FLOPPY)
        self.assertEqual(data[510:512], b"\x55\xAA")
        if not QEMU:
            self.skipTest("qemu-system-i386 is not installed")
        return boot_floppy(image, timeout=60).decode("latin-1")


if __name__ == "__main__":
    main()
