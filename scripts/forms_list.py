#!/usr/bin/env python3
"""Fills in the bytes of tests/assembler/forms.list from GNU as.

Each line of the list is `instruction ; bytes of 32-bit code ; bytes of 16-bit code`; this
script assembles every instruction with `as --32` (Intel syntax), once as it is and once after
`.code16`, and writes the bytes after the ';'s. In 16-bit code a memory operand is written with
`addr32`: the encoder keeps 32-bit addressing there. Lines starting with '#' and blank
lines are kept as they are, and so are lines starting with '!': instructions GNU as does not
know, with their bytes from the processor manual.

    python3 scripts/forms_list.py            rewrite the list
    python3 scripts/forms_list.py --check    exit 1 when a line's bytes differ from GNU as
                                             (exit 77 when as or objcopy is missing)
"""
import os
import re
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


def has_memory(text):
    return "[" in text or re.search(r"\b[c-gs]s:", text) is not None


def code16(text):
    """The line for .code16: memory operands keep 32-bit addressing. GNU reads a dword call or
    jump through memory there as a far one; the near one is written with a word and data32."""
    if not has_memory(text):
        return text
    text = re.sub(r"^(call|jmp) dword ptr ", r"data32 \1 word ptr ", text)
    if text.startswith("{"):
        hint, rest = text.split("}", 1)
        return hint + "} addr32 " + rest.strip()
    return "addr32 " + text


def assemble(instructions, mode16=False):
    """Bytes of each instruction, in order: one as run, a label before each line."""
    work = tempfile.mkdtemp(prefix="kelvo-forms-")
    try:
        src = os.path.join(work, "forms.s")
        with open(src, "w") as f:
            f.write(".intel_syntax noprefix\n.text\n" + (".code16\n" if mode16 else ""))
            for i, text in enumerate(instructions):
                f.write("form_%d:\n%s\n" % (i, code16(text) if mode16 else text))
            f.write("form_%d:\n" % len(instructions))
        obj = os.path.join(work, "forms.o")
        r = subprocess.run(["as", "--32", "-W", "-o", obj, src], capture_output=True, text=True)
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
    texts = [instruction(lines[i]) for i in rows]
    encoded = zip(assemble(texts), assemble(texts, mode16=True))
    stale = 0
    for i, (code, code16bit) in zip(rows, encoded):
        fresh = "%s ; %s ; %s" % (instruction(lines[i]), " ".join("%02x" % b for b in code),
                                  " ".join("%02x" % b for b in code16bit))
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
