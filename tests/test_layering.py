"""The walls between the subsystems: every #include of the compiler's sources is read and
checked against what its folder may reach, so a shortcut across a wall fails here rather
than years later when someone tries to reuse the assembler or a writer on its own."""

import os
import re
import sys
from pathlib import Path

SOURCE_DIR = Path(os.environ.get("KELVO_SOURCE_DIR", Path(__file__).resolve().parent.parent))
FOLDERS = ["assembler", "common", "compiler", "driver", "frontend", "output", "platform", "plugins"]
SUFFIXES = {".cpp", ".h", ".in", ".def"}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)

# Headers that belong to the host system rather than to C++: only platform/ may use them.
OS_HEADER = re.compile(
    r"^(unistd|fcntl|dlfcn|spawn|dirent|termios|pthread|poll|signal|pwd|grp|syslog|"
    r"io|direct|process|windows|winbase|winnt|windef|winuser|shlobj|shellapi|psapi|"
    r"tlhelp32|objbase|ole2)\.h$|^(sys|arpa|netinet|net|linux|mach)/", re.I)

# Walls still crossed until the other halves of this work are merged: each entry is
# "file -> included header". Empty this list as they land; it must never grow.
ALLOWED_CROSSINGS = set()


def wall_broken(folder, header, system):
    """Why this include breaks its folder's wall, or None."""
    if system:
        if folder != "platform" and OS_HEADER.search(header):
            return "an OS header outside platform/"
        return None
    top = header.split("/", 1)[0]
    if folder == "common" and top != "common":
        return "common/ includes nothing of the project"
    if folder == "assembler" and top in ("frontend", "compiler"):
        return "assembler/ stands apart from frontend/ and compiler/"
    if folder == "output" and (top == "compiler" or header == "frontend/compiler.h"):
        return "output/ takes its link input, not the compiler or its state"
    return None


def crossings():
    found = []
    for folder in FOLDERS:
        for path in sorted((SOURCE_DIR / folder).rglob("*")):
            if path.suffix not in SUFFIXES:
                continue
            rel = path.relative_to(SOURCE_DIR).as_posix()
            for quote, header in INCLUDE.findall(path.read_text(encoding="utf-8", errors="replace")):
                why = wall_broken(folder, header, quote == "<")
                if why:
                    found.append((f"{rel} -> {header}", why))
    return found


def rules_hold():
    """The rules themselves, on made-up includes, so a broken pattern cannot pass everything."""
    cases = [("frontend", "sys/stat.h", True, True), ("platform", "sys/stat.h", True, False),
             ("compiler", "windows.h", True, True), ("compiler", "cstdio", True, False),
             ("common", "platform/version.h", False, True), ("common", "common/x.h", False, False),
             ("assembler", "compiler/a.h", False, True), ("assembler", "common/a.h", False, False),
             ("output", "frontend/compiler.h", False, True), ("output", "frontend/x.h", False, False)]
    bad = [c for c in cases if (wall_broken(*c[:3]) is not None) != c[3]]
    for c in bad:
        print(f"rule wrong for {c[0]}/ including {c[1]}")
    return not bad


def main():
    if not rules_hold():
        return 1
    found = crossings()
    broken = [(edge, why) for edge, why in found if edge not in ALLOWED_CROSSINGS]
    stale = sorted(set(ALLOWED_CROSSINGS) - {edge for edge, _ in found})
    for edge, why in broken:
        print(f"wall crossed: {edge} ({why})")
    for edge in stale:
        print(f"allowed crossing no longer there, remove it from the list: {edge}")
    checked = sum(1 for f in FOLDERS for p in (SOURCE_DIR / f).rglob("*") if p.suffix in SUFFIXES)
    print(f"{checked} files read, {len(found)} crossings, {len(ALLOWED_CROSSINGS)} still allowed")
    return 1 if broken or stale else 0


if __name__ == "__main__":
    sys.exit(main())
