"""Calls with a wrong number of arguments: the error names the procedure and the counts at the
closing parenthesis of the call, the exit code is 1, and no program is written."""
import os

from kelvo_test import KelvoCase, main, run_kelvo

HEAD = """program win32cui 'T'
procedure two(int32 a, b) { }
procedure kelcall k(int32 a, b) { }
procedure cdecl v(int32 a, b[]) { }
entry:
"""


class BadCalls(KelvoCase):
    def test_wrong_argument_counts(self):
        cases = [
            ("two(1, 2, 3);", '[7,12]: "two" expected 2 params, receieved 3.'),
            ("  two(1);", '[7,8]: "two" expected 2 params, receieved 1.'),
            ("k(1);", '[7,4]: "k" expected 2 params, receieved 1.'),
            ("v(1);", '[7,4]: "v" expected a minimum of 2 params, receieved 1.'),
        ]
        for call, report in cases:
            with self.subTest(call=call):
                project = self.write("bad.kpr", HEAD + "nop\n" + call + "\n")
                exe = os.path.join(self.dir, "bad.exe")
                r = run_kelvo(project, "-nopause", "-nolog", "x")
                self.assertEqual(r.code, 1, r.out)
                self.assertIn(report, r.out)
                self.assertIn(call.strip(), r.out)  # the offending line is shown
                self.assertFalse(os.path.exists(exe))


if __name__ == "__main__":
    main()
