"""Inline integer instructions, source to EXE, against GNU as.

A generated project holds one procedure per operand form (instruction_forms.py), each called
from the entry code so that the link step keeps it. The test reads the call targets from the
entry code to find each procedure in .code, strips the common frame, and compares the bytes
with GNU `as --32` on the same instruction in Intel syntax. Where kelvo picks another valid
encoding (8B vs 89, 81 vs 83, a zero disp8) both byte strings are decoded with objdump and the
instruction texts must agree.
"""
import os
import re
import struct
import subprocess
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
sys.path.insert(0, HERE)
import instruction_forms as F  # noqa: E402
from kelvo_test import KelvoCase, main, run_kelvo  # noqa: E402

PROLOGUE = b"\x55\x8b\xec"
EPILOGUE = b"\xc9\xc2" + struct.pack("<H", F.PARAM_SIZE)


def have(tool):
    return subprocess.run(["sh", "-c", "command -v " + tool], capture_output=True).returncode == 0


class TImage:
    """The .code section of a built EXE and where the entry code says things lie."""

    def __init__(self, path, n_globals):
        import pefile
        pe = pefile.PE(path)
        code = [s for s in pe.sections if s.Name.rstrip(b"\0") == b".code"][0]
        self.base = pe.OPTIONAL_HEADER.ImageBase + code.VirtualAddress
        self.bytes = code.get_data()[:code.Misc_VirtualSize]
        at = pe.OPTIONAL_HEADER.AddressOfEntryPoint - code.VirtualAddress
        self.globals = []
        for _ in range(n_globals):  # LEA EAX, [address]
            assert self.bytes[at:at + 2] == b"\x8d\x05", self.bytes[at:at + 6].hex()
            self.globals.append(struct.unpack_from("<I", self.bytes, at + 2)[0])
            at += 6
        self.procs = []
        while self.bytes[at] == 0xE8:
            rel = struct.unpack_from("<i", self.bytes, at + 1)[0]
            self.procs.append(at + 5 + rel)
            at += 5

    def body(self, i):
        """The code of procedure i without its frame, and the address where that code starts."""
        start, end = self.procs[i], self.procs[i + 1]
        code = self.bytes[start:end]
        assert code.startswith(PROLOGUE) and code.endswith(EPILOGUE), code.hex()
        return code[len(PROLOGUE):-len(EPILOGUE)], self.base + start + len(PROLOGUE)


def assemble(folder, texts):
    """Assembles each text after its own label; returns the bytes of each."""
    lines = [".intel_syntax noprefix", ".text"]
    for i, t in enumerate(texts):
        lines.append("f%d:" % i)
        lines += t.split("\n")
    lines.append("f%d:" % len(texts))
    src, obj, binary = (os.path.join(folder, n) for n in ("f.s", "f.o", "f.bin"))
    with open(src, "w") as f:
        f.write("\n".join(lines) + "\n")
    r = subprocess.run(["as", "--32", "-o", obj, src], capture_output=True, text=True)
    if r.returncode:
        raise AssertionError("as failed:\n" + r.stderr[:3000])
    subprocess.run(["objcopy", "-O", "binary", "-j", ".text", obj, binary], check=True)
    nm = subprocess.run(["nm", obj], capture_output=True, text=True, check=True).stdout
    where = {}
    for line in nm.splitlines():
        parts = line.split()
        if len(parts) == 3 and re.fullmatch(r"f\d+", parts[2]):
            where[int(parts[2][1:])] = int(parts[0], 16)
    with open(binary, "rb") as f:
        data = f.read()
    return [data[where[i]:where[i + 1]] for i in range(len(texts))]


def normalise(text):
    text = re.sub(r"\s+", " ", text).strip()
    text = re.sub(r"\+0x0\]", "]", text)  # a zero displacement byte says nothing
    text = re.sub(r" <[^>]*>", "", text)
    m = re.fullmatch(r"xchg (\w+),(\w+)", text)  # the operands of XCHG commute
    return "xchg " + ",".join(sorted(m.groups())) if m else text


def decode_chunks(folder, chunks):
    """objdump texts of each byte chunk. The chunks are whole instructions, so one decode of
    them end to end splits back at the chunk boundaries."""
    path = os.path.join(folder, "chunks.bin")
    with open(path, "wb") as f:
        f.write(b"".join(chunks))
    r = subprocess.run(["objdump", "-D", "-b", "binary", "-m", "i386", "-M", "intel", path],
                       capture_output=True, text=True, check=True)
    starts, at = [], 0
    for c in chunks:
        starts.append(at)
        at += len(c)
    out = [[] for _ in chunks]
    n = 0
    for line in r.stdout.splitlines():
        m = re.match(r"\s*([0-9a-f]+):\t[0-9a-f ]+\t(.*)", line)
        if not m:
            continue
        address = int(m.group(1), 16)
        while n + 1 < len(chunks) and address >= starts[n + 1]:
            n += 1
        out[n].append(normalise(m.group(2)))
    return out


class BinutilsCase(KelvoCase):
    """Skipped, with the reason, where GNU binutils or pefile are missing."""
    def setUp(self):
        super().setUp()
        missing = [t for t in ("as", "objdump", "objcopy", "nm") if not have(t)]
        if missing:
            self.skipTest("GNU binutils missing: " + ", ".join(missing))
        try:
            import pefile  # noqa: F401
        except ImportError:
            self.skipTest("python3-pefile is not installed")


class InstructionForms(BinutilsCase):

    def test_every_form_matches_gnu_as(self):
        forms = F.all_forms()
        path = self.write("forms.kpr", F.project(forms))
        r = run_kelvo(path, "-nopause", "-nolog", "x")
        self.assertEqual(r.code, 0, r.out[-3000:])
        image = TImage(os.path.join(self.dir, "forms.exe"), len(F.GLOBALS))
        self.assertEqual(len(image.procs), len(forms) + 1)
        names = dict(zip(F.GLOBALS, image.globals))
        bodies = [image.body(i) for i in range(len(forms))]
        for i in range(len(forms)):
            names["p%d" % i] = image.base + image.procs[i]

        def resolve(text, at):
            text = re.sub(r"\{VA:(\w+)\}", lambda m: str(names[m.group(1)]), text)
            return re.sub(r"\{REL:(\w+)\}", lambda m: str(names[m.group(1)] - (at + 5)), text)

        expected = assemble(self.dir, [resolve(g, bodies[i][1]) for i, (_, g) in enumerate(forms)])
        differing = [i for i in range(len(forms)) if bodies[i][0] != expected[i]]
        ours_all = decode_chunks(self.dir, [bodies[i][0] for i in differing])
        theirs_all = decode_chunks(self.dir, [expected[i] for i in differing])
        failures = []
        for n, i in enumerate(differing):
            ours, theirs = ours_all[n], theirs_all[n]
            if ours != theirs or not ours:
                failures.append("%r:\n  kelvo %s  %s\n  as    %s  %s" % (
                    forms[i][0], bodies[i][0].hex(" "), ours, expected[i].hex(" "), theirs))
        print("\n%d instruction forms compiled and compared with GNU as: %d byte for byte, "
              "%d by decoded text" % (len(forms), len(forms) - len(differing), len(differing) - len(failures)))
        self.assertFalse(failures, "%d forms differ:\n%s" % (len(failures), "\n".join(failures[:40])))


if __name__ == "__main__":
    main()
