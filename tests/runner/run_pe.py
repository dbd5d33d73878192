#!/usr/bin/python3
"""Runs a 32-bit Windows EXE and reports its console text and exit code.

    run_pe.py [--runner auto|wine|emu|both] [--timeout S] EXE [args...]

prints the program's console text (CR LF as LF) on stdout, names the runner
on stderr and exits with the program's exit code (124 on timeout, 125 when
the runner itself failed).  As a module: run(), available_runners() and
skip_reason() for tests that need some way to run Windows programs.
"""

import argparse
import os
import sys
from dataclasses import dataclass

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import wine_runner  # noqa: E402

RUNNERS = ("auto", "wine", "emu", "both")


@dataclass
class Result:
    text: str
    exit_code: int     # as a Linux parent sees it (0..255); None on error
    runner_name: str
    error: str = None  # timeout, crash, unknown import, runner mismatch...

    @property
    def ok(self):
        return self.error is None


def _emu_reason():
    try:
        import pefile  # noqa: F401
        import unicorn  # noqa: F401
    except ImportError as err:
        return f"{err} (Debian packages python3-unicorn, python3-pefile)"
    return None


def unavailable_reason(runner):
    """Why `runner` ("wine" or "emu") cannot work here, or None."""
    return wine_runner.unavailable_reason() if runner == "wine" \
        else _emu_reason()


def available_runners():
    return [r for r in ("wine", "emu") if unavailable_reason(r) is None]


def skip_reason():
    """For tests: why no Windows program can be run here, or None."""
    if available_runners():
        return None
    return ("no way to run Windows programs: wine: "
            f"{unavailable_reason('wine')}; emulator: {unavailable_reason('emu')}")


def _normalise(text):
    return text.replace("\r\n", "\n")


def _run_wine(exe_path, args, timeout, console_input=b""):
    out = wine_runner.run_wine(exe_path, args, timeout, console_input=console_input)
    code = None if out.exit_code is None else out.exit_code & 0xFF
    return Result(_normalise(out.output), code, "wine", out.error)


def _run_emu(exe_path, args, timeout, console_input=b""):
    import pe_emulator
    out = pe_emulator.run_exe(exe_path, args, timeout, console_input)
    code = None if out.exit_code is None else out.exit_code & 0xFF
    text = _normalise(out.output.decode("cp1252", "replace"))
    return Result(text, code, "emu", out.error)


_RUN = {"wine": _run_wine, "emu": _run_emu}


def _describe(result):
    return (f"{result.runner_name}: exit {result.exit_code}, "
            f"error {result.error!r}, text {result.text!r}")


def _run_both(exe_path, args, timeout, console_input=b""):
    runners = available_runners()
    if "wine" in runners and wine_runner.is_windowed(exe_path) and wine_runner.display_reason():
        runners.remove("wine")
    if runners == ["emu"]:
        result = _run_emu(exe_path, args, timeout, console_input)
        result.runner_name = "emu (wine unavailable)"
        return result
    results = [_RUN[r](exe_path, args, timeout, console_input) for r in runners]
    first = results[0]
    name = "+".join(runners)
    if all((r.text, r.exit_code, r.ok) == (first.text, first.exit_code,
                                           first.ok) for r in results):
        return Result(first.text, first.exit_code, name, first.error)
    return Result(first.text, first.exit_code, name, "runners disagree: " +
                  "; ".join(_describe(r) for r in results))


def run(exe_path, runner="auto", timeout=20, args=(), console_input=b""):
    """Run the EXE with the chosen runner, console_input being what is typed; returns a Result."""
    if runner not in RUNNERS:
        raise ValueError(f"unknown runner {runner!r}; pick one of {RUNNERS}")
    if runner == "auto":
        runner = "wine" if unavailable_reason("wine") is None else "emu"
    if runner == "both":
        return _run_both(exe_path, list(args), timeout, console_input)
    reason = unavailable_reason(runner)
    if reason:
        return Result("", None, runner, f"{runner} runner unavailable: "
                                        f"{reason}")
    return _RUN[runner](exe_path, list(args), timeout, console_input)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--runner", choices=RUNNERS, default="auto")
    parser.add_argument("--timeout", type=float, default=20)
    parser.add_argument("--input", default="",
                        help="console input typed ahead (\\n for Enter)")
    parser.add_argument("exe")
    parser.add_argument("args", nargs=argparse.REMAINDER)
    opts = parser.parse_args(argv)
    typed = opts.input.replace("\\n", "\n").encode()
    result = run(opts.exe, opts.runner, opts.timeout, opts.args, typed)
    sys.stdout.write(result.text)
    sys.stdout.flush()
    print(f"run_pe: ran with {result.runner_name}", file=sys.stderr)
    if result.error:
        print(f"run_pe: error: {result.error}", file=sys.stderr)
        return 124 if result.error.startswith("timeout") else 125
    return result.exit_code


if __name__ == "__main__":
    sys.exit(main())
