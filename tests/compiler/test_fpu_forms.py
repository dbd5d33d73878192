"""Inline x87 instructions, source to EXE, against GNU as in Intel syntax.

The same build-and-compare as test_instruction_forms.py, over the forms of fpu_forms.py: one
procedure per form, its bytes compared with `as --32` on the same instruction; where the bytes
differ both are decoded with objdump and the texts must agree.
"""
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
sys.path.insert(0, HERE)
import fpu_forms as F  # noqa: E402
import test_instruction_forms as T  # noqa: E402
from kelvo_test import main, run_kelvo  # noqa: E402


class FpuForms(T.BinutilsCase):
    def test_every_form_matches_gnu_as(self):
        self.assertEqual(F.PARAM_SIZE, T.F.PARAM_SIZE)  # the frame TImage strips
        forms = F.all_forms()
        path = self.write("fpu.kpr", F.project(forms))
        r = run_kelvo(path, "-nopause", "-nolog", "x")
        self.assertEqual(r.code, 0, r.out[-3000:])
        image = T.TImage(os.path.join(self.dir, "fpu.exe"), len(F.GLOBALS))
        self.assertEqual(len(image.procs), len(forms) + 1)
        names = dict(zip(F.GLOBALS, image.globals))
        bodies = [image.body(i) for i in range(len(forms))]

        def resolve(text):
            return re.sub(r"\{VA:(\w+)\}", lambda m: str(names[m.group(1)]), text)

        expected = T.assemble(self.dir, [resolve(g) for _, g in forms])
        differing = [i for i in range(len(forms)) if bodies[i][0] != expected[i]]
        ours_all = T.decode_chunks(self.dir, [bodies[i][0] for i in differing]) if differing else []
        theirs_all = T.decode_chunks(self.dir, [expected[i] for i in differing]) if differing else []
        failures = []
        for n, i in enumerate(differing):
            if ours_all[n] != theirs_all[n] or not ours_all[n]:
                failures.append("%r:\n  kelvo %s  %s\n  as    %s  %s" % (
                    forms[i][0], bodies[i][0].hex(" "), ours_all[n], expected[i].hex(" "), theirs_all[n]))
        print("\n%d x87 forms compiled and compared with GNU as: %d byte for byte, %d by decoded text"
              % (len(forms), len(forms) - len(differing), len(differing) - len(failures)))
        self.assertFalse(failures, "%d forms differ:\n%s" % (len(failures), "\n".join(failures[:40])))



if __name__ == "__main__":
    main()
