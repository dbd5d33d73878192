#!/usr/bin/env python3
"""Differential check of two kelvo binaries: same inputs, same files, same messages.

    python3 scripts/differential.py BEFORE AFTER [--generated 3000] [--seed 1] [--jobs 6]
                                    [--bench-sizes 10000,100000,1000000]

Compiles with both binaries, in the same folder one after the other:
  - every project under tests/ and samples/ (*.kpr, and the *.kel sources used as projects),
    the bad-input cases of tests/bad_input/ among them,
  - the instruction-forms project of the tests,
  - the benchmark's generated programs (benchmark.py) at the given sizes,
  - --generated programs drawn at random from the instruction forms, about half of them with
    planted mistakes (tokens dropped, doubled or swapped, wrong registers and values, cut
    short).
and compares the exit code, the console text (with timings masked) and every file the
compile leaves. Prints the count of inputs and every difference; exits 1 if there is one.
"""
import argparse
import glob
import multiprocessing
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
sys.path.insert(0, os.path.join(ROOT, "tests"))
sys.path.insert(0, os.path.join(ROOT, "tests", "compiler"))
sys.path.insert(0, os.path.join(ROOT, "scripts"))

TIMING = re.compile(rb"\d+(\.\d+)? second\(s\)")


# --- inputs: (name, {file name: bytes}, project file name)

def corpus_files():
    found = glob.glob(os.path.join(ROOT, "tests", "**", "*.kpr"), recursive=True)
    found += glob.glob(os.path.join(ROOT, "tests", "**", "*.kel"), recursive=True)
    found += glob.glob(os.path.join(ROOT, "samples", "**", "*.kpr"), recursive=True)
    for path in sorted(found):
        folder = os.path.dirname(path)
        files = {}
        for name in os.listdir(folder):
            full = os.path.join(folder, name)
            if os.path.isfile(full) and os.path.getsize(full) < 4 << 20:
                with open(full, "rb") as f:
                    files[name] = f.read()
        project = os.path.basename(path)
        if project.endswith(".kel"):  # a source fragment used as the whole project
            files["as_project.kpr"] = files[project]
            project = "as_project.kpr"
        yield os.path.relpath(path, ROOT), files, project


def text_input(name, source):
    return name, {"p.kpr": source.encode("latin-1")}, "p.kpr"


def test_inputs():
    import instruction_forms as forms
    yield text_input("instruction forms", forms.project(forms.all_forms()))


def bench_inputs(sizes):
    import benchmark
    for size in sizes:
        work = tempfile.mkdtemp(prefix="kelvo-diff-bench-")
        path = os.path.join(work, "bench.kpr")
        benchmark.write_kelvo(path, max(1, size // benchmark.PER_PROC))
        with open(path, "rb") as f:
            source = f.read()
        shutil.rmtree(work, ignore_errors=True)
        yield "benchmark %d lines" % size, {"bench.kpr": source}, "bench.kpr"


# --- generated programs

REGS = ("eax ecx edx ebx esp ebp esi edi ax cx dx bx sp bp si di al cl dl bl ah ch dh bh "
        "es ds fs gs cs ss").split()
WORDS = ["byte", "word", "dword", "@p1", "gd", "gw", "gb", "d", "w", "b", "q8", "[ebx]", "[esp+ecx*2+8]",
         "1.5", "'ab'", "-", ",", ";", "{", "}", "(", ")", "[", "]", ":", "=", "+=", "if", "while", "ret",
         "procedure", "int32", "0x", "999999999999", "-129", "256", "65536", "@", "$", "%", "st(0)", "xmm0"]
TOKEN = re.compile(r"\s+|[A-Za-z_@$][A-Za-z_0-9.]*|0x[0-9A-Fa-f]+|\d+|'[^']*'|.")


def mutate(source, rng):
    """One planted mistake somewhere in the source."""
    lines = source.split("\n")
    at = rng.randrange(len(lines))
    tokens = [t for t in TOKEN.findall(lines[at])]
    kind = rng.randrange(8)
    spots = [i for i, t in enumerate(tokens) if not t.isspace()]
    if kind == 7 or not spots:  # cut the file short
        return "\n".join(lines[:at]) + "\n" + lines[at][:rng.randrange(len(lines[at]) + 1)]
    i = rng.choice(spots)
    if kind == 0:
        del tokens[i]
    elif kind == 1:
        tokens.insert(i, tokens[i])
    elif kind == 2:
        tokens[i] = rng.choice(REGS)
    elif kind == 3:
        tokens[i] = rng.choice(WORDS)
    elif kind == 4:
        tokens[i] = str(rng.choice([0, 1, -1, 127, 128, 255, 256, 32768, 65535, 65536, 2 ** 31, 2 ** 32]))
    elif kind == 5:
        j = rng.choice(spots)
        tokens[i], tokens[j] = tokens[j], tokens[i]
    else:
        tokens.insert(i, rng.choice(WORDS) + " ")
    lines[at] = "".join(tokens)
    return "\n".join(lines)


def generated_inputs(count, seed):
    import instruction_forms as forms
    pool = forms.all_forms()
    rng = random.Random(seed)
    for n in range(count):
        chosen = [rng.choice(pool) for _ in range(rng.randint(3, 40))]
        source = forms.project(chosen)
        planted = n % 2 == 1
        if planted:
            for _ in range(rng.randint(1, 3)):
                source = mutate(source, rng)
        yield text_input("generated %d%s" % (n, " (planted mistake)" if planted else ""), source)


# --- running

def snapshot(folder):
    files = {}
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), "rb") as f:
            files[name] = f.read()
    return files


def compile_once(kelvo, folder, files, project):
    for name in os.listdir(folder):
        os.remove(os.path.join(folder, name))
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
    try:
        r = subprocess.run([kelvo, project, "-nopause", "-nolog", "x"], cwd=folder, capture_output=True,
                           timeout=120, stdin=subprocess.DEVNULL)
        code, text = r.returncode, TIMING.sub(b"T second(s)", r.stdout + r.stderr)
    except subprocess.TimeoutExpired:
        code, text = "timeout", b""
    left = snapshot(folder)
    return code, text, {k: v for k, v in left.items() if files.get(k) != v}


def compare(job):
    before, after, (name, files, project) = job
    folder = tempfile.mkdtemp(prefix="kelvo-diff-")
    try:
        a = compile_once(before, folder, files, project)
        b = compile_once(after, folder, files, project)
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    if a == b:
        return name, a[0], None
    what = []
    if a[0] != b[0]:
        what.append("exit code %s, now %s" % (a[0], b[0]))
    if a[1] != b[1]:
        what.append("messages differ:\n  before: %r\n  after:  %r" % (a[1][:400], b[1][:400]))
    for f in sorted(set(a[2]) | set(b[2])):
        if a[2].get(f) != b[2].get(f):
            what.append("file %s differs (%s / %s bytes)" % (f, len(a[2].get(f, b"")), len(b[2].get(f, b""))))
    return name, a[0], "; ".join(what)


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("before")
    p.add_argument("after")
    p.add_argument("--generated", type=int, default=3000)
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--jobs", type=int, default=6)
    p.add_argument("--bench-sizes", default="10000,100000,1000000")
    args = p.parse_args()
    before, after = os.path.abspath(args.before), os.path.abspath(args.after)
    sizes = [int(s) for s in args.bench_sizes.split(",") if s]
    inputs = list(corpus_files()) + list(test_inputs()) + list(bench_inputs(sizes)) + \
        list(generated_inputs(args.generated, args.seed))
    counts = {"ok": 0, "error": 0}
    differing = []
    with multiprocessing.Pool(args.jobs) as pool:
        for name, code, diff in pool.imap_unordered(compare, [(before, after, i) for i in inputs], chunksize=8):
            counts["ok" if code == 0 else "error"] += 1
            if diff:
                differing.append((name, diff))
    for name, diff in sorted(differing):
        print("DIFFERS %s: %s" % (name, diff))
    print("%d inputs compiled by both (%d built, %d reported an error): %d identical, %d differ"
          % (len(inputs), counts["ok"], counts["error"], len(inputs) - len(differing), len(differing)))
    sys.exit(1 if differing else 0)


if __name__ == "__main__":
    main()
