"""Error and warning reports as a user sees them: console lines, colours, the log and exit codes."""
import os
import shutil

from kelvo_test import KelvoCase, main, run_kelvo, run_on_terminal, KELVO


class Reports(KelvoCase):
    def run_source(self, text, name="p.kpr"):
        path = self.write(name, text)
        return run_kelvo(path, "-nolog", "-nopause", "x")

    def test_raised_error_has_head_code_block_and_empty_line(self):
        r = self.run_source(b"\r\n\r\n  program 'x'\r\n")
        self.assertEqual(r.code, 1)
        self.assertIn("[3,13]: Expected sub system but found x in [p.kpr]\r\nCode: \r\n\tprogram 'x'\r\n\n", r.out)

    def test_error_prints_once_without_trailing_empty_line(self):
        r = self.run_source(b"program win32cui 5\r\n")
        self.assertEqual(r.code, 1)
        report = "[1,18]: Expected constant string but found 5 in [p.kpr]\r\nCode: \r\n\tprogram win32cui 5\r\n\n"
        self.assertTrue(r.out.endswith(report), r.out)
        self.assertEqual(r.out.count("Expected constant string"), 1)
        self.assertNotIn("Operation aborted", r.out + r.err)

    def test_lf_cr_and_crlf_files_report_the_same_position(self):
        outs = set()
        for end in (b"\r\n", b"\n", b"\r"):
            r = self.run_source(b"// head" + end + b"x" + end + b"  program" + end + b"  win32cui 7" + end)
            self.assertEqual(r.code, 1)
            outs.add(r.out.split("\n", 2)[2].replace("\r", ""))
        self.assertEqual(len(outs), 1, outs)
        self.assertIn("[4,12]: Expected constant string but found 7", outs.pop())

    def test_byte_order_mark_is_skipped(self):
        r = self.run_source(b"\xef\xbb\xbfprogram 'x'")
        self.assertIn("[1,11]: Expected sub system but found x in [p.kpr]", r.out)

    def test_nul_byte_is_an_error_at_its_place(self):
        r = self.run_source(b"program\n  win32cui\x00 'x'\n")
        self.assertEqual(r.code, 1)
        self.assertIn("[2,11]: Invalid character #0 in source in [p.kpr]", r.out)

    def test_empty_file_and_end_of_text_have_no_code_block(self):
        r = self.run_source(b"")
        self.assertEqual(r.code, 1)
        self.assertIn("[1,1]: Expected program but found  in [p.kpr]\r\n\n", r.out)
        self.assertNotIn("Code:", r.out)

    def test_warning_then_error(self):
        r = self.run_source(b"program @x 'y'")
        self.assertIn('[1,10]: Warning: "@x:" is depreciated, please use "x:" in [p.kpr]\n', r.out)
        self.assertIn("[1,10]: Expected sub system but found x in [p.kpr]", r.out)

    def test_colours_on_a_terminal(self):
        path = self.write("p.kpr", b"program @x 'y'")
        text, _ = run_on_terminal([KELVO, path, "-nolog", "-nopause", "x"])
        self.assertIn("\x1b[93m[1,10]: Warning:", text)  # 14, yellow
        self.assertIn("\x1b[91m[1,10]: Expected sub system", text)  # 12, red

    def test_every_report_line_reaches_the_log(self):
        kelvo = os.path.join(self.dir, "bin", "kelvo")
        os.makedirs(os.path.dirname(kelvo))
        shutil.copy(KELVO, kelvo)
        path = self.write("p.kpr", b"program @x 'y'")
        run_kelvo(path, "-nopause", "x", kelvo=kelvo)
        with open(os.path.join(self.dir, "bin", "log.txt"), "rb") as f:
            log = f.read().decode("latin-1")
        self.assertIn('[1,10]: Warning: "@x:" is depreciated, please use "x:" in [p.kpr]\r\n', log)
        self.assertIn("[1,10]: Expected sub system but found x in [p.kpr]\r\nCode: \r\n\tprogram @x 'y'\r\n", log)


if __name__ == "__main__":
    main()
