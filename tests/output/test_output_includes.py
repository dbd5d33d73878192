"""The writers stand on their own: nothing in output/ reaches the statement compiler or the
compiler state; they are handed the program through the link input."""
import glob
import os
import re
import unittest

from kelvo_test import SOURCE_DIR, main

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


class OutputIncludes(unittest.TestCase):
    def test_output_includes_neither_compiler_nor_compiler_state(self):
        files = glob.glob(os.path.join(SOURCE_DIR, "output", "*.[ch]*"))
        self.assertTrue(files, "no sources found under " + SOURCE_DIR)
        for path in files:
            with open(path) as f:
                for name in INCLUDE.findall(f.read()):
                    with self.subTest(file=os.path.basename(path), include=name):
                        self.assertFalse(name.startswith("compiler/") or name == "frontend/compiler.h")


if __name__ == "__main__":
    main()
