"""Input too large to keep as a file: a thousand parameters compile, blocks nested ten
thousand deep are refused with exit code 1 and no file written; and
a procedure left open is warned about. The small bad-input cases are files under
tests/bad_input/."""
import os

from kelvo_test import KelvoCase, main, run_kelvo

HEAD = "program win32cui 'T'\n"


class GeneratedInput(KelvoCase):
    def check(self, source, head=HEAD):
        """Compiles bad.kpr; returns the report after checking the exit code and that no
        program was written."""
        project = self.write("bad.kpr", head + source + "\n")
        exe = os.path.join(self.dir, "bad.exe")
        if os.path.exists(exe):
            os.remove(exe)
        r = run_kelvo(project, "-nopause", "-nolog", "x")
        self.assertEqual(r.code, 1, source + "\n" + r.out)
        self.assertIn("in [bad.kpr]", r.out)
        self.assertFalse(os.path.exists(exe), source)
        return r

    def test_many_parameters_and_deep_nesting(self):
        params = ", ".join("p%d" % i for i in range(1000))
        project = self.write("many.kpr", HEAD + "procedure m(int32 %s) { }\nentry: nop\n" % params)
        self.assertEqual(run_kelvo(project, "-nopause", "-nolog", "x").code, 0)
        self.assertIn("Blocks are nested too deeply",
                      self.check("".join("procedure p%d() {\n" % i for i in range(10000))).out)

    def test_unclosed_procedure_warns(self):
        project = self.write("open.kpr", HEAD + "procedure p() { nop\n")
        r = run_kelvo(project, "-nopause", "-nolog", "x")
        self.assertIn('Warning: Procedure "p" has no closing "}"', r.out)


if __name__ == "__main__":
    main()
