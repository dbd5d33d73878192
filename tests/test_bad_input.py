"""Bad input as a user meets it, one small source file a case, under tests/bad_input/.

A case is a project file `GROUP/NAME.kpr`, or a folder `GROUP/NAME/` holding `main.kpr` and
whatever it includes or reads. Comment lines at the top of the project file say what the
compile must report:

    // expect: [5,6]: Expected : but found (
    // shows: two(1);
    // args: -i extra

`expect` is the report's head up to " in [file]" (or the whole head); the compile must exit
with 1, print that head as its first report, and leave no file behind. `shows` is text the
report must show besides (the offending line, say). `args` are options put before the project
file's name. The header's own lines count: a position is the line and
column in the file as it stands.
"""
import glob
import os
import shutil
import unittest

from kelvo_test import KelvoCase, SOURCE_DIR, main, run_kelvo

CASES = os.path.join(SOURCE_DIR, "tests", "bad_input")


def case_paths():
    found = glob.glob(os.path.join(CASES, "*", "*.kpr"))
    found += glob.glob(os.path.join(CASES, "*", "*", "main.kpr"))
    return sorted(found)


def read_header(path):
    expect, shows, args = None, None, []
    with open(path, encoding="latin-1") as f:
        for line in f:
            if not line.startswith("//"):
                break
            word, _, rest = line[2:].partition(":")
            word, rest = word.strip(), rest.rstrip("\r\n")
            rest = rest[1:] if rest.startswith(" ") else rest  # a report may end in a space
            if word == "expect":
                expect = rest
            elif word == "shows":
                shows = rest
            elif word == "args":
                args = rest.split()
    return expect, shows, args


def first_report(out):
    for line in out.replace("\r\n", "\n").split("\n"):
        if line.startswith("["):
            return line
    return None


class BadInputFiles(KelvoCase):
    def check(self, path):
        expect, shows, args = read_header(path)
        self.assertIsNotNone(expect, "no // expect: line")
        folder = os.path.dirname(path)
        if os.path.basename(path) == "main.kpr":
            shutil.copytree(folder, self.dir, dirs_exist_ok=True)
            name = "main.kpr"
        else:
            name = os.path.basename(path)
            shutil.copy(path, self.dir)
        before = set(os.listdir(self.dir))
        res = run_kelvo(*args, name, "-nopause", "-nolog", "last", cwd=self.dir)
        report = first_report(res.out)
        self.assertEqual(res.code, 1, res.out)
        self.assertIsNotNone(report, res.out)
        if report != expect:
            self.assertTrue(report.startswith(expect + " in ["), f"\nexpected {expect}\nreported {report}")
        if shows:
            self.assertIn(shows, res.out)
        self.assertEqual(set(os.listdir(self.dir)), before, "a file was left behind")

    def test_every_case(self):
        paths = case_paths()
        self.assertTrue(paths, "no cases found")
        for path in paths:
            with self.subTest(os.path.relpath(path, CASES)):
                self.check(path)


if __name__ == "__main__":
    main()
