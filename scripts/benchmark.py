#!/usr/bin/env python3
"""Compile-speed benchmark: kelvo against fasm, GNU as and nasm (those installed) on the same
stream of typical inline integer instructions and structured statements (if chains, while and
for loops, case) in procedures; the other tools get the compares and jumps written out.

    python3 scripts/benchmark.py [--kelvo build/release/kelvo] [--sizes 10000,200000,1000000]

For each size it writes one program per tool and runs the tools in turn, round after round
(--runs rounds), so that each round compares them on the machine as it was just then. It
prints each tool's median CPU seconds (user + system), lines per second and peak memory, side
by side, and each tool's speed as a multiple of fasm's: the median of the rounds' ratios; and
the lexer alone on kelvo's source, when kelvo_lexer_bench was built beside kelvo. Then
it times what the compile-time text features cost at 25,000, 50,000 and 100,000 items: a small
macro invoked, lines of an included file, taken #if branches, members of one record, #define
names and macro variables, so that the growth shows (--texts-only runs just these). Run on
demand; the tests do not run it.
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile

# One procedure body: (kelvo, GNU as Intel syntax, nasm/fasm syntax). "L" is the loop label.
BODY = [
    ("mov eax, a", "mov eax, [ebp+8]", "mov eax, [ebp+8]"),
    ("mov ecx, 16", "mov ecx, 16", "mov ecx, 16"),
    ("xor edx, edx", "xor edx, edx", "xor edx, edx"),
    ("@L", "@L", "@L"),
    ("add eax, [ebx+ecx*4+8]", "add eax, [ebx+ecx*4+8]", "add eax, [ebx+ecx*4+8]"),
    ("sub edx, 1000", "sub edx, 1000", "sub edx, 1000"),
    ("mov [esi+12], eax", "mov [esi+12], eax", "mov [esi+12], eax"),
    ("cmp eax, 127", "cmp eax, 127", "cmp eax, 127"),
    ("jle @skip", "jle 2f", "jle .skip"),
    ("shl eax, 3", "shl eax, 3", "shl eax, 3"),
    ("and eax, 0xFFFF", "and eax, 0xFFFF", "and eax, 0xFFFF"),
    ("@skip", "@skip", "@skip"),
    ("lea edi, [eax+edx*2-4]", "lea edi, [eax+edx*2-4]", "lea edi, [eax+edx*2-4]"),
    ("test edi, 1", "test edi, 1", "test edi, 1"),
    ("mov dword[esp+4], 0", "mov dword ptr [esp+4], 0", "mov dword [esp+4], 0"),
    ("inc edx", "inc edx", "inc edx"),
    ("push eax", "push eax", "push eax"),
    ("imul eax, 3", "imul eax, eax, 3", "imul eax, eax, 3"),
    ("pop eax", "pop eax", "pop eax"),
    ("xchg eax, ebx", "xchg eax, ebx", "xchg eax, ebx"),
    ("movzx eax, byte gb", "movzx eax, byte ptr [gb]", "movzx eax, byte [gb]"),
    ("mov gd, eax", "mov [gd], eax", "mov [gd], eax"),
    ("add gd, 5", "add dword ptr [gd], 5", "add dword [gd], 5"),
    ("ror ebx, 7", "ror ebx, 7", "ror ebx, 7"),
    ("neg ecx", "neg ecx", "neg ecx"),
    ("dec ecx", "dec ecx", "dec ecx"),
    ("jnz @L", "jnz 1b", "jnz .L"),
    ("mov eax, edx", "mov eax, edx", "mov eax, edx"),
]
# Structured statements in kelvo, and the compares and jumps they compile to, written out for
# the other tools: "N:" defines local label N, "N>" and "N<" jump forward and back to it.
STRUCTURED = """\
  if (eax == 5 or ecx > 3) {
    inc edx
  } elseif (edx < 10) {
    dec edx
  } else {
    add edx, 2
  }
  while (ecx < 20) {
    add eax, ecx
    inc ecx
  }
  for (ecx = 1 to 8) {
    add eax, ecx
  }
  case (eax) {
    state 1: inc edx break;
    state 2: dec edx break;
    default: xor edx, edx
  }
""".splitlines()
STRUCTURED_WRITTEN_OUT = """\
cmp eax, 5|je 3>|cmp ecx, 3|jbe 4>|jbe 4>|3:|inc edx|jmp 6>|4:|cmp edx, 10|jae 5>|dec edx|jmp 6>
5:|add edx, 2|6:|7:|cmp ecx, 20|jae 8>|add eax, ecx|inc ecx|jmp 7<|8:
mov ecx, 0|9:|inc ecx|add eax, ecx|cmp ecx, 8|jne 9<
jmp 13>|10:|inc edx|jmp 14>|11:|dec edx|jmp 14>|12:|xor edx, edx|jmp 14>
13:|cmp eax, 2|je 11<|cmp eax, 1|je 10<|jmp 12<|14:""".replace("\n", "|").split("|")
PER_PROC = len(BODY) + len(STRUCTURED) + 2  # with the procedure's head and its closing line


def written_out(line, gas):
    """One line of STRUCTURED_WRITTEN_OUT in GNU as (numeric labels) or nasm/fasm spelling."""
    label = re.fullmatch(r"(\d+):", line)
    if label:
        return (label.group(1) + ":") if gas else (".s%s:" % label.group(1))
    jump = re.fullmatch(r"(\w+) (\d+)([<>])", line)
    if jump:
        target = jump.group(2) + ("f" if jump.group(3) == ">" else "b") if gas else ".s" + jump.group(2)
        return "  %s %s" % (jump.group(1), target)
    return "  " + line


def kelvo_label(text, kind):
    if text.startswith("@"):
        return "  " + text[1:] + ":" if kind == "def" else text
    return text.replace("@", "")


def write_kelvo(path, procs):
    with open(path, "w") as f:
        f.write("program win32cui 'Bench'\nint32 gd;\nbyte gb;\n")
        for p in range(procs):
            f.write("procedure p%d(int32 a) {\n" % p)
            for k, _, _ in BODY:
                f.write(kelvo_label(k, "def") + "\n" if k.startswith("@") else "  " + k.replace("@", "") + "\n")
            f.write("\n".join(STRUCTURED) + "\n")
            f.write("}\n")
        f.write("entry:\n")
        for p in range(procs):
            f.write("  call p%d\n" % p)
        f.write("  ret\n")


def write_procs(f, procs, column, labels):
    """The procedures and the calls to them, in one tool's spelling (BODY column, labels)."""
    for p in range(procs):
        f.write("p%d:\n  push ebp\n  mov ebp, esp\n" % p)
        for row in BODY:
            line = row[column]
            f.write((labels[line] if line in labels else "  " + line) + "\n")
        for line in STRUCTURED_WRITTEN_OUT:
            f.write(written_out(line, column == 1) + "\n")
        f.write("  leave\n  ret 4\n")
    for p in range(procs):
        f.write("  call p%d\n" % p)
    f.write("  ret\n")


def write_gas(path, procs):
    with open(path, "w") as f:
        f.write(".intel_syntax noprefix\n.data\ngd: .long 0\ngb: .byte 0\n.text\n")
        write_procs(f, procs, 1, {"@L": "1:", "@skip": "2:"})


def write_nasm_like(path, procs, fasm):
    with open(path, "w") as f:
        # fasm takes no section before it knows the output format; an object file like nasm's.
        f.write("format MS COFF\nuse32\n" if fasm else "bits 32\n")
        f.write("section '.text' code readable executable\n" if fasm else "section .text\n")
        write_procs(f, procs, 2, {"@L": ".L:", "@skip": ".skip:"})
        f.write("section '.data' data readable writeable\n" if fasm else "section .data\n")
        f.write("gd dd 0\ngb db 0\n")


def runs_here(program):
    """Whether the program starts at all: some kernels refuse 32-bit executables."""
    try:
        r = subprocess.run([program], capture_output=True, text=True, timeout=10)
    except OSError:
        return False
    return "Syntax error" not in r.stderr and "Exec format error" not in r.stderr and r.returncode != 126


def timed(command, cwd):
    """CPU seconds (user + system) and peak resident kilobytes of one run, from the kernel's
    own accounting of the finished process. /usr/bin/time starts the tool, so its peak memory
    is the tool's own and not this script's."""
    peak_file = os.path.join(cwd, "peak.txt")
    with subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", peak_file] + command, cwd=cwd,
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT) as p:
        output = p.stdout.read()
        _, status, usage = os.wait4(p.pid, 0)
        p.returncode = os.waitstatus_to_exitcode(status)
    if p.returncode != 0:
        raise RuntimeError("%s failed:\n%s" % (command[0], output[-2000:].decode(errors="replace")))
    with open(peak_file) as f:
        peak = int(f.read().split()[-1])
    return usage.ru_utime + usage.ru_stime, peak


def paired(commands, cwd, runs):
    """Every command once a round, in turn: each one's median seconds, its peak memory and the
    rounds' times, so ratios can be taken round by round."""
    for command in commands.values():
        timed(command, cwd)  # warm-up: files in the page cache, the tools loaded
    rounds = {tool: [] for tool in commands}
    peaks = {tool: 0 for tool in commands}
    for _ in range(runs):
        for tool, command in commands.items():
            seconds, peak = timed(command, cwd)
            rounds[tool].append(seconds)
            peaks[tool] = max(peaks[tool], peak)
    return {tool: (statistics.median(r), peaks[tool], r) for tool, r in rounds.items()}


def best(command, cwd, runs):
    """The median CPU seconds and the peak memory of one command."""
    r = paired({"one": command}, cwd, runs)["one"]
    return r[0], r[1]


TEXT_HEAD = "program win32cui 'B'\nimports ('kernel32.dll') {\n  procedure ExitProcess(dword code); stdcall;\n}\n"


def lexer_alone(bench, path, kelvo_command, work, runs):
    """The lexer alone on the same kelvo source (kelvo_lexer_bench, built by the "benchmarks"
    target), two ways: its token loop (the fastest of its passes, CPU time), and as a whole
    process that reads the file and lexes it once, timed as the compile is and paired with it
    round by round, so the compile's multiple of it counts start-up and file reading alike."""
    if not bench:
        print("  lexer alone: no kelvo_lexer_bench beside kelvo (cmake --build <dir> --target benchmarks)")
        return
    rates = []  # MB/s as the bench works it out from its exact time; its seconds are rounded
    for _ in range(runs):
        out = subprocess.run([bench, path], capture_output=True, text=True, check=True).stdout
        rates.append(float(re.search(r"([0-9.]+) MB/s", out).group(1)))
    loop = os.path.getsize(path) / max(rates) / 1e6
    r = paired({"kelvo": kelvo_command, "lexer": [bench, path, "1"]}, work, runs)
    ratios = [k / l for k, l in zip(r["kelvo"][2], r["lexer"][2]) if l > 0]
    print("  lexer alone: token loop %.3f s, %.0f MB/s; as a process %.3f s; whole compile / lexer "
          "process: %.2f (median of paired rounds), / token loop: %.2f"
          % (loop, os.path.getsize(path) / loop / 1e6, r["lexer"][0], statistics.median(ratios),
             r["kelvo"][0] / loop))


def write_program(path, body):
    with open(path, "w") as f:
        f.write(TEXT_HEAD + body + "  push eax\n  call ExitProcess\n")
    return path


def write_text_programs(work, n):
    """The compile-time text programs at size n: (name, project path, items)."""
    included = os.path.join(work, "lines%d.kel" % n)
    with open(included, "w") as f:
        f.write("  add eax, 1\n" * n)
    tenth = range(0, n, 10)
    return [
        ("macro invocations", write_program(os.path.join(work, "m%d.kpr" % n),
         "inline procedure bump(r, v) {\n  add $r, $v\n}\nentry:\n  xor eax, eax\n" + "  bump(eax, 1);\n" * n), n),
        ("included lines", write_program(os.path.join(work, "i%d.kpr" % n),
         "entry:\n  xor eax, eax\n#include '%s'\n" % os.path.basename(included)), n),
        ("taken #if branches", write_program(os.path.join(work, "b%d.kpr" % n),
         "entry:\n  xor eax, eax\n" + "#if 1 == 1:\n  inc eax\n#end\n" * n), n),
        # one record of n members, every tenth of them read
        ("record members", write_program(os.path.join(work, "r%d.kpr" % n),
         "block TBig {\n" + "".join("  int32 m%d;\n" % i for i in range(n)) + "}\nTBig g;\nentry:\n"
         + "".join("  mov eax, g.m%d\n" % i for i in tenth)), n),
        # n names defined, every tenth tested
        ("#define names", write_program(os.path.join(work, "d%d.kpr" % n),
         "".join("#define D%d;\n" % i for i in range(n)) + "entry:\n  xor eax, eax\n"
         + "".join("#ifdef D%d\n  inc eax\n#end\n" % i for i in tenth)), n),
        # n macro variables set, every tenth read
        ("macro variables", write_program(os.path.join(work, "v%d.kpr" % n),
         "".join("$v%d = %d;\n" % (i, i) for i in range(n)) + "entry:\n  xor eax, eax\n"
         + "".join("  add eax, $v%d\n" % i for i in tenth)), n),
    ]


def time_texts(kelvo, work, runs):
    print("\nCompile-time texts (kelvo, median CPU of %d runs):" % runs)
    print("  %-20s %9s %10s %14s %10s" % ("what", "items", "seconds", "items/second", "peak MiB"))
    rates = {}
    for n in (25000, 50000, 100000):
        for name, path, items in write_text_programs(work, n):
            seconds, peak = best([kelvo, path, "-nopause", "-nolog", "x"], work, runs)
            rates.setdefault(name, []).append(items / seconds)
            print("  %-20s %9d %10.3f %14.0f %10.1f" % (name, items, seconds, items / seconds, peak / 1024))
    for name, r in rates.items():
        print("  %-20s %s" % (name, "linear" if r[-1] >= 0.7 * r[0] else "slower than linear"))


def size_table(tools, results, lines):
    """One size's figures, every tool side by side, and its speed as a multiple of fasm's."""
    print("  %-6s %10s %14s %10s %12s" % ("tool", "CPU s", "lines/second", "peak MiB", "x fasm speed"))
    for tool in tools:
        seconds, peak, rounds = results[tool]
        if "fasm" in results:
            ratios = [f / t for f, t in zip(results["fasm"][2], rounds)]
            versus = "%12.2f" % statistics.median(ratios)
        else:
            versus = "%12s" % "-"
        print("  %-6s %10.3f %14.0f %10.1f %s" % (tool, seconds, lines / seconds, peak / 1024, versus))


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--kelvo", default=os.path.join(os.path.dirname(__file__), "..", "build", "release", "kelvo"))
    ap.add_argument("--sizes", default="10000,200000,1000000")
    ap.add_argument("--runs", type=int, default=5, help="rounds: each tool runs once a round")
    ap.add_argument("--texts-only", action="store_true",
                    help="time only the macro, include, #if, member, #define and macro variable programs")
    args = ap.parse_args()
    kelvo = os.path.abspath(args.kelvo)
    if not os.path.exists(kelvo):
        sys.exit("no kelvo at %s (build it or pass --kelvo)" % kelvo)
    if args.texts_only:
        work = tempfile.mkdtemp(prefix="kelvo-bench-")
        try:
            time_texts(kelvo, work, args.runs)
        finally:
            shutil.rmtree(work, ignore_errors=True)
        return
    tools = {"kelvo": True, "fasm": shutil.which("fasm"), "as": shutil.which("as"), "nasm": shutil.which("nasm")}
    missing = [t for t, found in tools.items() if not found]
    if missing:
        print("not installed, left out: " + ", ".join(missing) + " (scripts/install-test-deps.sh installs them)")
    for tool in ("fasm", "nasm"):
        if tools[tool] and not runs_here(tools[tool]):
            print("%s is installed but cannot start on this machine (a 32-bit program?), left out" % tool)
            tools[tool] = None
    lexer_bench = os.path.join(os.path.dirname(kelvo), "benchmarks", "kelvo_lexer_bench")
    lexer_bench = lexer_bench if os.path.exists(lexer_bench) else None
    work = tempfile.mkdtemp(prefix="kelvo-bench-")
    rows = {}
    try:
        # What the compiler takes before any of the program: its code, its runtime, its tables.
        write_kelvo(os.path.join(work, "e.kpr"), 1)
        _, empty_kb = best([kelvo, os.path.join(work, "e.kpr"), "-nopause", "-nolog", "x"], work, args.runs)
        print("kelvo peak memory on a one-procedure program: %.1f MiB" % (empty_kb / 1024))
        for size in [int(s) for s in args.sizes.split(",")]:
            procs = max(1, size // PER_PROC)
            lines = procs * PER_PROC
            src = {"kelvo": os.path.join(work, "b.kpr"), "as": os.path.join(work, "b.s"),
                   "fasm": os.path.join(work, "b.asm"), "nasm": os.path.join(work, "n.asm")}
            write_kelvo(src["kelvo"], procs)
            commands = {"kelvo": [kelvo, src["kelvo"], "-nopause", "-nolog", "x"]}
            if tools["fasm"]:
                write_nasm_like(src["fasm"], procs, True)
                commands["fasm"] = ["fasm", "-m", "1000000", src["fasm"], os.path.join(work, "f.obj")]
            if tools["as"]:
                write_gas(src["as"], procs)
                commands["as"] = ["as", "--32", "-o", os.path.join(work, "b.o"), src["as"]]
            if tools["nasm"]:
                write_nasm_like(src["nasm"], procs, False)
                commands["nasm"] = ["nasm", "-f", "elf32", "-o", os.path.join(work, "n.o"), src["nasm"]]
            source_kb = os.path.getsize(src["kelvo"]) / 1024
            print("\n%d lines (%d procedures), kelvo source %.0f KiB" % (lines, procs, source_kb))
            results = paired(commands, work, args.runs)
            for tool, (seconds, peak, _) in results.items():
                rows.setdefault(tool, []).append((lines, seconds, peak, source_kb))
            size_table(commands, results, lines)
            lexer_alone(lexer_bench, src["kelvo"], commands["kelvo"], work, args.runs)
            peak_kb = rows["kelvo"][-1][2]
            print("  kelvo peak memory / source size: %.2f (%.2f above the one-procedure program's)"
                  % (peak_kb / source_kb, (peak_kb - empty_kb) / source_kb))
        print("\nGrowth of time with size (lines per second at each size):")
        for tool, r in rows.items():
            rates = ["%.0f" % (l / s) for l, s, _, _ in r]
            first, last = r[0][0] / r[0][1], r[-1][0] / r[-1][1]
            verdict = "linear" if last >= 0.7 * first else "slower than linear"
            print("  %-6s %s  -> %s" % (tool, " / ".join(rates), verdict))
        time_texts(kelvo, work, args.runs)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
