"""Runs a Windows EXE under 32-bit wine on a pseudo-terminal.

WriteConsoleA only works on a real console, and wine gives a program one
only when its standard handles are a terminal; hence the pty.  Whether wine
can run 32-bit code at all is probed once per prefix: some kernels refuse
32-bit programs ("Exec format error").
"""

import errno
import fcntl
import os
import pty
import re
import select
import shutil
import signal
import subprocess
import tempfile
import time
import tty
from contextlib import contextmanager
from dataclasses import dataclass

import tiny_pe

_PROBE_FILE = "kelvo-wine-probe.txt"
_PROBE_EXIT = 57
_BOOT_TIMEOUT = 300
_ESCAPES = re.compile(
    r"\x1b(\[[0-?]*[ -/]*[@-~]"         # CSI: cursor, colours, modes
    r"|\][^\x07\x1b]*(\x07|\x1b\\)"     # OSC: window title
    r"|[()][0-9A-Za-z]"                 # character set selection
    r"|[@-Z\\-_=>])")                   # other two-byte sequences
_checked = {}  # prefix -> reason (None when wine works), per Python process


@dataclass
class WineOutcome:
    output: str
    exit_code: int    # None when the run failed
    error: str


def wine_command():
    return os.environ.get("KELVO_WINE", "wine")


def default_prefix():
    return os.environ.get("KELVO_WINEPREFIX") or os.path.join(
        tempfile.gettempdir(), f"kelvo-wineprefix-{os.getuid()}")


def wine_env(prefix):
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all",
               LC_ALL="C.UTF-8",
               # No Mono/Gecko prompts, menu entries or crash debugger.
               WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;"
                                "winedbg.exe=d")
    for var in ("DISPLAY", "WAYLAND_DISPLAY"):  # never open windows
        env.pop(var, None)
    return env


_CURSOR_FORWARD = re.compile(r"\x1b\[([0-9]*)C")


def clean_console_text(raw):
    text = raw.decode("utf-8", "replace")
    # Wine's console draws blanks as cursor moves: give them back as spaces.
    text = _CURSOR_FORWARD.sub(lambda m: " " * int(m.group(1) or 1), text)
    text = _ESCAPES.sub("", text)
    return re.sub(r"\r+\n", "\n", text)


def _read_available(fd, out, wait):
    """Append what the pty has within `wait` seconds; False at its end."""
    if not select.select([fd], [], [], wait)[0]:
        return True
    try:
        chunk = os.read(fd, 65536)
    except OSError as err:  # EIO: every writer has closed the terminal
        if err.errno == errno.EIO:
            return False
        raise
    out += chunk
    return bool(chunk)


def _drain(fd, out, limit=2.0):
    # Helpers such as wineserver may keep the terminal open after the
    # program ends, so stop at the first quiet moment instead of at EOF.
    end = time.monotonic() + limit
    while time.monotonic() < end:
        before = len(out)
        if not _read_available(fd, out, 0.2) or len(out) == before:
            return


def run_on_pty(cmd, env, cwd, timeout, console_input=b""):
    """Run cmd with a terminal as stdin/stdout/stderr.

    Returns (raw output, exit status), the status being None on timeout."""
    master, slave = pty.openpty()
    tty.setraw(slave)  # no LF -> CR LF translation, no echo
    proc = subprocess.Popen(
        ["timeout", "-k", "5", str(int(timeout) + 5)] + cmd, cwd=cwd, env=env,
        stdin=slave, stdout=slave, stderr=slave, start_new_session=True)
    os.close(slave)
    if console_input:  # typed ahead: the terminal keeps it until the program reads
        os.write(master, console_input)
    out, deadline = bytearray(), time.monotonic() + timeout
    try:
        while proc.poll() is None and time.monotonic() < deadline:
            _read_available(master, out, 0.05)
        status = proc.poll()
        if status is None:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()
        _drain(master, out)
    finally:
        os.close(master)
    return bytes(out), status


def is_windowed(exe_path):
    """True for an EXE of the GUI subsystem, whose windows need a display."""
    try:
        with open(exe_path, "rb") as f:
            head = f.read(0x400)
    except OSError:
        return False  # wine will say what is wrong with it
    pe = int.from_bytes(head[0x3C:0x40], "little")
    return head[pe + 24 + 68:pe + 24 + 70] == b"\x02\x00"


def windowed_prefix():
    return default_prefix() + "-windowed"


def display_reason():
    """Why a windowed program cannot run under wine here, or None."""
    return None if shutil.which("xvfb-run") else "xvfb-run is missing (package xvfb)"


def run_wine(exe_path, args=(), timeout=20, prefix=None, console_input=b""):
    """Run the EXE under wine (a windowed one on a virtual display); assumes probe() said
    wine works."""
    exe = os.path.abspath(exe_path)
    cmd = [wine_command(), exe, *args]
    if is_windowed(exe) and prefix is None:
        # A wineserver outlives its programs for a while and keeps the display it started
        # with: windowed programs get a prefix of their own, whose server ends with the run.
        prefix = windowed_prefix()
        reason = display_reason() or unavailable_reason(prefix)
        if reason:
            return WineOutcome("", None, reason)
        cmd = ["xvfb-run", "-a", "sh", "-c", 'wine_rc=0; "$@" || wine_rc=$?; wineserver -k; '
               'exit $wine_rc', "sh"] + cmd
        with _locked(prefix + ".run.lock"):  # one at a time: each run ends the server
            raw, status = run_on_pty(cmd, wine_env(prefix), os.path.dirname(exe), timeout,
                                     console_input)
    else:
        raw, status = run_on_pty(cmd, wine_env(prefix or default_prefix()),
                                 os.path.dirname(exe), timeout, console_input)
    text = clean_console_text(raw)
    if status is None:
        return WineOutcome(text, None, f"timeout: still running after "
                                       f"{timeout}s")
    return WineOutcome(text, status, None)


@contextmanager
def _locked(path):
    # Parallel ctest jobs share the prefix: one creates it, the rest wait.
    with open(path, "w") as handle:
        fcntl.flock(handle, fcntl.LOCK_EX)
        yield


def _boot_prefix(prefix):
    """Create the prefix with wineboot; returns a failure reason or None."""
    try:
        done = subprocess.run(
            ["timeout", str(_BOOT_TIMEOUT), "wineboot", "-i"],
            env=wine_env(prefix), capture_output=True, text=True)
    except OSError as err:
        return f"cannot start wineboot: {err}"
    if done.returncode != 0:
        lines = (done.stderr + done.stdout).strip().splitlines() or ["?"]
        return f"wineboot -i failed ({done.returncode}): {lines[-1]}"
    return None


def _probe_run(prefix):
    """Run a trivial 32-bit EXE; returns a failure reason or None."""
    exe = os.path.join(prefix, "kelvo-probe.exe")
    with open(exe, "wb") as handle:
        handle.write(tiny_pe.exit_code_exe(_PROBE_EXIT))
    result = run_wine(exe, timeout=60, prefix=prefix)
    if result.exit_code == _PROBE_EXIT:
        return None
    detail = result.error or f"exit code {result.exit_code}"
    return (f"wine cannot run a trivial 32-bit program ({detail}): "
            f"{result.output.strip()[:200]}")


def _probe_cached(prefix):
    cache = os.path.join(prefix, _PROBE_FILE)
    if os.path.exists(cache):
        with open(cache) as handle:
            line = handle.read().strip()
        return None if line == "ok" else line
    reason = _boot_prefix(prefix) or _probe_run(prefix)
    with open(cache, "w") as handle:
        handle.write(f"{reason} (cached in {cache})\n" if reason else "ok\n")
    return reason


def unavailable_reason(prefix=None):
    """Why the wine runner cannot work here, or None when it can."""
    prefix = os.path.abspath(prefix or default_prefix())
    if prefix not in _checked:
        if not shutil.which(wine_command()) or not shutil.which("wineboot"):
            return "wine is not installed (Debian packages wine, wine32:i386)"
        os.makedirs(prefix, exist_ok=True)
        with _locked(prefix + ".lock"):
            _checked[prefix] = _probe_cached(prefix)
    return _checked[prefix]
