#!/usr/bin/env python3
"""Fills in the bytes of tests/assembler/forms.list from GNU as.

Each line of the list is `instruction ; bytes`; this script assembles every instruction with
`as --32` (Intel syntax) and writes the bytes after the ';'. Lines starting with '#' and blank
lines are kept as they are, and so are lines starting with '!': instructions GNU as does not
know, with their bytes from the processor manual.

    python3 scripts/forms_list.py            rewrite the list
    python3 scripts/forms_list.py --check    exit 1 when a line's bytes differ from GNU as
                                             (exit 77 when as or objcopy is missing)
"""
import os
import shutil
import subprocess
import sys
import tempfile

LIST = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "assembler", "forms.list")


def read_list(path):
    with open(path) as f:
        return f.read().split("\n")


def instruction(line):
    return line.split(";", 1)[0].strip()


def assemble(instructions):
    """Bytes of each instruction, in order: one as run, a label before each line."""
    work = tempfile.mkdtemp(prefix="kelvo-forms-")
    try:
        src = os.path.join(work, "forms.s")
        with open(src, "w") as f:
            f.write(".intel_syntax noprefix\n.text\n")
            for i, text in enumerate(instructions):
                f.write("form_%d:\n%s\n" % (i, text))
            f.write("form_%d:\n" % len(instructions))
        obj = os.path.join(work, "forms.o")
        r = subprocess.run(["as", "--32", "-o", obj, src], capture_output=True, text=True)
        if r.returncode != 0:
            sys.exit("as failed:\n" + r.stderr)
        raw = os.path.join(work, "forms.bin")
        subprocess.run(["objcopy", "-O", "binary", "-j", ".text", obj, raw], check=True)
        with open(raw, "rb") as f:
            code = f.read()
        syms = subprocess.run(["nm", obj], capture_output=True, text=True, check=True).stdout
        at = {}
        for line in syms.split("\n"):
            parts = line.split()
            if len(parts) == 3 and parts[2].startswith("form_"):
                at[int(parts[2][5:])] = int(parts[0], 16)
        return [code[at[i]:at[i + 1]] for i in range(len(instructions))]
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    check = "--check" in sys.argv
    if not all(shutil.which(t) for t in ("as", "objcopy", "nm")):
        print("GNU as, objcopy or nm is missing: skipped")
        sys.exit(77 if check else 1)
    lines = read_list(LIST)
    rows = [i for i, l in enumerate(lines) if l.strip() and not l.lstrip().startswith(("#", "!"))]
    encoded = assemble([instruction(lines[i]) for i in rows])
    stale = 0
    for i, code in zip(rows, encoded):
        fresh = "%s ; %s" % (instruction(lines[i]), " ".join("%02x" % b for b in code))
        if lines[i] != fresh:
            stale += 1
            if check:
                print("differs from GNU as: %r, as gives %r" % (lines[i], fresh))
            lines[i] = fresh
    if check:
        print("%d lines checked, %d differ" % (len(rows), stale))
        sys.exit(1 if stale else 0)
    with open(LIST, "w") as f:
        f.write("\n".join(lines))
    print("%d lines, %d updated" % (len(rows), stale))


if __name__ == "__main__":
    main()
