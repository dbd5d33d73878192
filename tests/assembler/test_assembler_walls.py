"""The assembler stands on its own: no file in assembler/ includes anything of frontend/ or
compiler/ (it reports through its own host and reads its own CPU level)."""
import glob
import os
import re
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
INCLUDE = re.compile(r'^\s*#\s*include\s+"((?:frontend|compiler)/[^"]+)"', re.M)

reached = []
for path in sorted(glob.glob(os.path.join(ROOT, "assembler", "*.*"))):
    with open(path) as f:
        for target in INCLUDE.findall(f.read()):
            reached.append("%s includes %s" % (os.path.relpath(path, ROOT), target))
print("\n".join(reached) or "assembler/ includes nothing of frontend/ or compiler/")
print("%d passed, %d failed" % (0 if reached else 1, 1 if reached else 0))
sys.exit(1 if reached else 0)
