"""The walls between the subsystems: every #include of the compiler's sources is resolved to a
file and followed to the end, and what each folder reaches that way is checked against what
it may reach, so a shortcut across a wall fails here rather than years later when someone
tries to reuse the assembler or a writer on its own.

Before the tree is read, the rules are run on a small made-up tree with one planted crossing
of each kind, so a rule that stopped seeing its crossing fails too."""

import os
import re
import sys
import tempfile
from pathlib import Path

SOURCE_DIR = Path(os.environ.get("KELVO_SOURCE_DIR", Path(__file__).resolve().parent.parent))
FOLDERS = ["assembler", "common", "compiler", "driver", "frontend", "output", "platform", "plugins"]
SUFFIXES = {".cpp", ".h", ".in", ".def", ".inc", ".c", ".hpp", ".ipp"}

# The one header of the compiler's state: output/ works from its link input instead.
COMPILER_STATE = "frontend/compiler.h"

# What each folder may reach, through any number of includes. Only platform/ may use the
# host system's headers; every folder may use the C++ standard library.
MAY_REACH = {
    "common": {"common"},
    "platform": {"platform", "common"},
    "assembler": {"assembler", "common", "platform"},
    "output": {"output", "assembler", "common", "platform", "frontend"},
    "frontend": {"frontend", "compiler", "assembler", "output", "plugins", "common", "platform"},
    "compiler": {"frontend", "compiler", "assembler", "output", "plugins", "common", "platform"},
    "plugins": {"frontend", "compiler", "assembler", "output", "plugins", "common", "platform"},
    "driver": set(FOLDERS),
}
WHY = {
    "common": "common/ includes nothing of the project",
    "platform": "platform/ stands below everything but common/",
    "assembler": "assembler/ stands apart from frontend/, compiler/, output/, plugins/ and driver/",
    "output": "output/ takes its link input, not the compiler or its state",
}

# The C++ standard library, with the C headers it carries in both spellings: any other
# header in angle brackets that is no file of ours belongs to the host system.
_C_HEADERS = ("assert complex ctype errno fenv float inttypes iso646 limits locale math setjmp "
              "signal stdalign stdarg stdbool stddef stdint stdio stdlib string tgmath time "
              "uchar wchar wctype").split()
STANDARD_HEADERS = set(
    ("algorithm any array atomic barrier bit bitset charconv chrono codecvt compare complex "
     "concepts condition_variable coroutine deque exception execution expected filesystem "
     "format forward_list fstream functional future initializer_list iomanip ios iosfwd "
     "iostream istream iterator latch limits list locale map memory memory_resource mutex new "
     "numbers numeric optional ostream queue random ranges ratio regex scoped_allocator "
     "semaphore set shared_mutex source_location span sstream stack stdexcept stop_token "
     "streambuf string string_view strstream syncstream system_error thread tuple type_traits "
     "typeindex typeinfo unordered_map unordered_set utility valarray variant vector version "
     "cstdalign cstdbool ctgmath ciso646").split()
    + ["c" + h for h in _C_HEADERS] + [h + ".h" for h in _C_HEADERS])

INCLUDE = re.compile(r'^[ \t]*#[ \t]*include[ \t]*([<"])([^>"\n]+)[>"]', re.M)
COMMENT = re.compile(r"//[^\n]*|/\*.*?\*/", re.S)


def folder_of(rel):
    return rel.split("/", 1)[0]


def includes_of(path):
    text = COMMENT.sub(lambda m: "\n" * m.group(0).count("\n"), path.read_text(encoding="utf-8", errors="replace"))
    return INCLUDE.findall(text)


def resolve(root, path, quote, header):
    """("project", rel), ("standard", name), ("os", name) or ("missing", name)."""
    candidates = ([path.parent / header] if quote == '"' else []) + [root / header]
    for candidate in candidates:
        if candidate.is_file():
            rel = candidate.resolve().relative_to(root.resolve()).as_posix()
            return ("project", rel)
    if quote == "<":
        return ("standard", header) if header in STANDARD_HEADERS else ("os", header)
    return ("missing", header)


def read_tree(root):
    """Every source file of the walled folders, with what each of its includes resolves to."""
    graph = {}
    for folder in FOLDERS:
        for path in sorted((root / folder).rglob("*")):
            if path.is_file() and path.suffix in SUFFIXES:
                rel = path.relative_to(root).as_posix()
                graph[rel] = [resolve(root, path, q, h) for q, h in includes_of(path)]
    return graph


def wall_broken(folder, kind, target):
    """Why reaching `target` (a project file or a system header) breaks `folder`'s wall."""
    if kind == "os":
        return None if folder == "platform" else "an OS header outside platform/"
    if kind != "project":
        return None
    if folder == "output" and target == COMPILER_STATE:
        return WHY["output"]
    top = folder_of(target)
    if top in FOLDERS and top not in MAY_REACH[folder]:
        return WHY.get(folder, f"{folder}/ never reaches {top}/")
    return None


def crossings(root):
    """Each wall crossed, as "file -> ... -> what it reached" with the reason, plus includes
    that name no file."""
    graph = read_tree(root)
    found = []
    for start in graph:
        folder = folder_of(start)
        seen, stack = {start}, [(start, [start])]
        while stack:
            rel, chain = stack.pop()
            for kind, target in graph.get(rel, []):
                if kind == "missing":
                    if rel == start:
                        found.append((f"{start} -> \"{target}\"", "names no file"))
                    continue
                why = wall_broken(folder, kind, target)
                if why:  # reported where the wall is crossed, not again for all behind it
                    shown = target if kind == "project" else f"<{target}>"
                    found.append((" -> ".join(chain + [shown]), why))
                elif kind == "project" and target not in seen:
                    seen.add(target)
                    stack.append((target, chain + [target]))
    return graph, found


# One planted crossing of each kind the walls must stop, and what the tree around them holds.
CLEAN_FILES = {
    "common/defs.h": "#include <cstdint>\n#include <stdint.h>\n#include \"common/more.h\"\n",
    "common/more.h": "#include <string>\n",
    "platform/files.cpp": "#include <sys/mman.h>\n#include <sched.h>\n#include \"common/defs.h\"\n",
    "assembler/enc.h": "#include \"common/defs.h\"\n#include \"platform/files.h\"\n",
    "platform/files.h": "#include <string>\n",
    "frontend/compiler.h": "#include \"compiler/state.h\"\n#include \"output/writer.h\"\n",
    "frontend/function.h": "#include \"assembler/enc.h\"\n",
    "compiler/state.h": "#include \"frontend/function.h\"\n",
    "compiler/table.inc": "// a table\n",
    "output/writer.h": "#include \"frontend/function.h\"\n#include \"writer_parts.h\"\n",
    "output/writer_parts.h": "// #include \"../compiler/state.h\" in a comment is no include\n",
    "driver/main.cpp": "#include \"frontend/compiler.h\"\n#include \"plugins/host.h\"\n",
    "plugins/host.h": "#include \"frontend/compiler.h\"\n",
}
PLANTED = {  # kind: (file, its text, the crossing it must give)
    "an include by relative path": (
        "output/pe.cpp", '#include "../compiler/state.h"\n', "output/pe.cpp -> compiler/state.h"),
    "a shim header that includes the compiler state": (
        "output/coff.cpp", '#include "frontend/shim.h"\n',
        "output/coff.cpp -> frontend/shim.h -> frontend/compiler.h"),
    "assembler/ including output/": (
        "assembler/a.cpp", '#include "output/writer.h"\n', "assembler/a.cpp -> output/writer.h"),
    "assembler/ including plugins/": (
        "assembler/b.cpp", '#include "plugins/host.h"\n', "assembler/b.cpp -> plugins/host.h"),
    "assembler/ including frontend/": (
        "assembler/c.cpp", '#include "frontend/function.h"\n', "assembler/c.cpp -> frontend/function.h"),
    "assembler/ including driver/": (
        "assembler/d.cpp", '#include "driver/main.cpp"\n', "assembler/d.cpp -> driver/main.cpp"),
    "an OS header in a .inc file": (
        "compiler/forms.inc", "#include <windows.h>\n", "compiler/forms.inc -> <windows.h>"),
    "<sched.h> outside platform/": (
        "frontend/lexer.cpp", "#include <sched.h>\n", "frontend/lexer.cpp -> <sched.h>"),
    "<mqueue.h> outside platform/": (
        "plugins/load.cpp", "#include <mqueue.h>\n", "plugins/load.cpp -> <mqueue.h>"),
    "<sys/mman.h> through an include": (
        "compiler/emit.cpp", '#include "compiler/mapping.h"\n',
        "compiler/emit.cpp -> compiler/mapping.h -> <sys/mman.h>"),
    "an OS header leaking out of platform/": (
        "compiler/time.cpp", '#include "platform/leak.h"\n', "compiler/time.cpp -> platform/leak.h -> <unistd.h>"),
    "common/ including the project": (
        "common/bad.h", '#include "platform/files.h"\n', "common/bad.h -> platform/files.h"),
    "an include that names no file": (
        "frontend/gone.cpp", '#include "frontend/not_there.h"\n', 'frontend/gone.cpp -> "frontend/not_there.h"'),
}
PLANTED_HELPERS = {
    "frontend/shim.h": '#include "frontend/compiler.h"\n',
    "compiler/mapping.h": "#include <sys/mman.h>\n",
    "platform/leak.h": "#include <unistd.h>\n",
}


def write_tree(root, files):
    for rel, text in files.items():
        path = root / rel
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(text, encoding="utf-8")


def rules_hold():
    """The clean made-up tree passes, and each crossing planted alone in it is found."""
    ok = True
    with tempfile.TemporaryDirectory() as scratch:
        root = Path(scratch) / "clean"
        write_tree(root, CLEAN_FILES)
        for edge, why in crossings(root)[1]:
            print(f"rule wrong: the clean tree crosses {edge} ({why})")
            ok = False
        for n, (kind, (rel, text, expected)) in enumerate(PLANTED.items()):
            root = Path(scratch) / str(n)
            write_tree(root, CLEAN_FILES)
            write_tree(root, PLANTED_HELPERS)
            write_tree(root, {rel: text})
            if expected not in {edge for edge, _ in crossings(root)[1]}:
                print(f"rule wrong: {kind} is not found as {expected}")
                ok = False
    return ok


def main():
    if not rules_hold():
        return 1
    graph, found = crossings(SOURCE_DIR)
    for edge, why in found:
        print(f"wall crossed: {edge} ({why})")
    print(f"{len(graph)} files read, {sum(len(v) for v in graph.values())} includes followed, "
          f"{len(found)} crossings")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
