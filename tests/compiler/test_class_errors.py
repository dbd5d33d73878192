"""Mistakes in record, class and interface types and in member access: each is reported at
its line and column, the compiler exits with 1 and writes no program."""
import os

from kelvo_test import KelvoCase, main, run_kelvo

HEAD = """program win32cui 'T'
block TRec { int32 a; byte b; function Sum(): int32; }
class TBase { int32 n; }
interface IBase { function F(): int32; }
TRec rec;
int32 plain;
TRec* pRec;
"""

# (source from line 8, the report's first line up to " in [bad.kpr]")
MISTAKES = [
    ("eax = rec.missing;", '[8,17]: Invalid use of "."'),
    ("eax = plain.x;", '[8,13]: Invalid use of "."'),
    ("eax = ecx.a;", "[8,9]: Register has not been set to reference a containing pointer"),
    ("eax = pRec.a;", "[8,10]: Classes require that you have used assume"),
    ("procedure q(TRec* r) { r.Sum(); }", "[8,24]: Classes require that you have used assume"),
    ("eax = rec.;", "[8,10]: Expected variable"),
    ("block TDup { int32 a; byte a; }", '[8,29]: Member "a" is already declared in "TDup"'),
    ("class TSelf(TSelf) { }", '[8,17]: "TSelf" can not derive from itself'),
    ("class TNo(TMissing) { }", '[8,18]: Unknown base type "TMissing"'),
    ("class TFromRec(TRec) { }", "[8,19]: Expected class type for hierarchy."),
    ("interface IFromClass(TBase) { }", "[8,26]: Expected interface type for hierarchy."),
    ("function TRec.Nope() { }", "[8,18]: Nope does not seem to be a method"),
    ("function TRec.a() { }", "[8,15]: a does not seem to be a method"),
    ("function TRec.Sum(int32 x) { }", '[8,28]: "TRec:Sum" was declared with 0 parameters'),
    ("function TRec.Sum() { }\nfunction TRec.Sum() { }", '[9,17]: Method "TRec:Sum" already has a body'),
    ("eax = rec.Sum();", '[8,13]: Method "TRec:Sum" has not yet been created'),
    ("class TC uses ax { }", "[8,16]: Expected 32bit register but received ax"),
    ("class TF { procedure fastcall M() { } }", "[8,31]: Class procedures do not support fastcall"),
    ("block TSelfRec { int32 a; TSelfRec again; }", '[8,34]: "TSelfRec" can not contain itself'),
    ("block TOpen { int32 a", "[9,1]: Expected ; but found "),
]


class ClassErrors(KelvoCase):
    def test_every_mistake_is_located(self):
        exe = os.path.join(self.dir, "bad.exe")
        for source, expected in MISTAKES:
            with self.subTest(source=source):
                project = self.write("bad.kpr", HEAD + source + "\n")
                if os.path.exists(exe):
                    os.remove(exe)
                r = run_kelvo(project, "-nopause", "-nolog", "x")
                self.assertEqual(r.code, 1, source + "\n" + r.out)
                self.assertIn(expected + " in [bad.kpr]", r.out)
                self.assertFalse(os.path.exists(exe), source)


if __name__ == "__main__":
    main()
