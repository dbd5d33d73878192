"""P6 x87 instructions in a running program: fcomi, fcomip, fucomi, fucomip and the eight
fcmov, enabled by "#cpu 686;", under wine and the emulator (which must agree), compared with
fpu_p6/p6.expect. Skipped, saying so, while this build has no compile-time directives."""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [os.path.join(HERE, ".."), os.path.join(HERE, "..", "programs"), os.path.join(HERE, "..", "runner")]
import run_pe  # noqa: E402
import test_programs  # noqa: E402
from kelvo_test import KelvoCase, main  # noqa: E402

PROGRAM = os.path.join(HERE, "fpu_p6", "p6.kpr")


class FpuP6Program(KelvoCase):
    def test_compares_into_flags_and_conditional_moves(self):
        reason = run_pe.skip_reason()
        if reason:
            self.skipTest(reason)
        error, actual = test_programs.build_and_run(PROGRAM)
        if error and "Directives are not supported by this build" in error:
            self.skipTest("the cpu directive is not in this build yet")
        self.assertIsNone(error, error)
        with open(os.path.join(HERE, "fpu_p6", "p6.expect")) as f:
            self.assertEqual(actual, f.read())


if __name__ == "__main__":
    main()
