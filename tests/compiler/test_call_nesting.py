"""Calls nested as arguments: a sensible depth compiles and runs, a deeper one is refused with a
report instead of overflowing the compiler's stack, and the time stays in step with the size of
the source, for nesting and for long runs of calls alike."""
import os
import time

from kelvo_test import KelvoCase, main, run_kelvo

HEAD = ("program win32cui 'T'\n"
        "imports ('kernel32.dll') { procedure ExitProcess(dword code); stdcall; }\n"
        "function f(dword x) { mov eax, x; inc eax }\n"
        "entry:\n")


def nested(depth):
    return "ExitProcess(" + "f(" * depth + "0" + ")" * depth + ");\n"


class CallNesting(KelvoCase):
    def compile(self, body, name="n"):
        project = self.write(name + ".kpr", HEAD + body)
        start = time.monotonic()
        r = run_kelvo(project, "-nopause", "-nolog", "x", timeout=120)
        return r, time.monotonic() - start, os.path.join(self.dir, name + ".exe")

    def test_deep_nesting_is_reported_not_a_crash(self):
        for depth in (200, 7000, 20000):  # with ExitProcess, one call more
            with self.subTest(depth=depth):
                r, _, exe = self.compile(nested(depth))
                self.assertEqual(r.code, 1, r.out[-500:])
                self.assertRegex(r.out, r"\[5,\d+\]: Source nested too deeply in \[n\.kpr\]")
                self.assertFalse(os.path.exists(exe))

    def test_nesting_up_to_the_limit_compiles_and_runs(self):
        r, _, exe = self.compile(nested(199), "ok")
        self.assertEqual(r.code, 0, r.out)
        try:
            import run_pe
        except ImportError:
            return
        if run_pe.skip_reason():
            return
        result = run_pe.run(exe, runner="both", timeout=20)
        self.assertIsNone(result.error, result.error)
        self.assertEqual(result.exit_code, 199)

    def test_time_grows_in_step_with_the_calls(self):
        _, small, _ = self.compile("f(1);\n" * 20000, "s")
        _, large, _ = self.compile("f(1);\n" * 200000, "l")
        self.assertLess(large, 10 * small + 1.0)
        _, deep, _ = self.compile(nested(199) * 100, "d")
        self.assertLess(deep, 5.0)


if __name__ == "__main__":
    main()
