"""The compiler's command line, console lines, log and exit codes, as a user sees them."""
import os
import shutil
import stat
import tempfile

from kelvo_test import KelvoCase, main, run_kelvo, KELVO

USAGE = "usage: kelvo.exe c:/file.kpr"
ARGS = 'arguments: -out c:/file.exe -nopause -run -nolog -i "includepath"'


class UsageText(KelvoCase):
    def test_without_project_pauses_and_exits_0(self):
        r = run_kelvo()
        self.assertEqual(r.code, 0)
        self.assertTrue(r.lines[0].startswith("Kelvo Assembler "))
        self.assertIn(USAGE, r.lines)
        self.assertIn(ARGS, r.lines)
        self.assertIn("Press the [enter] key to exit.", r.lines)

    def test_pause_off_exits_1_without_pause_line(self):
        r = run_kelvo("missing.kpr", "-nopause", "x")
        self.assertEqual(r.code, 1)
        self.assertIn(USAGE, r.lines)
        self.assertNotIn("Press the [enter] key to exit.", r.lines)

    def test_last_argument_is_never_an_option(self):
        # "-nopause" as the last argument is not read: the run still pauses.
        r = run_kelvo("missing.kpr", "-nopause")
        self.assertEqual(r.code, 0)
        self.assertIn("Press the [enter] key to exit.", r.lines)

    def test_options_are_case_sensitive_and_unknown_words_skipped(self):
        r = run_kelvo("missing.kpr", "-NoPause", "-bogus", "x")
        self.assertEqual(r.code, 0)
        self.assertIn("Press the [enter] key to exit.", r.lines)

    def test_option_arguments_are_consumed(self):
        # "-nopause" here is the argument of "-out", not an option.
        r = run_kelvo("missing.kpr", "-out", "-nopause", "x")
        self.assertEqual(r.code, 0)

    def test_version_is_four_numbers(self):
        version = run_kelvo().lines[0].split(" ")[-1]
        parts = version.split(".")
        self.assertEqual(len(parts), 4)
        self.assertTrue(all(p.isdigit() for p in parts))


class Options(KelvoCase):
    def test_include_path_printed_at_once(self):
        r = run_kelvo("missing.kpr", "-i", "c:/inc", "-nopause", "x")
        self.assertEqual(r.lines[0], "c:/inc\\")

    def test_handle_needs_an_integer(self):
        project = self.write("p.kpr", "program win32cui 'x'\n")
        r = run_kelvo(project, "-handle", "abc", "x")
        self.assertEqual(r.code, 1)
        self.assertIn("-handle", r.err)
        self.assertNotIn("Kelvo Assembler", r.out)

    def test_handle_clears_pause(self):
        r = run_kelvo("missing.kpr", "-handle", "12", "x")
        self.assertEqual(r.code, 1)


class BadInput(KelvoCase):
    def test_folder_instead_of_file_gives_usage(self):
        r = run_kelvo(self.dir, "-nopause", "x")
        self.assertEqual(r.code, 1)
        self.assertIn(USAGE, r.lines)

    def test_unreadable_file_is_an_error(self):
        if os.geteuid() == 0:
            self.skipTest("root reads every file")
        project = self.write("p.kpr", "program win32cui 'x'\n")
        os.chmod(project, 0)
        r = run_kelvo(project, "-nopause", "x")
        self.assertEqual(r.code, 1)

    def test_empty_file_fails_cleanly(self):
        project = self.write("empty.kpr", "")
        r = run_kelvo(project, "-nopause", "x")
        self.assertEqual(r.code, 1)
        self.assertNotIn("Compile OK", r.out)


class Log(KelvoCase):
    """The log lives beside the compiler, so these tests run a copy of it in a folder of their own."""

    def setUp(self):
        super().setUp()
        self.kelvo = os.path.join(self.dir, "bin", "kelvo")
        os.makedirs(os.path.dirname(self.kelvo))
        shutil.copy(KELVO, self.kelvo)
        self.log = os.path.join(self.dir, "bin", "log.txt")

    def test_two_runs_append_lines(self):
        run_kelvo("missing.kpr", "-nopause", "x", kelvo=self.kelvo)
        run_kelvo("missing.kpr", "-nopause", "x", kelvo=self.kelvo)
        with open(self.log, "rb") as f:
            text = f.read().decode("latin-1")
        self.assertEqual(text.count(USAGE + "\r\n"), 2)
        self.assertTrue(text.startswith("Kelvo Assembler "))

    def test_build_writes_header_and_footer(self):
        project = self.write("p.kpr", "program win32cui 'x'\n")
        run_kelvo(project, "-nopause", "x", kelvo=self.kelvo)
        with open(self.log, "rb") as f:
            text = f.read().decode("latin-1")
        dashes = "-" * 44
        self.assertRegex(text, dashes + "\r\n.+\r\n" + dashes + "\r\n\r\n")
        # The footer comes before the error report, which is printed after the state is freed.
        self.assertIn(dashes + "\r\n\r\n\r\n", text)

    def test_nolog_writes_nothing(self):
        run_kelvo("missing.kpr", "-nolog", "-nopause", "x", kelvo=self.kelvo)
        self.assertFalse(os.path.exists(self.log))

    def test_unwritable_log_never_fails(self):
        if os.geteuid() == 0:
            os.makedirs(self.log)  # a folder where the log should be: root can't write it either
        else:
            os.chmod(os.path.dirname(self.kelvo), stat.S_IRUSR | stat.S_IXUSR)
            self.addCleanup(os.chmod, os.path.dirname(self.kelvo), stat.S_IRWXU)
        r = run_kelvo("missing.kpr", kelvo=self.kelvo)
        self.assertEqual(r.code, 0)
        self.assertIn(USAGE, r.lines)


if __name__ == "__main__":
    main()
