"""Inline MMX and SSE instructions, source to EXE, against GNU as.

Like test_instruction_forms.py: one procedure per operand form (simd_forms.py), compared with
GNU `as --32` on the same instruction in Intel syntax, byte for byte or, where kelvo picks
another valid encoding (movq mm, mm as the 0F 7F store form), by the objdump text of both.
"""
import os
import re
import struct
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
sys.path.insert(0, HERE)
import simd_forms as F  # noqa: E402
import test_instruction_forms as T  # noqa: E402
from kelvo_test import main, run_kelvo  # noqa: E402

PROLOGUE = b"\x55\x8b\xec\x83\xc4" + bytes([256 - F.LOCAL_SIZE])
EPILOGUE = b"\xc9\xc2" + struct.pack("<H", F.PARAM_SIZE)


class TSimdImage(T.TImage):
    def body(self, i):
        start, end = self.procs[i], self.procs[i + 1]
        code = self.bytes[start:end]
        assert code.startswith(PROLOGUE) and code.endswith(EPILOGUE), code.hex()
        return code[len(PROLOGUE):-len(EPILOGUE)], self.base + start + len(PROLOGUE)


class SimdForms(T.BinutilsCase):

    def test_every_form_matches_gnu_as(self):
        forms = F.all_forms()
        path = self.write("simd.kpr", F.project(forms))
        r = run_kelvo(path, "-nopause", "-nolog", "x")
        self.assertEqual(r.code, 0, r.out[-3000:])
        image = TSimdImage(os.path.join(self.dir, "simd.exe"), len(F.GLOBALS))
        self.assertEqual(len(image.procs), len(forms) + 1)
        names = dict(zip(F.GLOBALS, image.globals))
        bodies = [image.body(i) for i in range(len(forms))]
        gas = [re.sub(r"\{VA:(\w+)\}", lambda m: str(names[m.group(1)]), g) for _, g in forms]
        expected = T.assemble(self.dir, gas)
        differing = [i for i in range(len(forms)) if bodies[i][0] != expected[i]]
        ours_all = T.decode_chunks(self.dir, [bodies[i][0] for i in differing])
        theirs_all = T.decode_chunks(self.dir, [expected[i] for i in differing])
        failures = []
        for n, i in enumerate(differing):
            ours, theirs = ours_all[n], theirs_all[n]
            if ours != theirs or not ours:
                failures.append("%r:\n  kelvo %s  %s\n  as    %s  %s" % (
                    forms[i][0], bodies[i][0].hex(" "), ours, expected[i].hex(" "), theirs))
        mnemonics = {text.split()[0] for text, _ in forms if not text.startswith("assume")}
        print("\n%d MMX and SSE forms of %d mnemonics compiled and compared with GNU as: %d byte for "
              "byte, %d by decoded text" % (len(forms), len(mnemonics), len(forms) - len(differing),
                                            len(differing) - len(failures)))
        self.assertFalse(failures, "%d forms differ:\n%s" % (len(failures), "\n".join(failures[:40])))


if __name__ == "__main__":
    main()
